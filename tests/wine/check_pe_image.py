#!/usr/bin/env python3
"""Checks the launcher images of a cross build without running them.

  check_pe_image.py --build-dir build/win32 --machine i386

For Setup_Tolvex.exe and Setup_Tolvex_NoTest9.exe: the machine, the GUI
subsystem, imports from ntdll and the KnownDLLs only (objdump -p), the resource
list (wrestool -l and the image's own resource table: the payload rows under
their upper-case names, language neutral, byte for byte the staged files, and
the manifest as type 24, id 1, language 1031, nothing else), and the manifest's
XML element by element.
"""

import argparse
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from build_layout import BuildLayout  # noqa: E402
from pe_resources import PeImage  # noqa: E402

MACHINES = {"i386": (0x14C, 0x10B, "pei-i386"), "x86-64": (0x8664, 0x20B, "pei-x86-64")}
GUI_SUBSYSTEM = 2

# DLLs that Windows loads for an image's imports from its system folder
# whatever folder the image lies in: ntdll and the KnownDLLs. The imports are
# loaded before the program's first instruction, before it can restrict its
# DLL search, so any other DLL (version.dll, say) could be planted beside the
# launcher in a Downloads folder and would run elevated.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "shell32.dll", "advapi32.dll",
               "msvcrt.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll",
               "comdlg32.dll", "imm32.dll", "rpcrt4.dll", "sechost.dll", "ws2_32.dll"}

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPAT_V1 = "urn:schemas-microsoft-com:compatibility.v1"
WINDOWS_10_ID = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"


def element(ns, tag, attributes=None, children=(), text=None):
    return {"tag": f"{{{ns}}}{tag}", "attributes": attributes or {}, "children": list(children),
            "text": text}


def supported_os(guid):
    return element(COMPAT_V1, "supportedOS", {"Id": guid})


EXPECTED_MANIFEST = element(ASM_V1, "assembly", {"manifestVersion": "1.0"}, [
    element(ASM_V1, "assemblyIdentity", {"version": "1.0.0.0", "processorArchitecture": "X86",
                                         "name": "Setup", "type": "win32"}),
    element(ASM_V1, "description", text="Orvane PreInstall-Setup"),
    element(ASM_V3, "trustInfo", children=[
        element(ASM_V3, "security", children=[
            element(ASM_V3, "requestedPrivileges", children=[
                element(ASM_V3, "requestedExecutionLevel",
                        {"level": "requireAdministrator", "uiAccess": "false"})])])]),
    element(COMPAT_V1, "compatibility", children=[
        element(COMPAT_V1, "application", children=[
            supported_os("{1f676c76-80e1-4239-95bb-83d0f6d0da78}"),  # Windows 8.1
            supported_os("{e2011457-1546-43c5-a5fe-008deee3d3f0}"),  # Windows Vista
            supported_os("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"),  # Windows 7
            supported_os("{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"),  # Windows 8
        ])]),
    element(ASM_V1, "dependency", children=[
        element(ASM_V1, "dependentAssembly", children=[
            element(ASM_V1, "assemblyIdentity", {
                "type": "win32", "name": "Microsoft.Windows.Common-Controls",
                "version": "6.0.0.0", "processorArchitecture": "*",
                "publicKeyToken": "6595b64144ccf1df", "language": "*"})])]),
])


class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, condition, message):
        if not condition:
            self.failures.append(message)
        return condition


def compare_element(checks, actual, expected, where):
    tag = expected["tag"]
    if not checks.expect(actual.tag == tag, f"{where}: element {actual.tag}, expected {tag}"):
        return
    where = f"{where}/{tag.split('}')[1]}"
    checks.expect(dict(actual.attrib) == expected["attributes"],
                  f"{where}: attributes {dict(actual.attrib)}, expected {expected['attributes']}")
    text = (actual.text or "").strip()
    checks.expect(text == (expected["text"] or ""), f"{where}: text {text!r}")
    children = list(actual)
    names = [c.tag for c in children]
    wanted = [c["tag"] for c in expected["children"]]
    if checks.expect(names == wanted, f"{where}: children {names}, expected {wanted}"):
        for child, want in zip(children, expected["children"]):
            compare_element(checks, child, want, where)


def check_manifest(checks, data, source_manifest):
    with open(source_manifest, "rb") as f:
        checks.expect(data == f.read(), "the embedded manifest differs from payload/Setup_Tolvex.manifest")
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        checks.expect(False, "the manifest is not UTF-8")
        return
    checks.expect(re.match(r'<\?xml version="1\.0" encoding="UTF-8"', text),
                  "the manifest does not declare UTF-8")
    checks.expect(WINDOWS_10_ID not in text.lower(), "the manifest names Windows 10")
    try:
        root = ET.fromstring(data)
    except ET.ParseError as e:
        checks.expect(False, f"the manifest is not well-formed XML: {e}")
        return
    compare_element(checks, root, EXPECTED_MANIFEST, "")


