#!/usr/bin/python3
"""Times vantrel-cli against its peers on the generated corpora, alternating the contenders in
every round, and writes the table, the figures and a bar chart. Called by bench/run.sh.

usage: measure.py --cli CLI --digest-speed PROGRAM [--windows-digest-speed PROGRAM.exe]
                  --out FOLDER [--rounds N] [--sha-rounds N] [--sample N] [--digests-only]
"""
import argparse
import hashlib
import json
import os
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
PYTHON = "/usr/bin/python3"
FAIR_FLOOR = "fair floor: 2 x openssl sha1, half the files each"
NO_SHA = ", no SHA extensions"
# Ours and OpenSSL without the SHA extensions (OPENSSL_ia32cap: see PATHS).
NO_SHA_ENV = {"VANTREL_SHA_EXTENSIONS": "off", "OPENSSL_ia32cap": ":~0x20000000"}
ONE_FLOOR = "one-process floor: openssl sha1"


def run(command, stdin_path=None, env=None, shell=False, stdout=subprocess.DEVNULL):
    """Wall time and CPU time (user + system) in seconds and peak resident memory in MiB of one
    process, with its children."""
    stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
    start = time.perf_counter()
    process = subprocess.Popen(command, stdin=stdin, stdout=stdout, stderr=subprocess.DEVNULL,
                               env=env, shell=shell)
    _, status, usage = os.wait4(process.pid, 0)
    elapsed = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if stdin_path:
        stdin.close()
    if process.returncode != 0:
        sys.exit(f"failed ({process.returncode}): {command}")
    return elapsed, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024


def output_digest(command, stdin_path):
    result = subprocess.run(command, stdin=open(stdin_path, "rb"), stdout=subprocess.PIPE, check=True)
    return hashlib.sha256(result.stdout).hexdigest()


def expected_digests():
    with open(os.path.join(HERE, "expected-output.sha256")) as f:
        return dict(reversed(line.split()) for line in f if line.strip())


