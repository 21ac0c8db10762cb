#!/usr/bin/python3
"""vantrel-cli's output over the generated check corpus must be exactly the recorded one: the
SHA-256 of its lines (LF line ends) against bench/expected-output.sha256, which was taken
before the fast paths existed.

usage: check_corpus.py CLI [--wine WINE_RUN]   (with --wine, CLI is a Windows program)
"""
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile

BENCH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench")


def expected_digest(kind):
    with open(os.path.join(BENCH, "expected-output.sha256")) as f:
        for line in f:
            digest, name = line.split()
            if name == kind:
                return digest
    sys.exit(f"no digest for {kind}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("--wine")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="vantrel-corpus-") as root:
        subprocess.run([sys.executable, os.path.join(BENCH, "generate_corpus.py"), "check", root],
                       check=True)
        with open(os.path.join(root, "names.txt")) as f:
            names = f.read().splitlines()
        if args.wine:
            names = ["Z:" + n.replace("/", "\\") for n in names]
        command = ([args.wine] if args.wine else []) + [os.path.abspath(args.cli), "-"]
        result = subprocess.run(command, input=("\n".join(names) + "\n").encode(),
                                stdout=subprocess.PIPE, timeout=300)
    output = result.stdout.replace(b"\r\n", b"\n") if args.wine else result.stdout
    digest = hashlib.sha256(output).hexdigest()
    want = expected_digest("check")
    lines = output.count(b"\n")
    print(f"{len(names)} files, {lines} lines, SHA-256 of the output {digest}")
    if result.returncode != 0 or digest != want:
        print(f"expected {want}, exit status 0; got exit status {result.returncode}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
