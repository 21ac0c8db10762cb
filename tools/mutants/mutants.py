#!/usr/bin/env python3
"""The mutation check: applies each realistic fault of tools/mutants/catalogue/*.txt alone to a
scratch copy of the repository, rebuilds what the fault affects, runs the fast test suites and
tells which test caught it.

    python3 tools/mutants/mutants.py [--only PATTERN] [--check] [--no-baseline]

--only keeps the faults whose description or file contains PATTERN (a regular expression);
--check only verifies that every fault applies (its find text occurs exactly once).
The scratch copy lives in build/mutants/repo with its own build folders, built once and rebuilt
incrementally for each fault; the changed file is restored after each fault.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
CATALOGUE = ROOT / "tools" / "mutants" / "catalogue"
SCRATCH = ROOT / "build" / "mutants" / "repo"
# The full run's slow parts: labelled "slow", or named so until every test carries its label.
SLOW_NAMES = "fuzz|e2e|Slow"
KEYS = ("fault", "file", "suite")


class Fault:
    def __init__(self, source, line):
        self.source = f"{source.name}:{line}"
        self.description = ""
        self.file = ""
        self.suites = set()
        self.find = []
        self.replace = []


def parse_catalogue(path):
    faults, fault, block = [], None, None
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if block is not None:
            if line == "replace:" and block is fault.find:
                block = fault.replace
            elif line == "end" and block is fault.replace:
                faults.append(fault)
                fault, block = None, None
            else:
                block.append(line)
            continue
        if not line.strip() or line.startswith("#"):
            continue
        key, _, value = line.partition(":")
        if key == "fault":
            fault = Fault(path, number)
            fault.description = value.strip()
        elif fault is None:
            sys.exit(f"{path.name}:{number}: expected 'fault:' first, got: {line}")
        elif key == "file":
            fault.file = value.strip()
        elif key == "suite":
            fault.suites.update(value.split())
        elif line == "find:":
            block = fault.find
        else:
            sys.exit(f"{path.name}:{number}: unexpected line: {line}")
    if fault is not None:
        sys.exit(f"{path.name}: the last fault has no 'end'")
    return faults


def presets_for(fault):
    """Which builds the changed file takes part in, and so which fast suites can catch it."""
    name = Path(fault.file).name
    if fault.file.startswith(("src/core/", "src/cli/")):
        if "_win32" in name:
            presets = {"win64"}
        else:
            presets = {"native"}
    elif fault.file.startswith(("src/layer/", "src/err/", "src/app/")):
        presets = {"win64"}
    else:
        presets = {"native", "win64"}
    return sorted(presets | fault.suites)


def find_lines(lines, wanted):
    """Start indices where the lines `wanted` occur as whole consecutive lines."""
    n = len(wanted)
    return [i for i in range(len(lines) - n + 1) if n > 0 and lines[i:i + n] == wanted]


def mutated_text(text, fault):
    """The file's text with the fault applied, or None when the find text is not there once."""
    lines = text.split("\n")
    found = find_lines(lines, fault.find)
    if len(found) != 1:
        return None
    at = found[0]
    return "\n".join(lines[:at] + fault.replace + lines[at + len(fault.find):])


def run(command, cwd=SCRATCH, env=None):
    return subprocess.run(command, cwd=cwd, env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, errors="replace")


def sync_scratch_copy():
    SCRATCH.mkdir(parents=True, exist_ok=True)
    files = run(["git", "ls-files", "--cached", "--others", "--exclude-standard"], cwd=ROOT)
    for name in files.stdout.splitlines():
        source, target = ROOT / name, SCRATCH / name
        if not source.is_file():
            continue
        # Only changed files are written, and with a fresh time, so the builds stay incremental
        # and still see every change.
        content = source.read_bytes()
        if target.is_file() and target.read_bytes() == content:
            continue
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(content)
        shutil.copymode(source, target)


def build(preset):
    if not (SCRATCH / "build" / preset / "CMakeCache.txt").exists():
        configured = run(["cmake", "--preset", preset])
        if configured.returncode != 0:
            return configured.stdout
    built = run(["nice", "cmake", "--build", f"build/{preset}"])
    return None if built.returncode == 0 else built.stdout


# The tests of each source folder, run first for a fault there: most faults are caught by them,
# and the rest of the fast suites then need not run.
NEAREST_TESTS = {"src/app/": "^app", "src/err/": "^err", "src/cli/": "^cli",
                 "src/layer/": "^layer|clipboard|wildcard|directory|dialog", "src/core/": "^core|^cli"}


def nearest_tests(fault):
    return next((tests for folder, tests in NEAREST_TESTS.items()
                 if fault.file.startswith(folder)), None)


def failing_tests(preset, ignored, stop_on_failure, nearest=None):
    """The fast tests that fail; with `nearest`, those run first and the rest only when none of
    them fails."""
    if nearest is None:
        return ctest_failures(preset, ignored, stop_on_failure)
    return (ctest_failures(preset, ignored, stop_on_failure, only=nearest) or
            ctest_failures(preset, ignored, stop_on_failure, skip=nearest))


