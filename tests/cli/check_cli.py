#!/usr/bin/python3
"""vantrel-cli as scripts run it, on real files in a fresh folder: order with several jobs,
folders, standard input, options, files that are not regular or cannot be read, names in four
scripts and with control bytes, links and long paths, the two-line report, the exit status,
--json, and the exact output over the generated check corpus (bench/expected-output.sha256).

And compared with what real BitTorrent peers make of the same files: metainfo files made at
test time by libtorrent (v1, multi-file, private, hybrid, v2-only, trackerless, with a comment
holding ":info", with similar torrents and collections), mktorrent and transmission-create must
each get exactly the line of libtorrent's info-hash (v1 for v1 and hybrid files, v2 for v2-only
ones), and their --json objects and --magnet links libtorrent's info-hashes, name and trackers.

usage: check_cli.py CLI [--wine WINE_RUN]   (with --wine, CLI is a Windows program)
"""
import argparse
import hashlib
import json
import os
import random
import resource
import select
import shutil
import subprocess
import sys
import tempfile
import urllib.parse

import libtorrent as lt

BENCH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench")
NOT = "Not a Torrent File   "


failures = []


def check(condition, what):
    print(("ok      " if condition else "FAILED  ") + what)
    if not condition:
        failures.append(what)


def write(path, data=b"x"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    return path


def bencode(value):
    if isinstance(value, int):
        return b"i%de" % value
    if isinstance(value, bytes):
        return b"%d:%s" % (len(value), value)
    return b"d" + b"".join(bencode(k.encode()) + bencode(v) for k, v in sorted(value.items())) + b"e"


class Cli:
    def __init__(self, program, wine):
        self.program, self.wine = program, wine
        self.command = ([wine] if wine else []) + [program]
        self.ending = "\r\n" if wine else "\n"

    def name(self, path):
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def run(self, *arguments, stdin=b"", prefix=(), **options):
        """Exit status, stdout's lines, stdout and stderr (bytes that are not UTF-8 kept apart)."""
        options = {"stdout": subprocess.PIPE, "stderr": subprocess.PIPE, "timeout": 300, **options}
        result = subprocess.run([*prefix, *self.command, *arguments], input=stdin, **options)
        if self.wine and result.returncode == 77:
            sys.exit(77)  # this machine cannot run the program: skipped, not passed
        out, err = (t.decode("utf-8", "surrogateescape") for t in (result.stdout, result.stderr or b""))
        lines = out.split(self.ending)
        if lines[-1] == "":
            lines.pop()
        return result.returncode, lines, out, err



def torrent(pieces=b"p" * 20, name=b"f"):
    info = bencode({"length": 1, "name": name, "piece length": 16384, "pieces": pieces})
    return b"d8:announce5:x.org4:info" + info + b"e", hashlib.sha1(info).hexdigest()


def check_order_with_jobs(cli, root):
    """Torrents of very different sizes, so that jobs finish out of order, and a few others."""
    rnd, expected = random.Random(11), {}
    for i in range(24):
        path = os.path.join(root, "many", "file %02d.torrent" % i)
        data, digest = torrent(rnd.randbytes(20 * rnd.choice([1, 10, 50_000, 200_000])))
        if i % 5 == 4:
            data, digest = b"no torrent %d\n" % i, None
        write(path, data)
        expected[path] = (digest.upper() + "   " if digest else NOT) + os.path.basename(path)
    paths = list(expected)
    random.Random(3).shuffle(paths)
    names = [cli.name(p) for p in paths]
    for jobs in (["-j", "1"], ["-j", "2"], ["-j", "7"], ["-j3"], []):
        status, lines, _, _ = cli.run(*jobs, *names)
        check(status == 0 and lines == [expected[p] for p in paths], f"{jobs}: argument order")


def base_names(lines):
    return [line.split("   ", 1)[1] for line in lines]


def check_folders(cli, root):
    top = os.path.join(root, "tree")
    for name in ["b.torrent", "a.txt", "sub1/c.torrent", "sub1/deep/d.bin", "sub1/e.torrent",
                 "sub2/f.torrent", "sub2/.hidden", "zeta/g"]:
        write(os.path.join(top, name))
    os.makedirs(os.path.join(top, "empty"))
    exact = ["a.txt", "b.torrent", "c.torrent", "e.torrent", "d.bin", ".hidden", "f.torrent", "g"]
    status, lines, _, _ = cli.run(cli.name(top))
    check(status == 0 and sorted(base_names(lines)) == sorted(exact), "a folder gives every file below it")
    if not cli.wine:
        check(base_names(lines) == exact, "a folder's own files first, then each subfolder, sorted")
        check(cli.run(top + "/")[1] == lines, "a trailing separator changes nothing")
    status, lines, _, _ = cli.run(cli.name(os.path.join(top, "sub1")), cli.name(os.path.join(top, "b.torrent")))
    check(base_names(lines) in (["c.torrent", "e.torrent", "d.bin", "b.torrent"],
                                ["e.torrent", "c.torrent", "d.bin", "b.torrent"]),
          "a subfolder given alone: its files, then its subfolder's, then the next argument")
    check(cli.run(cli.name(os.path.join(top, "empty")))[:2] == (0, []), "an empty folder gives no line")


def check_links_and_long_paths(cli, root):
    """Folders that each link twice to the next: found links to folders are not followed."""
    chain = os.path.join(root, "chain")
    for i in range(16):
        write(os.path.join(chain, "d%02d" % i, "file"))
        for link in "ab" if i < 15 else "":
            os.symlink(os.path.join(chain, "d%02d" % (i + 1)), os.path.join(chain, "d%02d" % i, link))
    os.symlink(os.path.join(chain, "d00"), os.path.join(root, "named"))
    status, lines, _, _ = cli.run(chain, os.path.join(root, "named"))
    check(status == 0 and lines == [NOT + "file"] * 17, "a link chain: each folder once, a named link followed")
    data, digest = torrent()
    fd = os.open(root, os.O_RDONLY)
    for _ in range(25):  # 25 folders of 200 characters: a path of over 5,000
        os.mkdir("d" * 200, dir_fd=fd)
        fd = os.open("d" * 200, os.O_RDONLY, dir_fd=fd)
    write_fd = os.open("deep.torrent", os.O_WRONLY | os.O_CREAT, dir_fd=fd)
    os.write(write_fd, data)
    long_path = root + ("/" + "d" * 200) * 25 + "/deep.torrent"
    status, lines, _, err = cli.run(os.path.join(root, "d" * 200), long_path)
    check(status == 0 and lines == [digest.upper() + "   deep.torrent"] * 2 and err == "",
          f"a file at a path of {len(long_path)} characters, found and named")


def check_standard_input(cli, root):
    folder = os.path.join(root, "stdin")
    for name in ["one", "two", "three", "sub/four"]:
        write(os.path.join(folder, name), b"plain " + name.encode())
    name = lambda n: cli.name(os.path.join(folder, n))
    stdin = (name("two") + "\r\n\n" + name("sub") + "\n" + name("three")).encode()
    status, lines, _, _ = cli.run(name("one"), "-", name("one"), stdin=stdin)
    check(status == 0 and base_names(lines) == ["one", "two", "four", "three", "one"],
          "- reads names from standard input in place, CR LF or LF, folders searched")
    check(cli.run("-", stdin=b"")[:2] == (0, []), "- with nothing on standard input gives no line")
    # The program waits for names on standard input; the line of the file before "-" is out by then.
    data, digest = torrent()
    process = subprocess.Popen(cli.command + [cli.name(write(os.path.join(folder, "first"), data)), "-"],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    first = process.stdout.readline() if select.select([process.stdout], [], [], 30)[0] else b""
    process.stdin.close()
    check(process.wait(60) == 0 and first == (digest.upper() + "   first" + cli.ending).encode(),
          "a line is written as soon as it is ready, while the program still waits for names")


def check_options(cli, root):
    status, _, out, _ = cli.run("--help")
    check(status == 0 and out.startswith("usage: vantrel-cli") and "--json" in out, "--help prints the usage")
    again = cli.run("-h", "no-such-file")
    check(again[0] == 0 and again[2] == out, "-h prints the same and hashes nothing")
    for arguments, what in [(["-x", "file"], "'-x'"), (["--jobs=2", "file"], "'--jobs=2'"),
                            (["-j"], "-j needs"), (["-j", "0", "file"], "'0'"), (["-j", "two", "file"], "'two'"),
                            (["file", "-j", "1025"], "'1025'"), ([], "no file names"), ([""], "no file names"),
                            (["--json", "--magnet", "file"], "together")]:
        status, _, out, err = cli.run(*arguments)
        check(status == 2 and out == "" and what in err and "--help" in err,
              f"{arguments}: exit 2, says {what} on stderr, prints nothing")
    write(os.path.join(root, "-dashed"), b"d")
    status, lines, _, _ = cli.run("--", "-dashed", "", "-dashed", cwd=root)
    check(status == 0 and lines == [NOT + "-dashed"] * 2, "-- makes a name of what follows; empty arguments skipped")


def check_faults(cli, root):
    """Files that are not read, and those that cannot be: a line each, a message, exit status 1."""
    missing = os.path.join(root, "missing.torrent")
    data, digest = torrent()
    good = write(os.path.join(root, "good.torrent"), data)
    status, lines, _, _ = cli.run(*(cli.name(n) for n in (good, missing, good)), stderr=subprocess.STDOUT)
    check(status == 1 and len(lines) == 4 and lines[0] == lines[3] == digest.upper() + "   good.torrent" and
          lines[1].startswith(f"vantrel-cli: {cli.name(missing)}: ") and lines[2] == NOT + "missing.torrent" and
          (cli.wine or lines[1].endswith(": No such file or directory")),
          "a missing file: its line and a message naming it, exit 1; each line written as soon as ready")
    if cli.wine:
        return
    os.mkfifo(os.path.join(root, "fifo"))
    write(os.path.join(root, "devices", "a"), data)
    os.symlink("/dev/zero", os.path.join(root, "devices", "zero"))
    write(os.path.join(root, "con"), data)
    limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))
    status, lines, _, err = cli.run("fifo", "/dev/zero", "devices", "con", "", "con", stdin=b"d1:xe",
                                    cwd=root, preexec_fn=limit, timeout=30)
    hashed = digest.upper() + "   "
    check(status == 1 and lines == [NOT + "fifo", NOT + "zero", hashed + "a", NOT + "zero", hashed + "con",
                                    hashed + "con"], "FIFO, device and a link to one: not read; con is a file")
    check(err == "".join(f"vantrel-cli: {n}: not a regular file\n" for n in ["fifo", "/dev/zero", "devices/zero"]),
          "a message for each file that is not regular")
    name = os.path.join(root, "a\nb\x1b[31m.torrent")
    write(name, data)
    status, lines, _, _ = cli.run(name, os.path.join(root, "a\x7f"))
    check(status == 1 and lines == [hashed + "a?b?[31m.torrent", NOT + "a?"], "control bytes in names shown as ?")
    if os.geteuid() == 0:  # root reads everything: run as nobody where unreadable is real
        shutil.copy(cli.program, root)
        os.chmod(root, 0o755)
        for path in [write(os.path.join(root, "secret.torrent"), data), os.path.join(root, "tree", "sub1")]:
            os.chmod(path, 0)
        status, lines, _, err = cli.run("secret.torrent", "tree", cwd=root, prefix=[
            "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", os.path.join(root, "vantrel-cli")])
        check(status == 1 and NOT + "secret.torrent" in lines and "b.torrent" in "".join(lines) and
              "tree/sub1: Permission denied" in err and "secret.torrent: Permission denied" in err,
              "an unreadable file and folder: messages, the rest searched, exit 1")