def contenders(args, corpus):
    names = os.path.join(args.out, corpus, "names.txt")
    with open(names) as f:
        files = f.read().splitlines()
    step = max(1, len(files) // args.sample)
    sample = files[::step][: args.sample]
    scale = len(files) / len(sample)

    def transmission():
        total, cpu, peak = 0.0, 0.0, 0.0
        for name in sample:
            took, used, memory = run(["transmission-show", name])
            total, cpu, peak = total + took, cpu + used, max(peak, memory)
        return total * scale, cpu * scale, peak

    # The floors: OpenSSL reading and hashing the same files, with no pipe between. The fair
    # floor for the default two jobs is two processes over half the files each.
    halves = []
    for half in (0, 1):
        halves.append(os.path.join(args.out, corpus, f"half{half}.txt"))
        with open(halves[-1], "w") as f:
            f.write("".join(name + "\n" for name in files[half::2]))
    openssl = lambda listing: f"xargs -d '\\n' -a '{listing}' openssl sha1 >/dev/null"

    return files, {
        "vantrel-cli": lambda: run([args.cli, "-"], names),
        "vantrel-cli -j 1": lambda: run([args.cli, "-j", "1", "-"], names),
        "libtorrent (python3)": lambda: run([PYTHON, os.path.join(HERE, "libtorrent_hashes.py")], names),
        f"transmission-show (x{len(sample)}, scaled)": transmission,
        FAIR_FLOOR: lambda: run(f"{openssl(halves[0])} & {openssl(halves[1])}; wait", shell=True),
        "vantrel-cli" + NO_SHA: lambda: run([args.cli, "-"], names, env=dict(os.environ, **NO_SHA_ENV)),
        FAIR_FLOOR + NO_SHA: lambda: run(f"{openssl(halves[0])} & {openssl(halves[1])}; wait", shell=True,
                                         env=dict(os.environ, **NO_SHA_ENV)),
        ONE_FLOOR: lambda: run(openssl(names), shell=True),
    }


def alternate(measures, rounds):
    """Every contender once per round, starting one further along each round."""
    times = {name: [] for name in measures}
    cpu = {name: [] for name in measures}
    peaks = {name: 0.0 for name in measures}
    order = list(measures)
    for r in range(rounds):
        for name in order[r % len(order):] + order[: r % len(order)]:
            took, used, memory = measures[name]()
            times[name].append(took)
            cpu[name].append(used)
            peaks[name] = max(peaks[name], memory)
    return {name: {"median": statistics.median(times[name]), "runs": times[name],
                   "cpu": statistics.median(cpu[name]), "peak_mib": peaks[name]} for name in measures}


# The compression paths, and the OpenSSL capability masks (OPENSSL_ia32cap, see its manual page
# OPENSSL_ia32cap(3)) that leave OpenSSL the same instructions: ~0x20000000 after ":" clears the
# SHA extensions (bit 64+29), ~0x20000128 also AVX2 and BMI1/BMI2 (64+5, 64+3, 64+8); before
# ":", ~0x1000000000000000 clears AVX (bit 60), and ~0x20000000000 SSSE3 (bit 41).
PATHS = {
    "shani": "",
    "avx2": ":~0x20000000",
    "ssse3": "~0x1000000000000000:~0x20000128",
    "portable": "~0x1000020000000000:~0x20000128",
}
DIGESTS = ("sha1", "sha256")


def digest_speeds(args):
    """MB/s per user CPU second of every path of both digests, ours natively and (where given)
    the Windows build under Wine, and OpenSSL's with the same instructions, in the same rounds.
    A path the processor lacks is left out."""

    def ours(program, digest, path):
        command = ["bash", os.path.join(HERE, "..", "tools", "wine-run.sh"), program] \
            if program.endswith(".exe") else [program]
        done = subprocess.run(command + [digest, path], capture_output=True, text=True)
        if done.returncode == 3:
            return None
        if done.returncode != 0:
            sys.exit(f"failed ({done.returncode}): {command} {digest} {path}: {done.stderr}")
        return float(done.stdout.split()[0])

    def openssl(digest, mask):
        env = dict(os.environ, OPENSSL_ia32cap=mask) if mask else dict(os.environ)
        out = subprocess.run(["openssl", "speed", "-evp", digest, "-bytes", str(1 << 20), "-seconds", "2"],
                             env=env, capture_output=True, text=True, check=True).stdout
        return float(out.strip().splitlines()[-1].split()[-1].rstrip("k")) / 1000

    speeds = {}
    for _ in range(args.sha_rounds):
        for digest in DIGESTS:
            for path, mask in PATHS.items():
                runs = {"ours": lambda: ours(args.digest_speed, digest, path),
                        "openssl": lambda: openssl(digest, mask)}
                if args.windows_digest_speed:
                    runs["windows"] = lambda: ours(args.windows_digest_speed, digest, path)
                for who, measure in runs.items():
                    value = measure()
                    if value is not None:
                        speeds.setdefault((digest, path, who), []).append(value)
    return {key: {"median": statistics.median(values), "runs": values} for key, values in speeds.items()}


def digest_table(speeds, windows_name):
    """The table of every path, and the digest targets with whether each holds."""
    lines = [f"| digest | path | ours MB/s | OpenSSL MB/s, same instructions | ours / OpenSSL | "
             f"{windows_name} MB/s | {windows_name} / OpenSSL |", "|---|---|---:|---:|---:|---:|---:|"]
    ratio = {}
    for digest in DIGESTS:
        for path in PATHS:
            if (digest, path, "ours") not in speeds:
                continue
            ours = speeds[(digest, path, "ours")]["median"]
            theirs = speeds[(digest, path, "openssl")]["median"]
            windows = speeds.get((digest, path, "windows"), {}).get("median")
            ratio[(digest, path)] = ours / theirs
            if windows:
                ratio[(digest, path, "windows")] = windows / theirs
            lines.append(f"| {digest} | {path} | {ours:.0f} | {theirs:.0f} | {ours / theirs:.2f} | "
                         + (f"{windows:.0f} | {windows / theirs:.2f} |" if windows else "– | – |"))
    targets = []
    best = lambda digest, *who: max((speeds[(digest, p, *who)]["median"] for p in PATHS
                                     if p != "shani" and (digest, p, *who) in speeds), default=None)
    no_sha = {d: speeds.get((d, "avx2", "openssl"), {}).get("median") for d in DIGESTS}
    for digest, native, windows in (("sha1", 0.95, 0.85), ("sha256", 0.9, 0.75)):
        if no_sha[digest]:
            r = best(digest, "ours") / no_sha[digest]
            targets.append((f"{digest} without the SHA extensions, fastest native path / OpenSSL's = {r:.2f} "
                            f"(at least {native})", r >= native))
            if best(digest, "windows"):
                r = best(digest, "windows") / no_sha[digest]
                targets.append((f"{digest} without the SHA extensions, fastest {windows_name} path / native "
                                f"OpenSSL's = {r:.2f} (at least {windows})", r >= windows))
        if (digest, "shani") in ratio:
            targets.append((f"{digest} with the SHA extensions / OpenSSL's = {ratio[(digest, 'shani')]:.2f} "
                            f"(at least 0.9)", ratio[(digest, "shani")] >= 0.9))
    return lines, targets


def chart(results, speeds, path):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, (left, right) = plt.subplots(1, 2, figsize=(13, 5.5), gridspec_kw={"width_ratios": [3, 2]})
    corpora = list(results)
    tools = list(results[corpora[0]]["tools"])
    width = 0.8 / len(tools)
    for i, tool in enumerate(tools):
        values = [results[c]["tools"][tool]["median"] for c in corpora]
        bars = left.bar([x + i * width for x in range(len(corpora))], values, width, label=tool)
        left.bar_label(bars, fmt="%.2f", fontsize=7)
    left.set_xticks([x + width * (len(tools) - 1) / 2 for x in range(len(corpora))])
    left.set_xticklabels([f"{c}: {results[c]['files']} files, {results[c]['megabytes']:.0f} MB" for c in corpora])
    left.set_yscale("log")
    left.set_ylabel("seconds (median, log scale)")
    left.set_title("Info-hashes of a whole corpus")
    left.legend(fontsize=8)
    keys = [(d, p) for d in DIGESTS for p in PATHS if (d, p, "ours") in speeds]
    x = range(len(keys))
    for offset, who, label in ((-0.2, "ours", "vantrel"), (0.2, "openssl", "OpenSSL, same instructions")):
        bars = right.bar([i + offset for i in x], [speeds[(d, p, who)]["median"] for d, p in keys], 0.4, label=label)
        right.bar_label(bars, fmt="%.0f", fontsize=6)
    right.set_xticks(list(x))
    right.set_xticklabels([f"{d}\n{p}" for d, p in keys], fontsize=7)
    right.set_ylabel("MB/s per user CPU second")
    right.set_title("Digests, every path")
    right.legend(fontsize=8)
    fig.tight_layout()
    fig.savefig(path, dpi=110)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--digest-speed", required=True)
    parser.add_argument("--windows-digest-speed", help="the Windows build's digest_speed.exe, run under Wine")
    parser.add_argument("--windows-name", default="win32 build under Wine")
    parser.add_argument("--out", required=True)
    parser.add_argument("--large", required=True, help="one large metainfo file for the memory test")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--sha-rounds", type=int, default=3)
    parser.add_argument("--sample", type=int, default=100)
    parser.add_argument("--digests-only", action="store_true", help="only the digest table")
    args = parser.parse_args()

    load_before = os.getloadavg()
    expected = expected_digests()
    results, checks, targets = {}, [], []
    for corpus in () if args.digests_only else ("mixed", "small"):
        names = os.path.join(args.out, corpus, "names.txt")
        files, measures = contenders(args, corpus)
        ours = output_digest([args.cli, "-"], names)
        peer = output_digest([PYTHON, os.path.join(HERE, "libtorrent_hashes.py")], names)
        checks.append((f"{corpus}: vantrel-cli output digest is the recorded one", ours == expected.get(corpus)))
        checks.append((f"{corpus}: vantrel-cli and libtorrent print the same lines", ours == peer))
        subprocess.run(f"xargs -d '\\n' -a '{names}' cat >/dev/null", shell=True, check=True)
        results[corpus] = {"files": len(files), "megabytes": sum(os.path.getsize(f) for f in files) / 1e6,
                           "tools": alternate(measures, args.rounds)}

    speeds = digest_speeds(args)
    lines = []
    if results:
        lines += ["| corpus | contender | median wall s | median CPU s | wall runs | wall / fair floor "
                  "| CPU / fair floor | peak memory MiB |", "|---|---|---:|---:|---|---:|---:|---:|"]
        for corpus, result in results.items():
            for tool, t in result["tools"].items():
                # The contenders without the SHA extensions against the floor without them.
                floor = result["tools"][FAIR_FLOOR + NO_SHA if tool.endswith(NO_SHA) else FAIR_FLOOR]
                runs = " ".join(f"{x:.2f}" for x in t["runs"])
                lines.append(f"| {corpus} ({result['files']} files, {result['megabytes']:.0f} MB) | {tool} | "
                             f"{t['median']:.3f} | {t['cpu']:.3f} | {runs} | {t['median'] / floor['median']:.2f} | "
                             f"{t['cpu'] / floor['cpu']:.2f} | {t['peak_mib']:.0f} |")
        lines.append("")
        size = os.path.getsize(args.large)
        _, _, large_peak = run([args.cli, "-j", "1", args.large])
        mixed = results["mixed"]["tools"]
        cli = mixed["vantrel-cli"]["median"]
        lib = mixed["libtorrent (python3)"]["median"]
        limit = 2 * size / 2**20 + 16
        targets.append((f"mixed corpus: vantrel-cli / libtorrent = {cli / lib:.2f} (at most 0.5)", cli / lib <= 0.5))
        for corpus, result in results.items():
            t = result["tools"]
            for ours, floor in (("vantrel-cli", FAIR_FLOOR), ("vantrel-cli -j 1", ONE_FLOOR),
                                ("vantrel-cli" + NO_SHA, FAIR_FLOOR + NO_SHA)):
                for measure, what in (("median", "wall"), ("cpu", "CPU")):
                    ratio = t[ours][measure] / t[floor][measure]
                    targets.append((f"{corpus} corpus: {ours} / {floor.split(':')[0]}{NO_SHA if NO_SHA in floor else ''}, "
                                    f"{what} time = {ratio:.2f} (at most 1.1)", ratio <= 1.1))
        targets.append((f"peak memory hashing one file of {size / 2**20:.0f} MiB = {large_peak:.0f} MiB "
                        f"(at most 2 x S + 16 MiB = {limit:.0f} MiB)", large_peak <= limit))
    table, digest_targets = digest_table(speeds, args.windows_name)
    lines += ["Digests over a 1 MiB buffer, MB/s per user CPU second, medians:", ""] + table
    lines += ["", "| target | holds |", "|---|---|"]
    lines += [f"| {what} | {'yes' if ok else 'NO'} |" for what, ok in targets + digest_targets + checks]
    loads = lambda values: " ".join(f"{x:.2f}" for x in values)
    lines += ["", f"{os.cpu_count()} processors; load average (1, 5, 15 min) before the run: "
              f"{loads(load_before)}, after: {loads(os.getloadavg())}; {args.rounds} rounds over the corpora, "
              f"{args.sha_rounds} over the digests, medians."]
    text = "\n".join(lines)
    print(text)
    with open(os.path.join(args.out, "results.md"), "w") as f:
        f.write(text + "\n")
    with open(os.path.join(args.out, "results.json"), "w") as f:
        json.dump({"corpora": results, "digest_mb_per_s": {" ".join(k): v for k, v in speeds.items()},
                   "targets": targets + digest_targets, "checks": checks}, f, indent=1)
    if results:
        chart(results, speeds, os.path.join(args.out, "chart.png"))
    print(f"\nwritten: {args.out}/results.md, results.json" + (", chart.png" if results else ""))
    return 0 if all(ok for _, ok in checks) else 1


if __name__ == "__main__":
    sys.exit(main())