def tool(name, machine):
    prefix = "i686-w64-mingw32" if machine == "i386" else "x86_64-w64-mingw32"
    return f"{prefix}-{name}"


def check_image(checks, path, machine, rows, staged, source_manifest):
    name = os.path.basename(path)
    image = PeImage(path)
    want_machine, want_magic, objdump_format = MACHINES[machine]
    checks.expect(image.machine == want_machine,
                  f"{name}: machine {image.machine:#x}, expected {want_machine:#x} ({machine})")
    checks.expect(image.magic == want_magic, f"{name}: optional header magic {image.magic:#x}")
    checks.expect(image.subsystem == GUI_SUBSYSTEM,
                  f"{name}: subsystem {image.subsystem}, expected {GUI_SUBSYSTEM} (Windows GUI)")

    done = subprocess.run([tool("objdump", machine), "-p", path], capture_output=True, text=True)
    checks.expect(done.returncode == 0, f"{name}: {tool('objdump', machine)} cannot read it: "
                                        f"{done.stderr.strip()}")
    dump = done.stdout
    checks.expect(f"file format {objdump_format}" in dump, f"{name}: objdump does not see {objdump_format}")
    checks.expect(re.search(r"^Subsystem\s+00000002\s+\(Windows GUI\)", dump, re.M),
                  f"{name}: objdump does not report the Windows GUI subsystem")
    imports = re.findall(r"DLL Name: (\S+)", dump)
    checks.expect("kernel32.dll" in [i.lower() for i in imports], f"{name}: imports {imports}")
    foreign = [i for i in imports if i.lower() not in SYSTEM_DLLS]
    checks.expect(not foreign, f"{name}: imports DLLs that Windows may load from the "
                               f"launcher's own folder: {foreign}")

    # The resource table as the loader reads it.
    resources = image.resources()
    listed = sorted((str(t), str(n), lang) for t, n, lang, _ in resources)
    expected = sorted([("FILE", resource.upper(), 0) for _, resource, _ in rows] + [("24", "1", 1031)])
    checks.expect(listed == expected, f"{name}: resources {listed}, expected {expected}")
    by_key = {(t, n): data for t, n, _, data in resources}
    for row, resource, target in rows:
        data = by_key.get(("FILE", resource.upper()))
        if data is None:
            continue
        with open(os.path.join(staged, target), "rb") as f:
            checks.expect(data == f.read(), f"{name}: resource {resource.upper()} (row {row}) "
                                            f"is not the staged {target}")
    if 24 in [t for t, *_ in resources]:
        check_manifest(checks, by_key.get((24, 1), b""), source_manifest)

    # wrestool's view must agree: same count, types and languages, no icon or
    # version resource.
    lines = subprocess.run(["wrestool", "-l", path], capture_output=True, text=True,
                           check=True).stdout.splitlines()
    kinds = sorted(re.match(r"--type=(\S+) .*--language=(\d+)", l).groups() for l in lines)
    want = sorted([("'FILE'", "0")] * len(rows) + [("24", "1031")])
    checks.expect(kinds == want, f"{name}: wrestool -l lists {kinds}")
    manifest_lines = [l for l in lines if l.startswith("--type=24 ")]
    checks.expect(len(manifest_lines) == 1 and "--name=1 " in manifest_lines[0],
                  f"{name}: wrestool manifest entries {manifest_lines}")
    for t, n in (("3", "icon"), ("14", "group icon"), ("16", "version information")):
        checks.expect(not any(l.startswith(f"--type={t} ") for l in lines), f"{name}: has {n}")
    for row, resource, target in rows:
        extracted = subprocess.run(["wrestool", "-x", "--raw", "--type=FILE",
                                    f"--name={resource.upper()}", path],
                                   capture_output=True, check=True).stdout
        with open(os.path.join(staged, target), "rb") as f:
            checks.expect(extracted == f.read(),
                          f"{name}: wrestool extracts for {resource.upper()} not the staged {target}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("--source-dir", default=os.path.join(os.path.dirname(__file__), "..", ".."))
    args = parser.parse_args()
    layout = BuildLayout(args.build_dir, args.source_dir)
    if not layout.built():
        message = f"{layout.build_dir} is not built"
        if os.environ.get("TOLVEX_REQUIRE_WINE_BUILDS"):
            print("FAILED:", message)
            return 1
        print("SKIPPED:", message)
        return 77

    checks = Checks()
    images = [("Setup_Tolvex", layout.rows),
              ("Setup_Tolvex_NoTest9", [r for r in layout.rows if r[1] != "Test9"])]
    for exe, expected_rows in images:
        path = layout.exe(exe)
        if checks.expect(os.path.isfile(path), f"{path} is missing"):
            check_image(checks, path, args.machine, expected_rows, layout.stage_of(exe),
                        layout.manifest_file)
    for failure in checks.failures:
        print("FAILED:", failure)
    if checks.failures:
        return 1
    print(f"PASSED: {', '.join(e + '.exe' for e, _ in images)} ({args.machine})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
