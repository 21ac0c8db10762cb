#!/usr/bin/python3
"""vantrel-cli on real files and against libtorrent: check_cli.py CLI [--wine WINE_RUN] [--slow]
or cmake --install on Linux, then the version and the manual page: check_cli.py CLI --install BUILD_FOLDER VERSION"""
import glob, hashlib, itertools, json, multiprocessing, os, pathlib, random, re, resource
import select, shutil, subprocess, sys, tempfile, time, urllib.parse

import libtorrent as lt

NOT = "Not a Torrent File   "
failures = []


def check(condition, what, got=""):
    print(("ok      " if condition else f"FAILED  {got!r}\n        ") + what)
    if not condition:
        failures.append(what)


def write(path, data=b"x"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    pathlib.Path(path).write_bytes(data)
    return path


def torrent(pieces=b"p" * 20, name=b"f"):
    info = lt.bencode({"length": 1, "name": name, "piece length": 16384, "pieces": pieces})
    return b"d8:announce5:x.org4:info" + info + b"e", hashlib.sha1(info).hexdigest()


DATA, DIGEST = torrent()
HASHED = DIGEST.upper() + "   "


def query(link):
    return urllib.parse.parse_qs(urllib.parse.urlsplit(link).query, keep_blank_values=True, strict_parsing=True)


class Cli:
    def __init__(self, program, wine):
        self.program, self.wine = program, wine
        self.command = ([wine] if wine else []) + [program]
        self.ending = "\r\n" if wine else "\n"

    def name(self, path):
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def run(self, *arguments, stdin=b"", prefix=(), **options):
        options = {"stdout": subprocess.PIPE, "stderr": subprocess.PIPE, "timeout": 300, **options}
        result = subprocess.run([*prefix, *self.command, *arguments], input=stdin, **options)
        if self.wine and result.returncode == 77:
            sys.exit(77)  # this machine cannot run the program: skipped, not passed
        out, err = (t.decode("utf-8", "surrogateescape") for t in (result.stdout or b"", result.stderr or b""))
        lines = out.split(self.ending)
        return result.returncode, lines[:-1] if lines[-1] == "" else lines, out, err

    def expect(self, what, arguments, status, lines, err_regex="", **options):
        got = self.run(*arguments, **options)
        check(got[0] == status and got[1] == lines and re.fullmatch(err_regex, got[3]), what, got)


def check_runs(cli, root):
    for name in ["tree/b", "tree/a.txt", "tree/sub1/c", "tree/sub1/deep/d", "tree/sub1/e", "tree/sub2/f",
                 "tree/sub2/.hidden", "tree/zeta/g", "-dashed", "-", "one", "two", "three", "sub/four", "good.torrent"]:
        write(os.path.join(root, name), DATA if name.endswith(".torrent") else b"x")
    os.makedirs(os.path.join(root, "tree", "empty"))
    for i in range(16):  # a diamond: each folder links twice to the next
        write(os.path.join(root, "chain", "d%02d" % i, "file"))
        for link in "ab" if i < 15 else "":
            os.symlink(os.path.join(root, "chain", "d%02d" % (i + 1)), os.path.join(root, "chain", "d%02d" % i, link))
    os.symlink(os.path.join(root, "chain", "d00"), os.path.join(root, "named"))
    plain = lambda *names: [NOT + n for n in names]
    usage = lambda says: rf"vantrel-cli: [^\n]*{re.escape(says)}[^\n]*\nTry 'vantrel-cli --help'.\r?\n"
    rows = [  # what, arguments, standard input, exit status, stdout's lines, stderr (a regular expression)
        ("a folder: its own files first, then each subfolder, sorted (Wine lists them so)", ["tree/", "tree/empty"],
         b"", 0, plain("a.txt", "b", "c", "e", "d", ".hidden", "f", "g"), ""),
        ("- reads names from standard input in place, CR LF or LF, folders searched", ["one", "-", "one"],
         b"two\r\n\nsub\nthree", 0, plain("one", "two", "four", "three", "one"), ""),
        ("a standard-input name holding NUL: a message, exit 1, nothing of it searched", ["-"], b"sub\0one\ntwo", 1,
         plain("two"), "vantrel-cli: sub[?]one: a name cannot hold a NUL.*\n"),
        ("a diamond of links to folders: each folder once, its links not followed; a named link followed",
         ["chain", "named"], b"", 0, plain(*["file"] * 17), ""),
        ("-- makes a name of what follows, - too; empty arguments skipped", ["--", "-dashed", "", "-dashed", "-"],
         b"-dashed\n", 0, plain("-dashed", "-dashed", "-"), ""),
    ] + [(f"{arguments}: exit 2, says {says} on stderr, prints nothing", arguments, b"", 2, [], usage(says))
         for arguments, says in [
             (["-x", "file"], "'-x'"), (["--jobs=2", "file"], "'--jobs=2'"), (["-j"], "-j needs"),
             (["-j", "0", "file"], "'0'"), (["-j", "two", "file"], "'two'"), (["file", "-j", "1025"], "'1025'"),
             ([], "no file names"), ([""], "no file names"), (["--json", "--magnet", "file"], "together")]]
    if not cli.wine:
        name = "a\nb\x7f\x1b[31m\u0085c\u2028d\u2029e\u009b[31m\u00e9"
        for path in [name, "con", "devices/a"]:
            write(os.path.join(root, path), DATA if path != "devices/a" else b"x")
        os.mkfifo(os.path.join(root, "devices", "fifo"))
        os.symlink("/dev/zero", os.path.join(root, "devices", "zero"))
        rows += [("control characters masked in a usage message", ["-j", "1\n2\u0085\x1b[31m", "x"], b"", 2, [],
                  usage("'1?2??[31m'")),
                 ("a folder named with a separator at its end: its files' names separated once", ["--json", "tree/zeta/"],
                  b"", 0, ['{"file":"tree/zeta/g","name":"g","status":"not-a-torrent"}'], ""),
                 ("C0 and C1 controls, DEL, U+2028 and U+2029 in names shown as ?", [name], b"", 0,
                  [HASHED + "a?b??[31m?c?d?e?[31m\u00e9"], ""),
                 ("a FIFO, a device and a link to one: not read, a message each; con is a file",
                  ["devices/fifo", "/dev/zero", "devices", "con"], b"", 1,
                  plain("fifo", "zero", "a", "fifo", "zero") + [HASHED + "con"], "".join(
                      f"vantrel-cli: {n}: not a regular file\n" for n in ["devices/fifo", "/dev/zero", "devices/fifo", "devices/zero"]))]
    writer = None if cli.wine else subprocess.Popen(["sh", "-c", "printf x > devices/fifo"], cwd=root)
    limit = None if cli.wine else lambda: resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))
    for what, arguments, stdin, status, lines, err in rows:
        cli.expect(what, arguments, status, lines, err, stdin=stdin, cwd=root, preexec_fn=limit, timeout=60)
    check(writer is None or writer.poll() is None, "a FIFO's writer still waits: it was never opened")
    if writer:
        writer.kill()
    with open("/dev/full", "wb") as full:
        cli.expect("> /dev/full: the system's reason, exit 1", ["good.torrent"], 1, [],
                   "vantrel-cli: write error: No space left on device\r?\n", cwd=root, stdout=full)


