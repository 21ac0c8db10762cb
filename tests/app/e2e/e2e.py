#!/usr/bin/python3
"""End-to-end smoke set of vantrel.exe: the real program in one Wine desktop on one virtual
display, driven from outside as a person drives it; results read back from the list, the
clipboard and files, and compared with libtorrent's info-hashes. Names in several scripts and
outside the Basic Multilingual Plane travel every way into the list.

usage: e2e.py --wine LOADER --bits 32|64 --program vantrel.exe --probe vantrel_probe.exe
              --artifacts DIR --prefix DIR
Exits 77 when the probe, built like the program, cannot run on this machine.
"""
import argparse
import getpass
import hashlib
import os
import shutil
import stat
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import libtorrent as lt  # noqa: E402
from harness import Desktop, Program, center, wait_until, win_path  # noqa: E402

NAMES = ["東京 ñ.torrent", "Кириллица.torrent", "Ελληνικά.torrent", "emoji 🎉.torrent"]
REPORT = "report.torrent"  # its detail bytes are CR, LF, NUL and "x"
MALFORMED = b"d8:announce1:x4:infod6:lengthi1e6:pieces20:" + bytes(range(20)) + b"\r\n\0xee"
ARGS = None
DESKTOP = None


def make_torrent(folder, name, seed):
    payload = os.path.join(folder, "payload %d.bin" % seed)
    with open(payload, "wb") as f:
        f.write(bytes((seed * 7 + i) % 251 for i in range(30000 + seed)))
    fs = lt.file_storage()
    lt.add_files(fs, payload)
    t = lt.create_torrent(fs, 16384, flags=lt.create_torrent.v1_only)
    lt.set_piece_hashes(t, folder)
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(lt.bencode(t.generate()))
    return path


def lines_of(path):
    """The list lines for a file: libtorrent's info-hash, or the malformed report (the detail's
    control bytes shown as ".", the SHA-1 of the whole file)."""
    name = os.path.basename(path)
    if name == REPORT:
        return ["Error!", "...x    %s     %s" % (hashlib.sha1(MALFORMED).hexdigest().upper(), name)]
    return [str(lt.torrent_info(path).info_hashes().v1).upper() + "   " + name]


def exported(lines):
    return "".join(line + "\r\n" for line in lines).encode("utf-8")


