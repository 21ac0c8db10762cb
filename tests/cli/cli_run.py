"""What the vantrel-cli checks share: running the program (natively or under Wine), recording
results, and the command line of every check: CHECK.py CLI [--wine WINE_RUN]."""
import argparse
import os
import subprocess
import sys

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
    if isinstance(value, list):
        return b"l" + b"".join(map(bencode, value)) + b"e"
    return b"d" + b"".join(bencode(k.encode()) + bencode(v) for k, v in sorted(value.items())) + b"e"


class Cli:
    def __init__(self, program, wine):
        self.program, self.wine = program, wine
        self.ending = b"\r\n" if wine else b"\n"

    def name(self, path):
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def run(self, *arguments, stdin=b"", prefix=(), **options):
        """Exit status, stdout's lines, stdout and stderr (bytes that are not UTF-8 kept apart)."""
        command = list(prefix) + ([self.wine] if self.wine else []) + [self.program] + list(arguments)
        options = {"stdout": subprocess.PIPE, "stderr": subprocess.PIPE, "timeout": 300, **options}
        result = subprocess.run(command, input=stdin, **options)
        if self.wine and result.returncode == 77:
            sys.exit(77)  # this machine cannot run the program: skipped, not passed
        out, err = (t.decode("utf-8", "surrogateescape") for t in (result.stdout, result.stderr or b""))
        lines = out.split(self.ending.decode())
        if lines[-1] == "":
            lines.pop()
        return result.returncode, lines, out, err


def main(checks):
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("--wine")
    args = parser.parse_args()
    checks(Cli(os.path.abspath(args.cli), args.wine and os.path.abspath(args.wine)))
    print(f"{len(failures)} failed")
    sys.exit(1 if failures else 0)
