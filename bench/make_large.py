#!/usr/bin/python3
"""Writes one large metainfo file of SIZE bytes for the peak-memory measurement.

usage: make_large.py FILE SIZE"""
import sys


def main():
    path, size = sys.argv[1], int(sys.argv[2])
    head = b"d8:announce14:http://x.test/4:infod6:lengthi1e4:name5:large12:piece lengthi16384e6:pieces"
    pieces = (size - len(head) - 20) // 20 * 20
    body = head + b"%d:" % pieces
    with open(path, "wb") as f:
        f.write(body)
        block = bytes(range(256)) * 4096
        left = pieces
        while left:
            f.write(block[:min(left, len(block))])
            left -= min(left, len(block))
        f.write(b"ee")


if __name__ == "__main__":
    main()
