#!/usr/bin/python3
"""vantrel-cli as its users run it, on real files in a fresh folder: the order of the output with
several jobs, folders, names from standard input, --help, and unusable arguments.

usage: check_cli.py CLI [--wine WINE_RUN]   (with --wine, CLI is a Windows program)
"""
import argparse
import hashlib
import os
import random
import subprocess
import sys
import tempfile

failures = []


def check(condition, what):
    print(("ok      " if condition else "FAILED  ") + what)
    if not condition:
        failures.append(what)


def bencode(value):
    if isinstance(value, int):
        return b"i%de" % value
    if isinstance(value, bytes):
        return b"%d:%s" % (len(value), value)
    if isinstance(value, dict):
        return b"d" + b"".join(bencode(k.encode()) + bencode(v) for k, v in sorted(value.items())) + b"e"
    raise TypeError(value)


class Cli:
    def __init__(self, program, wine):
        self.program, self.wine = program, wine
        self.ending = "\r\n" if wine else "\n"

    def name(self, path):
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def run(self, *arguments, stdin=b""):
        command = ([self.wine] if self.wine else []) + [self.program] + list(arguments)
        result = subprocess.run(command, input=stdin, capture_output=True, timeout=300)
        out = result.stdout.decode("latin-1")
        lines = out.split(self.ending)
        if lines and lines[-1] == "":
            lines.pop()
        return result.returncode, lines, out, result.stderr.decode("latin-1")


def make_files(root, count):
    """Torrents of very different sizes, so that jobs finish out of order, and a few others."""
    rnd = random.Random(11)
    os.makedirs(root)
    expected = {}
    for i in range(count):
        path = os.path.join(root, "file %02d.torrent" % i)
        if i % 5 == 4:
            data = b"no torrent %d\n" % i
            line = "Not a Torrent File   " + os.path.basename(path)
        else:
            pieces = rnd.randbytes(20 * rnd.choice([1, 10, 50_000, 200_000]))
            info = bencode({"length": i, "name": b"f%d" % i, "piece length": 16384, "pieces": pieces})
            data = b"d8:announce5:x.org4:info" + info + b"e"
            line = hashlib.sha1(info).hexdigest().upper() + "   " + os.path.basename(path)
        with open(path, "wb") as f:
            f.write(data)
        expected[path] = line
    return expected


def check_order_with_jobs(cli, root):
    expected = make_files(os.path.join(root, "many"), 24)
    paths = list(expected)
    random.Random(3).shuffle(paths)
    want = [expected[p] for p in paths]
    names = [cli.name(p) for p in paths]
    for jobs in ("1", "2", "7"):
        status, lines, _, _ = cli.run("-j", jobs, *names)
        check(status == 0 and lines == want, f"-j {jobs}: one line per file in argument order")
    status, lines, _, _ = cli.run("-j3", *names)
    check(status == 0 and lines == want, "-j3 written together")
    status, lines, _, _ = cli.run(*names)
    check(status == 0 and lines == want, "default jobs: argument order")


def write(path, data=b"x"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


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
    names = base_names(lines)
    check(status == 0 and sorted(names) == sorted(exact), "a folder gives every file below it, nothing else")
    if not cli.wine:
        check(names == exact, "a folder's own files first, then each subfolder depth-first, sorted")
        status, again, _, _ = cli.run(top + "/")
        check(again == lines, "a trailing separator changes nothing")
        loop = os.path.join(top, "sub1", "loop")
        os.symlink(top, loop)
        status, looped, _, _ = cli.run(top)
        check(status == 0 and looped == lines, "a link back to an enclosing folder is not entered again")
        os.remove(loop)
    # Siblings come in the platform's order on Windows; the rule holds either way.
    status, lines, _, _ = cli.run(cli.name(os.path.join(top, "sub1")), cli.name(os.path.join(top, "b.torrent")))
    check(base_names(lines) in (["c.torrent", "e.torrent", "d.bin", "b.torrent"],
                                ["e.torrent", "c.torrent", "d.bin", "b.torrent"]),
          "a subfolder given alone: its files, then its subfolder's, then the next argument")
    status, lines, _, _ = cli.run(cli.name(os.path.join(top, "empty")))
    check(status == 0 and lines == [], "an empty folder gives no line")


def check_standard_input(cli, root):
    folder = os.path.join(root, "stdin")
    for name in ["one", "two", "three", "sub/four"]:
        write(os.path.join(folder, name), b"plain " + name.encode())
    name = lambda n: cli.name(os.path.join(folder, n))
    stdin = (name("two") + "\r\n\n" + name("sub") + "\n" + name("three")).encode()
    status, lines, _, _ = cli.run(name("one"), "-", name("one"), stdin=stdin)
    check(status == 0 and base_names(lines) == ["one", "two", "four", "three", "one"],
          "- reads names from standard input in place, CR LF or LF, folders searched")
    status, lines, _, _ = cli.run("-", stdin=b"")
    check(status == 0 and lines == [], "- with nothing on standard input gives no line")


def check_options(cli, root):
    status, _, out, _ = cli.run("--help")
    check(status == 0 and out.startswith("usage: vantrel-cli") and "-j N" in out, "--help prints the usage")
    status, _, out2, _ = cli.run("-h", "no-such-file")
    check(status == 0 and out2 == out, "-h prints the same and hashes nothing")
    for arguments, what in [(["-x", "file"], "'-x'"), (["--jobs=2", "file"], "'--jobs=2'"),
                            (["-j"], "-j needs"), (["-j", "0", "file"], "'0'"), (["-j", "two", "file"], "'two'"),
                            (["file", "-j", "99999"], "'99999'"), ([], "no file names")]:
        status, _, out, err = cli.run(*arguments)
        check(status == 2 and out == "" and what in err and "--help" in err,
              f"{' '.join(arguments) or 'no arguments'}: exit 2, says {what} on stderr, prints nothing")
    write(os.path.join(root, "-dashed"), b"d")
    previous = os.getcwd()
    os.chdir(root)
    try:
        status, lines, _, _ = cli.run("--", "-dashed")
    finally:
        os.chdir(previous)
    check(status == 0 and lines == ["Not a Torrent File   -dashed"], "-- makes a name of what follows")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("--wine")
    args = parser.parse_args()
    cli = Cli(os.path.abspath(args.cli), args.wine)
    with tempfile.TemporaryDirectory(prefix="vantrel-cli-") as root:
        check_order_with_jobs(cli, root)
        check_folders(cli, root)
        check_standard_input(cli, root)
        check_options(cli, root)
    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
