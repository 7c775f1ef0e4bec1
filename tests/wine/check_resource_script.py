#!/usr/bin/env python3
"""Checks that the launcher's table of payload rows and the resource scripts of
a cross build say the same as payload/manifest.tsv.

  check_resource_script.py --build-dir build/win32

The code's PayloadManifest is compiled from launcher/generated/payload_manifest.inc;
the images' resources from launcher/<target>.rc. Both must list the rows of
the table in its order: the code by resource name and target file, the script
as "<name> FILE <staged file>" under LANGUAGE 0, 0, followed by the manifest
as "1 24" under LANGUAGE 7, 1 (German), and nothing else.
"""

import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from build_layout import BuildLayout  # noqa: E402


def read_table(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                _row, resource, target, _ = line.rstrip("\n").split("\t")
                rows.append((resource, target))
    return rows


def read_code_table(path):
    with open(path, encoding="utf-8") as f:
        return re.findall(r'\{"([^"]*)", "([^"]*)"\}', f.read())


def script_statements(path):
    with open(path, encoding="utf-8") as f:
        return [l.strip() for l in f if l.strip() and not l.lstrip().startswith("//")]


def expected_script(rows, staged, manifest):
    lines = ["LANGUAGE 0, 0"]
    lines += [f'{resource} FILE "{staged}/{target}"' for resource, target in rows]
    lines += ["LANGUAGE 7, 1", f'1 24 "{manifest}"']
    return lines


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", default=os.path.join(os.path.dirname(__file__), "..", ".."))
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    source = os.path.abspath(args.source_dir)
    if not os.path.isdir(os.path.join(build, "launcher")):
        message = f"{build} is not built"
        if os.environ.get("TOLVEX_REQUIRE_WINE_BUILDS"):
            print("FAILED:", message)
            return 1
        print("SKIPPED:", message)
        return 77

    failures = []
    rows = read_table(os.path.join(source, "payload", "manifest.tsv"))
    if len(rows) != 18 or [r for r, _ in rows] != [f"Test{i}" for i in range(1, 19)]:
        failures.append(f"manifest.tsv rows: {rows}")
    code = read_code_table(os.path.join(build, "launcher", "generated", "payload_manifest.inc"))
    if code != rows:
        failures.append(f"the code's PayloadManifest {code} differs from manifest.tsv {rows}")

    layout = BuildLayout(build, source)
    for target, script_rows in (("Setup_Tolvex", rows),
                                ("Setup_Tolvex_NoTest9", [r for r in rows if r[0] != "Test9"])):
        path = os.path.join(build, "launcher", f"{target}.rc")
        if not os.path.isfile(path):
            failures.append(f"{path} is missing")
            continue
        got = script_statements(path)
        want = expected_script(script_rows, layout.stage_of(target), layout.manifest_file)
        if got != want:
            failures.append(f"{target}.rc:\n  got  {got}\n  want {want}")
    for f in failures:
        print("FAILED:", f)
    if failures:
        return 1
    print(f"PASSED: manifest.tsv, PayloadManifest and the resource scripts agree ({build})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
