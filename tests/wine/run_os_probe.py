#!/usr/bin/env python3
"""Runs os_win32_probe.exe (the win32 backend's calls, one check each) under
Wine in a throw-away prefix, on a virtual display for its window checks.

  run_os_probe.py --probe os_win32_probe.exe --bits 64

Before the probe runs, C:\tolvex_links in the prefix is filled with Unix
symbolic links (which Wine shows as reparse points) for the probe's link
checks; afterwards the links' targets are checked on the Unix side too.

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


KEEP = b"not the launcher's to touch"


def make_links(root):
    """The layout the probe's Links() expects."""
    outside = os.path.join(root, "outside")
    full = os.path.join(root, "full")
    os.makedirs(outside)
    os.makedirs(full)
    keep = os.path.join(outside, "keep.txt")
    with open(keep, "wb") as f:
        f.write(KEEP)
    os.symlink(outside, os.path.join(root, "folder-link"))
    os.symlink(keep, os.path.join(root, "file-link"))
    with open(os.path.join(full, "a.txt"), "wb") as f:
        f.write(b"a")
    os.symlink(outside, os.path.join(full, "dir-link"))
    os.symlink(keep, os.path.join(full, "file-link"))
    return root


def check_links_after(root):
    """Unix-side results in the probe's line format."""
    outside = os.path.join(root, "outside")
    try:
        with open(os.path.join(outside, "keep.txt"), "rb") as f:
            kept = f.read() == KEEP and os.listdir(outside) == ["keep.txt"]
    except OSError:
        kept = False
    lines = ["ok unix_link_target_unchanged" if kept else
             f"FAIL unix_link_target_unchanged: outside holds {os.listdir(outside)}"]
    still = all(os.path.islink(os.path.join(root, n)) for n in ("folder-link", "file-link"))
    lines.append("ok unix_refused_links_still_links" if still else
                 "FAIL unix_refused_links_still_links: a link was replaced")
    return lines


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
        links = make_links(os.path.join(prefix.path, "drive_c", "tolvex_links"))
        probe_args += ["--links", "C:\\tolvex_links"]
        code, out, err = prefix.run(args.probe, probe_args, display=display.name, bits=args.bits)
        prefix.kill_server()
        unix_side = check_links_after(links)
    lines = out.decode(errors="replace").splitlines()
    print("\n".join(lines + unix_side))
    failed = [l for l in lines if l.startswith("FAIL ")]
    passed = [l for l in lines if l.startswith("ok ")]
    if not lines or lines[-1] != f"{len(failed)} failed" or code != len(failed) or not passed:
        print(f"FAILED: the probe did not finish its checks (exit code {code})")
        print(err.decode(errors="replace"))
        sys.exit(1)
    failed += [l for l in unix_side if l.startswith("FAIL ")]
    if failed:
        sys.exit(1)
    passed += [l for l in unix_side if l.startswith("ok ")]
    print(f"PASSED: {len(passed)} checks")


if __name__ == "__main__":
    wine_host.main_with_skip(main)