def check_json(cli, root):
    good, digest = torrent(name="naïve \x01".encode())
    stem = b"d8:announce1:x4:infod6:lengthi1x2e6:pieces20:" + b"p" * 20
    files = {"good": good, "heuristic": stem + b"ee", "malformed": stem + b"4:tagsl1:xee", "text": b"text",
             "bad name" if cli.wine else os.fsdecode(b"bad\xff\xe2\x82name"): b""}  # Wine: only UTF-8
    paths = [write(os.path.join(root, "json", n), d) for n, d in files.items()] + [os.path.join(root, "gone")]
    names = [cli.name(p) for p in paths]
    status, lines, _, _ = cli.run("--json", *names)
    objects = [json.loads(line) for line in lines]
    cut = stem[stem.index(b":info") + 5:] + b"e"
    want = [{"status": "ok", "v1": digest, "info_name": "naïve \x01"},
            {"status": "heuristic", "heuristic_v1": hashlib.sha1(cut).hexdigest()},
            {"status": "malformed"}, {"status": "not-a-torrent"}, {"status": "not-a-torrent"}, {"status": "unreadable"}]
    check(status == 1 and len(objects) == 6, "--json: one object a file, exit 1 for the missing one")
    for i, (got, expected) in enumerate(zip(objects, want)):
        check({k: got.get(k) for k in expected} == expected and got["file"] == os.fsdecode(names[i]).encode(
              "utf-8", "surrogateescape").decode("utf-8", "replace") and got["name"] == got["file"].split(
              "\\" if cli.wine else "/")[-1], f"--json {got}")
    check(objects[-1]["error"] not in ("", None) and "v1" not in objects[1], "error text; heuristic never as v1")


