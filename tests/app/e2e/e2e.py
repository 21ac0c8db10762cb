#!/usr/bin/python3
"""End-to-end tests of vantrel.exe: the real program under wine64 in a virtual display, driven
from outside as a person drives it, results read back from the list, the clipboard and files.

usage: e2e.py --program vantrel.exe --probe vantrel_probe.exe --artifacts DIR --prefix DIR
              [SUITE[.test] ...]
"""
import argparse
import ctypes
import getpass
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import fixtures  # noqa: E402
from harness import Config, Desktop, Vantrel, center, wait_until, win_path  # noqa: E402

CRLF = "\r\n"
DESIGN_BUTTONS = {"AddDir": [8, 4, 72, 26], "AddFiles": [88, 4, 152, 26],
                  "Clear": [184, 4, 248, 26], "Start": [272, 4, 336, 26]}
# Names of one 40 MB metainfo file: a run of a minute or more, ended early. Few names, as the
# list's duplicate check makes adding n names cost n squared.
LONG_RUN = 600


class Holder:
    """vantrel_probe holding something (the clipboard, a file) until the block ends."""

    def __init__(self, desktop, *args):
        self.process = subprocess.Popen(["/usr/lib/wine/wine64", Config.probe, *args],
                                        env=desktop.env, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def __enter__(self):
        line = self.process.stdout.readline().strip()
        if line not in (b"held", b"locked"):
            self.__exit__()
            raise AssertionError("vantrel_probe could not hold: %r" % line)
        return self

    def __exit__(self, *exc):
        self.process.stdin.close()
        self.process.wait(timeout=60)


class OpenCounter:
    """Counts the openings of one file by anyone (inotify), through links too."""

    IN_OPEN = 0x20

    def __init__(self, path):
        libc = ctypes.CDLL("libc.so.6", use_errno=True)
        self.fd = libc.inotify_init1(os.O_NONBLOCK)
        if self.fd < 0 or libc.inotify_add_watch(self.fd, os.fsencode(path), self.IN_OPEN) < 0:
            raise OSError(ctypes.get_errno(), "inotify")
        self.opened = 0

    def count(self):
        while True:
            try:
                data = os.read(self.fd, 65536)
            except BlockingIOError:
                return self.opened
            offset = 0
            while offset < len(data):
                _, _, _, length = struct.unpack_from("iIII", data, offset)
                offset += 16 + length
                self.opened += 1

    def close(self):
        os.close(self.fd)


def run_quietly(command):
    return subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=60).returncode


def exported(lines):
    return "".join(line + CRLF for line in lines).encode("latin-1")


