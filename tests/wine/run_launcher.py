#!/usr/bin/env python3
"""Runs a launcher PE under Wine in a throw-away prefix and checks what it did.

  run_launcher.py --build-dir build/win64 --bits 64 --case full --reader msgbox_reader.exe

Cases:
  full          Setup_Tolvex.exe: exit code 0, the 18 payload files byte for byte
                as staged, Setup.exe equal to the plain inner setup, and the inner
                setup's record (working folder as current directory, no
                parameters). Then a second run over a spoiled working folder:
                every file is written again. Wine reads back no access list,
                so the folder never counts as protected: the second run
                empties it first and a foreign file goes.
  missing-test9 Setup_Tolvex_NoTest9.exe on a virtual display: the standard report
                read back from the screen, exit code 1, rows 1 to 8 written and
                nothing else.
  bad-setup     Setup_Tolvex_BadSetup.exe ("Setup.ex_" not compressed): no
                Setup.exe, the failed start reported with the shell's error
                code, exit code 1.
  link-folder   Setup_Tolvex.exe with the working folder pre-created as a Unix
                symbolic link to another folder (Wine shows it as a reparse
                point): the report with EFCreateError naming the folder, exit
                code 1, nothing written through the link, its target unchanged.
  link-target   the same with a real working folder whose "Terms.txt" is a link
                to another folder (a reparse point to Wine): the report names
                Terms.txt, nothing is written.
  link-file-target  "Terms.txt" a link to a file elsewhere. Wine 8 shows such a
                link as a plain file and opens its target even when asked for
                the link itself; the launcher must still write nothing through
                it: the report names the link (where the link shows) or the
                working folder (whose emptying refuses to reach the target).

Exit code 0 when every check holds, 1 when one fails, 77 (skip) when this
machine cannot run the PE's bitness.
"""

import argparse
import filecmp
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wine_host  # noqa: E402
from build_layout import BuildLayout  # noqa: E402
from virtual_display import VirtualDisplay  # noqa: E402

WORK_FOLDER = "Inst-Setup_Tolvex"
APP_TITLE = "Setup_Tolvex"
CAPTION = "Anwendungsfehler"
RECORD = "Setup.record.txt"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def read_record(path):
    record = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            key, _, value = line.rstrip("\n").partition("=")
            record[key] = value
    return record


def read_box(path):
    """The fields msgbox_reader wrote, unescaped."""
    def unescape(s):
        return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "t": "\t"}.get(m[1], m[1]), s)
    box = {}
    with open(path, encoding="latin-1") as f:
        for line in f:
            key, *values = line.rstrip("\n").split("\t")
            box[key] = [unescape(v) for v in values]
    return box


def require_exe(layout, name):
    path = layout.exe(name)
    check(os.path.isfile(path), f"{path} is missing: build the cross build first")
    return path


def new_entries(prefix, before):
    return {d: sorted(set(os.listdir(d)) - before.get(d, set())) for d in prefix.temp_dirs()}


def working_folder(prefix, before):
    """The launcher's working folder, checked to be the one new entry of a temp dir."""
    created = {d: e for d, e in new_entries(prefix, before).items() if e}
    check(len(created) == 1, f"expected one temporary folder to gain entries, got {created}")
    temp, entries = next(iter(created.items()))
    check(entries == [WORK_FOLDER], f"the temporary folder gained {entries}, not [{WORK_FOLDER}]")
    return os.path.join(temp, WORK_FOLDER)


def check_payload_files(stage, folder, rows):
    for row, _resource, target in rows:
        path = os.path.join(folder, target)
        check(os.path.isfile(path), f"row {row}: {target} was not written")
        check(filecmp.cmp(path, os.path.join(stage, target), shallow=False),
              f"row {row}: {target} differs from the staged payload file")


