"""The Desktop driver: the real vantrel.exe in one Wine desktop on an X display, driven from
outside as a person drives it, with the mouse and keyboard (xdotool), drops through the display's
drag-and-drop protocol (XDND) and vantrel_probe, which reads the windows, the list and the
clipboard's exact bytes. Used by the end-to-end tests and the benchmark (PYTHONPATH=tools/desktop).
Needs /usr/bin/python3 with python3-xlib."""
import getpass
import json
import os
import shutil
import subprocess
import tempfile
import time
import urllib.parse

from Xlib import X, Xatom, display
from Xlib.protocol import event

WINESERVER = "/usr/lib/wine/wineserver64"  # the wrapper's server too; it serves 32-bit programs
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
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

    def stop(self):
        self.run(WINESERVER, "-k")

    def user_desktop(self):
        """The Wine user's Desktop folder, made the prefix's own if it links to the home folder;
        the folder browser shows its entries under its root."""
        folder = os.path.join(self.args.prefix, "drive_c", "users", getpass.getuser(), "Desktop")
        if os.path.islink(folder):
            os.remove(folder)
            os.mkdir(folder)
        return folder

    def clear_q_entries(self):
        """Removes the Desktop's entries whose names start with "q", the key add_dir presses."""
        for name in os.listdir(self.user_desktop()):
            path = os.path.join(self.user_desktop(), name)
            if name.startswith("q") and not os.path.islink(path) and os.path.isdir(path):
                shutil.rmtree(path, ignore_errors=True)
            elif name.startswith("q"):
                os.remove(path)

    def add_dir(self):
        """Presses Add Dir and selects the Desktop's one entry starting with "q" in the folder
        browser (the key "q" selects it); the point of its OK button, which the caller clicks."""
        self.click_button("Add Dir")
        browser = self.wait_box(lambda t: t == "Browse for Folder")
        tree = [c for c in browser["children"] if c["class"] == "SysTreeView32"][0]["rect"]
        self.click((center(tree)[0], tree[3] - 10))
        self.keys("q")
        return center([c for c in browser["children"]
                       if c["text"].replace("&", "") == "OK"][0]["rect"])

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