def ctest_failures(preset, ignored, stop_on_failure, only=None, skip=None):
    exclude = "|".join([SLOW_NAMES] + [re.escape(name) for name in sorted(ignored)] +
                       ([skip] if skip else []))
    command = ["nice", "ctest", "--test-dir", f"build/{preset}", "-LE", "slow", "-E", exclude]
    if only:
        command += ["-R", only]
    if stop_on_failure:
        command.append("--stop-on-failure")
    result = run(command)
    failed = re.findall(r"Test\s+#\d+:\s+(\S+)\s+\.*\s*\*+(?:Failed|Timeout|Exception|Not Run)",
                        result.stdout)
    if not failed and result.returncode != 0 and "No tests were found" not in result.stdout:
        failed = ["ctest failed: " + result.stdout.strip().splitlines()[-1]]
    return failed


def ensure_display():
    if os.environ.get("DISPLAY") and run(["xdpyinfo"], cwd=ROOT).returncode == 0:
        return None
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        os.environ["DISPLAY"] = ":" + pipe.readline().strip()
    return server


def stop_wine():
    prefix = SCRATCH / "build" / "win64" / "wineprefix"
    if prefix.exists():
        env = dict(os.environ, WINEPREFIX=str(prefix))
        run(["/usr/lib/wine/wineserver64", "-k"], cwd=ROOT, env=env)


def check_one(fault, ignored, log):
    path = SCRATCH / fault.file
    if not path.is_file():
        return "does not apply"
    original = path.read_text()
    mutated = mutated_text(original, fault)
    if mutated is None:
        return "does not apply"
    path.write_text(mutated)
    try:
        for preset in presets_for(fault):
            error = build(preset)
            if error is not None:
                log(error[-3000:])
                return "does not build"
            failed = failing_tests(preset, ignored.get(preset, set()), stop_on_failure=True,
                                   nearest=nearest_tests(fault))
            if failed:
                return ", ".join(failed[:3])
        return "NOT CAUGHT"
    finally:
        path.write_text(original)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--only", help="regular expression over description and file")
    parser.add_argument("--check", action="store_true", help="only check that the faults apply")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip the run without faults that finds tests failing already")
    args = parser.parse_args()

    faults = [f for path in sorted(CATALOGUE.glob("*.txt")) for f in parse_catalogue(path)]
    if args.only:
        faults = [f for f in faults if re.search(args.only, f.description + " " + f.file)]
    if args.check:
        bad = 0
        for fault in faults:
            text = (ROOT / fault.file).read_text() if (ROOT / fault.file).is_file() else ""
            if mutated_text(text, fault) is None:
                bad += 1
                print(f"does not apply: {fault.source}: {fault.description}")
        print(f"{len(faults) - bad}/{len(faults)} faults apply")
        return 1 if bad else 0

    def log(text):
        print(text, file=sys.stderr, flush=True)

    # The scratch copy lies inside this repository, so its package would be dated by whatever
    # is committed here last: a commit made during the run must not look like a caught fault.
    os.environ.setdefault("SOURCE_DATE_EPOCH",
                          run(["git", "log", "-1", "--format=%ct"], cwd=ROOT).stdout.strip())
    sync_scratch_copy()
    display = ensure_display()
    ignored = {}
    results = []
    try:
        for preset in sorted({p for f in faults for p in presets_for(f)}):
            log(f"building {preset} in {SCRATCH}")
            error = build(preset)
            if error is not None:
                sys.exit(f"the unchanged copy does not build ({preset}):\n{error[-3000:]}")
            if not args.no_baseline:
                ignored[preset] = set(failing_tests(preset, set(), stop_on_failure=False))
                if ignored[preset]:
                    log(f"{preset}: failing without any fault, ignored: {sorted(ignored[preset])}")
        for number, fault in enumerate(faults, 1):
            log(f"[{number}/{len(faults)}] {fault.description}")
            verdict = check_one(fault, ignored, log)
            log(f"    {verdict}")
            results.append((fault, verdict))
    finally:
        # Leave the copy's build folders as the unchanged sources make them.
        for preset in sorted({p for f in faults for p in presets_for(f)}):
            build(preset)
        stop_wine()
        if display is not None:
            display.terminate()

    width = max([len("fault")] + [len(f.description) for f, _ in results])
    print(f"{'fault'.ljust(width)} | caught by")
    print(f"{'-' * width}-+-{'-' * 9}")
    for fault, verdict in results:
        print(f"{fault.description.ljust(width)} | {verdict}")
    caught = sum(1 for _, v in results if v not in ("NOT CAUGHT", "does not apply",
                                                   "does not build"))
    print(f"caught {caught}/{len(results)}")
    return 0 if caught == len(results) else 1


if __name__ == "__main__":
    sys.exit(main())
