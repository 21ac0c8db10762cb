#!/usr/bin/python3
# check_names.py CLI WINE_RUN: names in four scripts, a file 2,000+ characters deep, a report
# with CR, LF and NUL in its detail: the names' UTF-8 bytes, libtorrent's hashes, two lines.
import hashlib, os, subprocess, sys, tempfile
import libtorrent as lt

files = lt.file_storage()
files.add_file("payload.bin", 1000)
torrent = lt.create_torrent(files, 16384, flags=lt.create_torrent.v1_only)
torrent.set_hash(0, b"\x01" * 20)
data = lt.bencode(torrent.generate())
digest = str(lt.torrent_info(data).info_hash()).upper()
damaged = b"d8:announce1:x4:infod6:lengthi1e6:pieces0:l\r\n\0ee"
names = ["東京 ñ.torrent", "Привет.torrent", "Ελληνικά.torrent", "😀 emoji.torrent"]
with tempfile.TemporaryDirectory() as root:
    deep = os.path.join(root, *["深" * 20 + "d" * 100] * 18)  # 2,178 characters below root
    os.makedirs(deep)
    for path, content in [(os.path.join(root, n), data) for n in names] + [
            (os.path.join(deep, "Глубоко.torrent"), data), (os.path.join(root, "bad.torrent"), damaged)]:
        open(path, "wb").write(content)
    run = subprocess.run([sys.argv[2], sys.argv[1], root, os.path.join(root, names[0])],
                         capture_output=True)
if run.returncode == 77:  # the Windows program cannot run here
    sys.exit(77)
lines = run.stdout.split(b"\r\n")
expected = [f"{digest}   {n}".encode() for n in names + ["Глубоко.torrent", names[0]]] + [
    b"Error!", b"l...    " + hashlib.sha1(damaged).hexdigest().upper().encode() + b"     bad.torrent", b""]
if run.returncode != 0 or sorted(lines) != sorted(expected):
    sys.exit(f"exit {run.returncode}, got:\n{run.stdout!r}\nexpected (in any order):\n{expected!r}")
