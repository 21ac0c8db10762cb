#!/usr/bin/python3
"""Writes a synthetic corpus of BitTorrent metainfo files, the same bytes on every run.

usage: generate_corpus.py KIND FOLDER

KIND is one of
  mixed  2,000 files, most 1-60 KB, every tenth 0.5-8 MB (about 0.9 GB)
  small  20,000 files of 1-63 KB (about 640 MB)
  check  300 files of every shape, a few of them damaged or no torrents (about 4 MB): the
         corpus the test suite checks vantrel-cli's output against

The files are named KIND-NNNNN.torrent (check-NNNNN.* for files that are no torrents), so their
names sort in the order they were made; FOLDER/names.txt lists them in that order. Files that
already hold the right bytes are not written again, so a second run costs little.
"""
import os
import random
import sys

KINDS = {
    # count, seed, chooser of each file's size
    "mixed": (2000, 20261206, lambda r, i: r.randint(500_000, 8_000_000) if i % 10 == 9
              else r.randint(1_000, 60_000)),
    "small": (20000, 20261207, lambda r, i: r.randint(1_000, 63_000)),
    "check": (300, 20261208, lambda r, i: r.randint(300, 40_000) if i % 50 else r.randint(100_000, 300_000)),
}

POOL_BYTES = 1 << 24


def bencode(value):
    if isinstance(value, int):
        return b"i%de" % value
    if isinstance(value, bytes):
        return b"%d:%s" % (len(value), value)
    if isinstance(value, str):
        return bencode(value.encode())
    if isinstance(value, list):
        return b"l" + b"".join(bencode(v) for v in value) + b"e"
    if isinstance(value, dict):
        items = sorted((k.encode() if isinstance(k, str) else k, v) for k, v in value.items())
        return b"d" + b"".join(bencode(k) + bencode(v) for k, v in items) + b"e"
    raise TypeError(value)


def slice_of(pool, r, size):
    start = r.randrange(len(pool) - size) if size < len(pool) else 0
    return (pool * (size // len(pool) + 1))[:size] if size >= len(pool) else pool[start:start + size]


def metainfo(r, pool, index, size):
    """A v1 metainfo file of about `size` bytes, shaped like those real clients write."""
    name = "payload %05d" % index
    piece_length = 1 << r.randint(15, 22)
    info = {"name": name, "piece length": piece_length}
    paths = None
    if r.random() < 0.5:
        info["length"] = 0
    else:
        paths = [["disc %d" % d, "track %02d.flac" % t]
                 for d in range(1, r.randint(1, 3) + 1) for t in range(1, r.randint(2, 12) + 1)]
        info["files"] = [{"length": 0, "path": p} for p in paths]
    if r.random() < 0.2:
        info["private"] = 1
    if r.random() < 0.2:
        info["source"] = "SRC"
    top = {"announce": "http://tracker%d.test:6969/announce" % r.randint(1, 9),
           "created by": "synthetic corpus", "creation date": 1_700_000_000 + index, "info": info}
    if r.random() < 0.3:
        top["announce-list"] = [["http://a.test/announce"], ["udp://b.test:80"]]
    if r.random() < 0.3:
        top["comment"] = "comment with :info and 6:pieces inside"
    info["pieces"] = b""
    # The lengths get up to 13 more digits each once they are known.
    overhead = len(bencode(top)) + 13 * (len(paths) if paths else 1)
    pieces = max(1, (size - overhead) // 20)
    # Peers check that the pieces cover the payload exactly.
    total = (pieces - 1) * piece_length + r.randint(1, piece_length)
    if paths is None:
        info["length"] = total
    else:
        cuts = sorted(r.randint(0, total) for _ in range(len(paths) - 1))
        lengths = [b - a for a, b in zip([0] + cuts, cuts + [total])]
        info["files"] = [{"length": n, "path": p} for n, p in zip(lengths, paths)]
    info["pieces"] = slice_of(pool, r, 20 * pieces)
    return bencode(top)


def damaged(r, data, index):
    """For the check corpus: shapes that take the byte-search reading or are no torrents."""
    shape = index % 7
    if shape == 0:
        return data + b"\n", ".txt"                       # a trailing line break: no torrent
    if shape == 1:
        return data[:-1] + b"xe", ".torrent"              # junk before the final e
    if shape == 2:
        at = data.index(b"6:pieces")
        return data[:at] + b"4:tagsl1:xe" + data[at:], ".torrent"  # a list before the pieces
    if shape == 3:
        return b"", ".torrent"                            # empty
    if shape == 4:
        return r.randbytes(5000), ".bin"                  # random bytes
    if shape == 5:
        return b"d" + r.randbytes(200_000) + b"e", ".bin"  # large, right ends, no keys
    return data.replace(b"8:announce", b"8:annouxce", 1), ".torrent"  # no announce key


def same_content(path, data):
    try:
        with open(path, "rb") as f:
            return f.read() == data
    except OSError:
        return False


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in KINDS:
        sys.exit(__doc__)
    kind, folder = sys.argv[1], sys.argv[2]
    count, seed, size_of = KINDS[kind]
    r = random.Random(seed)
    pool = r.randbytes(POOL_BYTES)
    os.makedirs(folder, exist_ok=True)
    names = []
    total = 0
    for i in range(count):
        data = metainfo(r, pool, i, size_of(r, i))
        extension = ".torrent"
        if kind == "check" and i % 10 == 3:
            data, extension = damaged(r, data, i // 10)
        name = "%s-%05d%s" % (kind, i, extension)
        path = os.path.join(folder, name)
        if not same_content(path, data):
            with open(path, "wb") as f:
                f.write(data)
        names.append(name)
        total += len(data)
    with open(os.path.join(folder, "names.txt"), "w") as f:
        f.write("".join(os.path.join(folder, n) + "\n" for n in names))
    print(f"{kind}: {count} files, {total / 1e6:.0f} MB in {folder}", file=sys.stderr)


if __name__ == "__main__":
    main()
