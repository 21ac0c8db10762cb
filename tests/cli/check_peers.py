#!/usr/bin/python3
"""Compares vantrel-cli's lines with the info-hashes of real BitTorrent peers.

Metainfo files are made at test time by libtorrent (v1, multi-file, private, hybrid, v2-only,
trackerless, with a comment holding ":info", with similar torrents and collections), mktorrent
and transmission-create; each must get exactly the line libtorrent's info-hash gives (v1 for
v1 and hybrid files, v2 for v2-only files). A few files that are not torrents must say so.

usage: check_peers.py CLI [--wine WINE_RUN]   (with --wine, CLI is a Windows program)
"""
import argparse
import hashlib
import os
import random
import subprocess
import sys
import tempfile

import libtorrent as lt


def make_payload(root):
    rnd = random.Random(20261206)
    single = os.path.join(root, "payload", "single.bin")
    multi = os.path.join(root, "payload", "album")
    os.makedirs(os.path.join(multi, "disc 2"))
    with open(single, "wb") as f:
        f.write(rnd.randbytes(300_000))
    for name, size in [("01 intro.flac", 70_000), ("02 theme.flac", 123_457),
                       ("disc 2/03 coda.flac", 5), ("cover.jpg", 40_000)]:
        with open(os.path.join(multi, name), "wb") as f:
            f.write(rnd.randbytes(size))
    return single, multi


def libtorrent_file(path, out, flags=0, piece_size=16384, trackers=("http://tracker.test/announce",),
                    private=False, comment=None, nodes=(), similar=(), collections=()):
    fs = lt.file_storage()
    lt.add_files(fs, path)
    t = lt.create_torrent(fs, piece_size, flags=flags)
    for tier, url in enumerate(trackers):
        t.add_tracker(url, tier)
    for host, port in nodes:
        t.add_node(host, port)
    for h in similar:
        t.add_similar_torrent(lt.sha1_hash(h))
    for c in collections:
        t.add_collection(c)
    t.set_priv(private)
    if comment:
        t.set_comment(comment)
    lt.set_piece_hashes(t, os.path.dirname(path))
    with open(out, "wb") as f:
        f.write(lt.bencode(t.generate()))
    return out


def tool(made, *command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return made


def make_torrents(root, single, multi):
    out = lambda name: os.path.join(root, "torrents", name)
    os.makedirs(os.path.join(root, "torrents"))
    v1 = lt.create_torrent.v1_only
    v2 = lt.create_torrent.v2_only
    made = [
        libtorrent_file(single, out("lt-v1-single.torrent"), v1),
        libtorrent_file(multi, out("lt-v1-multi.torrent"), v1, piece_size=32768),
        libtorrent_file(single, out("lt-v1-private.torrent"), v1, private=True),
        libtorrent_file(single, out("lt-hybrid-single.torrent")),
        libtorrent_file(multi, out("lt-hybrid-multi.torrent"), comment="hybrid with pad files"),
        libtorrent_file(single, out("lt-v2-single.torrent"), v2),
        libtorrent_file(multi, out("lt-v2-multi.torrent"), v2, private=True),
        libtorrent_file(single, out("lt-trackerless.torrent"), v1, trackers=(),
                        nodes=[("router.test", 6881), ("127.0.0.1", 6882)]),
        libtorrent_file(multi, out("lt-comment-info.torrent"), v1,
                        comment="mirror of 4:infod6:length :info :pieces"),
        libtorrent_file(single, out("lt-similar.torrent"), v1,
                        similar=[b"\x01" * 20, b"\x02" * 20], collections=["set one", "set two"]),
        libtorrent_file(multi, out("lt-hybrid-similar.torrent"), similar=[b"\x03" * 20]),
    ]
    mk = lambda name, *args: tool(out(name), "mktorrent", "-d", "-t", "1", "-o", out(name), *args)
    made += [
        mk("mk-single.torrent", "-a", "http://tracker.test/announce", "-l", "15", single),
        mk("mk-multi-private.torrent", "-a", "http://a.test/announce", "-a", "http://b.test/announce",
           "-p", "-s", "SOURCE", "-c", "comment :info", "-w", "http://seed.test/", multi),
    ]
    tc = lambda name, *args: tool(out(name), "transmission-create", "-o", out(name), *args)
    made += [
        tc("tr-single.torrent", "-t", "http://tracker.test/announce", single),
        tc("tr-multi-private.torrent", "-p", "-c", "made by transmission", "-t",
           "http://tracker.test/announce", multi),
    ]
    return made


def expected_line(path):
    info = lt.torrent_info(path)
    hashes = info.info_hashes()
    digest = hashes.v1 if hashes.has_v1() else hashes.v2
    return str(digest).upper() + "   " + os.path.basename(path)


def make_non_torrents(root):
    folder = os.path.join(root, "others")
    os.makedirs(folder)
    made = {}
    with open(os.path.join(root, "torrents", "lt-v1-single.torrent"), "rb") as f:
        good = f.read()
    for name, data in [("notes.txt", b"just some text\n"), ("empty.torrent", b""),
                       ("newline.torrent", good + b"\n"), ("random.bin", random.Random(7).randbytes(5000))]:
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(data)
        made[path] = "Not a Torrent File   " + name
    return made


def windows_name(path):
    return "Z:" + path.replace("/", "\\")


def run_cli(cli, wine, paths):
    if wine:
        command = [wine, cli] + [windows_name(p) for p in paths]
    else:
        command = [cli] + paths
    result = subprocess.run(command, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=600)
    if result.returncode != 0:
        sys.exit(f"{cli} exited with {result.returncode}")
    ending = b"\r\n" if wine else b"\n"
    if not result.stdout.endswith(ending):
        sys.exit(f"output does not end with {ending!r}: {result.stdout[-20:]!r}")
    return result.stdout[: -len(ending)].decode("latin-1").split(ending.decode())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("--wine")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="vantrel-peers-") as root:
        single, multi = make_payload(root)
        torrents = make_torrents(root, single, multi)
        expected = {path: expected_line(path) for path in torrents}
        expected.update(make_non_torrents(root))
        paths = list(expected)
        lines = run_cli(args.cli, args.wine, paths)
        failures = 0
        if len(lines) != len(paths):
            print(f"expected {len(paths)} lines, got {len(lines)}:\n" + "\n".join(lines))
            return 1
        for path, line in zip(paths, lines):
            ok = line == expected[path]
            failures += not ok
            print(("ok      " if ok else "MISMATCH") + f" {os.path.basename(path)}")
            if not ok:
                print(f"    expected {expected[path]}\n    got      {line}")
        kinds = sum(1 for p in torrents if "v2" in p or "hybrid" in p)
        print(f"{len(paths)} files, {len(torrents)} torrents ({kinds} with v2 data), {failures} mismatches")
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