def check_corpus(cli, root):
    corpus = os.path.join(root, "corpus")
    subprocess.run([sys.executable, os.path.join(BENCH, "generate_corpus.py"), "check", corpus], check=True)
    with open(os.path.join(corpus, "names.txt")) as f:
        names = [cli.name(n) for n in f.read().splitlines()]
    status, _, out, _ = cli.run("-", stdin=("\n".join(names) + "\n").encode())
    digest = hashlib.sha256(out.replace("\r\n", "\n").encode("utf-8", "surrogateescape")).hexdigest()
    with open(os.path.join(BENCH, "expected-output.sha256")) as f:
        check(status == 0 and f"{digest}  check\n" in f.readlines(), "the check corpus gives the recorded output")


def check_names(cli, root):
    """Names in four scripts, a file 2,000+ characters deep, a report with CR, LF and NUL."""
    data, digest = torrent()
    damaged = b"d8:announce1:x4:infod6:lengthi1e6:pieces0:l\r\n\0ee"
    names = ["東京 ñ.torrent", "Привет.torrent", "Ελληνικά.torrent", "😀 emoji.torrent"]
    folder = os.path.join(root, "names")
    deep = os.path.join(folder, *["深" * 20 + "d" * 100] * 18)  # 2,178 characters below folder
    for path in [os.path.join(folder, n) for n in names] + [os.path.join(deep, "Глубоко.torrent")]:
        write(path, data)
    write(os.path.join(folder, "bad.torrent"), damaged)
    # The window's list holds the same detail bytes: a byte that is no UTF-8 shows as "." too.
    not_utf8 = damaged.replace(b"l\r\n\0", b"\xc3\xa9\xff~")
    write(os.path.join(folder, "bad é.torrent"), not_utf8)
    status, lines, _, _ = cli.run(cli.name(folder), cli.name(os.path.join(folder, names[0])))
    want = [digest.upper() + "   " + n for n in names + ["Глубоко.torrent", names[0]]] + [
        "Error!", "l...    " + hashlib.sha1(damaged).hexdigest().upper() + "     bad.torrent",
        "Error!", "é.~    " + hashlib.sha1(not_utf8).hexdigest().upper() + "     bad é.torrent"]
    check(status == 0 and sorted(lines) == sorted(want), "names in four scripts, a deep file, reports")


