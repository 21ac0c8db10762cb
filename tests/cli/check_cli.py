#!/usr/bin/python3
"""vantrel-cli as scripts run it, on real files in a fresh folder: order with several jobs and
with fewer threads than asked for, folders, standard input, options, files that are not regular
or cannot be read, failed output, names in four scripts and with control characters, links,
long paths and deep trees, the two-line report, the exit status, --json, and the exact output
over the generated check corpus (bench/expected-output.sha256).

And compared with what real BitTorrent peers make of the same files: metainfo files made at
test time by libtorrent (v1, multi-file, private, hybrid, v2-only, trackerless, with a comment
holding ":info", with similar torrents and collections), mktorrent and transmission-create must
each get exactly the line of libtorrent's info-hash (v1 for v1 and hybrid files, v2 for v2-only
ones), and their --json objects and --magnet links libtorrent's info-hashes, name and trackers.

And the name and tracker rules of --json and --magnet on generated torrents.

usage: check_cli.py CLI --project-version VERSION [--wine WINE_RUN] [--slow | --live]
    (with --wine, CLI is a Windows program; --slow: only the deep folder chains; --live: only
    the file rewritten while it is read)
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
import time
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
        out, err = (t.decode("utf-8", "surrogateescape") for t in (result.stdout or b"", result.stderr or b""))
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


def check_links(cli, root):
    """Folders that each link twice to the next (Wine shows the links as reparse points): found
    links to folders are neither entered nor listed, a folder named is; each file once."""
    chain = os.path.join(root, "chain")
    for i in range(16):
        write(os.path.join(chain, "d%02d" % i, "file"))
        for link in "ab" if i < 15 else "":
            os.symlink(os.path.join(chain, "d%02d" % (i + 1)), os.path.join(chain, "d%02d" % i, link))
    os.symlink(os.path.join(chain, "d00"), os.path.join(root, "named"))
    status, lines, _, _ = cli.run("--json", cli.name(chain), cli.name(os.path.join(root, "named")))
    files = [json.loads(line)["file"] for line in lines]
    want = [cli.name(os.path.join(chain, "d%02d" % i, "file")) for i in range(16)]
    found = sorted(files[:16]) if cli.wine else files[:16]  # Windows: in the platform's order
    check(status == 0 and found == want and files[16:] == [cli.name(os.path.join(root, "named", "file"))],
          "a link diamond: each folder once by its own path, a named link followed")


def check_long_paths(cli, root):
    """Long paths, and a tree deeper than the folders the search holds open (fewer still with
    few descriptors left): the same order as a search that held every folder open."""
    comb = os.path.join(root, "comb")
    for level in range(100):
        folder = os.path.join(comb, *["a%d" % depth for depth in range(level)])  # reopened name by name
        write(os.path.join(folder, "b", "f%d" % level))
        write(os.path.join(folder, "z%d" % level))
    limit = lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (12, 12))
    status, lines, _, err = cli.run("-j", "1", comb, preexec_fn=limit)
    # Own files first, then subfolder "a" (the rest of the comb), then "b".
    want = [NOT + "z%d" % level for level in range(100)] + [NOT + "f%d" % level for level in reversed(range(100))]
    check(status == 0 and err == "" and lines == want, "a comb 100 folders deep, searched with 12 descriptors")
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


def check_deep_chains(cli, root):
    """Slow: chains of 30,000 folders of one character and of 2,000 of 255 characters (a path
    of half a megabyte), each searched within 128 MiB of address space."""
    data, digest = torrent()
    limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (128 << 20, 128 << 20))
    for depth, width in [(30_000, 1), (2_000, 255)]:
        top = os.path.join(root, "chain of %d" % depth)
        os.mkdir(top)
        fd = os.open(top, os.O_RDONLY)
        for _ in range(depth):
            os.mkdir("c" * width, dir_fd=fd)
            fd, parent = os.open("c" * width, os.O_RDONLY, dir_fd=fd), fd
            os.close(parent)
        os.close(os.open("bottom.torrent", os.O_WRONLY | os.O_CREAT, dir_fd=fd))
        with open(f"/proc/self/fd/{fd}/bottom.torrent", "wb") as f:
            f.write(data)
        os.close(fd)
        status, lines, _, err = cli.run(top, preexec_fn=limit)
        subprocess.run(["rm", "-rf", top], check=True)  # Python's removal recurses
        check(status == 0 and lines == [digest.upper() + "   bottom.torrent"] and err == "",
              f"a chain {depth} folders deep of {width} characters each, within 128 MiB")


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
    status, lines, _, err = cli.run("-", stdin=(name("sub") + "\0" + name("one") + "\n" + name("two")).encode())
    check(status == 1 and base_names(lines) == ["two"] and "?" + name("one") + ": a name cannot hold a NUL" in err,
          "a standard-input name holding NUL: a message, exit 1, nothing of it searched")
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
    status, _, out, _ = cli.run("--version", "no-such-file")
    check(status == 0 and out == f"vantrel-cli {cli.version}\n", "--version prints the project's version")
    for arguments, what in [(["-x", "file"], "'-x'"), (["--jobs=2", "file"], "'--jobs=2'"),
                            (["-j"], "-j needs"), (["-j", "0", "file"], "'0'"), (["-j", "two", "file"], "'two'"),
                            (["file", "-j", "1025"], "'1025'"), ([], "no file names"), ([""], "no file names"),
                            (["--json", "--magnet", "file"], "together")]:
        status, _, out, err = cli.run(*arguments)
        check(status == 2 and out == "" and what in err and "--help" in err,
              f"{arguments}: exit 2, says {what} on stderr, prints nothing")
    write(os.path.join(root, "-dashed"), b"d")
    write(os.path.join(root, "-"), b"d")
    status, lines, _, _ = cli.run("--", "-dashed", "", "-dashed", "-", cwd=root, stdin=b"-dashed\n")
    check(status == 0 and lines == [NOT + "-dashed"] * 2 + [NOT + "-"],
          "-- makes a name of what follows, - too; empty arguments skipped")
    data, _ = torrent()
    with open("/dev/full", "wb") as full:
        for arguments in ([cli.name(write(os.path.join(root, "full.torrent"), data))], ["--help"]):
            status, _, _, err = cli.run(*arguments, stdout=full)
            check(status == 1 and err.splitlines() == ["vantrel-cli: write error: No space left on device"],
                  f"{arguments} > /dev/full: the system's reason, exit 1")


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
    if cli.wine:  # Wine cannot list a folder whose host path is longer than PATH_MAX
        deep = os.path.join(root, "unlistable")
        fd = os.open(os.path.dirname(write(os.path.join(deep, "top"))), os.O_RDONLY)
        for _ in range(21):
            os.mkdir("d" * 200, dir_fd=fd)
            fd, parent = os.open("d" * 200, os.O_RDONLY, dir_fd=fd), fd
            os.close(parent)
        os.close(fd)
        status, lines, _, err = cli.run(cli.name(deep))
        check(status == 1 and lines == [NOT + "top"] and err.count("\n") == 1 and
              err.startswith(f"vantrel-cli: {cli.name(deep)}\\d"), "a subfolder that cannot be listed: a message, exit 1")
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
    waiting = os.path.join(root, "waiting")
    os.makedirs(waiting)
    os.mkfifo(os.path.join(waiting, "fifo"))
    writer = subprocess.Popen(["sh", "-c", "printf x > fifo; echo released"], cwd=waiting, stdout=subprocess.PIPE)
    time.sleep(0.5)  # the writer waits in open() for a reader
    status, lines, _, _ = cli.run(waiting, os.path.join(waiting, "fifo"), timeout=30)
    time.sleep(0.5)
    check(status == 1 and lines == [NOT + "fifo"] * 2 and writer.poll() is None,
          "a FIFO whose writer waits, in a folder and named: not opened, the writer still waits")
    writer.kill()
    writer.wait()
    name = os.path.join(root, "a\nb\x1b[31m.torrent")
    write(name, data)
    status, lines, _, _ = cli.run(name, os.path.join(root, "a\x7f"))
    check(status == 1 and lines == [hashed + "a?b?[31m.torrent", NOT + "a?"], "control bytes in names shown as ?")
    name = os.path.join(root, "a\u0085b\u2028c\u2029d\u009b[31m\u00e9.torrent")
    write(name, data)
    status, lines, _, _ = cli.run(name)
    check(status == 0 and lines == [hashed + "a?b?c?d?[31m\u00e9.torrent"], "C1 controls, U+2028, U+2029 shown as ?")
    for arguments in (["-j", "1\n2\u0085\x1b[31m"], ["-1\n2\u0085\x1b[31m"]):
        status, _, _, err = cli.run(*arguments, "x")
        check(status == 2 and "1?2??[31m" in err and err.count("\n") == 2, f"{arguments}: masked in the message")
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
    # Threads are limited per user, and not for root.
    as_nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
    threads = [write(os.path.join(root, "threads", "%02d" % i), data) for i in range(64)]
    result = subprocess.run(["prlimit", "--nproc=3", *as_nobody, shutil.copy(cli.program, root), "-j", "64",
                             *threads], capture_output=True, timeout=60)
    check(result.returncode == 0 and result.stdout.decode().splitlines() == [hashed + "%02d" % i for i in range(64)],
          "-j 64 where only three threads may run: every line")


def pe_machine(program):
    with open(program, "rb") as f:
        header = f.read(4096)
    at = int.from_bytes(header[60:64], "little")
    return int.from_bytes(header[at + 4:at + 6], "little")


def check_windows_names(cli, root):
    """Names the platform would rewrite are their own files; device names are not read; the
    32-bit program refuses a file over 1 GiB with the reason."""
    folder = os.path.join(root, "exact")
    data, digest = torrent()
    files = {"a.torrent": data, "a.torrent.": b"text", "b.torrent": b"text", "b.torrent ": data, "nul.torrent": data}
    for name, content in files.items():
        write(os.path.join(folder, name), content)
    status, lines, _, err = cli.run(cli.name(folder), *(cli.name(os.path.join(folder, n)) for n in files))
    hashed = {n: (digest.upper() + "   " if d == data else NOT) + n for n, d in files.items()}
    hashed["nul.torrent"] = NOT + "nul.torrent"
    check(status == 1 and sorted(lines[:5]) == sorted(hashed.values()) and lines[5:] == list(hashed.values()),
          "a.torrent / a.torrent. and b.torrent / 'b.torrent ': each its own file, found and named")
    check(err.count("nul.torrent: not a regular file") == 2, "a device name in a folder: not read, a message")
    if pe_machine(cli.program) != 0x14C:
        return
    big = os.path.join(root, "big.torrent")
    with open(big, "wb") as f:
        f.write(b"d")
        f.truncate((1 << 30) + 2)
        f.seek((1 << 30) + 1)
        f.write(b"e")
    status, lines, _, err = cli.run("--json", cli.name(big))
    check(status == 1 and json.loads(lines[0])["status"] == "unreadable" and "over 1 GiB" in err,
          "32-bit: a file over 1 GiB is refused with the reason")


def check_live_file(cli, root):
    """A writer rewrites a file in a loop (re-saved with O_TRUNC, rewritten in place, cut and
    regrown) while the program reads it: an ok hash is always one of the two versions."""
    for size in (20_000, 1_500_000):  # read into memory; mapped
        versions = [torrent(random.Random(seed).randbytes(size // 20 * 20)) for seed in (1, 2)]
        target = os.path.join(root, "live-%d.torrent" % size)
        write(target, versions[0][0])
        sources = [write(target + ".v%d" % i, data) for i, (data, _) in enumerate(versions)]
        writer = subprocess.Popen([sys.executable, "-c", LIVE_WRITER, target, *sources])
        counts = {}
        for _ in range(150):
            got = json.loads(cli.run("--json", target)[1][0])
            kind = got["status"]
            if kind == "ok":
                kind = "ok" if got["v1"] in (versions[0][1], versions[1][1]) else "ok, neither version"
            counts[kind] = counts.get(kind, 0) + 1
        writer.kill()
        writer.wait()
        print(f"        {size} bytes: {counts}")
        check("ok, neither version" not in counts and counts.get("ok", 0) > 0,
              f"{size} bytes, rewritten while read 150 times: every ok hash is one of the versions")


LIVE_WRITER = """
import os, random, sys, time
target, versions = sys.argv[1], [open(v, "rb").read() for v in sys.argv[2:]]
rnd = random.Random(5)
for step in range(10 ** 9):
    data, half = versions[step % 2], len(versions[step % 2]) // 2
    pattern = step % 3
    fd = os.open(target, os.O_WRONLY | (os.O_TRUNC if pattern == 0 else 0))
    if pattern == 1:  # in place, in one call: the file never holds a mix of its own
        os.pwrite(fd, data, 0)
    else:  # what it holds between the two writes is cut short, not a torrent
        if pattern == 2:
            os.ftruncate(fd, half // 2)
        os.pwrite(fd, data[:half], 0)
        time.sleep(rnd.random() * 0.002)
        os.pwrite(fd, data[half:], half)
    os.close(fd)
    time.sleep(rnd.random() * 0.05)
"""


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


def check_name_and_tracker_rules(cli, root):
    """--json and --magnet on generated torrents: the info-hash always libtorrent's; the name and
    trackers by the stated rules, and libtorrent's too where it agrees (it trims only the front
    of a URL, keeps repeats, and rewrites a name that is not fit for a file system)."""
    a, b, c = b"http://a.test/announce", b"udp://b.test:80", b"http://c.test/x?y=1&z"
    cases = [  # info's names, announce, announce-list, the name and trackers wanted, libtorrent agrees
        ({b"name": b"plain"}, a, None, "plain", [a], True),
        ({b"name": b"plain"}, a, [[b], [c, b]], "plain", [b, c], True),
        ({b"name": b"plain"}, a, [[b""], []], "plain", [a], True),
        ({b"name": b"plain"}, b" \t" + a + b" \n", [[b" " + b + b"\t", b"", c]], "plain", [b, c], False),
        ({b"name": b"plain"}, b" " + a + b"\r\n", None, "plain", [a], False),
        ({b"name": b"name", b"name.utf-8": "n\u00e4me \u6771".encode()}, None, None, "n\u00e4me \u6771", [], True),
        ({b"name": b"name", b"name.utf-8": b"bad \xc0\xaf"}, None, None, "name", [], False),
        ({}, a, None, None, [a], False),
    ]
    paths = []
    for i, (names, announce, tiers, _, _, _) in enumerate(cases):
        info = bencode_any({b"length": 1, b"piece length": 16384, b"pieces": b"p" * 20, **names})
        top = {b"announce": announce, b"announce-list": tiers}
        data = b"d" + b"".join(bencode_any(k) + bencode_any(v) for k, v in top.items() if v is not None)
        paths.append(write(os.path.join(root, "rules", "%d.torrent" % i), data + b"4:info" + info + b"e"))
    names = [cli.name(p) for p in paths]
    _, lines, _, _ = cli.run("--json", *names)
    _, links, _, _ = cli.run("--magnet", *names)
    for path, line, link, (_, _, _, name, trackers, agrees) in zip(paths, lines, links, cases):
        ours = urllib.parse.parse_qs(urllib.parse.urlsplit(link).query)
        with open(path, "rb") as f:
            data = f.read()
        xt = "urn:btih:" + hashlib.sha1(data[data.index(b"4:info") + 6:-1]).hexdigest()
        check(json.loads(line).get("info_name", "missing") == name and ours.get("dn") == (name and [name]) and
              ours["xt"] == [xt] and ours.get("tr", []) == [t.decode() for t in trackers],
              f"{os.path.basename(path)}: name {name!r} and trackers {trackers} by the rules")
        if name is not None:  # libtorrent refuses a torrent without a name
            theirs = urllib.parse.parse_qs(urllib.parse.urlsplit(lt.make_magnet_uri(lt.torrent_info(path))).query)
            check(theirs["xt"] == ours["xt"] and (not agrees or theirs.get("dn") == ours.get("dn") and
                  sorted(set(theirs.get("tr", []))) == sorted(ours.get("tr", []))),
                  f"{os.path.basename(path)}: libtorrent's info-hash" + (", name and trackers" if agrees else ""))


def bencode_any(value):
    if isinstance(value, list):
        return b"l" + b"".join(bencode_any(v) for v in value) + b"e"
    if isinstance(value, dict):
        return b"d" + b"".join(bencode_any(k) + bencode_any(v) for k, v in sorted(value.items())) + b"e"
    return bencode(value)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("--wine")
    parser.add_argument("--project-version", required=True)
    parser.add_argument("--slow", action="store_true", help="only the slow checks")
    parser.add_argument("--live", action="store_true", help="only the file rewritten while read")
    args = parser.parse_args()
    cli = Cli(os.path.abspath(args.cli), args.wine and os.path.abspath(args.wine))
    cli.version = args.project_version
    checks = [check_order_with_jobs, check_folders, check_standard_input, check_options, check_faults, check_json,
              check_corpus, check_names, check_large_damaged_files, check_peer_set, check_name_and_tracker_rules, check_links] + ([] if args.wine else [check_long_paths])
    with tempfile.TemporaryDirectory(prefix="vantrel-cli-") as root:
        if args.slow:
            checks = [check_deep_chains]
        elif args.live:
            checks = [check_live_file]
        elif cli.wine:
            checks = [check_windows_names] + checks
        for run_checks in checks:
            run_checks(cli, root)
    print(f"{len(failures)} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