def check_report(box, exception, module, message, bits, message_pattern=None):
    """Checks the report; the message is literal, or a regex (message_pattern)
    whose match is returned."""
    check(box.get("caption") == [CAPTION], f"caption {box.get('caption')}")
    digits = 8 if bits == 32 else 16
    tail = message_pattern if message_pattern is not None else re.escape(message)
    pattern = (re.escape(f"Exception {exception} im Modul {module} bei ") +
               f"[0-9A-F]{{{digits}}}" + re.escape(".\n") + tail)
    text = box.get("text", [""])[0]
    match = re.fullmatch(pattern, text)
    check(match, f"report text {text!r} does not match {pattern!r}")
    check(box.get("icon") == ["1"], "the report shows no icon")
    check(box.get("buttons") == ["OK"], f"buttons {box.get('buttons')}, not just OK")
    # The application object's window: zero size, shown, titled; the task-modal
    # box disables it while it is up.
    check(box.get("app") == [APP_TITLE, "0", "0", "1", "0"],
          f"application window (title, width, height, visible, enabled): {box.get('app')}")
    return match


def run_with_report(prefix, exe, bits, reader, box_file):
    """Runs exe on a virtual display, reads its message box; returns exit code and box."""
    with VirtualDisplay() as display:
        launcher = prefix.start(exe, display=display.name, bits=bits)
        code, _out, err = prefix.run(reader, [CAPTION, box_file, APP_TITLE, "120"],
                                     display=display.name)
        check(code == 0, f"no message box came up ({err.decode(errors='replace')})")
        launcher.communicate(timeout=120)
        prefix.kill_server()
    return launcher.returncode, read_box(box_file)


def snapshot(prefix):
    return {d: set(os.listdir(d)) for d in prefix.temp_dirs()}


def case_full(layout, prefix, args):
    if layout.product_stage != layout.sample_stage:
        raise wine_host.Skipped("this build's Setup_Tolvex carries a vendor payload "
                                "(TOLVEX_RELEASE_DIR); the run checks need the sample payload")
    before = snapshot(prefix)
    code, _out, err = prefix.run(require_exe(layout, "Setup_Tolvex"), bits=args.bits)
    check(code == 0, f"exit code {code}, not 0 ({err.decode(errors='replace')})")
    # The launcher does not wait for the inner setup: its record shows it ran.
    folder = working_folder(prefix, before)
    record_path = os.path.join(folder, RECORD)
    check(wine_host.wait_for_file(record_path, 120), "the inner setup wrote no record")
    prefix.wait_server()

    names = sorted(os.listdir(folder))
    expected = sorted([t for _r, _n, t in layout.rows] + ["Setup.exe", RECORD])
    check(names == expected, f"working folder holds {names}, expected {expected}")
    check_payload_files(layout.product_stage, folder, layout.rows)
    check(filecmp.cmp(os.path.join(folder, "Setup.exe"), layout.inner_setup, shallow=False),
          "Setup.exe is not the plain inner setup")

    record = read_record(record_path)
    cwd = record.get("current directory", "")
    check(cwd.endswith("\\" + WORK_FOLDER), f"inner setup ran in {cwd!r}")
    check(os.path.samefile(prefix.unix_path(cwd), folder),
          f"inner setup's current directory {cwd!r} is not the working folder {folder}")
    check(record.get("parameter count") == "0" and record.get("parameters") == "",
          f"inner setup got parameters: {record}")
    check(record.get("list file") == "read", "inner setup found no Setup.lst")
    print(f"first run: {len(names)} files, record: current directory={cwd}, parameters=''")

    # Second run over a spoiled folder: a longer Readme.txt, a damaged Setup.exe,
    # a foreign file. The rows and Setup.exe are written anew, the foreign file stays.
    with open(os.path.join(folder, "Readme.txt"), "ab") as f:
        f.write(b"left over from an earlier run\r\n" * 100)
    with open(os.path.join(folder, "Setup.exe"), "r+b") as f:
        f.write(b"XX")
    with open(os.path.join(folder, "Foreign.txt"), "wb") as f:
        f.write(b"not the launcher's")
    os.remove(record_path)
    code, _out, err = prefix.run(require_exe(layout, "Setup_Tolvex"), bits=args.bits)
    check(code == 0, f"second run: exit code {code}, not 0")
    check(wine_host.wait_for_file(record_path, 120), "second run: the inner setup wrote no record")
    prefix.wait_server()
    check_payload_files(layout.product_stage, folder, layout.rows)
    check(filecmp.cmp(os.path.join(folder, "Setup.exe"), layout.inner_setup, shallow=False),
          "second run: Setup.exe was not written anew")
    check(not os.path.exists(os.path.join(folder, "Foreign.txt")),
          "second run: a foreign file stayed in a folder that Wine cannot show as protected")
    print("second run over the spoiled folder: emptied, rows and Setup.exe rewritten")


