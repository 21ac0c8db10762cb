#!/usr/bin/python3
"""End-to-end smoke set: the real vantrel.exe in one Wine desktop on the X display it is given
(DISPLAY; without one, on a virtual display of its own), driven from outside as a person drives
it; list, clipboard and files compared with libtorrent's hashes.
usage: e2e.py --wine LOADER --program EXE --probe EXE --artifacts DIR --prefix DIR"""
import argparse
import getpass
import hashlib
import json
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import traceback
import urllib.parse

import libtorrent as lt
from Xlib import X, Xatom, display
from Xlib.protocol import event

WINESERVER = "/usr/lib/wine/wineserver64"  # the wrapper's server too; it serves 32-bit programs
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
NAMES = ["東京 ñ.torrent", "Кириллица.torrent", "Ελληνικά.torrent", "emoji 🎉.torrent"]
# The walk stops at C3 A9 FF 7E, the report's detail bytes: "é", then FF, which is no UTF-8 and
# shows as "." in the list, the clipboard and the saved file alike, as in vantrel-cli's line.
REPORT = "report.torrent"
MALFORMED = b"d8:announce1:x4:infod6:lengthi1e6:pieces20:" + bytes(range(20)) + b"\xc3\xa9\xff~ee"
last_list = []  # the list as last read, shown when a wait fails


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def center(rect):
    return ((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)


def wait_until(what, poll, timeout=180.0):
    deadline = time.monotonic() + timeout
    while not (found := poll()):
        assert time.monotonic() < deadline, "no %s after %.0f s; the list last read: %r" % (
            what, timeout, last_list)
        time.sleep(0.1)
    return found


def write(path, content, mode=0o644):
    with open(path, "wb") as f:
        f.write(content)
    os.chmod(path, mode)
    return path


def make_torrent(folder, name, seed):
    files = lt.file_storage()
    lt.add_files(files, write(os.path.join(folder, "payload %d" % seed), os.urandom(30000 + seed)))
    t = lt.create_torrent(files, 16384, flags=lt.create_torrent.v1_only)
    lt.set_piece_hashes(t, folder)
    return write(os.path.join(folder, name), lt.bencode(t.generate()))


def lines_of(paths):
    """libtorrent's line for each file, or the two report lines."""
    sha1 = hashlib.sha1(MALFORMED).hexdigest().upper()
    return sum((["Error!", "é.~    %s     %s" % (sha1, REPORT)] if p.endswith(REPORT) else
                [str(lt.torrent_info(p).info_hashes().v1).upper() + "   " + os.path.basename(p)]
                for p in paths), [])


def exported(lines):
    return "".join(line + "\r\n" for line in lines).encode("utf-8")


class Desktop:
    def __init__(self, args):
        self.args, self.pid = args, None
        self.env = dict(os.environ, WINEDEBUG="-all", WINEPREFIX=args.prefix,
                        WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d")

    def run(self, *command, **kwargs):
        return subprocess.run(command, env=self.env, timeout=600, **{**QUIET, **kwargs})

    def start(self):
        self.run(WINESERVER, "-k")
        self.run(WINESERVER, "-w")
        if not os.path.exists(os.path.join(self.args.prefix, "system.reg")):
            self.run(self.args.wine, "wineboot", "-i")
        # Every program of the prefix in one virtual desktop the size of the display: Wine shows
        # it full-screen, so the probe's window places are the display's.
        screen = display.Display().screen()
        size = "%dx%d" % (screen.width_in_pixels, screen.height_in_pixels)
        for key, value, data in [("Explorer\\Desktops", "Default", size),
                                 ("Explorer", "Desktop", "Default")]:
            self.run(self.args.wine, "reg", "add", "HKCU\\Software\\Wine\\" + key, "/v", value,
                     "/d", data, "/f")
        self.run(WINESERVER, "-w")
        # Started here, server and services inherit no pipe of ours; the server ends soon after
        # its last program should the harness be killed.
        self.run(WINESERVER, "-p30")
        self.run(self.args.wine, "wineboot")

    def probe(self, *args):  # output through a file: a Wine service could hold a pipe open
        with tempfile.TemporaryFile() as out:
            code = self.run(self.args.wine, self.args.probe, *args, stdout=out).returncode
            out.seek(0)
            return code, out.read()

    def windows(self, items=False):
        code, out = self.probe("windows", *(["items"] if items else []))
        return json.loads(out.decode("utf-8"))["windows"] if code == 0 and out else []

    def clipboard(self, unicode=False):
        code, out = self.probe("clip-read", *(["unicode"] if unicode else []))
        return out if code == 0 else None

    def screenshot(self, name):
        self.run("import", "-window", "root", os.path.join(self.args.artifacts, name + ".png"))

    def xdotool(self, *args):
        self.run("xdotool", *[str(a) for a in args], check=True)

    def click(self, point, button=1):
        self.xdotool("mousemove", "--sync", point[0], point[1], "click", button)

    def keys(self, *keys):
        self.xdotool("key", "--delay", "80", *keys)

    def drop(self, paths, x, y):
        """Drops the files at a screen point through the display's drag-and-drop protocol (XDND),
        as a file manager does; Wine turns it into WM_DROPFILES."""
        disp = display.Display()
        atom = {name: disp.intern_atom(name) for name in (
            "XdndAware", "XdndSelection", "XdndEnter", "XdndPosition", "XdndStatus", "XdndDrop",
            "XdndFinished", "XdndActionCopy", "text/uri-list")}
        root = disp.screen().root
        source = root.create_window(0, 0, 1, 1, 0, 0, X.InputOnly, X.CopyFromParent)
        uris = "".join("file://" + urllib.parse.quote(p) + "\r\n" for p in paths).encode()
        # The innermost window under the point that announces XdndAware, with its version.
        window, target = root, None
        while window:
            aware = window.get_full_property(atom["XdndAware"], Xatom.ATOM)
            if aware is not None and len(aware.value):
                target, version = window, min(int(aware.value[0]), 5)
            window = window.translate_coords(root, x, y).child
        assert target is not None, "no window under %d,%d accepts XDND drops" % (x, y)
        source.set_selection_owner(atom["XdndSelection"], X.CurrentTime)

        def send(name, data):
            target.send_event(event.ClientMessage(window=target, client_type=atom[name],
                                                  data=(32, [source.id] + data)), event_mask=0)
            disp.flush()

        def answer(name):  # the message from the target, answering requests for the names
            while disp.pending_events():
                ev = disp.next_event()
                if ev.type == X.SelectionRequest:
                    ok = ev.target == atom["text/uri-list"]
                    if ok:
                        ev.requestor.change_property(ev.property, ev.target, 8, uris)
                    ev.requestor.send_event(event.SelectionNotify(
                        time=ev.time, requestor=ev.requestor, selection=ev.selection,
                        target=ev.target, property=ev.property if ok else X.NONE), event_mask=0)
                    disp.flush()
                elif ev.type == X.ClientMessage and ev.client_type == atom[name]:
                    return ev

        send("XdndEnter", [version << 24, atom["text/uri-list"], 0, 0])
        send("XdndPosition", [0, (x << 16) | y, X.CurrentTime, atom["XdndActionCopy"]])
        status = wait_until("XdndStatus", lambda: answer("XdndStatus"), 120)
        assert status.data[1][1] & 1, "the window refused the drop"
        send("XdndDrop", [0, X.CurrentTime, 0, 0])
        wait_until("XdndFinished", lambda: answer("XdndFinished"), 120)
        disp.close()

    def launch(self, args, cwd):
        self.process = subprocess.Popen([self.args.wine, self.args.program, *args], cwd=cwd,
                                        env=self.env, **QUIET)

    def look(self, items=True):
        global last_list
        for window in self.windows(items):
            lists = [c for c in window["children"] if "LISTBOX" in c["class"]]
            if window["class"].startswith("obj_") and lists and "busy" not in lists[0]:
                self.pid, window["list"], last_list = window["pid"], lists[0], lists[0]
                window["buttons"] = {c["text"]: c for c in window["children"] if c is not lists[0]}
                return window

    def wait(self, what, condition=lambda w: True):
        def poll():
            assert self.process.poll() is None, "the program ended while waiting for " + what
            window = self.look()
            return window if window is not None and condition(window) else None
        return wait_until(what, poll)

    def wait_items(self, what, items):
        return self.wait(what, lambda w: w["list"]["items"] == items)

    def wait_box(self, title):
        return wait_until("the box", lambda: [
            w for w in self.windows() if w["class"] == "#32770" and w["pid"] == self.pid
            and title(w["text"]) and any(c["class"] == "Button" for c in w["children"])][0:1])[0]

    def press(self, box, label):
        self.click(center([c for c in box["children"]
                           if c["text"].replace("&", "") == label][0]["rect"]))
        wait_until("the box to close", lambda: all(
            w["hwnd"] != box["hwnd"] for w in self.windows() or [box]))

    def click_button(self, label):
        self.click(center(self.look(items=False)["buttons"][label]["rect"]))

    def choose(self, item):
        """Right-clicks the list and chooses item 0 Copy, 1 Copy All or 2 Save to File."""
        self.click(center(self.look(items=False)["list"]["rect"]), button=3)
        wait_until("the context menu", lambda: [
            w for w in self.windows() if w["class"] == "#32768"])
        self.keys(*(["Down"] * (item + 1)), "Return")

    def type_into(self, title, text):
        """Types into the dialog's name field until it shows the text (a busy display may lose
        a character typed through a remapped key), then presses Return."""
        def typed():
            field = [c for c in self.wait_box(lambda t: t == title)["children"]
                     if c["class"] == "Edit" and c["visible"]][0]
            if field["text"] != text:
                self.click(center(field["rect"]))
                self.keys("End", "shift+Home", "BackSpace")
                self.xdotool("type", "--delay", "60", text)
            return field["text"] == text
        wait_until("the typed name", typed)
        self.keys("Return")

    def close(self):
        """Alt+F4 on the window, as a person closes it; the exit code."""
        rect = self.look(items=False)["rect"]
        self.click((rect[0] + 60, rect[1] + 10))
        self.keys("alt+F4")
        return self.process.wait(timeout=180)

    def save_to(self, path, replace):
        self.choose(2)
        self.type_into("Save As", win_path(path))
        if replace:
            self.press(self.wait_box(lambda t: t != "Save As"), "Yes")


def start_up_save_and_about(desktop, root, files):
    desktop.launch([win_path(p) for p in files], root)
    want = lines_of(files)
    assert desktop.wait_items("the command line's lines", want)["text"] == "Vantrel"
    desktop.screenshot("start-up")
    # Save to File through the real dialog: a new file, over a hard link, over a read-only file
    # (refused with a notice; content and attribute kept).
    saved = os.path.join(root, "saved.txt")
    linked = write(os.path.join(root, "linked.txt"), b"old content" * 99)
    os.link(linked, linked + ".2")
    for path, replace, other in [(saved, False, saved), (linked, True, linked + ".2")]:
        desktop.save_to(path, replace)
        # The program writes the file after the dialog has closed: it may not be there yet.
        wait_until("the saved " + other,
                   lambda: os.path.exists(other) and open(other, "rb").read() == exported(want))
    assert os.stat(linked).st_nlink == 2, "the hard link was broken"
    readonly = write(os.path.join(root, "readonly.txt"), b"keep me\r\n", 0o444)
    desktop.save_to(readonly, True)
    desktop.press(desktop.wait_box(lambda t: t == "Vantrel"), "OK")
    assert open(readonly, "rb").read() == b"keep me\r\n", "the read-only file was changed"
    assert stat.S_IMODE(os.stat(readonly).st_mode) == 0o444, "the read-only attribute is gone"

    desktop.click_button("About")
    box = desktop.wait_box(lambda t: t == "Vantrel")
    desktop.screenshot("about")
    texts = [c["text"] for c in box["children"]]
    assert "Vantrel\r\n\r\nVersion 1.0\r\n\r\nhttps://vantrel.org" in texts, texts
    desktop.press(box, "OK")
    assert desktop.close() == 0, "the exit code"


def add_files_add_dir_drop_run_and_copy_all(desktop, root, files):
    desktop.launch([], root)
    desktop.wait("the window")
    desktop.click_button("Add Files")
    desktop.type_into("Open", '"%s" "%s"' % tuple(NAMES[:2]))
    want = [win_path(p) for p in files[:2]]
    desktop.wait_items("the chosen files", want)

    # Add Dir on a folder in the Wine user's Desktop, whose name alone there starts with "q":
    # the browser shows it under its root and the key "q" selects it. Its own file comes first.
    folder = os.path.join(desktop.args.prefix, "drive_c", "users", getpass.getuser(), "Desktop")
    if os.path.islink(folder):  # to the home folder: make it the prefix's own
        os.remove(folder)
        os.mkdir(folder)
    shutil.rmtree(os.path.join(folder, "q"), ignore_errors=True)
    os.makedirs(os.path.join(folder, "q", "sub"))
    shutil.copy(files[2], os.path.join(folder, "q"))
    shutil.copy(files[3], os.path.join(folder, "q", "sub"))
    want += ["C:\\users\\%s\\Desktop\\q\\%s" % (getpass.getuser(), n)
             for n in (NAMES[2], "sub\\" + NAMES[3])]
    desktop.click_button("Add Dir")
    browser = desktop.wait_box(lambda t: t == "Browse for Folder")
    tree = [c for c in browser["children"] if c["class"] == "SysTreeView32"][0]["rect"]
    desktop.click((center(tree)[0], tree[3] - 10))
    desktop.keys("q")
    desktop.press(browser, "OK")
    desktop.wait_items("the folder's files", want)

    # A real desktop drop: the names arrive last first; the one already listed is refused.
    desktop.drop([files[3], files[4], files[0]], *center(desktop.look(False)["list"]["rect"]))
    want += [win_path(files[4]), win_path(files[3])]
    desktop.wait_items("the dropped files", want)

    desktop.click_button("Start")
    done = desktop.wait("Done", lambda w: w["text"] == "Done")
    desktop.screenshot("done")
    lines = lines_of(files + [files[3]])
    assert done["list"]["items"] == lines, (done["list"]["items"], lines)
    enabled = {t: b["enabled"] for t, b in done["buttons"].items()}
    assert enabled == {"Add Dir": False, "Add Files": False, "Clear": True, "Start": False,
                       "About": True}, enabled
    # Copy All after the run: the list's UTF-8 bytes, and the same text as UTF-16.
    desktop.choose(1)
    wait_until("Copy All", lambda: desktop.clipboard() == exported(lines))
    assert desktop.clipboard(unicode=True) == exported(lines).decode().encode("utf-16-le")
    assert desktop.close() == 0, "the exit code"


def own_display():
    """Starts a virtual display for this run when none is set (DISPLAY); the Xvfb process."""
    if os.environ.get("DISPLAY"):
        return None
    number, ready = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(ready), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp"], pass_fds=[ready], **QUIET)
    os.close(ready)
    with os.fdopen(number) as f:
        os.environ["DISPLAY"] = ":" + f.readline().strip()
    assert os.environ["DISPLAY"] != ":", "Xvfb did not start"
    return xvfb


def main():
    parser = argparse.ArgumentParser()
    for option in ("--wine", "--program", "--probe", "--artifacts", "--prefix"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    args.prefix = os.path.abspath(args.prefix)
    os.makedirs(args.artifacts, exist_ok=True)
    xvfb = own_display()
    desktop, root, failed = Desktop(args), tempfile.mkdtemp(prefix="vantrel-e2e-"), 0
    try:
        desktop.start()
        files = [make_torrent(root, n, i) for i, n in enumerate(NAMES)]
        files.append(write(os.path.join(root, REPORT), MALFORMED))
        for case in (start_up_save_and_about, add_files_add_dir_drop_run_and_copy_all):
            print(case.__name__, flush=True)
            try:
                case(desktop, root, files)
            except Exception:  # noqa: BLE001 -- reported, and the next case runs
                traceback.print_exc()
                desktop.screenshot("failed-" + case.__name__)
                failed += 1
    finally:
        desktop.run(WINESERVER, "-k")
        shutil.rmtree(root, True)
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
    print("%d of 2 failed" % failed)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