def check_large_damaged_files(cli, root):
    """Damaged files as large as memory allows: a walk of tens of millions of tiny elements
    before the element it cannot skip, in memory of the file's size and a little more (natively
    under an address-space limit, the 32-bit program in its own 2-4 GB); and a string length of
    2^32, which a 32-bit size would wrap to 0, in a sparse 450 MB file that is no torrent."""
    folder = os.path.join(root, "large")
    os.makedirs(folder)
    head = b"d8:announce1:x6:lengthi1e4:infod6:pieces0:"
    tiny = write(os.path.join(folder, "tiny.torrent"),
                 head + b"0:" * (50_000_000 if cli.wine else 10_000_000) + b"xee")
    with open(tiny, "rb") as f:
        digest = hashlib.sha1(f.read()).hexdigest().upper()
    size = os.path.getsize(tiny)
    limit = None if cli.wine else lambda: resource.setrlimit(resource.RLIMIT_AS, (size + (256 << 20),) * 2)
    status, lines, _, err = cli.run(cli.name(tiny), preexec_fn=limit)
    check(status == 0 and lines == ["Error!", f"xee    {digest}     tiny.torrent"],
          f"{size:,} bytes of tiny elements: the report, in bounded memory {err[-200:]}")
    wrapped = os.path.join(folder, "wrapped.torrent")
    size = 450 << 20
    with open(wrapped, "wb") as f:
        head = b"d4:infod6:pieces4294967296:e1:x"
        f.write(head + b"%d:" % (size - len(head) - 9 - 2))
        f.seek(size - 1)
        f.write(b"e")
    status, lines, _, _ = cli.run("--json", cli.name(wrapped))
    check(status == 0 and [json.loads(line)["status"] for line in lines] == ["not-a-torrent"],
          "a length of 2^32 in a 450 MB file: not a torrent")