def case_missing_test9(layout, prefix, args):
    before = snapshot(prefix)
    exe = require_exe(layout, "Setup_Tolvex_NoTest9")
    box_file = os.path.join(prefix.path, "box.txt")
    code, box = run_with_report(prefix, exe, args.bits, args.reader, box_file)
    check(code == 1, f"exit code {code}, not 1")
    check_report(box, "EResNotFound", "Setup_Tolvex_NoTest9.exe",
                 "Ressource Test9 nicht gefunden.", args.bits)
    folder = working_folder(prefix, before)
    first_rows = [r for r in layout.rows if r[0] <= 8]
    names = sorted(os.listdir(folder))
    check(names == sorted(t for _r, _n, t in first_rows),
          f"working folder holds {names}: expected rows 1 to 8 only")
    check_payload_files(layout.sample_stage, folder, first_rows)
    print("report:", box["text"][0].replace("\n", "\\n"))


def case_bad_setup(layout, prefix, args):
    before = snapshot(prefix)
    exe = require_exe(layout, "Setup_Tolvex_BadSetup")
    message_file = os.path.join(prefix.path, "message2.txt")
    code, _out, _err = prefix.run(args.reader, ["--system-message", "2", message_file])
    check(code == 0, "cannot ask the system for the text of error 2")
    with open(message_file, encoding="latin-1") as f:
        system_text = f.read().rstrip(" \r\n\t")
    check(system_text, "the system has no text for error 2")
    box_file = os.path.join(prefix.path, "box.txt")
    code, box = run_with_report(prefix, exe, args.bits, args.reader, box_file)
    check(code == 1, f"exit code {code}, not 1")
    tail = "" if system_text.endswith(".") else "."
    check_report(box, "EOSError", "Setup_Tolvex_BadSetup.exe",
                 "Systemfehler. Code: 2.\r\n" + system_text + tail, args.bits)
    folder = working_folder(prefix, before)
    names = sorted(os.listdir(folder))
    check(names == sorted(t for _r, _n, t in layout.rows),
          f"working folder holds {names}: expected the 18 rows and no Setup.exe")
    print("report:", box["text"][0].replace("\n", "\\n").replace("\r", "\\r"))


KEEP = b"not the launcher's to touch"


def make_outside(prefix):
    """A folder with one file, outside every temporary folder, for links to point at."""
    outside = os.path.join(prefix.path, "drive_c", "outside")
    os.makedirs(outside)
    with open(os.path.join(outside, "keep.txt"), "wb") as f:
        f.write(KEEP)
    return outside


def check_outside_unchanged(outside):
    names = sorted(os.listdir(outside))
    check(names == ["keep.txt"], f"written through the link: its target folder holds {names}")
    with open(os.path.join(outside, "keep.txt"), "rb") as f:
        check(f.read() == KEEP, "the link's target file was changed")


def same_entry(a, b):
    """Whether two Unix paths name the same directory entry (a link itself, not its target)."""
    return (os.path.basename(a) == os.path.basename(b) and
            os.path.samefile(os.path.dirname(a), os.path.dirname(b)))


def refused_run(layout, prefix, args):
    """Runs Setup_Tolvex.exe expecting the EFCreateError report; returns the
    Unix path of what the report names."""
    box_file = os.path.join(prefix.path, "box.txt")
    code, box = run_with_report(prefix, require_exe(layout, "Setup_Tolvex"), args.bits,
                                args.reader, box_file)
    check(code == 1, f"exit code {code}, not 1")
    match = check_report(box, "EFCreateError", "Setup_Tolvex.exe", None, args.bits,
                         message_pattern=r"Kann Datei (.+) nicht erstellen\.")
    print("report:", box["text"][0].replace("\n", "\\n"))
    return prefix.unix_path(match.group(1))