class Suite(unittest.TestCase):
    """One desktop for the whole suite; one program (or more) per test."""

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="vantrel-e2e-%s-" % cls.__name__.lower())
        cls.addClassCleanup(shutil.rmtree, cls.root, True)
        cls.desktop = Desktop(cls.__name__)
        cls.addClassCleanup(shutil.rmtree, cls.desktop.scratch, True)
        cls.addClassCleanup(cls.desktop.stop)
        cls.desktop.start()
        cls.mixed = fixtures.make_mixed_set(os.path.join(cls.root, "mixed"), cls.root)

    def setUp(self):
        self.programs = []
        # A picture of the screen as it was when a wait ran out.
        Config.on_timeout = lambda what: self.desktop.screenshot(
            "timeout-" + self.id().rsplit(".", 1)[-1])

    def tearDown(self):
        for program in self.programs:
            program.kill()

    def start(self, args=(), cwd=None):
        program = Vantrel(self.desktop, args, cwd or self.root)
        self.programs.append(program)
        return program

    def shot(self, name):
        self.desktop.screenshot(name)

    def close_and_check_exit(self, program):
        program.close()
        code = program.exit_code()
        self.assertEqual(code, 0, "exit code; output: %s" % program.output())

    def drop_names(self, program, paths, where="list"):
        """Drops the files on the list (or on the button strip) from an X drag source."""
        main = program.look(items=False)
        if where == "list":
            point = center(main.list["rect"])
        else:
            ox, oy = main.window["client_origin"]
            point = (ox + 170, oy + 12)  # between Add Files and Clear
        self.desktop.drop(paths, *point)

    def load_by_drop(self, program, entries):
        """Puts the names into the list in the given order (a drop arrives reversed)."""
        main = program.wait("the ready window")
        before = main.items
        self.drop_names(program, [p for p, _ in reversed(entries)])
        want = before + [win_path(p) for p, _ in entries]
        # Counting is one message; reading every entry is one each: read once, when complete.
        program.wait("the dropped names", lambda m: m.count == len(want), items=False)
        main = program.look()
        self.assertEqual(main.items, want)
        return main

    def assert_state(self, main, caption, start, intake, clear_caption):
        self.assertEqual(main.caption, caption)
        self.assertEqual(main.button("Start")["enabled"], start, "Start enabled")
        self.assertEqual(main.button("AddDir")["enabled"], intake, "Add Dir enabled")
        self.assertEqual(main.button("AddFiles")["enabled"], intake, "Add Files enabled")
        self.assertEqual(main.button("Clear")["text"], clear_caption)
        self.assertTrue(main.button("Clear")["enabled"])
        self.assertTrue(main.button("About")["enabled"])

    def context_menu_by_mouse(self, program, main, index=0):
        self.desktop.click(*main.item_point(index), button=3)
        return program.wait_popup_menu()

    def clipboard_change(self, what, previous):
        """Waits until the clipboard's CF_TEXT differs from previous and returns it."""
        return wait_until(what, lambda: self.changed(self.desktop.clipboard_bytes(), previous))

    @staticmethod
    def changed(now, previous):
        return now if now is not None and now != previous else None

    def notice(self, program, title):
        """Waits for a message box, checks its title, and returns (box, its texts)."""
        box = program.wait_box("a notice", lambda b: b["text"] not in ("Open", "Save As"))
        self.assertEqual(box["text"], title, "the notice's title")
        texts = [c["text"] for c in box["children"]
                 if c["class"] == "Static" and c["text"]]
        return box, texts

    def press_ok(self, program, box):
        ok = [c for c in box["children"] if c["class"] == "Button" and c["text"] == "OK"]
        self.assertTrue(ok, "the notice has an OK button")
        self.desktop.click(*center(ok[0]["rect"]))
        program.wait_no_box()


