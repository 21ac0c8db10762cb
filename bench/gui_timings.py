#!/usr/bin/python3
"""Times the real program, vantrel.exe, under Wine in a virtual display, driven from outside
as a person drives it (the Desktop of tools/desktop/desktop.py): start-up hashing of command-line
files, a Start-to-"Done" batch run over the small corpus, and Add Dir on trees of 1,000, 10,000
and 50,000 files, each against vantrel-cli.exe -j 1 on the same files where that applies.

Times are taken from the action (process start, the click on OK or Start) to the first look
that shows the result; a look (vantrel_probe) costs a Wine process start, about 0.2 s, which
bounds the resolution. Called by bench/run.sh; needs /usr/bin/python3 (libtorrent, Xlib).
FOLDER holds the corpora mixed/ and small/ (bench/generate_corpus.py); the table goes to
FOLDER/gui-results.md. LOADER is the Wine loader of the build's programs (wine64, or wine for
the 32-bit build).
"""
import argparse
import getpass
import json
import os
import sys
import time

desktop_driver = None  # tools/desktop/desktop.py, on PYTHONPATH (bench/run.sh sets it)

LONG = 900.0
ADD_DIR_LIMIT = 240.0  # an Add Dir still busy after this long is reported as not finished


def make_tree(desktop, count):
    """count empty files below Desktop/qtree, a thousand a folder; the only "q" name there."""
    desktop.clear_q_entries()
    tree = os.path.join(desktop.user_desktop(), "qtree")
    for i in range(count):
        folder = os.path.join(tree, "d%03d" % (i // 1000))
        os.makedirs(folder, exist_ok=True)
        open(os.path.join(folder, "f%05d.torrent" % i), "wb").close()


def wait_window(desktop, what, condition, timeout=LONG):
    """The program's window once it is idle and meets condition; counts only, no item texts."""
    def poll():
        if desktop.process.poll() is not None:
            raise RuntimeError("the program ended while waiting for " + what)
        window = desktop.look(items=False)
        return window if window is not None and condition(window) else None
    return desktop_driver.wait_until(what, poll, timeout)


def launch(desktop, names=()):
    start = time.monotonic()
    desktop.launch(list(names), os.getcwd())
    return start


def end(desktop):
    desktop.process.kill()
    desktop.process.wait(timeout=60)
    desktop_driver.wait_until("the window to go", lambda: not any(
        w["class"].startswith("obj_") for w in desktop.windows()))


def add_dir(desktop, expected, limit=LONG):
    """Chooses Desktop/q... in the folder browser; seconds from OK to `expected` entries, or
    None when they are not there within `limit` seconds."""
    wait_window(desktop, "the window", lambda w: True)
    ok = desktop.add_dir()
    start = time.monotonic()
    desktop.click(ok)
    try:
        wait_window(desktop, "%d entries" % expected,
                    lambda w: w["list"]["count"] == expected, limit)
    except AssertionError:
        return None
    return time.monotonic() - start


def cli_seconds(desktop, cli, names):
    """vantrel-cli.exe -j 1 under the same loader in the same prefix, output to a file."""
    with open(os.path.join(desktop.args.artifacts, "cli-output.txt"), "wb") as out:
        start = time.monotonic()
        desktop.run(desktop.args.wine, cli, "-j", "1", *names, stdout=out, check=True)
        return time.monotonic() - start


def measure(desktop, args):
    results = {}

    def note(what, gui, cli=None):
        results[what] = (gui, cli)
        print(what, gui, cli, flush=True)

    # Start-up hashing: 300 files of the mixed corpus on the command line.
    with open(os.path.join(args.out, "mixed", "names.txt")) as f:
        names = [desktop_driver.win_path(n) for n in f.read().splitlines()[:300]]
    start = launch(desktop, names)
    wait_window(desktop, "the window with 300 lines", lambda w: w["list"]["count"] == 300)
    note("start-up hashing, 300 mixed files", time.monotonic() - start,
         cli_seconds(desktop, args.cli, names))
    end(desktop)

    # Start to "Done" over the small corpus (its names.txt comes along: 20,001 entries).
    desktop.clear_q_entries()
    os.symlink(os.path.abspath(os.path.join(args.out, "small")),
               os.path.join(desktop.user_desktop(), "qcorpus"))
    launch(desktop)
    add_dir(desktop, 20001)
    start = time.monotonic()
    desktop.click_button("Start")
    wait_window(desktop, "Done", lambda w: w["text"] == "Done")
    run = time.monotonic() - start
    link = "C:\\users\\%s\\Desktop\\qcorpus" % getpass.getuser()
    note("Start to Done, small corpus (20,001 files)", run, cli_seconds(desktop, args.cli, [link]))
    end(desktop)

    for count in (1000, 10000, 50000):
        make_tree(desktop, count)
        launch(desktop)
        note(f"Add Dir, {count} files", add_dir(desktop, count, ADD_DIR_LIMIT))
        end(desktop)
    desktop.clear_q_entries()
    return results


def table(results, loader):
    lines = ["| under %s | vantrel.exe s | vantrel-cli.exe -j 1 s | ratio |" % loader,
             "|---|---:|---:|---:|"]
    for what, (gui, cli) in results.items():
        shown = f"not done after {ADD_DIR_LIMIT:.0f}" if gui is None else f"{gui:.2f}"
        lines.append(f"| {what} | {shown} | {'' if cli is None else f'{cli:.2f}'} | "
                     f"{'' if cli is None or gui is None else f'{gui / cli:.2f}'} |")
    ten, fifty = (results[f"Add Dir, {n} files"][0] for n in (10000, 50000))
    ten, fifty = (float("inf") if t is None else t for t in (ten, fifty))
    run, cli = results["Start to Done, small corpus (20,001 files)"]
    targets = [(f"Add Dir of 50,000 files: {fifty:.2f} s (under 5 s)", fifty < 5),
               (f"Add Dir 50,000 / (5 x 10,000) = {fifty / (5 * ten):.2f} (at most 3)",
                fifty <= 15 * ten),
               (f"batch run / vantrel-cli.exe -j 1 = {run / cli:.2f} (at most 2)", run <= 2 * cli)]
    lines += ["", "| target | holds |", "|---|---|"]
    lines += [f"| {what} | {'yes' if ok else 'NO'} |" for what, ok in targets]
    return "\n".join(lines), targets


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    for option, name in [("--program", "vantrel.exe"), ("--probe", "vantrel_probe.exe"),
                         ("--cli", "vantrel-cli.exe"), ("--prefix", "DIR"), ("--out", "FOLDER")]:
        parser.add_argument(option, required=True, metavar=name)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64", metavar="LOADER")
    args = parser.parse_args()
    global desktop_driver  # imported once the options are read: it needs Xlib, --help not
    import desktop as desktop_driver
    args.prefix = os.path.abspath(args.prefix)
    args.artifacts = os.path.abspath(os.path.join(args.out, "gui-artifacts"))
    os.makedirs(args.artifacts, exist_ok=True)
    desktop = desktop_driver.Desktop(args)
    try:
        desktop.start()
        results = measure(desktop, args)
    finally:
        if getattr(desktop, "process", None) is not None and desktop.process.poll() is None:
            desktop.process.kill()
        desktop.stop()
    text, targets = table(results, os.path.basename(args.wine))
    print(text)
    with open(os.path.join(args.out, "gui-results.md"), "w") as f:
        f.write(text + "\n")
    with open(os.path.join(args.out, "gui-results.json"), "w") as f:
        json.dump({"timings": results, "targets": targets}, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