def case_link_folder(layout, prefix, args):
    outside = make_outside(prefix)
    links = []
    for temp in prefix.temp_dirs():
        link = os.path.join(temp, WORK_FOLDER)
        os.symlink(outside, link)
        links.append(link)
    named = refused_run(layout, prefix, args)
    check(any(same_entry(named, link) for link in links),
          f"the report names {named}, not the linked working folder")
    check_outside_unchanged(outside)
    for link in links:
        check(os.path.islink(link) and os.readlink(link) == outside, f"{link} is no longer the link")
    print("working folder as a link: refused, its target unchanged")


def linked_target_run(layout, prefix, args, target):
    """A real working folder in every temporary folder whose Terms.txt is a link
    to target; returns (what the report names, the folders, the links)."""
    folders, links = [], []
    for temp in prefix.temp_dirs():
        folder = os.path.join(temp, WORK_FOLDER)
        os.mkdir(folder)
        link = os.path.join(folder, "Terms.txt")
        os.symlink(target, link)
        folders.append(folder)
        links.append(link)
    named = refused_run(layout, prefix, args)
    for folder, link in zip(folders, links):
        check(os.path.islink(link) and os.readlink(link) == target, f"{link} is no longer the link")
        check(os.listdir(folder) == ["Terms.txt"],
              f"{folder} holds {sorted(os.listdir(folder))}: something was written")
    return named, folders, links


def case_link_target(layout, prefix, args):
    outside = make_outside(prefix)
    named, _folders, links = linked_target_run(layout, prefix, args, outside)
    check(any(same_entry(named, link) for link in links),
          f"the report names {named}, not the linked Terms.txt")
    check_outside_unchanged(outside)
    print("Terms.txt as a link to a folder: refused before any row, its target unchanged")


def case_link_file_target(layout, prefix, args):
    outside = make_outside(prefix)
    named, folders, links = linked_target_run(layout, prefix, args,
                                              os.path.join(outside, "keep.txt"))
    check(any(same_entry(named, p) for p in links + folders),
          f"the report names {named}, neither the link nor the working folder")
    check_outside_unchanged(outside)
    which = "the link" if any(same_entry(named, p) for p in links) else "the working folder"
    print(f"Terms.txt as a link to a file: refused naming {which}, its target unchanged")


CASES = {"full": case_full, "missing-test9": case_missing_test9, "bad-setup": case_bad_setup,
         "link-folder": case_link_folder, "link-target": case_link_target,
         "link-file-target": case_link_file_target}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--source-dir", default=os.path.join(os.path.dirname(__file__), "..", ".."))
    parser.add_argument("--bits", type=int, choices=(32, 64), required=True)
    parser.add_argument("--case", choices=sorted(CASES), required=True)
    parser.add_argument("--reader", help="msgbox_reader.exe (64-bit)")
    parser.add_argument("--prefix-parent", help="folder for the throw-away prefix")
    args = parser.parse_args()

    layout = BuildLayout(args.build_dir, args.source_dir)
    if not layout.built():
        message = f"{args.build_dir} is not built (cmake --build --preset win{args.bits})"
        if os.environ.get("TOLVEX_REQUIRE_WINE_BUILDS"):
            print("FAILED:", message)
            sys.exit(1)
        raise wine_host.Skipped(message)
    wine_host.require_loader(args.bits)
    if args.prefix_parent:
        os.makedirs(args.prefix_parent, exist_ok=True)
    try:
        with wine_host.Prefix(args.prefix_parent) as prefix:
            CASES[args.case](layout, prefix, args)
    except Failure as e:
        print("FAILED:", e)
        sys.exit(1)
    print("PASSED")


if __name__ == "__main__":
    wine_host.main_with_skip(main)
