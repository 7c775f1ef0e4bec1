"""Measuring helpers: paired hyperfine rounds, valgrind instruction counts,
timed single runs."""

import json
import os
import re
import resource
import shlex
import statistics
import subprocess
import tempfile
import time


def command_line(argv):
    return " ".join(shlex.quote(a) for a in argv)


def paired_rounds(commands, rounds, runs, warmup, prepare=None, output=None, env=None):
    """Runs the commands side by side, `rounds` hyperfine invocations with all
    of them in each (order alternating), `runs` timed runs per command per
    round. commands: list of (key, argv). Returns {key: [median seconds of
    each round]}, the rounds in the same order for every key, so round i of
    two keys is a pair."""
    medians = {key: [] for key, _ in commands}
    users = {key: [] for key, _ in commands}
    with tempfile.TemporaryDirectory() as tmp:
        for r in range(rounds):
            order = commands if r % 2 == 0 else list(reversed(commands))
            export = os.path.join(tmp, f"round{r}.json")
            cmd = ["hyperfine", "-N", "--style", "none", "-w", str(warmup), "-r", str(runs),
                   "--export-json", export]
            if output:
                cmd += ["--output", output]
            if prepare:
                cmd += ["--prepare", prepare]
            cmd += [command_line(argv) for _, argv in order]
            subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, env=env)
            with open(export) as f:
                results = json.load(f)["results"]
            for (key, _), res in zip(order, results):
                medians[key].append(statistics.median(res["times"]))
                users[key].append(res["user"])
    return medians, users


def round_ratios(medians, slow_key, fast_key):
    """Per round: how many times faster fast_key ran than slow_key."""
    return [s / f for s, f in zip(medians[slow_key], medians[fast_key])]


_COLLECTED = re.compile(r"Collected : (\d+)")


def instruction_count(argv, stdout_path=None, out_file=os.devnull):
    """Instructions executed by the whole process, counted by callgrind."""
    stdout = open(stdout_path, "wb") if stdout_path else subprocess.DEVNULL
    try:
        proc = subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out_file}"]
                              + argv, stdout=stdout, stderr=subprocess.PIPE, check=True)
    finally:
        if stdout_path:
            stdout.close()
    m = _COLLECTED.search(proc.stderr.decode(errors="replace"))
    if not m:
        raise SystemExit("callgrind printed no instruction count for " + command_line(argv))
    return int(m.group(1))


def function_profile(out_file, limit=8):
    """The heaviest functions of a callgrind profile: [(instructions, name)]."""
    proc = subprocess.run(["callgrind_annotate", "--inclusive=no", out_file],
                          stdout=subprocess.PIPE, check=True)
    rows = []
    for line in proc.stdout.decode(errors="replace").splitlines():
        m = re.match(r"\s*([\d,]+)\s+\([\s\d.]+%\)\s+(.*)", line)
        if m and "PROGRAM TOTALS" not in m.group(2):
            rows.append((int(m.group(1).replace(",", "")), m.group(2).strip()))
    return rows[:limit]


def hyperfine_once(argv, runs, warmup):
    """Median wall seconds and mean user seconds of one hyperfine measurement."""
    with tempfile.TemporaryDirectory() as tmp:
        export = os.path.join(tmp, "run.json")
        subprocess.run(["hyperfine", "-N", "--style", "none", "-w", str(warmup), "-r", str(runs),
                        "--export-json", export, command_line(argv)],
                       check=True, stdout=subprocess.DEVNULL)
        with open(export) as f:
            res = json.load(f)["results"][0]
    return statistics.median(res["times"]), res["user"]


def timed_run(argv, repeat=1):
    """Median wall seconds and median user seconds of `repeat` runs."""
    walls, users = [], []
    for _ in range(repeat):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        t0 = time.perf_counter()
        subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)
        walls.append(time.perf_counter() - t0)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        users.append(after.ru_utime - before.ru_utime)
    return statistics.median(walls), statistics.median(users)