class Smoke(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="vantrel-e2e-files-")
        cls.addClassCleanup(shutil.rmtree, cls.root, True)
        cls.files = [make_torrent(cls.root, n, i) for i, n in enumerate(NAMES)]
        cls.report = os.path.join(cls.root, REPORT)
        with open(cls.report, "wb") as f:
            f.write(MALFORMED)

    desktop = property(lambda self: DESKTOP)

    def start(self, args=(), cwd=None):
        program = Program(self.desktop, ARGS.program, args, cwd or self.root)
        self.addCleanup(program.kill)
        return program

    def save_to(self, program, path, replace):
        program.choose(2)
        program.type_into("Save As", win_path(path))
        if replace:
            program.press(wait_until("the replace question", lambda: [
                b for b in self.desktop.windows() or [] if b["class"] == "#32770"
                and b["text"] != "Save As" and b["pid"] == program.pid][0:1])[0], "Yes")

    def wait_content(self, path, content):
        def read():
            with open(path, "rb") as f:
                return f.read() == content
        wait_until("the content of " + path, read)

    def test_start_up_save_and_about(self):
        program = self.start([win_path(p) for p in self.files + [self.report]])
        want = sum((lines_of(p) for p in self.files + [self.report]), [])
        window = program.wait_items("the command line's lines", want)
        self.assertEqual(window["text"], "Vantrel")
        self.desktop.screenshot("start-up")

        # Save to File through the real dialog: a new file, then over a hard-linked one.
        saved = os.path.join(self.root, "saved.txt")
        self.save_to(program, saved, replace=False)
        self.wait_content(saved, exported(want))
        linked, other = os.path.join(self.root, "linked.txt"), os.path.join(self.root, "link2")
        with open(linked, "wb") as f:
            f.write(b"old content, longer than the new one " * 100)
        os.link(linked, other)
        self.save_to(program, linked, replace=True)
        self.wait_content(other, exported(want))  # the other name of the same file
        self.assertEqual(os.stat(linked).st_nlink, 2)

        # Over a read-only file: refused with a notice, file and attribute kept.
        readonly = os.path.join(self.root, "readonly.txt")
        with open(readonly, "wb") as f:
            f.write(b"keep me\r\n")
        os.chmod(readonly, 0o444)
        self.save_to(program, readonly, replace=True)
        program.press(program.wait_box("Vantrel"), "OK")
        with open(readonly, "rb") as f:
            self.assertEqual(f.read(), b"keep me\r\n")
        self.assertEqual(stat.S_IMODE(os.stat(readonly).st_mode), 0o444)

        program.click_button("About")
        box = program.wait_box("Vantrel")
        self.desktop.screenshot("about")
        self.assertIn("Vantrel\r\n\r\nVersion 1.0\r\n\r\nhttps://vantrel.org",
                      [c["text"] for c in box["children"]])
        program.press(box, "OK")
        self.assertEqual(program.close(), 0)

    def make_desktop_tree(self):
        """A folder in the Wine user's Desktop, the only one there starting with "q", so that
        the folder browser shows it under its root and the key "q" selects it."""
        desktop = os.path.join(ARGS.prefix, "drive_c", "users", getpass.getuser(), "Desktop")
        os.makedirs(desktop, exist_ok=True)
        for stale in (n for n in os.listdir(desktop) if n.startswith("q")):
            shutil.rmtree(os.path.join(desktop, stale), ignore_errors=True)
        tree = tempfile.mkdtemp(prefix="qtree-", dir=desktop)
        self.addCleanup(shutil.rmtree, tree, True)
        os.makedirs(os.path.join(tree, "sub"))
        shutil.copy(self.files[2], tree)
        shutil.copy(self.files[3], os.path.join(tree, "sub"))
        windows = "C:\\users\\%s\\Desktop\\%s\\" % (getpass.getuser(), os.path.basename(tree))
        return [windows + NAMES[2], windows + "sub\\" + NAMES[3]]

    def test_add_files_add_dir_drop_run_and_copy_all(self):
        program = self.start()
        program.wait("the window")
        # Add Files: two names typed into the real Open dialog.
        program.click_button("Add Files")
        program.type_into("Open", '"%s" "%s"' % tuple(NAMES[:2]))
        want = [win_path(p) for p in self.files[:2]]
        program.wait_items("the chosen files", want)

        # Add Dir: the folder's own file first, then its subfolder's.
        in_tree = self.make_desktop_tree()
        program.click_button("Add Dir")
        browser = program.wait_box("Browse for Folder")
        tree = [c for c in browser["children"] if c["class"] == "SysTreeView32"][0]
        self.desktop.click((center(tree["rect"])[0], tree["rect"][3] - 10))
        self.desktop.keys("q")
        program.press(browser, "OK")
        want += in_tree
        program.wait_items("the folder's files", want)

        # A real desktop drop: names arrive last first; the one already listed is refused.
        self.desktop.drop([self.files[3], self.report, self.files[0]],
                          center(program.look(items=False)["list"]["rect"]))
        want += [win_path(self.report), win_path(self.files[3])]
        program.wait_items("the dropped files", want)

        program.click_button("Start")
        done = program.wait("Done", lambda w: w["text"] == "Done")
        self.desktop.screenshot("done")
        lines = sum((lines_of(p) for p in self.files + [self.report, self.files[3]]), [])
        self.assertEqual(done["list"]["items"], lines)
        self.assertEqual({t: b["enabled"] for t, b in done["buttons"].items()},
                         {"Add Dir": False, "Add Files": False, "Clear": True, "Start": False,
                          "About": True})

        # Copy All after the run: the list's UTF-8 bytes, and the same text as UTF-16.
        program.choose(1)
        wait_until("Copy All", lambda: self.desktop.clipboard() == exported(lines))
        self.assertEqual(self.desktop.clipboard(unicode=True),
                         exported(lines).decode("utf-8").encode("utf-16-le"))
        self.assertEqual(program.close(), 0)


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    for option in ("--wine", "--bits", "--program", "--probe", "--artifacts", "--prefix"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.prefix = os.path.abspath(ARGS.prefix)
    global DESKTOP
    DESKTOP = Desktop(ARGS.wine, ARGS.prefix, ARGS.probe, ARGS.artifacts)
    try:
        DESKTOP.start()
        if DESKTOP.probe("hello")[1].strip() != b"vantrel_probe":
            print("the probe, a %s-bit Windows program, does not run here" % ARGS.bits)
            sys.exit(77 if ARGS.bits == "32" else 1)
        result = unittest.main(argv=[sys.argv[0], "-v"] + rest, exit=False).result
    finally:
        DESKTOP.stop()
        shutil.rmtree(DESKTOP.scratch, True)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
