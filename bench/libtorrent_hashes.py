#!/usr/bin/python3
"""The peer to beat: libtorrent's info-hash of every file named on standard input, one process,
printed as vantrel-cli prints its lines (v1 info-hash, or the v2 one for v2-only files)."""
import os
import sys

import libtorrent as lt


def main():
    out = []
    for name in sys.stdin.read().splitlines():
        try:
            hashes = lt.torrent_info(name).info_hashes()
            digest = hashes.v1 if hashes.has_v1() else hashes.v2
            out.append(str(digest).upper() + "   " + os.path.basename(name))
        except RuntimeError:
            out.append("Not a Torrent File   " + os.path.basename(name))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
