"""The end-to-end harness: one Xvfb display and one Wine virtual desktop for the whole run, the
real program started in it, a person's hands (xdotool, an XDND drag source) and vantrel_probe,
which reads the windows, the list and the clipboard's exact bytes from another process.

Every wait ends on the state it waits for, with a bound that a loaded machine meets.
"""
import ctypes
import json
import os
import signal
import subprocess
import tempfile
import time

import xdnd_drop

# The wine wrapper's server is the 64-bit one, which also serves 32-bit programs.
WINESERVER = "/usr/lib/wine/wineserver64"
SCREEN = (1024, 768)
WAIT = 120.0


def win_path(path):
    """The name under which a Windows program sees a Linux path (drive Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wait_until(what, poll, timeout=WAIT):
    deadline = time.monotonic() + timeout
    while True:
        found = poll()
        if found:
            return found
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(0.1)


def center(rect):
    return ((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)


class Desktop:
    def __init__(self, wine, prefix, probe, artifacts):
        self.wine, self.prefix, self.probe_exe, self.artifacts = wine, prefix, probe, artifacts
        self.scratch = tempfile.mkdtemp(prefix="vantrel-e2e-")
        self.xvfb = self.env = None

    def run(self, *command, timeout=300, **kwargs):
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        return subprocess.run(command, env=self.env, timeout=timeout, stdin=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, **kwargs)

    def start(self):
        read_end, write_end = os.pipe()
        death = lambda: ctypes.CDLL("libc.so.6").prctl(1, signal.SIGTERM)  # ends with us
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % SCREEN,
             "-nolisten", "tcp"], pass_fds=(write_end,), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=death)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            self.env = dict(os.environ, DISPLAY=":" + numbers.readline().strip(),
                            WINEPREFIX=self.prefix, WINEDEBUG="-all",
                            WINEDLLOVERRIDES="mscoree,mshtml=")
        self.run(WINESERVER, "-k")
        self.run(WINESERVER, "-w")
        if not os.path.exists(os.path.join(self.prefix, ".vantrel-e2e-desktop")):
            os.makedirs(self.prefix, exist_ok=True)
            self.run(self.wine, "wineboot", "-i", timeout=600)
            # Every program of the prefix in one framed virtual desktop filling the display.
            for key, value, data in [(r"HKCU\Software\Wine\Explorer", "Desktop", "Default"),
                                     (r"HKCU\Software\Wine\Explorer\Desktops", "Default",
                                      "%dx%d" % SCREEN)]:
                self.run(self.wine, "reg", "add", key, "/v", value, "/d", data, "/f")
            self.run(WINESERVER, "-w")
            open(os.path.join(self.prefix, ".vantrel-e2e-desktop"), "w").close()
        # Server and services start here with no pipe of ours to inherit; the server outlives
        # its last program by a little, should the harness be killed.
        self.run(WINESERVER, "-p30")
        self.run(self.wine, "wineboot")

    def stop(self):
        if self.env is not None:
            self.run(WINESERVER, "-k")
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=30)

    def probe(self, *args):
        """vantrel_probe's exit code and output, through a file: a pipe could be inherited and
        held open by a Wine service."""
        with tempfile.TemporaryFile() as out:
            code = self.run(self.wine, self.probe_exe, *args, timeout=120, stdout=out).returncode
            out.seek(0)
            return code, out.read()

    def windows(self, items=False):
        code, out = self.probe("windows", *(["items"] if items else []))
        return json.loads(out.decode("utf-8"))["windows"] if code == 0 and out else None

    def clipboard(self, unicode=False):
        """The clipboard's CF_TEXT or CF_UNICODETEXT bytes as a Windows program reads them."""
        path = os.path.join(self.scratch, "clipboard.bin")
        code, _ = self.probe("clip-read", win_path(path), *(["unicode"] if unicode else []))
        if code != 0:
            return None
        with open(path, "rb") as f:
            return f.read()

    def screenshot(self, name):
        os.makedirs(self.artifacts, exist_ok=True)
        path = os.path.join(self.artifacts, name + ".png")
        self.run("import", "-window", "root", path, timeout=60)
        return path

    def xdotool(self, *args):
        self.run("xdotool", *[str(a) for a in args], timeout=60, check=True)

    def click(self, point, button=1):
        self.xdotool("mousemove", "--sync", point[0], point[1], "click", button)

    def keys(self, *keys):
        self.xdotool("key", "--delay", "80", *keys)

    def type_text(self, text):
        self.xdotool("type", "--delay", "60", text)

    def drop(self, paths, point):
        os.environ["DISPLAY"] = self.env["DISPLAY"]
        xdnd_drop.drop(paths, *point)