def make_payload(root):
    rnd = random.Random(20261206)
    multi = os.path.join(root, "payload", "album & más+1%")
    for name, size in [("01 intro.flac", 70_000), ("02 theme.flac", 123_457),
                       ("disc 2/03 coda.flac", 5), ("cover.jpg", 40_000)]:
        write(os.path.join(multi, name), rnd.randbytes(size))
    return write(os.path.join(root, "payload", "single.bin"), rnd.randbytes(300_000)), multi


def libtorrent_file(path, out, flags=0, piece_size=16384, trackers=("http://tracker.test/announce",),
                    private=False, comment="", nodes=(), similar=(), collections=()):
    files = lt.file_storage()
    lt.add_files(files, path)
    t = lt.create_torrent(files, piece_size, flags=flags)
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
    return write(out, lt.bencode(t.generate()))


def make_torrents(root, single, multi):
    out = lambda name: os.path.join(root, "torrents", name)
    v1, v2 = lt.create_torrent.v1_only, lt.create_torrent.v2_only
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
    for name, *command in [
            ("mk-single", "mktorrent", "-d", "-t", "1", "-a", "http://tracker.test/announce", "-l", "15",
             single),
            ("mk-multi-private", "mktorrent", "-d", "-t", "1", "-a", "http://a.test/announce", "-a",
             "http://b.test/announce", "-p", "-s", "SOURCE", "-c", "comment :info", "-w",
             "http://seed.test/", multi),
            ("tr-single", "transmission-create", "-t", "http://tracker.test/announce", single),
            ("tr-multi-private", "transmission-create", "-p", "-c", "made by transmission", "-t",
             "http://tracker.test/announce", multi)]:
        made.append(out(name + ".torrent"))
        subprocess.run([command[0], "-o", made[-1], *command[1:]], check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    return made


def check_peer_set(cli, root):
    root = os.path.join(root, "peers")
    torrents = make_torrents(root, *make_payload(root))
    hashes = {path: lt.torrent_info(path).info_hashes() for path in torrents}
    expected = {path: str(h.v1 if h.has_v1() else h.v2).upper() + "   " + os.path.basename(path)
                for path, h in hashes.items()}
    with open(torrents[0], "rb") as f:
        good = f.read()
    for name, data in [("notes.txt", b"just some text\n"), ("empty.torrent", b""),
                       ("newline.torrent", good + b"\n"), ("random.bin", random.Random(7).randbytes(5000))]:
        expected[write(os.path.join(root, "others", name), data)] = NOT + name
    names = [cli.name(p) for p in expected]
    status, lines, _, _ = cli.run(*names)
    check(status == 0 and len(lines) == len(expected), f"{len(expected)} files, one line each")
    for path, line in zip(expected, lines):
        check(line == expected[path], f"{os.path.basename(path)}: {line}")
    status, lines, _, _ = cli.run("--json", *names[: len(torrents)])
    for path, line in zip(torrents, lines):
        got, h = json.loads(line), hashes[path]
        want = {"status": "ok", "info_name": lt.torrent_info(path).name(), "v1": str(h.v1) if h.has_v1() else None,
                "v2": str(h.v2) if h.has_v2() else None}
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("--wine")
    args = parser.parse_args()
    cli = Cli(os.path.abspath(args.cli), args.wine and os.path.abspath(args.wine))
    with tempfile.TemporaryDirectory(prefix="vantrel-cli-") as root:
        for checks in (check_order_with_jobs, check_folders, check_standard_input, check_options, check_faults,
                       check_json, check_corpus, check_names, check_large_damaged_files, check_peer_set):
            checks(cli, root)
        if not cli.wine:
            check_links_and_long_paths(cli, root)
    print(f"{len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