class Startup(Suite):
    def test_command_line_files_layout_and_centring(self):
        (a, line_a), (notes, line_notes), (b, line_b) = self.mixed[:3]
        missing = os.path.join(self.root, "missing.torrent")
        # Two parameters name the same file; one is relative to the current folder.
        args = [win_path(a), win_path(notes), os.path.relpath(b, self.root), win_path(a),
                win_path(missing)]
        program = self.start(args)
        main = program.wait_settled("the window")
        self.shot("ready-with-command-line-files")
        self.assertEqual(main.items, [line_a, line_notes, line_b, line_a,
                                      fixtures.not_a_torrent_line(missing)])
        self.assert_state(main, "Vantrel", start=True, intake=True, clear_caption="Clear")
        self.assertEqual(main.button("About")["text"], "About")

        # Client area of the design size, window centred on the screen by its outer size.
        self.assertEqual(main.client[2:], [640, 480])
        sw, sh = main.screen
        self.assertEqual(main.rect[0], (sw - main.width) // 2)
        self.assertEqual(main.rect[1], (sh - main.height) // 2)

        # The button strip at top 4, the About button at the right, the list at the bottom.
        for role, rect in DESIGN_BUTTONS.items():
            self.assertEqual(main.client_rect(main.button(role)), rect, role)
        about = main.client_rect(main.button("About"))
        self.assertEqual(about[2] - about[0], 48)
        self.assertEqual(about[3] - about[1], 17)
        self.assertEqual(about[1], 4)
        self.assertIn(about[0], (592, main.width - 60), "About at the right")
        self.assert_list_at_bottom(main)
        # An unsorted, extended-selection list with a sunken edge and no plain border.
        style, exstyle = main.list["style"] & 0xFFFFFFFF, main.list["exstyle"]
        for name, bit in [("LBS_NOTIFY", 0x1), ("LBS_HASSTRINGS", 0x40),
                          ("LBS_EXTENDEDSEL", 0x800), ("LBS_NOINTEGRALHEIGHT", 0x100),
                          ("WS_TABSTOP", 0x10000)]:
            self.assertTrue(style & bit, name)
        self.assertFalse(style & 0x2, "LBS_SORT")
        self.assertFalse(style & 0x800000, "WS_BORDER")
        self.assertTrue(exstyle & 0x200, "WS_EX_CLIENTEDGE")
        self.close_and_check_exit(program)

    def assert_list_at_bottom(self, main, after_resize=False):
        left, top, right, bottom = main.client_rect(main.list)
        cw, ch = main.client[2], main.client[3]
        self.assertEqual((left, right, bottom), (2, cw - 2, ch - 2), "list inside the margin")
        heights = (main.height - 60,) if after_resize else (446, main.height - 60)
        self.assertIn(bottom - top, heights, "list height")

    def test_resize_springs_back_and_moves_about(self):
        program = self.start()
        main = program.wait_settled("the window")
        self.assertEqual(main.items, [])
        sw, sh = main.screen
        self.assertEqual((main.rect[0], main.rect[1]),
                         ((sw - main.width) // 2, (sh - main.height) // 2))
        strip = {role: main.client_rect(main.button(role)) for role in DESIGN_BUTTONS}
        self.assertIn(main.client_rect(main.button("About"))[0], (592, main.width - 60))
        list_before = main.client_rect(main.list)
        width, height = main.width, main.height
        corner = (main.rect[2] - 2, main.rect[3] - 2)

        # 100 pixels wider and taller by dragging the bottom-right corner.
        self.desktop.drag(corner, (corner[0] + 100, corner[1] + 100))
        program.wait("the larger window", lambda m: m.width == width + 100
                     and m.height == height + 100)
        grown = program.wait_settled("the larger window")
        self.assertEqual((grown.width, grown.height), (width + 100, height + 100))
        self.shot("resized-larger")
        about = grown.client_rect(grown.button("About"))
        self.assertEqual(about[0], grown.width - 60)
        self.assertEqual(about[0], (width - 60) + 100, "About moved right by 100")
        for role, rect in strip.items():
            self.assertEqual(grown.client_rect(grown.button(role)), rect, role + " stays")
        lst = grown.client_rect(grown.list)
        self.assertEqual(lst[3] - lst[1], height + 100 - 60, "list height = window height - 60")
        self.assertEqual(lst[2] - lst[0], list_before[2] - list_before[0] + 100)
        self.assert_list_at_bottom(grown, after_resize=True)

        # Dragged far below 400 x 80: the window springs back to the minimum.
        corner = (grown.rect[2] - 2, grown.rect[3] - 2)
        self.desktop.drag(corner, (grown.rect[0] + 150, grown.rect[1] + 40))
        program.wait("the minimum size", lambda m: m.width == 400 and m.height == 80)
        small = program.wait_settled("the minimum size")
        self.assertEqual((small.width, small.height), (400, 80))
        self.shot("resized-to-minimum")
        about = small.client_rect(small.button("About"))
        self.assertEqual(about[0], 400 - 60)
        self.assertEqual(small.client_rect(small.list)[3] - small.client_rect(small.list)[1],
                         80 - 60)
        self.close_and_check_exit(program)


class BatchRun(Suite):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.big = fixtures.make_big_torrent(os.path.join(cls.root, "big.torrent"))
        cls.long_run = fixtures.make_long_run(os.path.join(cls.root, "long"), LONG_RUN, cls.big)

    def test_start_done_clear_and_menu_items(self):
        program = self.start()
        main = program.wait("the window")
        # Start on an empty list changes nothing.
        program.click_button(main, "Start")
        self.desktop.set_clipboard("before")
        main = self.load_by_drop(program, self.mixed)
        self.assert_state(main, "Vantrel", start=True, intake=True, clear_caption="Clear")

        program.click_button(main, "Start")
        done = program.wait_caption("Done")
        self.shot("done")
        self.assertEqual(done.items, [line for _, line in self.mixed])
        self.assert_state(done, "Done", start=False, intake=False, clear_caption="Clear")

        # "Copy All" is enabled again: it puts every line with CR LF on the clipboard.
        self.context_menu_by_mouse(program, done)
        self.shot("done-context-menu")
        program.choose_menu_item(1)
        want = exported([line for _, line in self.mixed])
        self.assertEqual(self.clipboard_change("Copy All", b"before"), want)

        # A second Start while done is impossible: the button is disabled.
        program.click_button(done, "Start")
        still = program.wait("the window")
        self.assertEqual(still.caption, "Done")
        self.assertEqual(still.items, done.items)

        # Clear brings back the ready state with an empty list.
        program.click_button(still, "Clear")
        ready = program.wait("the cleared list", lambda m: m.items == [])
        self.assert_state(ready, "Vantrel", start=True, intake=True, clear_caption="Clear")

        # Result lines from start-up are names too: Start gives "Not a Torrent File" lines.
        self.close_and_check_exit(program)
        path, line = self.mixed[0]
        program = self.start([win_path(path)])
        main = program.wait("the window")
        self.assertEqual(main.items, [line])
        program.click_button(main, "Start")
        done = program.wait_caption("Done")
        self.assertEqual(len(done.items), 1)
        self.assertTrue(done.items[0].startswith(fixtures.NOT_A_TORRENT), done.items)
        self.close_and_check_exit(program)

    def test_menu_during_a_run_then_abort(self):
        program = self.start()
        main = self.load_by_drop(program, self.long_run)
        self.desktop.set_clipboard("marker")
        program.click_button(main, "Start")
        running = program.wait_caption("Processing...", items=False)
        self.assert_state(running, "Processing...", start=False, intake=False,
                          clear_caption="Abort")

        # During the run the context menu opens; "Copy All" and "Save to File" are disabled
        # and do nothing.
        for item in (1, 2):
            self.desktop.click(*center(running.list["rect"]), button=3)
            program.wait_popup_menu()
            if item == 1:
                self.shot("running-context-menu")
            program.choose_menu_item(item)
            if program.popup_menu() is not None:
                self.desktop.keys("Escape")
            wait_until("the menu to close", lambda: program.popup_menu() is None)
        self.assertEqual(self.desktop.clipboard_bytes(), b"marker")
        self.assertEqual(program.boxes(), [], "no Save dialog during the run")

        # A file dropped during the run lands among the result lines and is not hashed.
        dropped = self.mixed[0][0]
        # When the drop is finished, its message waits in the program's queue, ahead of the
        # Abort click's.
        self.drop_names(program, [dropped])

        running = program.look(items=False)
        self.assertEqual(running.caption, "Processing...", "the run should still be going")
        self.shot("running")
        program.click_button(running, "Clear")  # reads "Abort"
        done = program.wait_caption("Done")
        want = [line for _, line in self.long_run]
        self.assertEqual(done.items.count(win_path(dropped)), 1, "the dropped name, once")
        got = [line for line in done.items if line != win_path(dropped)]
        self.assertGreaterEqual(len(got), 1, "the first file is always finished")
        self.assertLess(len(got), len(want), "the abort stopped the run before the end")
        self.assertEqual(got, want[:len(got)], "only the finished files' lines")
        self.assert_state(done, "Done", start=False, intake=False, clear_caption="Clear")
        self.close_and_check_exit(program)

    def test_copy_during_a_run_then_close(self):
        program = self.start()
        main = self.load_by_drop(program, self.long_run)
        self.desktop.set_clipboard("marker")
        opened = OpenCounter(self.big)
        self.addCleanup(opened.close)
        program.click_button(main, "Start")
        running = program.wait_caption("Processing...", items=False)
        # "Copy" stays usable: it copies the current entry, the first result line. A click on
        # the list gives it the keyboard focus (the disabled Start button had it).
        self.desktop.click(*running.item_point(0))
        self.desktop.keys("shift+F10")
        program.wait_popup_menu()
        self.desktop.keys("Down", "Return")
        first = self.long_run[0][1].encode("latin-1")
        self.assertEqual(self.clipboard_change("Copy during the run", b"marker"), first)

        # Closing the window during the run ends the program normally.
        still = program.look(items=False)
        self.assertEqual(still.caption, "Processing...", "the run should still be going")
        program.close()
        code = program.exit_code()
        self.assertEqual(code, 0, "exit code after closing during a run")
        self.assertGreater(opened.count(), 0)
        self.assertLess(opened.count(), LONG_RUN, "the run stopped: not every file was read")
        self.assertEqual([w for w in self.desktop.windows()["windows"]
                          if w["class"] == "#32770"], [], "no notice left behind")


class Intake(Suite):
    def files_folder(self):
        return os.path.dirname(self.mixed[0][0])

    def open_dialog(self, program, role, title):
        main = program.wait("the window")
        program.click_button(main, role)
        return program.wait_box("the %r dialog" % title, lambda b: b["text"] == title)

    def type_into_name_field(self, box, text):
        edits = [c for c in box["children"] if c["class"] == "Edit" and c["visible"]]
        self.assertTrue(edits, "the dialog has a name field")
        self.desktop.click(*center(edits[0]["rect"]))
        self.desktop.type_text(text)
        self.desktop.keys("Return")

    def test_add_files_three_then_cancel_then_duplicate(self):
        folder = self.files_folder()
        program = self.start(cwd=folder)
        names = ["charlie.torrent", "alpha.torrent", "notes.txt"]
        box = self.open_dialog(program, "AddFiles", "Open")
        self.shot("add-files-dialog")
        self.type_into_name_field(box, " ".join('"%s"' % n for n in names))
        want = [win_path(os.path.join(folder, n)) for n in names]
        main = program.wait("three added files", lambda m: m.items == want)
        self.assertFalse(program.boxes())
        self.assert_state(main, "Vantrel", start=True, intake=True, clear_caption="Clear")

        # Cancelled: nothing changes.
        box = self.open_dialog(program, "AddFiles", "Open")
        cancel = [c for c in box["children"] if c["class"] == "Button" and c["text"] == "Cancel"]
        self.desktop.click(*center(cancel[0]["rect"]))
        program.wait_no_box()
        self.assertEqual(program.look().items, want)

        # After the cancel, Save to File offers the text filter in a Save dialog.
        main = program.look()
        self.context_menu_by_mouse(program, main)
        program.choose_menu_item(2)
        save = program.wait_box("the Save dialog", lambda b: b["text"] == "Save As")
        combos = [c.get("combo_text", "") for c in save["children"]]
        self.assertIn("Text files *.txt", combos)
        cancel = [c for c in save["children"] if c["class"] == "Button" and c["text"] == "Cancel"]
        self.desktop.click(*center(cancel[0]["rect"]))
        program.wait_no_box()

        # The same file again (one name): refused as a duplicate; a new one is added.
        box = self.open_dialog(program, "AddFiles", "Open")
        self.type_into_name_field(box, "alpha.torrent")
        program.wait_no_box()
        self.assertEqual(program.look().items, want)
        box = self.open_dialog(program, "AddFiles", "Open")
        self.type_into_name_field(box, '"bravo hybrid.torrent" "alpha.torrent"')
        want.append(win_path(os.path.join(folder, "bravo hybrid.torrent")))
        program.wait("the one new file", lambda m: m.items == want)

        # The Open dialog offers the torrent filter; picking "All files" there carries over to
        # the next Save dialog, which then offers the text filter's "All files" pair.
        box = self.open_dialog(program, "AddFiles", "Open")
        types = [c for c in box["children"] if c["class"] == "ComboBox" and c["id"] == 1136]
        self.assertEqual(types[0]["combo_text"], "Torrent files *.torrent")
        self.desktop.click(*center(types[0]["rect"]))
        self.desktop.keys("Down", "Return")
        program.wait_box("All files chosen", lambda b: any(
            c.get("combo_text") == "All files *.*" for c in b["children"]))
        self.type_into_name_field(box, "trailing newline.torrent")
        want.append(win_path(os.path.join(folder, "trailing newline.torrent")))
        program.wait("the file chosen with All files", lambda m: m.items == want)
        self.context_menu_by_mouse(program, program.look())
        program.choose_menu_item(2)
        save = program.wait_box("the Save dialog", lambda b: b["text"] == "Save As")
        types = [c for c in save["children"] if c["class"] == "ComboBox" and c["id"] == 1136]
        self.assertEqual(types[0]["combo_text"], "All files *.*")
        cancel = [c for c in save["children"] if c["class"] == "Button" and c["text"] == "Cancel"]
        self.desktop.click(*center(cancel[0]["rect"]))
        program.wait_no_box()
        self.assertEqual(program.look().items, want)
        self.close_and_check_exit(program)


    def make_desktop_tree(self):
        """A tree in the Wine user's Desktop folder, so that the folder browser shows it right
        under its root "Desktop"; its name is the only one there starting with "q"."""
        desktop = os.path.join(Config.prefix, "drive_c", "users", getpass.getuser(), "Desktop")
        for stale in os.listdir(desktop):
            if stale.startswith("q"):
                shutil.rmtree(os.path.join(desktop, stale), ignore_errors=True)
        tree = tempfile.mkdtemp(prefix="qtree-", dir=desktop)
        self.addCleanup(shutil.rmtree, tree, True)
        windows = "C:\\users\\%s\\Desktop\\%s" % (getpass.getuser(), os.path.basename(tree))
        os.makedirs(os.path.join(tree, "sub"))
        own = []
        for name, source in [("a.torrent", self.mixed[0][0]), ("notes.txt", self.mixed[1][0])]:
            shutil.copy(source, os.path.join(tree, name))
            own.append(windows + "\\" + name)
        shutil.copy(self.mixed[2][0], os.path.join(tree, "sub", "b.torrent"))
        # Beside the tree: chosen by mistake instead of the tree, the Desktop would add it.
        stray = os.path.join(desktop, "stray.txt")
        with open(stray, "w") as f:
            f.write("not in the tree\n")
        self.addCleanup(os.remove, stray)
        return own, [windows + "\\sub\\b.torrent"]

    def choose_desktop_tree(self, program, first_time):
        box = self.open_dialog(program, "AddDir", "Browse for Folder")
        texts = [c["text"] for c in box["children"] if c["class"] == "Static" and c["text"]]
        self.assertIn("Add Directory...", texts)
        if first_time:
            tree = [c for c in box["children"] if c["class"] == "SysTreeView32"][0]
            # A click in the empty lower part gives the tree the focus; "q" selects the tree.
            left, top, right, bottom = tree["rect"]
            self.desktop.click((left + right) // 2, bottom - 10)
            self.desktop.keys("q")
            self.shot("add-dir-browser")
        ok = [c for c in box["children"] if c["class"] == "Button" and c["text"] == "OK"]
        self.desktop.click(*center(ok[0]["rect"]))
        program.wait_no_box()

    def test_add_dir_tree_twice_and_cancelled(self):
        own, below = self.make_desktop_tree()
        program = self.start()
        program.wait("the window")
        self.choose_desktop_tree(program, first_time=True)
        main = program.wait("the tree's files", lambda m: len(m.items) == 3)
        self.assertEqual(sorted(main.items[:2]), sorted(own), "the folder's own files first")
        self.assertEqual(main.items[2:], below)
        self.assert_state(main, "Vantrel", start=True, intake=True, clear_caption="Clear")

        # The same folder again (the browser opens on it): nothing is added.
        self.choose_desktop_tree(program, first_time=False)
        self.assertEqual(program.look().items, main.items)

        # Cancelled: nothing changes.
        box = self.open_dialog(program, "AddDir", "Browse for Folder")
        cancel = [c for c in box["children"] if c["class"] == "Button" and c["text"] == "Cancel"]
        self.desktop.click(*center(cancel[0]["rect"]))
        program.wait_no_box()
        self.assertEqual(program.look().items, main.items)
        self.close_and_check_exit(program)


class Drop(Suite):
    def test_drop_several_files_reversed_and_duplicates(self):
        program = self.start()
        program.wait("the window")
        a, b, c = (p for p, _ in self.mixed[:3])
        self.drop_names(program, [a, b, c])
        want = [win_path(c), win_path(b), win_path(a)]
        main = program.wait("the dropped files", lambda m: m.items == want)
        self.assert_state(main, "Vantrel", start=True, intake=True, clear_caption="Clear")

        # Dropped again, with one new file, onto the button strip: only the new one is added.
        d = self.mixed[3][0]
        self.drop_names(program, [a, d], where="strip")
        want.append(win_path(d))
        main = program.wait("the new dropped file", lambda m: m.items == want)

        # A folder is added as it is, not expanded.
        folder = os.path.join(self.root, "payload")
        self.drop_names(program, [folder])
        want.append(win_path(folder))
        main = program.wait("the dropped folder", lambda m: m.items == want)

        # After a run, dropped names go below the result lines; Start stays disabled.
        program.click_button(main, "Start")
        done = program.wait_caption("Done")
        e = self.mixed[4][0]
        self.drop_names(program, [e])
        after = program.wait("the name below the results", lambda m: m.items[-1] == win_path(e))
        self.assertEqual(after.items[:-1], done.items)
        self.assert_state(after, "Done", start=False, intake=False, clear_caption="Clear")
        self.close_and_check_exit(program)


    def test_drop_of_more_than_65535_characters(self):
        folder = os.path.join(self.root, "long names")
        os.makedirs(folder)
        room = 250 - len(win_path(folder)) - len("\\000-.torrent")
        paths = []
        for i in range(300):
            path = os.path.join(folder, "%03d-%s.torrent" % (i, "n" * room))
            open(path, "wb").close()
            paths.append(path)
        self.assertGreater(sum(len(win_path(p)) + 1 for p in paths), 65535)
        program = self.start()
        program.wait("the window")
        self.drop_names(program, paths)
        want = [win_path(p) for p in reversed(paths)]
        main = program.wait("300 dropped names", lambda m: m.count == len(want))
        self.assertEqual(main.items, want)
        self.close_and_check_exit(program)


class Export(Suite):
    def run_mixed(self, program, count=3):
        entries = self.mixed[:count]
        main = self.load_by_drop(program, entries)
        program.click_button(main, "Start")
        done = program.wait_caption("Done")
        self.assertEqual(done.items, [line for _, line in entries])
        return done

    def save_as(self, program, path, confirm_replace=False):
        box = program.wait_box("the Save dialog", lambda b: b["text"] == "Save As")
        edits = [c for c in box["children"] if c["class"] == "Edit" and c["visible"]]
        self.desktop.click(*center(edits[0]["rect"]))
        self.desktop.type_text(win_path(path))
        self.desktop.keys("Return")
        if confirm_replace:
            ask = program.wait_box("the replace question", lambda b: b["text"] != "Save As")
            yes = [c for c in ask["children"] if c["class"] == "Button"
                   and c["text"].replace("&", "") == "Yes"]
            self.desktop.click(*center(yes[0]["rect"]))
            wait_until("the question to close",
                       lambda: all(b["hwnd"] != ask["hwnd"] for b in program.boxes()))

    def test_copy_second_copy_all_and_save(self):
        program = self.start()
        done = self.run_mixed(program)
        lines = done.items

        # Copy of the second of three entries: click it, then Shift+F10 and "Copy".
        self.desktop.set_clipboard("marker")
        self.desktop.click(*done.item_point(1))
        program.wait("the second entry current", lambda m: m.list["current"] == 1)
        self.desktop.keys("shift+F10")
        program.wait_popup_menu()
        self.desktop.keys("Down", "Return")
        want = lines[1].encode("latin-1")
        self.assertEqual(self.clipboard_change("Copy of the second entry", b"marker"), want)
        self.assertEqual(self.desktop.x_clipboard(), want)

        # Copy All: every line followed by CR LF, the last included.
        self.desktop.keys("shift+F10")
        program.wait_popup_menu()
        self.desktop.keys("Down", "Down", "Return")
        self.assertEqual(self.clipboard_change("Copy All", want), exported(lines))
        want = exported(lines)
        # Wine's bridge to the X clipboard turns CR LF into LF.
        self.assertEqual(self.desktop.x_clipboard(), want.replace(b"\r\n", b"\n"))

        # Save to File writes the same bytes; over a longer existing file, only the new ones.
        target = os.path.join(self.root, "saved results.txt")
        with open(target, "wb") as f:
            f.write(b"x" * 5000)
        self.context_menu_by_mouse(program, program.look())
        program.choose_menu_item(2)
        self.save_as(program, target, confirm_replace=True)
        program.wait_no_box()
        # The list answers once the handler has returned, so the file is written by then.
        self.assertEqual(program.look().items, lines, "the list is unchanged")
        with open(target, "rb") as f:
            self.assertEqual(f.read(), want)

        # About after the run: titled "Done", ending with the web address.
        program.click_button(program.look(), "About")
        box, texts = self.notice(program, "Done")
        self.shot("about-box")
        text = "\n".join(texts).replace("\r\n", "\n")
        self.assertTrue(text.startswith("Vantrel\n\nVersion 1.0"), texts)
        self.assertTrue(text.endswith("https://vantrel.org"), texts)
        self.press_ok(program, box)
        self.close_and_check_exit(program)

    def test_empty_list_nothing_to_save_and_copy_all(self):
        program = self.start()
        main = program.wait("the window")
        self.desktop.set_clipboard("keep me")
        self.context_menu_by_mouse(program, main)
        program.choose_menu_item(1)
        wait_until("the menu to close", lambda: program.popup_menu() is None)
        self.assertEqual(self.desktop.clipboard_bytes(), b"keep me")

        self.context_menu_by_mouse(program, main)
        program.choose_menu_item(2)
        box, texts = self.notice(program, "Vantrel")
        self.shot("nothing-to-save")
        self.assertEqual(texts, ["Nothing to Save"])
        self.assertEqual(len(program.boxes()), 1, "no Save dialog")
        self.press_ok(program, box)
        self.close_and_check_exit(program)

    def test_copy_when_the_clipboard_is_held(self):
        program = self.start()
        done = self.run_mixed(program, 2)
        self.desktop.set_clipboard("marker")
        self.desktop.click(*done.item_point(0))
        with Holder(self.desktop, "clip-hold"):
            for keys, what in [(["Down", "Return"], "Copy"), (["Down", "Down", "Return"],
                                                              "Copy All")]:
                self.desktop.keys("shift+F10")
                program.wait_popup_menu()
                self.desktop.keys(*keys)
                box, texts = self.notice(program, "Done")
                self.assertTrue(texts, what + ": the notice says something")
                self.press_ok(program, box)
        self.assertEqual(self.desktop.clipboard_bytes(), b"marker")
        self.assertEqual(program.look().items, done.items)
        self.close_and_check_exit(program)

    def test_save_that_cannot_write(self):
        program = self.start()
        done = self.run_mixed(program, 2)
        old = b"previous results\r\n"

        # A file another program holds open without sharing.
        locked = os.path.join(self.root, "locked.txt")
        with open(locked, "wb") as f:
            f.write(old)
        with Holder(self.desktop, "lock", win_path(locked)):
            self.context_menu_by_mouse(program, done)
            program.choose_menu_item(2)
            self.save_as(program, locked, confirm_replace=True)
            box, texts = self.notice(program, "Done")
            self.shot("save-failed-notice")
            self.assertTrue(texts, "the notice says something")
            self.press_ok(program, box)
        with open(locked, "rb") as f:
            self.assertEqual(f.read(), old, "the locked file is unchanged")

        # A write-protected file: immutable, so that not even root writes it.
        protected = os.path.join(self.root, "protected.txt")
        with open(protected, "wb") as f:
            f.write(old)
        if run_quietly(["chattr", "+i", protected]) != 0:
            self.skipTest("chattr +i is not permitted here")
        self.addCleanup(run_quietly, ["chattr", "-i", protected])
        self.context_menu_by_mouse(program, program.look())
        program.choose_menu_item(2)
        self.save_as(program, protected, confirm_replace=True)
        box, texts = self.notice(program, "Done")
        self.assertTrue(texts, "the notice says something")
        self.press_ok(program, box)
        with open(protected, "rb") as f:
            self.assertEqual(f.read(), old, "the write-protected file is unchanged")
        self.assertEqual(program.look().items, done.items)
        self.close_and_check_exit(program)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("tests", nargs="*")
    args = parser.parse_args()
    Config.program = os.path.abspath(args.program)
    Config.probe = os.path.abspath(args.probe)
    Config.artifacts = os.path.abspath(args.artifacts)
    Config.prefix = os.path.abspath(args.prefix)
    module = sys.modules[__name__]
    loader = unittest.defaultTestLoader
    suite = (loader.loadTestsFromNames(args.tests, module) if args.tests
             else loader.loadTestsFromModule(module))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