def check_standard_input(cli, root):
    big, digest = torrent(b"p" * 40_000_000)  # still hashed when the message is ready
    write(os.path.join(root, "big.torrent"), big)
    status, lines, _, _ = cli.run("-j2", "big.torrent", "missing", "good.torrent", cwd=root, stderr=subprocess.STDOUT)
    check(status == 1 and lines[::2] == [digest.upper() + "   big.torrent", NOT + "missing"] and
          lines[1].startswith("vantrel-cli: missing: ") and lines[3:] == [HASHED + "good.torrent"],
          "a missing file: its line, a message after those before, exit 1", lines)
    process = subprocess.Popen(cli.command + [cli.name(write(os.path.join(root, "first"), DATA)), "-"],
                               stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    first = process.stdout.readline() if select.select([process.stdout], [], [], 30)[0] else b""
    process.stdin.close()
    check(process.wait(60) == 0 and first == (HASHED + "first" + cli.ending).encode(),
          "a line is written as soon as it is ready, while the program still waits for names")


def check_faults(cli, root):
    if cli.wine:  # Wine cannot list a folder whose host path is longer than PATH_MAX
        deep = os.path.join(root, "unlistable")
        chain_of_folders(os.path.dirname(write(os.path.join(deep, "top"))), 21, "d" * 200, "bottom")
        cli.expect("a subfolder that cannot be listed: a message, exit 1", [cli.name(deep)], 1, [NOT + "top"],
                   re.escape(f"vantrel-cli: {cli.name(deep)}\\d") + ".*\n")
        return
    # Root reads everything, and threads are limited per user but not for root: run as nobody.
    as_nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.geteuid() == 0 else []
    copy = Cli(shutil.copy(cli.program, root), None)
    if as_nobody:
        os.chmod(root, 0o755)
        os.chmod(os.path.join(root, "tree", "sub1"), 0)
        status, lines, _, err = copy.run("tree", prefix=as_nobody, cwd=root)
        check(status == 1 and NOT + "b" in lines and "tree/sub1: Permission denied" in err,
              "an unreadable subfolder: a message, exit 1, the rest searched", err)
    threads = [write(os.path.join(root, "threads", "%02d" % i), DATA) for i in range(64)]
    copy.expect("-j 64 where only three threads may run: every line", ["-j", "64", *threads], 0,
                [HASHED + "%02d" % i for i in range(64)], prefix=["prlimit", "--nproc=3", *as_nobody], timeout=60)


def chain_of_folders(top, depth, name, bottom):
    os.makedirs(top, exist_ok=True)
    fd = os.open(top, os.O_RDONLY)
    for _ in range(depth):
        os.mkdir(name, dir_fd=fd)
        fd, parent = os.open(name, os.O_RDONLY, dir_fd=fd), fd
        os.close(parent)
    os.write(os.open(bottom, os.O_WRONLY | os.O_CREAT, dir_fd=fd), DATA)


def check_long_paths(cli, root):
    comb = os.path.join(root, "comb")
    for level in range(100):
        folder = os.path.join(comb, *["a%d" % depth for depth in range(level)])  # reopened name by name
        write(os.path.join(folder, "b", "f%d" % level))
        write(os.path.join(folder, "z%d" % level))
    chain_of_folders(root, 25, "d" * 200, "deep.torrent")
    long_path = root + ("/" + "d" * 200) * 25 + "/deep.torrent"
    # Own files first, then subfolder "a" (the rest of the comb), then "b".
    want = [NOT + "z%d" % level for level in range(100)] + [NOT + "f%d" % level for level in reversed(range(100))]
    cli.expect(f"a comb 100 folders deep and a path of {len(long_path)} characters, with 12 descriptors",
               ["-j", "1", comb, os.path.join(root, "d" * 200), long_path], 0, want + [HASHED + "deep.torrent"] * 2,
               preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, (12, 12)))