class Program:
    """The real vantrel.exe, started in the desktop, looked at with the probe."""

    def __init__(self, desktop, program, args=(), cwd=None):
        self.desktop = desktop
        self.process = subprocess.Popen([desktop.wine, program, *args], cwd=cwd, env=desktop.env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.pid = None

    def look(self, items=True):
        """The main window (a visible "obj_" window) with its children by text, or None."""
        windows = self.desktop.windows(items) or []
        for window in windows:
            if window["class"].startswith("obj_"):
                self.pid = window["pid"]
                window["buttons"] = {c["text"]: c for c in window["children"]
                                     if c["class"].upper().endswith("BUTTON")}
                window["list"] = [c for c in window["children"] if "LISTBOX" in c["class"]][0]
                if "busy" not in window["list"]:
                    return window
        return None

    def wait(self, what, condition=lambda w: True, items=True):
        seen = {}
        def poll():
            if self.process.poll() is not None:
                raise AssertionError("the program ended while waiting for " + what)
            seen["window"] = window = self.look(items)
            return window if window is not None and condition(window) else None
        try:
            return wait_until(what, poll)
        except AssertionError as failure:
            self.desktop.screenshot("timeout")
            window = seen.get("window") or {}
            raise AssertionError("%s; last seen: %r, %r" % (failure, window.get("text"),
                                                           window.get("list")))

    def wait_items(self, what, items):
        return self.wait(what, lambda w: w["list"]["items"] == items)

    def box(self, title=None):
        """A dialog or message box of the program, by title (any title but the main one)."""
        for window in self.desktop.windows() or []:
            if window["class"] == "#32770" and window["pid"] == self.pid and \
                    (title is None or window["text"] == title) and \
                    any(c["class"] == "Button" for c in window["children"]):
                return window
        return None

    def wait_box(self, title=None):
        return wait_until("a box titled %r" % title, lambda: self.box(title))

    def press(self, box, label):
        """Clicks the box's button with that label and waits until the box is gone."""
        button = [c for c in box["children"] if c["text"].replace("&", "") == label][0]
        self.desktop.click(center(button["rect"]))
        wait_until("the box to close", lambda: all(
            w["hwnd"] != box["hwnd"] for w in self.desktop.windows() or [box]))

    def click_button(self, label):
        self.desktop.click(center(self.look(items=False)["buttons"][label]["rect"]))

    def choose(self, item):
        """Right-clicks the list and chooses the context menu's item (0 Copy, 1 Copy All,
        2 Save to File) with the keyboard."""
        self.desktop.click(center(self.look(items=False)["list"]["rect"]), button=3)
        wait_until("the context menu", lambda: any(
            w["class"] == "#32768" for w in self.desktop.windows() or []))
        self.desktop.keys(*(["Down"] * (item + 1)), "Return")

    def type_into(self, title, text):
        """Types text into the file-name field of the dialog with that title until the field
        shows it (a busy display may lose a character typed through a remapped key), then
        presses Return."""
        def typed():
            field = [c for c in self.wait_box(title)["children"]
                     if c["class"] == "Edit" and c["visible"]][0]
            if field["text"] == text:
                return True
            self.desktop.click(center(field["rect"]))
            self.desktop.keys("ctrl+a", "BackSpace")
            self.desktop.type_text(text)
            return False
        wait_until("the typed name", typed)
        self.desktop.keys("Return")

    def close(self):
        """Alt+F4 on the window, as a person closes it; its exit code."""
        window = self.look(items=False)
        self.desktop.click((window["rect"][0] + 60, window["rect"][1] + 10))
        self.desktop.keys("alt+F4")
        return self.process.wait(timeout=WAIT)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)
