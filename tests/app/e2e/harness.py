"""The end-to-end harness: a virtual display with one Wine virtual desktop, the real program
started in it, and the ways a person works with it (mouse, keyboard, dropping files, the
clipboard), plus vantrel_probe to read windows, the list and the clipboard's exact bytes.

Every wait is for an observable state and bounded; nothing sleeps and hopes.
"""
import ctypes
import json
import os
import signal
import subprocess
import tempfile
import time

import xdnd_drop

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver64"
SCREEN = (1024, 768)
WAIT = 90.0  # seconds for any one state to appear; generous for a loaded 2-core machine


class Config:
    on_timeout = None  # called with the awaited thing's description before a wait fails
    program = None
    probe = None
    artifacts = None
    prefix = None


def win_path(path):
    """The name under which a Windows program sees a Linux path (drive Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def die_with_parent():
    """In a child before exec: end it when the harness ends, even when ctest kills it."""
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def wait_until(what, poll, timeout=WAIT, interval=0.1):
    """Calls poll until it gives something true and returns that; fails after timeout."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = poll()
        if last:
            return last
        if time.monotonic() > deadline:
            if Config.on_timeout is not None:
                Config.on_timeout(what)
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def run(command, env=None, timeout=120, **kwargs):
    return subprocess.run(command, env=env, timeout=timeout, stdin=subprocess.DEVNULL, **kwargs)