def check_deep_chains(cli, root):
    for depth, width in [(30_000, 1), (2_000, 255)]:
        top = os.path.join(root, "chain of %d" % depth)
        chain_of_folders(top, depth, "c" * width, "bottom.torrent")
        cli.expect(f"a chain {depth} folders deep of {width} characters each, within 128 MiB", [top], 0,
                   [HASHED + "bottom.torrent"], preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (128 << 20,) * 2))
        subprocess.run(["rm", "-rf", top], check=True)  # Python's removal recurses


def check_live_file(cli, root):
    for size in (20_000, 1_500_000):  # read into memory; mapped
        versions = [torrent(random.Random(seed).randbytes(size // 20 * 20)) for seed in (1, 2)]
        target = write(os.path.join(root, f"live-{size}.torrent"), versions[0][0])
        writer = multiprocessing.Process(target=rewrite_forever, args=(target, [data for data, _ in versions]))
        writer.start()
        kinds = [json.loads(cli.run("--json", target)[1][0]) for _ in range(150)]
        writer.kill()
        writer.join()
        ok = [got["v1"] for got in kinds if got["status"] == "ok"]
        torn = [v1 for v1 in ok if v1 not in (versions[0][1], versions[1][1])]
        check(ok and not torn, f"{size} bytes re-saved, rewritten, cut, regrown while read: each ok hash is a version's", torn)


def rewrite_forever(target, versions):
    rnd = random.Random(5)
    for step in itertools.count():
        data, half, pattern = versions[step % 2], len(versions[step % 2]) // 2, step % 3
        fd = os.open(target, os.O_WRONLY | (os.O_TRUNC if pattern == 0 else 0))
        if pattern == 2:
            os.ftruncate(fd, half // 2)
        os.pwrite(fd, data if pattern == 1 else data[:half], 0)
        if pattern != 1:
            time.sleep(rnd.random() * 0.002)
            os.pwrite(fd, data[half:], half)
        os.close(fd)
        time.sleep(rnd.random() * 0.05)


def check_windows_names(cli, root):
    folder = os.path.join(root, "exact")
    files = {"a.torrent": DATA, "a.torrent.": b"text", "b.torrent": b"text", "b.torrent ": DATA, "nul.torrent": DATA,
             "東京 ñ.torrent": DATA}
    paths = [write(os.path.join(folder, name), content) for name, content in files.items()]
    status, lines, _, _ = cli.run(cli.name(folder), *map(cli.name, paths))
    hashed = [(HASHED if d == DATA and n != "nul.torrent" else NOT) + n for n, d in files.items()]
    check(status == 1 and sorted(lines[:len(files)]) == sorted(hashed) and lines[len(files):] == hashed,
          "a.torrent / a.torrent. and b.torrent / 'b.torrent ', 東京: each its own file; nul.torrent refused", lines)
    cli.expect("CON in any case is standard input, a file named CON in a folder is not",
               [cli.name(os.path.join(folder, "CON")), "cOn"], 1, [NOT + "CON", HASHED + "cOn"], "(?s).*", stdin=DATA)
    header = open(cli.program, "rb").read(4096)
    if header[int.from_bytes(header[60:64], "little") + 4:][:2] != b"\x4c\x01":  # not i386
        return
    big = write(os.path.join(root, "big.torrent"), b"d")
    os.truncate(big, (1 << 30) + 2)
    status, lines, _, err = cli.run("--json", cli.name(big))
    check(status == 1 and json.loads(lines[0])["status"] == "unreadable" and "over 1 GiB" in err,
          "32-bit: a file over 1 GiB is refused with the reason")


def check_json(cli, root):
    good, digest = torrent(name="naïve \x01".encode())
    stem = b"d8:announce1:x4:infod6:lengthi1x2e6:pieces20:" + b"p" * 20
    deep = os.path.join(*["深" * 20 + "d" * 100] * 18, "Глубоко")
    files = {"東京 ñ": good, "heuristic": stem + b"ee", "malformed": stem + b"4:tagsl1:xee", "Ελληνικά": b"text",
             "😀" if cli.wine else os.fsdecode(b"bad\xff\xe2\x82\xc0\xafname"): b"", deep: good}  # Wine: only UTF-8
    names = [cli.name(write(os.path.join(root, "json", n), d)) for n, d in files.items()] + [cli.name(os.path.join(root, "gone"))]
    status, lines, _, _ = cli.run("--json", *names)
    objects = [json.loads(line) for line in lines]
    cut = stem[stem.index(b":info") + 5:] + b"e"
    want = [{"status": "ok", "v1": digest, "info_name": "naïve \x01"},
            {"status": "heuristic", "heuristic_v1": hashlib.sha1(cut).hexdigest(), "v1": None},
            {"status": "malformed"}, {"status": "not-a-torrent"}, {"status": "not-a-torrent"},
            {"status": "ok", "v1": digest}, {"status": "unreadable"}]
    got = [{k: o.get(k) for k in w} for o, w in zip(objects, want)]
    check(status == 1 and got == want and objects[-1]["error"] not in ("", None), "--json: the fields", objects)
    shown = [n.encode("utf-8", "surrogateescape").decode("utf-8", "replace") for n in names]
    check([(o["file"], o["name"]) for o in objects] == [(n, n.split("\\" if cli.wine else "/")[-1]) for n in shown],
          "--json: the file as given, its name part; bytes that are not UTF-8 as U+FFFD", objects)


def check_large_damaged_files(cli, root):
    head = b"d8:announce1:x6:lengthi1e4:infod6:pieces0:"
    content = head + b"0:" * (50_000_000 if cli.wine else 10_000_000) + b"xee"
    tiny = write(os.path.join(root, "large", "tiny.torrent"), content)
    limit = None if cli.wine else lambda: resource.setrlimit(resource.RLIMIT_AS, (len(content) + (256 << 20),) * 2)
    cli.expect(f"{len(content):,} bytes of tiny elements: the report, in bounded memory", [cli.name(tiny)], 0,
               ["Error!", f"xee    {hashlib.sha1(content).hexdigest().upper()}     tiny.torrent"], preexec_fn=limit)
    size, head = 450 << 20, b"d4:infod6:pieces4294967296:e1:x"
    wrapped = write(os.path.join(root, "large", "wrapped.torrent"), head + b"%d:" % (size - len(head) - 9 - 2))
    os.truncate(wrapped, size - 1)
    with open(wrapped, "ab") as f:
        f.write(b"e")
    process = subprocess.Popen([*cli.command, "--json", cli.name(wrapped)], stdout=subprocess.PIPE)
    open_files = lambda: map(os.path.realpath, glob.glob(f"/proc/{process.pid}/fd/*"))
    while not cli.wine and process.poll() is None and wrapped not in open_files():
        pass
    os.utime(wrapped)  # Linux: changed once while the program has it open, so it is read once more
    lines = process.communicate()[0].splitlines()
    check(process.returncode == 0 and [json.loads(line)["status"] for line in lines] == ["not-a-torrent"],
          "a length of 2^32 (0 in 32 bits) in a 450 MB file, changed once while read: not a torrent", lines)


def libtorrent_file(path, out, flags=0, trackers=("http://tracker.test/announce",), private=False):
    files = lt.file_storage()
    lt.add_files(files, path)
    t = lt.create_torrent(files, 32768, flags=flags)
    for tier, url in enumerate(trackers):
        t.add_tracker(url, tier)
    t.set_priv(private)
    lt.set_piece_hashes(t, os.path.dirname(path))
    return write(out, lt.bencode(t.generate()))


def check_peer_set(cli, root):
    root = os.path.join(root, "peers")
    rnd = random.Random(20261206)
    multi = os.path.join(root, "payload", "album & más+1%")
    for name, size in [("01 intro.flac", 70_000), ("02 theme.flac", 123_457), ("disc 2/03 coda.flac", 5)]:
        write(os.path.join(multi, name), rnd.randbytes(size))
    single = write(os.path.join(root, "payload", "single.bin"), rnd.randbytes(300_000))
    out = lambda name: os.path.join(root, "torrents", name)
    v1, v2 = lt.create_torrent.v1_only, lt.create_torrent.v2_only
    torrents = [
        libtorrent_file(multi, out("lt-v1-multi.torrent"), v1),
        libtorrent_file(single, out("lt-v1-trackerless.torrent"), v1, trackers=(), private=True),
        libtorrent_file(single, out("lt-hybrid-single.torrent")),
        libtorrent_file(multi, out("lt-hybrid-multi.torrent"), trackers=(
            "http://a.test/ann?k=1&x=é #", "udp://b.test:80", "http://a.test/ann?k=1&x=é #")),
        libtorrent_file(single, out("lt-v2-single.torrent"), v2),
        libtorrent_file(multi, out("lt-v2-multi.torrent"), v2, private=True)]
    for name, *command in [
            ("mk-multi-private", "mktorrent", "-d", "-t", "1", "-a", "http://a.test/announce", "-a",
             "http://b.test/announce", "-p", "-s", "SOURCE", "-c", "comment :info", "-w", "http://seed.test/", multi),
            ("tr-single", "transmission-create", "-t", "http://tracker.test/announce", single)]:
        torrents.append(out(name + ".torrent"))
        subprocess.run([command[0], "-o", torrents[-1], *command[1:]], check=True, capture_output=True)
    infos = [lt.torrent_info(path) for path in torrents]
    hashes = [info.info_hashes() for info in infos]
    expected = [str(h.v1 if h.has_v1() else h.v2).upper() + "   " + os.path.basename(p) for p, h in zip(torrents, hashes)]
    others = [("notes.txt", b"just some text\n"), ("random.bin", random.Random(7).randbytes(5000))]
    names = [cli.name(p) for p in torrents + [write(os.path.join(root, n), d) for n, d in others]]
    cli.expect("libtorrent's info-hash on each line", names, 0, expected + [NOT + n for n, _ in others])
    objects = [json.loads(line) for line in cli.run("--json", *names[:len(torrents)])[1]]
    want = [{"status": "ok", "info_name": i.name(), "v1": str(h.v1) if h.has_v1() else None,
             "v2": str(h.v2) if h.has_v2() else None} for i, h in zip(infos, hashes)]
    check([{k: o.get(k) for k in w} for o, w in zip(objects, want)] == want, "--json: libtorrent's hashes and name")
    status, links, _, err = cli.run("--magnet", *names)
    same = lambda o, t: (sorted(o["xt"]), o["dn"], sorted(o.get("tr", []))) == (
        sorted(t["xt"]), t["dn"], sorted(set(t.get("tr", []))))
    check(status == 1 and len(links) == len(infos) and all(link.startswith("magnet:?") for link in links) and
          all(same(query(link), query(lt.make_magnet_uri(i))) for link, i in zip(links, infos)) and
          err.count("\n") == len(others), "--magnet: libtorrent's link, each tracker once; none for the others", links)


def check_name_and_tracker_rules(cli, root):
    """Where libtorrent differs: it trims only a URL's front, keeps repeats, rewrites an unfit name."""
    a, b, c = b"http://a.test/announce", b"udp://b.test:80", b"http://c.test/x?y=1&z"
    cases = [  # info's names, the top level's trackers, the name and trackers wanted
        ({"name": b"plain"}, {"announce": a, "announce-list": [[b" " + b + b"\t", b""], [c, b]]}, "plain", [b, c]),
        ({"name": b"plain"}, {"announce": b" " + a + b"\r\n", "announce-list": [[b""], []]}, "plain", [a]),
        ({"name": b"name", "name.utf-8": "n\u00e4me \u6771".encode()}, {}, "n\u00e4me \u6771", []),
        ({"name": b"name", "name.utf-8": b"bad \xc0\xaf"}, {}, "name", []),
        ({}, {"announce": a}, None, [a]),
        ({"name": b""}, {}, "", []),
    ]
    info = {"length": 1, "piece length": 16384, "pieces": b"p" * 20}
    torrents = [lt.bencode({**top, "info": {**info, **info_names}}) for info_names, top, _, _ in cases]
    names = [cli.name(write(os.path.join(root, "rules", "%d.torrent" % i), t)) for i, t in enumerate(torrents)]
    lines, links = cli.run("--json", *names)[1], cli.run("--magnet", *names)[1]
    for line, link, (_, _, name, trackers) in zip(lines, links, cases):
        check(json.loads(line).get("info_name", "missing") == name and query(link).get("dn") == ((name or None) and [name]) and
              query(link).get("tr", []) == [t.decode() for t in trackers], f"name {name!r}, trackers {trackers}", link)


def check_install(cli, root):
    build, version = sys.argv[sys.argv.index("--install") + 1:][:2]
    installed = subprocess.run(["cmake", "--install", build, "--prefix", root], capture_output=True, text=True)
    check(installed.returncode == 0, "cmake --install " + installed.stderr.strip())
    program = Cli(os.path.join(root, "bin", "vantrel-cli"), None)
    program.expect("bin/vantrel-cli --version", ["--version"], 0, [f"vantrel-cli {version}"])
    manual = subprocess.run(["man", "--warnings=w", "-l", os.path.join(root, "share", "man", "man1", "vantrel-cli.1")],
                            capture_output=True, text=True, env=dict(os.environ, MANPAGER="cat", MANWIDTH="80"))
    check(manual.returncode == 0 and manual.stderr == "", "man -l: the manual page without warnings " + manual.stderr)
    check(re.search(r"vantrel-cli\s+%s\b" % re.escape(version), manual.stdout) is not None, "the page gives the version")
    usage = program.run("--help")[2]
    options = set(re.findall(r"^  (-[-\w]*)", usage, re.M) + re.findall(r", (--\w+)", usage))
    missing = sorted(o for o in options if not re.search(r"(^|[\s[])%s(?![-\w])" % re.escape(o), manual.stdout, re.M))
    check(len(options) >= 5 and not missing, f"the page describes every option of --help {missing}")


def main():
    options = sys.argv[2:]
    wine = options[options.index("--wine") + 1] if "--wine" in options else None
    cli = Cli(os.path.abspath(sys.argv[1]), wine and os.path.abspath(wine))
    checks = [check_runs, check_standard_input, check_faults, check_json,
              check_large_damaged_files, check_peer_set, check_name_and_tracker_rules]
    checks = [check_windows_names] + checks if cli.wine else checks + [check_long_paths]
    if "--install" in options:
        checks = [check_install]
    with tempfile.TemporaryDirectory(prefix="vantrel-cli-") as root:
        for run_checks in [check_deep_chains, check_live_file] if "--slow" in options else checks:
            run_checks(cli, root)
    sys.exit(f"{len(failures)} failed" if failures else 0)


if __name__ == "__main__":
    main()
