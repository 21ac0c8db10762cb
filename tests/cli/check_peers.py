#!/usr/bin/python3
"""Compares vantrel-cli's output with what real BitTorrent peers make of the same files.

Metainfo files are made at test time by libtorrent (v1, multi-file, private, hybrid, v2-only,
trackerless, with a comment holding ":info", with similar torrents and collections), mktorrent
and transmission-create; each must get exactly the line libtorrent's info-hash gives (v1 for
v1 and hybrid files, v2 for v2-only files). A few files that are not torrents must say so.

Every torrent's --json object and --magnet link must carry libtorrent's info-hashes, name
and trackers (make_magnet_uri).

usage: check_peers.py CLI [--wine WINE_RUN]   (with --wine, CLI is a Windows program)
"""
import json
import os
import random
import subprocess
import tempfile
import urllib.parse

import libtorrent as lt

from cli_run import check, main


def make_payload(root):
    rnd = random.Random(20261206)
    single = os.path.join(root, "payload", "single.bin")
    multi = os.path.join(root, "payload", "album & más+1%")
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
        libtorrent_file(multi, out("lt-hybrid-multi.torrent"), comment="hybrid with pad files", trackers=(
            "http://a.test/ann?k=1&x=é #", "udp://b.test:80", "http://a.test/ann?k=1&x=é #")),
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


def check_peer_set(cli):
    with tempfile.TemporaryDirectory(prefix="vantrel-peers-") as root:
        single, multi = make_payload(root)
        torrents = make_torrents(root, single, multi)
        expected = {path: expected_line(path) for path in torrents}
        expected.update(make_non_torrents(root))
        names = [cli.name(p) for p in expected]
        status, lines, _, _ = cli.run(*names)
        check(status == 0 and len(lines) == len(expected), f"{len(expected)} files, one line each")
        for path, line in zip(expected, lines):
            check(line == expected[path], f"{os.path.basename(path)}: {line}")
        status, lines, _, _ = cli.run("--json", *names[: len(torrents)])
        for path, line in zip(torrents, lines):
            info, got = lt.torrent_info(path), json.loads(line)
            hashes = info.info_hashes()
            want = {"status": "ok", "info_name": info.name(), "v1": str(hashes.v1) if hashes.has_v1() else None,
                    "v2": str(hashes.v2) if hashes.has_v2() else None}
            check({k: got.get(k) for k in want} == want, f"--json {os.path.basename(path)}")
        status, links, _, err = cli.run("--magnet", *names)
        check(status == 1 and len(links) == len(torrents) and err.count("\n") == len(expected) - len(torrents),
              "--magnet: a link a torrent; a message and exit 1 for the others")
        for path, link in zip(torrents, links):
            ours, theirs = (urllib.parse.parse_qs(urllib.parse.urlsplit(u).query)
                            for u in (link, lt.make_magnet_uri(lt.torrent_info(path))))
            check(link.startswith("magnet:?") and sorted(ours["xt"]) == sorted(theirs["xt"]) and
                  ours["dn"] == theirs["dn"] and sorted(ours.get("tr", [])) == sorted(set(theirs.get("tr", [])))
                  and len(set(ours.get("tr", []))) == len(ours.get("tr", [])), f"magnet {os.path.basename(path)}")


if __name__ == "__main__":
    main(check_peer_set)
