#!/usr/bin/python3
"""cmake --install on Linux, then the version and the manual page: check_install.py BUILD_FOLDER VERSION"""
import os, re, subprocess, sys, tempfile

from check_cli import check, failures


def run(*command, **options):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **options)


build, version = sys.argv[1:]
with tempfile.TemporaryDirectory(prefix="vantrel-install-") as prefix:
    installed = run("cmake", "--install", build, "--prefix", prefix)
    program = os.path.join(prefix, "bin", "vantrel-cli")
    shown = run(program, "--version") if os.access(program, os.X_OK) else None
    check(installed.returncode == 0 and shown is not None and shown.stdout == f"vantrel-cli {version}\n",
          "cmake --install: bin/vantrel-cli --version " + installed.stderr.strip())
    manual = run("man", "--warnings=w", "-l", os.path.join(prefix, "share", "man", "man1", "vantrel-cli.1"),
                 env=dict(os.environ, MANPAGER="cat", MANWIDTH="80"))
    check(manual.returncode == 0 and manual.stderr == "", "man -l: the manual page without warnings " + manual.stderr)
    text = manual.stdout
    check(re.search(r"vantrel-cli\s+%s\b" % re.escape(version), text) is not None, "the page gives the version")
    usage = run(program, "--help").stdout if shown else ""
    options = set(re.findall(r"^  (-[-\w]*)", usage, re.M) + re.findall(r", (--\w+)", usage))
    missing = sorted(o for o in options if not re.search(r"(^|[\s[])%s(?![-\w])" % re.escape(o), text, re.M))
    check(len(options) >= 5 and not missing, f"the page describes every option of --help {missing}")
    for heading in ("OPTIONS", "JSON OUTPUT", "MAGNET LINKS", "EXIT STATUS", "EXAMPLES"):
        check(re.search(r"^\s*%s$" % heading, text, re.M) is not None, "the page has " + heading)

sys.exit(f"{len(failures)} failed" if failures else 0)
