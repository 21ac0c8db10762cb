"""Files for the end-to-end tests: real metainfo files made by libtorrent, files that are not
torrents, and the lines the program must show for them, computed by libtorrent (a real peer)."""
import os
import random

import libtorrent as lt

NOT_A_TORRENT = "Not a Torrent File   "


def expected_line(path):
    """The list line for a metainfo file: libtorrent's v1 info-hash (v2 for v2-only files)."""
    info = lt.torrent_info(path, {"max_buffer_size": 100_000_000, "max_pieces": 10_000_000})
    hashes = info.info_hashes()
    digest = hashes.v1 if hashes.has_v1() else hashes.v2
    return str(digest).upper() + "   " + os.path.basename(path)


def not_a_torrent_line(path):
    return NOT_A_TORRENT + os.path.basename(path)


def make_torrent(payload, out, hybrid=False, tracker="http://tracker.test/announce"):
    """A metainfo file for the payload (a file or a folder), made by libtorrent."""
    fs = lt.file_storage()
    lt.add_files(fs, payload)
    flags = 0 if hybrid else lt.create_torrent.v1_only
    t = lt.create_torrent(fs, 16384, flags=flags)
    t.add_tracker(tracker, 0)
    lt.set_piece_hashes(t, os.path.dirname(os.path.abspath(payload)))
    with open(out, "wb") as f:
        f.write(lt.bencode(t.generate()))
    return out


def make_payloads(root, seed=5):
    rnd = random.Random(seed)
    folder = os.path.join(root, "payload")
    os.makedirs(os.path.join(folder, "album", "disc 2"), exist_ok=True)
    paths = {}
    for name, size in [("single.bin", 70_000), ("other.bin", 33_333), ("album/01.flac", 40_000),
                       ("album/disc 2/02.flac", 12_345)]:
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(rnd.randbytes(size))
        paths[name] = path
    return paths["single.bin"], paths["other.bin"], os.path.join(folder, "album")


def make_mixed_set(folder, payload_root):
    """Three torrents (v1 single, hybrid multi-file, v1 of another file) and two other files,
    in a fixed order; returns [(path, expected line)]."""
    os.makedirs(folder, exist_ok=True)
    single, other, album = make_payloads(payload_root)
    made = [
        make_torrent(single, os.path.join(folder, "alpha.torrent")),
        make_torrent(album, os.path.join(folder, "bravo hybrid.torrent"), hybrid=True),
        make_torrent(other, os.path.join(folder, "charlie.torrent")),
    ]
    notes = os.path.join(folder, "notes.txt")
    with open(notes, "w") as f:
        f.write("d8:announce is not enough\n")
    broken = os.path.join(folder, "trailing newline.torrent")
    with open(made[0], "rb") as f:
        good = f.read()
    with open(broken, "wb") as f:
        f.write(good + b"\n")
    entries = [(p, expected_line(p)) for p in made]
    entries.insert(1, (notes, not_a_torrent_line(notes)))
    entries.append((broken, not_a_torrent_line(broken)))
    return entries


def make_big_torrent(path, pieces=2_000_000, seed=9):
    """A valid v1 metainfo file with a large info dictionary (20 bytes a piece), so that hashing
    one takes a noticeable moment; written with libtorrent's bencoder."""
    rnd = random.Random(seed)
    piece_length = 16384
    info = {b"name": b"big.bin", b"piece length": piece_length,
            b"length": pieces * piece_length, b"pieces": rnd.randbytes(20 * pieces)}
    with open(path, "wb") as f:
        f.write(lt.bencode({b"announce": b"http://tracker.test/announce", b"info": info}))
    return path


def make_long_run(folder, count, big):
    """count names of the same big metainfo file (symbolic links), one line each."""
    os.makedirs(folder, exist_ok=True)
    digest = expected_line(big).split("   ")[0]
    entries = []
    for i in range(count):
        link = os.path.join(folder, "run%03d.torrent" % i)
        if not os.path.lexists(link):
            os.symlink(big, link)
        entries.append((link, digest + "   " + os.path.basename(link)))
    return entries
