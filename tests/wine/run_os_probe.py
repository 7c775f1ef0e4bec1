#!/usr/bin/env python3
"""Runs os_win32_probe.exe (the win32 backend's calls, one check each) under
Wine in a throw-away prefix, on a virtual display for its window checks.

  run_os_probe.py --probe os_win32_probe.exe --bits 64

Exit code 0 when every check passed (checks this system cannot support are
listed as skip with their reason), 1 when one failed, 77 when this machine
cannot run the probe's bitness.
"""

import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_host  # noqa: E402
from virtual_display import VirtualDisplay  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--probe", required=True)
    parser.add_argument("--bits", type=int, choices=(32, 64), required=True)
    parser.add_argument("--prefix-parent")
    args = parser.parse_args()
    wine_host.require_loader(args.bits)
    if args.prefix_parent:
        os.makedirs(args.prefix_parent, exist_ok=True)
    probe_args = ["--unix-root"] if os.geteuid() == 0 else []
    with wine_host.Prefix(args.prefix_parent) as prefix, VirtualDisplay() as display:
        code, out, err = prefix.run(args.probe, probe_args, display=display.name, bits=args.bits)
        prefix.kill_server()
    lines = out.decode(errors="replace").splitlines()
    print("\n".join(lines))
    failed = [l for l in lines if l.startswith("FAIL ")]
    passed = [l for l in lines if l.startswith("ok ")]
    if not lines or lines[-1] != f"{len(failed)} failed" or code != len(failed) or not passed:
        print(f"FAILED: the probe did not finish its checks (exit code {code})")
        print(err.decode(errors="replace"))
        sys.exit(1)
    if failed:
        sys.exit(1)
    print(f"PASSED: {len(passed)} checks")


if __name__ == "__main__":
    wine_host.main_with_skip(main)
