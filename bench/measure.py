"""Runs every measurement of bench/run and writes bench/RESULTS.md.

Expects the release build (lzh, decode_bench, lh1_wrap) in build/release/bin;
bench/run makes it. Scratch files go to build/bench (disk) and to a folder in
/dev/shm (tmpfs).
"""

import argparse
import datetime
import filecmp
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import corpus  # noqa: E402
import report  # noqa: E402
import timing  # noqa: E402


class Bench:
    def __init__(self, root, quick):
        self.root = root
        self.quick = quick
        self.bin = os.path.join(root, "build", "release", "bin")
        self.lzh = os.path.join(self.bin, "lzh")
        self.noop = os.path.join(self.bin, "noop")
        self.work = os.path.join(root, "build", "bench")
        self.disk = os.path.join(self.work, "out")
        shm = "/dev/shm" if os.path.isdir("/dev/shm") else None
        self.tmpfs = tempfile.mkdtemp(prefix="tolvex-bench-", dir=shm)
        for d in (self.work, self.disk, os.path.join(self.work, "packed")):
            os.makedirs(d, exist_ok=True)
        self.rounds = 3 if quick else 7

    def close(self):
        shutil.rmtree(self.tmpfs, ignore_errors=True)

    # --- packer -------------------------------------------------------------
    def pack(self, plain, packed):
        subprocess.run([self.lzh, "pack", plain, packed], check=True)

    def packer(self, files):
        rows = []
        for f in files:
            packed = os.path.join(self.work, "packed", f.name + ".hzl")
            size = os.path.getsize(f.plain)
            small = size < 1 << 20
            wall, user = timing.hyperfine_once([self.lzh, "pack", f.plain, packed],
                                               runs=20 if small else 3, warmup=3 if small else 0)
            self.check_unpack(packed, f.plain)
            f.packed = packed
            rows.append({"name": f.name, "in": size, "stream": os.path.getsize(packed) - 8,
                         "wall": wall, "user": user})
        return rows

    def check_unpack(self, packed, plain):
        out = os.path.join(self.tmpfs, "check.out")
        subprocess.run([self.lzh, "unpack", packed, out], check=True)
        if not filecmp.cmp(out, plain, shallow=False):
            raise SystemExit(f"lzh unpack {packed} does not give back {plain}")
        os.remove(out)

    # --- decoder, whole process -----------------------------------------------
    def wrap(self, f):
        archive = os.path.join(self.work, "packed", f.name + ".lzh")
        subprocess.run([os.path.join(self.bin, "lh1_wrap"), f.packed, f.plain, archive],
                       check=True)
        out = os.path.join(self.tmpfs, "lha-check.out")
        with open(out, "wb") as o:
            subprocess.run(["lha", "-pq", archive], stdout=o, check=True)
        if not filecmp.cmp(out, f.plain, shallow=False):
            raise SystemExit(f"lha -p {archive} does not give back {f.plain}")
        os.remove(out)
        f.archive = archive

    def runs_for(self, f):
        wall, _ = timing.timed_run(["lha", "-pq", f.archive])
        budget = 0.6 if self.quick else 1.5
        return max(3, min(60, int(budget / max(wall, 1e-3)))), (1 if wall > 0.05 else 5)

    def decoder(self, files):
        rows = []
        for f in files:
            self.wrap(f)
            runs, warmup = self.runs_for(f)
            row = {"name": f.name, "out": os.path.getsize(f.plain),
                   "stream": os.path.getsize(f.packed) - 8, "runs": runs, "rounds": self.rounds}
            for target, folder in (("tmpfs", self.tmpfs), ("disk", self.disk)):
                ours_out = os.path.join(folder, "ours.out")
                lha_out = os.path.join(folder, "lha.out")
                # hyperfine creates lha's output file afresh before each run,
                # outside the timing; ours is removed before each run likewise.
                medians, users = timing.paired_rounds(
                    [("ours", [self.lzh, "unpack", f.packed, ours_out]),
                     ("lha", ["lha", "-pq", f.archive]),
                     ("floor", [self.noop])],
                    self.rounds, runs, warmup, output=lha_out,
                    prepare=timing.command_line(["rm", "-f", ours_out]))
                # The runs leave either output behind (hyperfine empties the
                # shared stdout file for our runs too): check ours once more;
                # lhasa's was checked in wrap().
                self.check_unpack(f.packed, f.plain)
                row[target] = {
                    "ours": statistics.median(medians["ours"]),
                    "lha": statistics.median(medians["lha"]),
                    "floor": statistics.median(medians["floor"]),
                    "ours_user": statistics.median(users["ours"]),
                    "lha_user": statistics.median(users["lha"]),
                    "ratios": timing.round_ratios(medians, "lha", "ours"),
                }
                for leftover in (ours_out, lha_out):
                    if os.path.exists(leftover):
                        os.remove(leftover)
                row[target]["flush"] = self.flush_cost(folder, row["out"])
            rows.append(row)
        return rows

    def flush_cost(self, folder, size):
        """Median seconds of an fsync of a fresh file of size bytes in folder."""
        out = subprocess.run([os.path.join(self.bin, "flush_cost"), folder, str(size),
                              "3" if self.quick else "7"],
                             check=True, stdout=subprocess.PIPE).stdout
        return float(out.decode().strip())

    # --- decoder, in process ---------------------------------------------------
    def google_benchmark(self, files):
        out = os.path.join(self.tmpfs, "gbench.json")
        argv = [os.path.join(self.bin, "decode_bench"), "--benchmark_format=console",
                f"--benchmark_out={out}", "--benchmark_out_format=json",
                "--benchmark_repetitions=" + ("3" if self.quick else "5"),
                "--benchmark_report_aggregates_only=true", "--benchmark_min_time=0.3",
                self.tmpfs]
        for f in files:
            argv += [f.name, f.packed, f.plain]
        subprocess.run(argv, check=True, stdout=subprocess.DEVNULL)
        with open(out) as fh:
            data = json.load(fh)
        rates = {}
        for b in data["benchmarks"]:
            if b.get("aggregate_name") == "median":
                kind, name = b["run_name"].split("/")[0], b["run_name"].split("/")[1]
                rates[(kind, name)] = b["bytes_per_second"] / 1e6
        return {"rates": rates, "context": data.get("context", {})}

    # --- instruction counts -----------------------------------------------------
    def instructions(self, files):
        rows = []
        profile = None
        for f in files:
            ours_out = os.path.join(self.tmpfs, "cg.out")
            profile_file = os.path.join(self.work, f"callgrind.{f.name}")
            ours = timing.instruction_count([self.lzh, "unpack", f.packed, ours_out],
                                            out_file=profile_file)
            lha = timing.instruction_count(["lha", "-pq", f.archive], stdout_path=ours_out)
            size = os.path.getsize(f.plain)
            rows.append({"name": f.name, "out": size, "ours": ours, "lha": lha})
            if f.name == "kernelbase.dll":
                profile = (f.name, ours, timing.function_profile(profile_file))
            os.remove(ours_out)
        return rows, profile

    # --- launch --------------------------------------------------------------------
    def build_launcher(self, payload):
        build = os.path.join(self.work, "launcher-build")
        subprocess.run(["cmake", "-S", self.root, "-B", build, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Release", "-DTOLVEX_TESTS=OFF",
                        f"-DTOLVEX_RELEASE_DIR={payload.release_dir}"],
                       check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "-j", "2", "--target", "Setup_Tolvex"],
                       check=True, stdout=subprocess.DEVNULL)
        return os.path.join(build, "bin", "Setup_Tolvex")

    def launch(self, launcher, payload):
        results = {}
        for target, base in (("tmpfs", self.tmpfs), ("disk", os.path.join(self.work, "tmp"))):
            temp = os.path.join(base, "launch-temp")
            os.makedirs(temp, exist_ok=True)
            work_dir = os.path.join(temp, "Inst-Setup_Tolvex")
            copy_dir = os.path.join(temp, "copy")
            env = dict(os.environ, TMPDIR=temp)
            expanded = os.path.join(temp, "Setup.exe")
            medians, users = timing.paired_rounds(
                [("launcher", [launcher]), ("copy", ["cp", "-r", payload.plain_dir, copy_dir]),
                 ("expansion", [self.lzh, "unpack", os.path.join(payload.release_dir, "Setup.ex_"),
                                expanded])],
                self.rounds, 10 if self.quick else 30, 3,
                prepare=timing.command_line(["rm", "-rf", work_dir, copy_dir, expanded]), env=env)
            shutil.rmtree(work_dir, ignore_errors=True)
            subprocess.run([launcher], env=env, check=True)
            self.check_launch_output(work_dir, payload)
            flush = self.flush_cost(temp, payload_setup_size(payload))
            results[target] = {
                "flush": flush,
                "launcher": statistics.median(medians["launcher"]),
                "copy": statistics.median(medians["copy"]),
                "expansion": statistics.median(medians["expansion"]),
                "ratios": timing.round_ratios(medians, "launcher", "copy"),
            }
            shutil.rmtree(temp, ignore_errors=True)
        results["bytes"] = sum(os.path.getsize(os.path.join(payload.plain_dir, n))
                               for n in os.listdir(payload.plain_dir))
        results["setup_bytes"] = os.path.getsize(payload.setup_plain)
        return results

    def check_launch_output(self, work_dir, payload):
        names = sorted(os.listdir(payload.plain_dir))
        got = sorted(os.listdir(work_dir))
        if got != names:
            raise SystemExit(f"the launcher wrote {got}, expected {names}")
        for n in names:
            if not filecmp.cmp(os.path.join(work_dir, n), os.path.join(payload.plain_dir, n),
                               shallow=False):
                raise SystemExit(f"the launcher's {n} differs from the payload")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--quick", action="store_true", help="fewer rounds and runs")
    parser.add_argument("--output", help="where to write the results (default bench/RESULTS.md)")
    args = parser.parse_args()
    root = os.path.abspath(args.root)
    output = args.output or os.path.join(root, "bench", "RESULTS.md")

    b = Bench(root, args.quick)
    try:
        started = datetime.datetime.now().astimezone()
        load_before = os.getloadavg()
        files = corpus.prepare_corpus(b.work)
        print("packing the corpus", flush=True)
        packer_rows = b.packer(files)
        by_name = {f.name: f for f in files}
        print("packing the payload", flush=True)
        payload = corpus.prepare_payload(b.work, lambda plain, packed: reuse_or_pack(
            b, files, plain, packed))
        setup = corpus.CorpusFile("Setup.exe (row 17)", payload.setup_plain,
                                  "row 17's expansion: a kernelbase.dll slice")
        setup.packed = os.path.join(payload.release_dir, "Setup.ex_")
        decode_files = [by_name["GPL-2"], by_name["kernelbase.dll"], by_name["shell32.dll"], setup]
        print("decoder: lzh unpack against lha -p", flush=True)
        decoder_rows = b.decoder(decode_files)
        print("decoder: in-process benchmark", flush=True)
        gbench = b.google_benchmark(decode_files)
        print("decoder: instruction counts", flush=True)
        instr_rows, profile = b.instructions(decode_files)
        print("launcher: build and launch", flush=True)
        launcher = b.build_launcher(payload)
        launch = b.launch(launcher, payload)
        finished = datetime.datetime.now().astimezone()
        text = report.render(
            machine=report.machine_description(root, load_before, os.getloadavg(), b.tmpfs),
            started=started, finished=finished, quick=args.quick,
            packer=packer_rows, decoder=decoder_rows, gbench=gbench,
            instructions=instr_rows, profile=profile, launch=launch, payload=payload)
        with open(output, "w") as fh:
            fh.write(text)
        print(f"wrote {output}")
    finally:
        b.close()


def payload_setup_size(payload):
    return os.path.getsize(payload.setup_plain)


def reuse_or_pack(b, files, plain, packed):
    """Row 1 is the same bytes as a corpus file already packed: copy that."""
    for f in files:
        if (os.path.getsize(f.plain) == os.path.getsize(plain)
                and filecmp.cmp(f.plain, plain, shallow=False)):
            shutil.copyfile(f.packed, packed)
            return
    b.pack(plain, packed)


if __name__ == "__main__":
    main()
