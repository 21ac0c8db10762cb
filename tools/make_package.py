#!/usr/bin/python3
"""Packs the Windows release: a zip of the given files and SHA256SUMS beside it.

    make_package.py --source DIR --output vantrel-VERSION-win32.zip NAME=FILE...

The zip is the same bytes wherever and whenever it is made from the same files: entries in the
order given, each dated with the time of the source's last commit (SOURCE_DATE_EPOCH when set),
the same permission bits (rw-r--r--), one compression level. Entries named *.txt are text and
get CR LF line ends, whatever the checkout's line ends are. SHA256SUMS holds the zip's SHA-256
in the form `sha256sum -c` reads.
"""
import argparse
import hashlib
import os
import subprocess
import sys
import time
import zipfile


def source_time(source):
    """The time the release stands for, in seconds since 1970: the last commit's."""
    if "SOURCE_DATE_EPOCH" in os.environ:
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        shown = subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"], check=True,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        return int(shown.stdout)
    except (OSError, subprocess.CalledProcessError, ValueError):
        sys.exit(f"make_package: {source} is not a git checkout; set SOURCE_DATE_EPOCH to the "
                 "release's time")


def content(name, path):
    with open(path, "rb") as f:
        data = f.read()
    if name.endswith(".txt"):
        data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    return data


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--source", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("entries", nargs="+", metavar="NAME=FILE")
    args = parser.parse_args()
    # A zip holds local times without a zone: the commit's time in UTC, the same everywhere.
    stamp = time.gmtime(source_time(args.source))[:6]
    with zipfile.ZipFile(args.output + ".part", "w") as archive:
        for entry in args.entries:
            name, path = entry.split("=", 1)
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 3  # Unix: unzip gives readable files whatever the umask
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, content(name, path), compresslevel=9)
    os.replace(args.output + ".part", args.output)
    with open(args.output, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    sums = os.path.join(os.path.dirname(args.output), "SHA256SUMS")
    with open(sums, "w", newline="\n") as f:
        f.write(f"{digest}  {os.path.basename(args.output)}\n")


if __name__ == "__main__":
    main()
