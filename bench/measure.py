#!/usr/bin/python3
"""Times vantrel-cli against its peers on the generated corpora, alternating the contenders in
every round, and writes the table, the figures and a bar chart. Called by bench/run.sh.

usage: measure.py --cli CLI --sha1-speed PROGRAM --out FOLDER [--rounds N] [--sample N]
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


def sha1_speeds(args):
    off = dict(os.environ, VANTREL_SHA_EXTENSIONS="off")
    openssl_off = dict(os.environ, OPENSSL_ia32cap=":~0x20000000")

    def ours(env):
        out = subprocess.run([args.sha1_speed], env=env, capture_output=True, text=True, check=True).stdout
        return float(out.split()[0])

    def openssl(env):
        out = subprocess.run(["openssl", "speed", "-evp", "sha1", "-bytes", str(64 << 20), "-seconds", "2"],
                             env=env, capture_output=True, text=True, check=True).stdout
        return float(out.strip().splitlines()[-1].split()[-1].rstrip("k")) / 1000

    measures = {
        "vantrel, SHA extensions": lambda: ours(os.environ),
        "OpenSSL, SHA extensions": lambda: openssl(os.environ),
        "vantrel, no SHA extensions": lambda: ours(off),
        "OpenSSL, no SHA extensions": lambda: openssl(openssl_off),
    }
    speeds = {name: [] for name in measures}
    for _ in range(args.sha_rounds):
        for name, measure in measures.items():
            speeds[name].append(measure())
    return {name: statistics.median(values) for name, values in speeds.items()}


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
    names = list(speeds)
    bars = right.bar(range(len(names)), [speeds[n] for n in names],
                     color=["tab:blue", "tab:gray", "tab:cyan", "silver"])
    right.bar_label(bars, fmt="%.0f", fontsize=8)
    right.set_xticks(range(len(names)))
    right.set_xticklabels([n.replace(", ", "\n") for n in names], fontsize=8)
    right.set_ylabel("MB/s")
    right.set_title("SHA-1 over a 64 MiB buffer")
    fig.tight_layout()
    fig.savefig(path, dpi=110)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sha1-speed", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--large", required=True, help="one large metainfo file for the memory test")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--sha-rounds", type=int, default=3)
    parser.add_argument("--sample", type=int, default=100)
    args = parser.parse_args()

    load_before = os.getloadavg()
    expected = expected_digests()
    results, checks = {}, []
    for corpus in ("mixed", "small"):
        names = os.path.join(args.out, corpus, "names.txt")
        files, measures = contenders(args, corpus)
        ours = output_digest([args.cli, "-"], names)
        peer = output_digest([PYTHON, os.path.join(HERE, "libtorrent_hashes.py")], names)
        checks.append((f"{corpus}: vantrel-cli output digest is the recorded one", ours == expected.get(corpus)))
        checks.append((f"{corpus}: vantrel-cli and libtorrent print the same lines", ours == peer))
        subprocess.run(f"xargs -d '\\n' -a '{names}' cat >/dev/null", shell=True, check=True)
        results[corpus] = {"files": len(files), "megabytes": sum(os.path.getsize(f) for f in files) / 1e6,
                           "tools": alternate(measures, args.rounds)}

    speeds = sha1_speeds(args)
    size = os.path.getsize(args.large)
    _, _, large_peak = run([args.cli, "-j", "1", args.large])

    lines = ["| corpus | contender | median wall s | median CPU s | wall runs | wall / fair floor "
             "| CPU / fair floor | peak memory MiB |", "|---|---|---:|---:|---|---:|---:|---:|"]
    for corpus, result in results.items():
        floor = result["tools"][FAIR_FLOOR]
        for tool, t in result["tools"].items():
            runs = " ".join(f"{x:.2f}" for x in t["runs"])
            lines.append(f"| {corpus} ({result['files']} files, {result['megabytes']:.0f} MB) | {tool} | "
                         f"{t['median']:.3f} | {t['cpu']:.3f} | {runs} | {t['median'] / floor['median']:.2f} | "
                         f"{t['cpu'] / floor['cpu']:.2f} | {t['peak_mib']:.0f} |")
    lines += ["", "| SHA-1, 64 MiB buffer | MB/s |", "|---|---:|"]
    lines += [f"| {name} | {speed:.0f} |" for name, speed in speeds.items()]

    mixed = results["mixed"]["tools"]
    cli = mixed["vantrel-cli"]["median"]
    lib = mixed["libtorrent (python3)"]["median"]
    on = speeds["vantrel, SHA extensions"] / speeds["OpenSSL, SHA extensions"]
    off = speeds["vantrel, no SHA extensions"] / speeds["OpenSSL, no SHA extensions"]
    limit = 2 * size / 2**20 + 16
    targets = [
        (f"mixed corpus: vantrel-cli / libtorrent = {cli / lib:.2f} (at most 0.5)", cli / lib <= 0.5),
    ]
    for corpus, result in results.items():
        t = result["tools"]
        for ours, floor in (("vantrel-cli", FAIR_FLOOR), ("vantrel-cli -j 1", ONE_FLOOR)):
            for measure, what in (("median", "wall"), ("cpu", "CPU")):
                ratio = t[ours][measure] / t[floor][measure]
                targets.append((f"{corpus} corpus: {ours} / {floor.split(':')[0]}, {what} time = {ratio:.2f} "
                                f"(at most 1.1)", ratio <= 1.1))
    targets += [
        (f"SHA-1 speed / OpenSSL's = {on:.2f} (at least 0.9)", on >= 0.9),
        (f"SHA-1 speed / OpenSSL's, SHA extensions off on both = {off:.2f} (at least 0.8)", off >= 0.8),
        (f"peak memory hashing one file of {size / 2**20:.0f} MiB = {large_peak:.0f} MiB "
         f"(at most 2 x S + 16 MiB = {limit:.0f} MiB)", large_peak <= limit),
    ]
    lines += ["", "| target | holds |", "|---|---|"]
    lines += [f"| {what} | {'yes' if ok else 'NO'} |" for what, ok in targets + checks]
    loads = lambda values: " ".join(f"{x:.2f}" for x in values)
    lines += ["", f"{os.cpu_count()} processors; load average (1, 5, 15 min) before the run: "
              f"{loads(load_before)}, after: {loads(os.getloadavg())}; {args.rounds} rounds, medians."]
    table = "\n".join(lines)
    print(table)
    with open(os.path.join(args.out, "results.md"), "w") as f:
        f.write(table + "\n")
    with open(os.path.join(args.out, "results.json"), "w") as f:
        json.dump({"corpora": results, "sha1_mb_per_s": speeds, "large_file_bytes": size,
                   "large_file_peak_mib": large_peak, "targets": targets, "checks": checks}, f, indent=1)
    chart(results, speeds, os.path.join(args.out, "chart.png"))
    print(f"\nwritten: {args.out}/results.md, results.json, chart.png")
    return 0 if all(ok for _, ok in checks) else 1


if __name__ == "__main__":
    sys.exit(main())