class Desktop:
    """An Xvfb display of 1024 x 768 and a wine prefix whose programs all run in one Wine
    virtual desktop filling it, so windows get frames and captions drawn by Wine, and Windows
    screen coordinates are the display's coordinates."""

    def __init__(self, name):
        self.name = name
        self.xvfb = None
        self.env = None
        self.scratch = tempfile.mkdtemp(prefix="vantrel-e2e-")

    def start(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % SCREEN,
             "-nolisten", "tcp"], pass_fds=(write_end,), stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, preexec_fn=die_with_parent)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        env = dict(os.environ)
        env.update(DISPLAY=":" + number, WINEPREFIX=Config.prefix, WINEDEBUG="-all",
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env = env
        self.stop_wine()
        self.prepare_prefix()
        # The server, the services and the desktop start here with no pipe of ours to inherit.
        # The server outlives its last program by a little, not forever, should we be killed.
        run([WINESERVER, "-p30"], env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        run([WINE, "wineboot"], env, timeout=300, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        wait_until("the Wine desktop", lambda: self.windows() is not None)

    def prepare_prefix(self):
        marker = os.path.join(Config.prefix, ".vantrel-e2e-desktop")
        if os.path.exists(marker):
            return
        os.makedirs(Config.prefix, exist_ok=True)
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        run([WINE, "wineboot", "-i"], self.env, timeout=600, **quiet)
        for key, value, data in [(r"HKCU\Software\Wine\Explorer", "Desktop", "Default"),
                                 (r"HKCU\Software\Wine\Explorer\Desktops", "Default",
                                  "%dx%d" % SCREEN)]:
            run([WINE, "reg", "add", key, "/v", value, "/d", data, "/f"], self.env, **quiet)
        self.stop_wine()
        with open(marker, "w"):
            pass

    def stop_wine(self):
        run([WINESERVER, "-k"], self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        run([WINESERVER, "-w"], self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self):
        if self.env is not None:
            self.stop_wine()
            self.env = None
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=30)
            self.xvfb = None

    # --- looking from outside ------------------------------------------------------------

    def probe(self, *args, timeout=60):
        """Runs vantrel_probe; its output goes through a file, never a pipe that a Wine service
        could inherit and hold open."""
        with tempfile.TemporaryFile() as out:
            result = run([WINE, Config.probe, *args], self.env, timeout=timeout, stdout=out,
                         stderr=subprocess.DEVNULL)
            out.seek(0)
            return result.returncode, out.read()

    def windows(self, items=False):
        code, out = self.probe("windows", *(["items"] if items else []))
        if code != 0:
            return None
        return json.loads(out.decode("utf-8"))

    def clipboard_bytes(self):
        """The clipboard's CF_TEXT as a Windows program reads it; None when there is none."""
        path = os.path.join(self.scratch, "clipboard.bin")
        if os.path.exists(path):
            os.remove(path)
        code, _ = self.probe("clip-read", win_path(path))
        if code == 3:
            return None
        if code != 0:
            raise AssertionError("vantrel_probe clip-read failed with %d" % code)
        with open(path, "rb") as f:
            return f.read()

    def set_clipboard(self, text):
        code, _ = self.probe("clip-set", text)
        if code != 0:
            raise AssertionError("vantrel_probe clip-set failed with %d" % code)

    def x_clipboard(self):
        """The X clipboard as an X program (xclip) reads it."""
        result = run(["xclip", "-o", "-selection", "clipboard"], self.env, timeout=30,
                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        return result.stdout if result.returncode == 0 else None

    def screenshot(self, name, rect=None):
        os.makedirs(Config.artifacts, exist_ok=True)
        path = os.path.join(Config.artifacts, name + ".png")
        command = ["import", "-window", "root"]
        if rect is not None:
            left, top, right, bottom = rect
            command += ["-crop", "%dx%d+%d+%d" % (right - left, bottom - top, left, top)]
        run(command + [path], self.env, timeout=60, check=True)
        return path

    # --- a person's hands ----------------------------------------------------------------

    def xdotool(self, *args):
        run(["xdotool", *[str(a) for a in args]], self.env, timeout=60, check=True)

    def click(self, x, y, button=1):
        self.xdotool("mousemove", "--sync", int(x), int(y), "click", button)

    def drag(self, start, end, steps=8):
        self.xdotool("mousemove", "--sync", int(start[0]), int(start[1]), "mousedown", 1)
        for i in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * i // steps
            y = start[1] + (end[1] - start[1]) * i // steps
            self.xdotool("mousemove", "--sync", int(x), int(y))
            time.sleep(0.05)
        self.xdotool("mouseup", 1)

    def keys(self, *keys):
        self.xdotool("key", "--delay", "80", *keys)

    def type_text(self, text):
        self.xdotool("type", "--delay", "40", text)

    def drop(self, paths, x, y):
        env_display = os.environ.get("DISPLAY")
        os.environ["DISPLAY"] = self.env["DISPLAY"]
        try:
            xdnd_drop.drop(paths, int(x), int(y))
        finally:
            if env_display is None:
                del os.environ["DISPLAY"]
            else:
                os.environ["DISPLAY"] = env_display


def center(rect):
    return ((rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2)


def in_client(window, child):
    """A child's rectangle in its top-level window's client coordinates."""
    ox, oy = window["client_origin"]
    r = child["rect"]
    return [r[0] - ox, r[1] - oy, r[2] - ox, r[3] - oy]


class MainWindow:
    """One look at the program's main window: caption, controls by role, the list."""

    ROLES = {"Add Dir": "AddDir", "Add Files": "AddFiles", "Clear": "Clear", "Abort": "Clear",
             "Start": "Start", "About": "About"}

    def __init__(self, window, screen):
        self.window = window
        self.screen = screen
        self.caption = window["text"]
        self.rect = window["rect"]
        self.width = self.rect[2] - self.rect[0]
        self.height = self.rect[3] - self.rect[1]
        self.client = window["client"]
        self.buttons = {}
        self.list = None
        for child in window["children"]:
            if "LISTBOX" in child["class"].upper():
                self.list = child
            elif child["text"] in self.ROLES:
                self.buttons[self.ROLES[child["text"]]] = child

    @property
    def items(self):
        """The list's entries when they were read (see Vantrel.look), else None."""
        if self.list is None or self.list.get("busy"):
            return None
        return self.list.get("items")

    @property
    def count(self):
        return None if self.list is None or self.list.get("busy") else self.list["count"]

    def button(self, role):
        return self.buttons[role]

    def client_rect(self, child):
        return in_client(self.window, child)

    def enabled(self):
        return {role: b["enabled"] for role, b in self.buttons.items()}

    def item_point(self, index):
        """The screen point in the middle of list entry index (the list must show it)."""
        left, top, right, _ = self.list["rect"]
        ox, oy = self.list["client_origin"]
        height = self.list["item_height"]
        return (ox + 40, oy + (index - self.list["top"]) * height + height // 2)


class Vantrel:
    """The real program, started in the desktop."""

    def __init__(self, desktop, args=(), cwd=None):
        self.desktop = desktop
        self.log = tempfile.TemporaryFile()
        self.process = subprocess.Popen([WINE, Config.program, *args], cwd=cwd,
                                        env=desktop.env, stdin=subprocess.DEVNULL,
                                        stdout=self.log, stderr=self.log)
        self.hwnd = None

    def own_windows(self, snapshot=None):
        snapshot = snapshot or self.desktop.windows()
        if snapshot is None:
            return None, []
        main = None
        for w in snapshot["windows"]:
            if w["class"].startswith("obj_") and w["visible"] and \
                    (w["style"] & 0x40000000) == 0:
                main = w
        return main, snapshot

    def look(self, items=True):
        """The main window as it is now, or None when it is not (yet) shown. Reading the
        entries costs one message each, answered once a file during a run: during runs, look
        with items=False."""
        snapshot = self.desktop.windows(items)
        if snapshot is None:
            return None
        main, _ = self.own_windows(snapshot)
        if main is None:
            return None
        self.hwnd = main["hwnd"]
        self.pid = main["pid"]
        return MainWindow(main, snapshot["screen"])

    def wait(self, what, condition=lambda m: True, timeout=WAIT, items=True):
        """Waits until the main window is shown and condition(main window) holds."""
        def poll():
            if self.process.poll() is not None:
                raise AssertionError("the program ended (exit code %s) while waiting for %s"
                                     % (self.process.returncode, what))
            main = self.look(items)
            if main is None or main.count is None or (items and main.items is None):
                return None
            return main if condition(main) else None
        return wait_until(what, poll, timeout)

    def wait_settled(self, what, timeout=WAIT):
        """Waits for the shown window and then until two looks in a row find the same layout:
        a look taken while the window is being laid out for its first showing may catch the
        list and the client area at different moments."""
        def layout(main):
            return [main.rect, main.client] + [c["rect"] for c in main.window["children"]]
        previous = layout(self.wait(what, timeout=timeout))
        def poll():
            nonlocal previous
            main = self.wait(what, timeout=timeout)
            now = layout(main)
            settled, previous = now == previous, now
            return main if settled else None
        return wait_until(what + " laid out", poll, timeout)

    def wait_caption(self, caption, timeout=WAIT, items=True):
        return self.wait("the caption %r" % caption, lambda m: m.caption == caption, timeout,
                         items)

    def boxes(self, snapshot=None):
        """The program's dialog windows (message boxes, file dialogs, the folder browser)."""
        snapshot = snapshot or self.desktop.windows()
        if snapshot is None:  # the probe could not look this time: no box seen yet
            return []
        return [w for w in snapshot["windows"]
                if w["class"] == "#32770" and w["visible"] and w["pid"] == self.pid]

    def wait_box(self, what, condition, timeout=WAIT):
        def poll():
            if self.process.poll() is not None:
                raise AssertionError("the program ended while waiting for %s" % what)
            found = [b for b in self.boxes() if condition(b)]
            return found[0] if found else None
        return wait_until(what, poll, timeout)

    def wait_no_box(self, timeout=WAIT):
        wait_until("the dialog to close", lambda: not self.boxes(), timeout)

    def popup_menu(self):
        snapshot = self.desktop.windows()
        menus = [w for w in snapshot["windows"] if w["class"] == "#32768" and w["visible"]]
        return menus[0] if menus else None

    def wait_popup_menu(self):
        return wait_until("the context menu", self.popup_menu)

    def click_button(self, main, role):
        self.desktop.click(*center(main.button(role)["rect"]))

    def choose_menu_item(self, index, count=3):
        """Clicks item index of the open context menu (its items share its height)."""
        menu = self.wait_popup_menu()
        left, top, right, bottom = menu["rect"]
        border = 3
        item = (bottom - top - 2 * border) / count
        self.desktop.click((left + right) // 2, top + border + item * index + item / 2)

    def close(self):
        """Closes the main window as a person does: Alt+F4 on the active window."""
        main = self.look(items=False)
        self.desktop.click(main.rect[0] + 60, main.rect[1] + 10)
        self.desktop.keys("alt+F4")

    def exit_code(self, timeout=WAIT):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program did not end within %.0f s" % timeout)

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)

    def output(self):
        self.log.seek(0)
        return self.log.read().decode("utf-8", "replace")
