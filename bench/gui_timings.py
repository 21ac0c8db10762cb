#!/usr/bin/python3
"""Times the real program, vantrel.exe, under Wine in a virtual display, driven from outside
as a person drives it (the end-to-end harness of tests/app/e2e): start-up hashing of command-line
files, a Start-to-"Done" batch run over the small corpus, and Add Dir on trees of 1,000, 10,000
and 50,000 files, each against vantrel-cli.exe -j 1 on the same files where that applies.

Times are taken from the action (process start, the click on OK or Start) to the first look
that shows the result; a look (vantrel_probe) costs a Wine process start, about 0.2 s, which
bounds the resolution. Called by bench/run.sh --gui.

usage: gui_timings.py --program vantrel.exe --probe vantrel_probe.exe --cli vantrel-cli.exe
                      --prefix DIR --out FOLDER [--wine LOADER]
LOADER is the Wine loader of the build's programs (wine64, or wine for the 32-bit build).
"""
import argparse
import getpass
import json
import os
import shutil
import subprocess
import sys
import time
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "app", "e2e"))

import harness  # noqa: E402
from harness import WINE, Config, Desktop, Vantrel, center, wait_until, win_path  # noqa: E402

LONG = 900.0
ADD_DIR_LIMIT = 240.0  # an Add Dir still busy after this long is reported as not finished


def desktop_folder():
    return os.path.join(Config.prefix, "drive_c", "users", getpass.getuser(), "Desktop")


def clear_q_entries():
    folder = desktop_folder()
    for name in os.listdir(folder):
        if name.startswith("q"):
            path = os.path.join(folder, name)
            if os.path.islink(path):
                os.remove(path)
            else:
                shutil.rmtree(path, ignore_errors=True)


def make_tree(count):
    """count empty files below Desktop/qtree, a thousand a folder; the only "q" name there."""
    clear_q_entries()
    tree = os.path.join(desktop_folder(), "qtree")
    for i in range(count):
        folder = os.path.join(tree, "d%03d" % (i // 1000))
        if i % 1000 == 0:
            os.makedirs(folder)
        open(os.path.join(folder, "f%05d.torrent" % i), "wb").close()
    return tree


def link_corpus(corpus):
    clear_q_entries()
    link = os.path.join(desktop_folder(), "qcorpus")
    os.symlink(os.path.abspath(corpus), link)
    return link


def add_dir(desktop, program, expected, limit=LONG):
    """Chooses Desktop/q... in the folder browser; seconds from OK to `expected` entries, or
    None when they are not there within `limit` seconds."""
    main = program.wait("the window", items=False)
    program.click_button(main, "AddDir")
    box = program.wait_box("the folder browser", lambda b: b["text"] == "Browse for Folder")
    tree = [c for c in box["children"] if c["class"] == "SysTreeView32"][0]
    left, top, right, bottom = tree["rect"]
    desktop.click((left + right) // 2, bottom - 10)
    desktop.keys("q")
    ok = [c for c in box["children"] if c["class"] == "Button" and c["text"] == "OK"][0]
    start = time.monotonic()
    desktop.click(*center(ok["rect"]))
    try:
        program.wait("%d entries" % expected, lambda m: m.count == expected, limit, items=False)
    except AssertionError:
        return None
    return time.monotonic() - start


def cli_seconds(desktop, cli, names, jobs="1"):
    """vantrel-cli.exe under the same loader in the same prefix, output to a file."""
    with open(os.path.join(desktop.scratch, "cli-output.txt"), "wb") as out:
        start = time.monotonic()
        subprocess.run([WINE, cli, "-j", jobs, *names], env=desktop.env, stdout=out,
                       stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, check=True, timeout=LONG)
        return time.monotonic() - start


def main():
    global WINE
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--wine", default=harness.WINE)
    args = parser.parse_args()
    WINE = harness.WINE = args.wine
    Config.program, Config.probe = os.path.abspath(args.program), os.path.abspath(args.probe)
    Config.prefix = os.path.abspath(args.prefix)
    Config.artifacts = os.path.join(args.out, "gui-artifacts")
    desktop = Desktop("bench")
    desktop.start()
    results = {}

    def note(what, gui, cli=None):
        results[what] = (gui, cli)
        print(what, gui, cli, flush=True)

    try:
        # Start-up hashing: 300 files of the mixed corpus on the command line.
        with open(os.path.join(args.out, "mixed", "names.txt")) as f:
            names = [win_path(n) for n in f.read().splitlines()[:300]]
        start = time.monotonic()
        program = Vantrel(desktop, names)
        program.wait("the window with 300 lines", lambda m: m.count == 300, LONG, items=False)
        note("start-up hashing, 300 mixed files", time.monotonic() - start,
             cli_seconds(desktop, args.cli, names))
        program.kill()

        # Start to "Done" over the small corpus (its names.txt comes along: 20,001 entries).
        link = link_corpus(os.path.join(args.out, "small"))
        program = Vantrel(desktop)
        program.wait("the window", items=False)
        add_dir(desktop, program, 20001)
        main_window = program.look(items=False)
        start = time.monotonic()
        program.click_button(main_window, "Start")
        program.wait_caption("Done", LONG, items=False)
        run = time.monotonic() - start
        windows_link = "C:\\users\\%s\\Desktop\\qcorpus" % getpass.getuser()
        note("Start to Done, small corpus (20,001 files)", run,
             cli_seconds(desktop, args.cli, [windows_link]))
        program.kill()
        os.remove(link)

        for count in (1000, 10000, 50000):
            make_tree(count)
            program = Vantrel(desktop)
            note(f"Add Dir, {count} files", add_dir(desktop, program, count, ADD_DIR_LIMIT))
            program.kill()
        clear_q_entries()
    finally:
        desktop.stop()
    lines = ["| under %s | vantrel.exe s | vantrel-cli.exe -j 1 s | ratio |" % os.path.basename(WINE),
             "|---|---:|---:|---:|"]
    for what, (gui, cli) in results.items():
        shown = f"not done after {ADD_DIR_LIMIT:.0f}" if gui is None else f"{gui:.2f}"
        lines.append(f"| {what} | {shown} | {'' if cli is None else f'{cli:.2f}'} | "
                     f"{'' if cli is None or gui is None else f'{gui / cli:.2f}'} |")
    ten, fifty = results["Add Dir, 10000 files"][0], results["Add Dir, 50000 files"][0]
    fifty = float("inf") if fifty is None else fifty
    ten = float("inf") if ten is None else ten
    run, cli = results["Start to Done, small corpus (20,001 files)"]
    targets = [(f"Add Dir of 50,000 files: {fifty:.2f} s (under 5 s)", fifty < 5),
               (f"Add Dir 50,000 / (5 x 10,000) = {fifty / (5 * ten):.2f} (at most 3)", fifty <= 15 * ten),
               (f"batch run / vantrel-cli.exe -j 1 = {run / cli:.2f} (at most 2)", run <= 2 * cli)]
    lines += ["", "| target | holds |", "|---|---|"]
    lines += [f"| {what} | {'yes' if ok else 'NO'} |" for what, ok in targets]
    table = "\n".join(lines)
    print(table)
    with open(os.path.join(args.out, "gui-results.md"), "w") as f:
        f.write(table + "\n")
    with open(os.path.join(args.out, "gui-results.json"), "w") as f:
        json.dump({"timings": results, "targets": targets}, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
