#!/usr/bin/python3
"""End-to-end smoke set: the real vantrel.exe driven from outside as a person drives it, results
read back from the list, the clipboard and files and compared with libtorrent's info-hashes;
names in four scripts, one outside the Basic Multilingual Plane, come in every way.

usage: e2e.py --wine LOADER --bits 32|64 --program EXE --probe EXE --artifacts DIR --prefix DIR
Exits 77 when the probe, a program of the same bits, cannot run here."""
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
REPORT = "report.torrent"  # the walk stops at CR, LF, NUL, "x": the report's detail bytes
MALFORMED = b"d8:announce1:x4:infod6:lengthi1e6:pieces20:" + bytes(range(20)) + b"\r\n\0xee"


def make_torrent(folder, name, seed):
    payload = os.path.join(folder, "payload %d.bin" % seed)
    with open(payload, "wb") as f:
        f.write(bytes((seed * 7 + i) % 251 for i in range(30000 + seed)))
    fs = lt.file_storage()
    lt.add_files(fs, payload)
    t = lt.create_torrent(fs, 16384, flags=lt.create_torrent.v1_only)
    lt.set_piece_hashes(t, folder)
    return write(os.path.join(folder, name), lt.bencode(t.generate()))


def write(path, content, mode=None):
    with open(path, "wb") as f:
        f.write(content)
    if mode is not None:
        os.chmod(path, mode)
    return path


def lines_of(paths):
    """libtorrent's line for each file, or the two report lines (control bytes shown as ".")."""
    lines = []
    for path, name in ((p, os.path.basename(p)) for p in paths):
        sha1 = hashlib.sha1(MALFORMED).hexdigest().upper()
        lines += ["Error!", "...x    %s     %s" % (sha1, name)] if name == REPORT else [
            str(lt.torrent_info(path).info_hashes().v1).upper() + "   " + name]
    return lines


def exported(lines):
    return "".join(line + "\r\n" for line in lines).encode("utf-8")


def wait_content(path, content):
    wait_until("the content of " + path, lambda: open(path, "rb").read() == content)


class Smoke(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="vantrel-e2e-files-")
        cls.addClassCleanup(shutil.rmtree, cls.root, True)
        cls.files = [make_torrent(cls.root, n, i) for i, n in enumerate(NAMES)]
        cls.report = write(os.path.join(cls.root, REPORT), MALFORMED)

    def start(self, args=()):
        program = Program(DESKTOP, ARGS.program, args, self.root)
        self.addCleanup(program.kill)
        return program

    def save_to(self, program, path, replace):
        program.choose(2)
        program.type_into(lambda t: t == "Save As", win_path(path))
        if replace:
            program.press(program.wait_box(lambda t: t != "Save As"), "Yes")

    def test_start_up_save_and_about(self):
        program = self.start([win_path(p) for p in self.files + [self.report]])
        want = lines_of(self.files + [self.report])
        self.assertEqual(program.wait_items("the command line's lines", want)["text"], "Vantrel")
        DESKTOP.screenshot("start-up")

        # Save to File through the real dialog: a new file, over a hard link, over a read-only
        # file (refused with a notice; content and attribute kept).
        saved = os.path.join(self.root, "saved.txt")
        self.save_to(program, saved, replace=False)
        wait_content(saved, exported(want))
        linked = write(os.path.join(self.root, "linked.txt"), b"old, longer content" * 99)
        os.link(linked, linked + ".2")
        self.save_to(program, linked, replace=True)
        wait_content(linked + ".2", exported(want))
        self.assertEqual(os.stat(linked).st_nlink, 2)
        readonly = write(os.path.join(self.root, "readonly.txt"), b"keep me\r\n", 0o444)
        self.save_to(program, readonly, replace=True)
        program.press(program.wait_box(lambda t: t == "Vantrel"), "OK")
        self.assertEqual(open(readonly, "rb").read(), b"keep me\r\n")
        self.assertEqual(stat.S_IMODE(os.stat(readonly).st_mode), 0o444)

        program.click_button("About")
        box = program.wait_box(lambda t: t == "Vantrel")
        DESKTOP.screenshot("about")
        self.assertIn("Vantrel\r\n\r\nVersion 1.0\r\n\r\nhttps://vantrel.org",
                      [c["text"] for c in box["children"]])
        program.press(box, "OK")
        self.assertEqual(program.close(), 0)

    def desktop_tree(self):
        """A folder in the Wine user's Desktop, the only one there starting with "q": the folder
        browser shows it under its root, and the key "q" selects it."""
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
        program.click_button("Add Files")
        program.type_into(lambda t: t == "Open", '"%s" "%s"' % tuple(NAMES[:2]))
        want = [win_path(p) for p in self.files[:2]]
        program.wait_items("the chosen files", want)

        # Add Dir: the folder's own file first, then its subfolder's.
        want += self.desktop_tree()
        program.click_button("Add Dir")
        browser = program.wait_box(lambda t: t == "Browse for Folder")
        tree = [c for c in browser["children"] if c["class"] == "SysTreeView32"][0]["rect"]
        DESKTOP.click((center(tree)[0], tree[3] - 10))
        DESKTOP.keys("q")
        program.press(browser, "OK")
        program.wait_items("the folder's files", want)

        # A real desktop drop: the names arrive last first; the one already listed is refused.
        DESKTOP.drop([self.files[3], self.report, self.files[0]],
                     center(program.look(items=False)["list"]["rect"]))
        want += [win_path(self.report), win_path(self.files[3])]
        program.wait_items("the dropped files", want)

        program.click_button("Start")
        done = program.wait("Done", lambda w: w["text"] == "Done")
        DESKTOP.screenshot("done")
        lines = lines_of(self.files + [self.report, self.files[3]])
        self.assertEqual(done["list"]["items"], lines)
        self.assertEqual({t: b["enabled"] for t, b in done["buttons"].items()},
                         {"Add Dir": False, "Add Files": False, "Clear": True, "Start": False,
                          "About": True})

        # Copy All after the run: the list's UTF-8 bytes, and the same text as UTF-16.
        program.choose(1)
        wait_until("Copy All", lambda: DESKTOP.clipboard() == exported(lines))
        self.assertEqual(DESKTOP.clipboard(unicode=True),
                         exported(lines).decode("utf-8").encode("utf-16-le"))
        self.assertEqual(program.close(), 0)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for option in ("--wine", "--bits", "--program", "--probe", "--artifacts", "--prefix"):
        parser.add_argument(option, required=True)
    ARGS, rest = parser.parse_known_args()
    ARGS.prefix = os.path.abspath(ARGS.prefix)
    DESKTOP = Desktop(ARGS)
    try:
        DESKTOP.start(ARGS.prefix)
        if DESKTOP.probe("hello")[1].strip() != b"vantrel_probe":
            print("vantrel_probe, a %s-bit Windows program, does not run here" % ARGS.bits)
            sys.exit(77 if ARGS.bits == "32" else 1)
        result = unittest.main(argv=[sys.argv[0], "-v"] + rest, exit=False).result
    finally:
        DESKTOP.stop()
        shutil.rmtree(DESKTOP.scratch, True)
    sys.exit(0 if result.wasSuccessful() else 1)
