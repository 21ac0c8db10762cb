#!/usr/bin/python3
"""The real vantrel.exe driven as a person drives it; its list compared with libtorrent's."""
import argparse
import hashlib
import os
import shutil
import stat
import sys
import tempfile
import traceback

import libtorrent as lt
from desktop import Desktop, center, own_display, win_path

NAMES = ["東京 ñ.torrent", "Кириллица.torrent", "Ελληνικά.torrent", "emoji 🎉.torrent"]
# The walk stops at C3 A9 FF 7E, the detail bytes: FF is no UTF-8 and shows as ".".
REPORT = "report.torrent"
MALFORMED = b"d8:announce1:x4:infod6:lengthi1e6:pieces20:" + bytes(range(20)) + b"\xc3\xa9\xff~ee"


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
    sha1 = hashlib.sha1(MALFORMED).hexdigest().upper()
    return sum((["Error!", "é.~    %s     %s" % (sha1, REPORT)] if p.endswith(REPORT) else
                [str(lt.torrent_info(p).info_hashes().v1).upper() + "   " + os.path.basename(p)]
                for p in paths), [])


def start_up_save_and_about(desktop, root, files):
    desktop.launch([win_path(p) for p in files], root)
    assert desktop.wait_items("the command line's lines", lines_of(files))["text"] == "Vantrel"
    desktop.screenshot("start-up")
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


def add_files_drop_and_run(desktop, root, files):
    desktop.launch([], root)
    desktop.wait("the window")
    desktop.click_button("Add Files")
    # One name typed: xdotool may type an upper-case letter of another script as another letter.
    desktop.type_into("Open", NAMES[0])
    want = [win_path(files[0])]
    desktop.wait_items("the chosen file", want)

    # A real desktop drop: the names arrive last first; the one already listed is refused.
    desktop.drop(files[1:] + files[:1], *center(desktop.look(False)["list"]["rect"]))
    want += [win_path(p) for p in reversed(files[1:])]
    desktop.wait_items("the dropped files", want)

    desktop.click_button("Start")
    done = desktop.wait("Done", lambda w: w["text"] == "Done")
    desktop.screenshot("done")
    lines = lines_of(files[:1] + files[:0:-1])
    assert done["list"]["items"] == lines, (done["list"]["items"], lines)
    assert desktop.close() == 0, "the exit code"


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
        for case in (start_up_save_and_about, add_files_drop_and_run):
            print(case.__name__, flush=True)
            try:
                case(desktop, root, files)
            except Exception:  # noqa: BLE001 -- reported, and the next case runs
                traceback.print_exc()
                desktop.screenshot("failed-" + case.__name__)
                failed += 1
    finally:
        desktop.stop()
        shutil.rmtree(root, True)
        if xvfb:
            xvfb.terminate()
            xvfb.wait()
    print("%d of 2 failed" % failed)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
