"""One Xvfb display and one Wine virtual desktop for the whole run, the real program in it, a
person's hands (xdotool, an XDND drag source) and vantrel_probe, which reads windows, the list
and the clipboard from another process. Waits end on the awaited state, bounded generously."""
import ctypes
import json
import os
import signal
import subprocess
import tempfile
import time

import xdnd_drop

WINESERVER = "/usr/lib/wine/wineserver64"  # the wrapper's server too; it serves 32-bit programs
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def center(rect):
    return ((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)


def wait_until(what, poll, timeout=180.0):
    deadline = time.monotonic() + timeout
    while not (found := poll()):
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(0.1)
    return found


class Desktop:
    def __init__(self, args):
        self.wine, self.probe_exe, self.artifacts = args.wine, args.probe, args.artifacts
        self.scratch = tempfile.mkdtemp(prefix="vantrel-e2e-")
        self.xvfb = self.env = None

    def run(self, *command, timeout=600, **kwargs):
        return subprocess.run(command, env=self.env, timeout=timeout, **{**QUIET, **kwargs})

    def start(self, prefix):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp"], pass_fds=(write_end,), **QUIET,
            preexec_fn=lambda: ctypes.CDLL("libc.so.6").prctl(1, signal.SIGTERM))
        os.close(write_end)
        with os.fdopen(read_end) as number:
            self.env = dict(os.environ, DISPLAY=":" + number.readline().strip(), WINEPREFIX=prefix,
                            WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self.run(WINESERVER, "-k")
        self.run(WINESERVER, "-w")
        if not os.path.exists(os.path.join(prefix, "system.reg")):
            self.run(self.wine, "wineboot", "-i")
            # Every program of the prefix in one framed virtual desktop filling the display.
            self.run(self.wine, "reg", "add", r"HKCU\Software\Wine\Explorer\Desktops", "/v",
                     "Default", "/d", "1024x768", "/f")
            self.run(self.wine, "reg", "add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop",
                     "/d", "Default", "/f")
            self.run(WINESERVER, "-w")
        # Started here, server and services inherit no pipe of ours; the server ends soon after
        # its last program, should the harness be killed.
        self.run(WINESERVER, "-p30")
        self.run(self.wine, "wineboot")

    def stop(self):
        if self.env is not None:
            self.run(WINESERVER, "-k")
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=30)

    def probe(self, *args):
        """vantrel_probe's exit code and output, through a file: a Wine service could inherit a
        pipe and hold it open."""
        with tempfile.TemporaryFile() as out:
            code = self.run(self.wine, self.probe_exe, *args, stdout=out).returncode
            out.seek(0)
            return code, out.read()

    def windows(self, items=False):
        code, out = self.probe("windows", *(["items"] if items else []))
        return json.loads(out.decode("utf-8"))["windows"] if code == 0 and out else []

    def clipboard(self, unicode=False):
        path = os.path.join(self.scratch, "clipboard.bin")
        if self.probe("clip-read", win_path(path), *(["unicode"] if unicode else []))[0] == 0:
            with open(path, "rb") as f:
                return f.read()

    def screenshot(self, name):
        os.makedirs(self.artifacts, exist_ok=True)
        self.run("import", "-window", "root", os.path.join(self.artifacts, name + ".png"))

    def xdotool(self, *args):
        self.run("xdotool", *[str(a) for a in args], check=True)

    def click(self, point, button=1):
        self.xdotool("mousemove", "--sync", point[0], point[1], "click", button)

    def keys(self, *keys):
        self.xdotool("key", "--delay", "80", *keys)

    def drop(self, paths, point):
        os.environ["DISPLAY"] = self.env["DISPLAY"]
        xdnd_drop.drop(paths, *point)


class Program:
    """The real vantrel.exe in the desktop."""

    def __init__(self, desktop, program, args, cwd):
        self.desktop, self.pid = desktop, None
        self.process = subprocess.Popen([desktop.wine, program, *args], cwd=cwd, env=desktop.env,
                                        **QUIET)

    def look(self, items=True):
        """The main window, its buttons by caption and its list, or None."""
        for window in self.desktop.windows(items):
            lists = [c for c in window["children"] if "LISTBOX" in c["class"]]
            if window["class"].startswith("obj_") and lists and "busy" not in lists[0]:
                self.pid, window["list"] = window["pid"], lists[0]
                window["buttons"] = {c["text"]: c for c in window["children"] if c is not lists[0]}
                return window

    def wait(self, what, condition=lambda w: True):
        seen = [None]
        def poll():
            if self.process.poll() is not None:
                raise AssertionError("the program ended while waiting for " + what)
            seen[0] = self.look()
            return seen[0] if seen[0] is not None and condition(seen[0]) else None
        try:
            return wait_until(what, poll)
        except AssertionError as failure:
            self.desktop.screenshot("timeout")
            raise AssertionError("%s; last seen: %r" % (failure, seen[0] and seen[0]["list"]))

    def wait_items(self, what, items):
        return self.wait(what, lambda w: w["list"]["items"] == items)

    def wait_box(self, title):
        """A dialog or message box of the program, complete with its buttons."""
        return wait_until("a box titled %r" % title, lambda: [
            w for w in self.desktop.windows() if w["class"] == "#32770" and w["pid"] == self.pid
            and title(w["text"]) and any(c["class"] == "Button" for c in w["children"])][0:1])[0]

    def press(self, box, label):
        """Clicks the box's button with that label and waits until the box is gone."""
        self.desktop.click(center([c for c in box["children"]
                                   if c["text"].replace("&", "") == label][0]["rect"]))
        wait_until("the box to close", lambda: all(
            w["hwnd"] != box["hwnd"] for w in self.desktop.windows() or [box]))

    def click_button(self, label):
        self.desktop.click(center(self.look(items=False)["buttons"][label]["rect"]))

    def choose(self, item):
        """Right-clicks the list and chooses item 0 Copy, 1 Copy All or 2 Save to File."""
        self.desktop.click(center(self.look(items=False)["list"]["rect"]), button=3)
        wait_until("the context menu", lambda: [
            w for w in self.desktop.windows() if w["class"] == "#32768"])
        self.desktop.keys(*(["Down"] * (item + 1)), "Return")

    def type_into(self, title, text):
        """Types into the dialog's file-name field until it shows the text (a busy display may
        lose a character typed through a remapped key), then presses Return."""
        def typed():
            field = [c for c in self.wait_box(title)["children"]
                     if c["class"] == "Edit" and c["visible"]][0]
            if field["text"] != text:
                self.desktop.click(center(field["rect"]))
                self.desktop.keys("ctrl+a", "BackSpace")
                self.desktop.xdotool("type", "--delay", "60", text)
            return field["text"] == text
        wait_until("the typed name", typed)
        self.desktop.keys("Return")

    def close(self):
        """Alt+F4 on the window, as a person closes it; the exit code."""
        rect = self.look(items=False)["rect"]
        self.desktop.click((rect[0] + 60, rect[1] + 10))
        self.desktop.keys("alt+F4")
        return self.process.wait(timeout=180)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)
