"""The benchmark corpus and the sized payload, made from files on the machine.

Corpus: the GPL-2 text that Debian ships and two real 32-bit x86 PE files of
Wine's i386 package. Payload: the 18 rows of the launcher's manifest with the
sizes of the product's release; the compressed rows are slices of the PE files
with the release's expanded lengths, packed with `lzh pack`, the stored rows
slices of the corpus files with the release's sizes.
"""

import os
import shutil
from dataclasses import dataclass

GPL2 = "/usr/share/common-licenses/GPL-2"
WINE_I386 = "/usr/lib/i386-linux-gnu/wine/i386-windows"
KERNELBASE = os.path.join(WINE_I386, "kernelbase.dll")
SHELL32 = os.path.join(WINE_I386, "shell32.dll")

# The release's manifest: row, file name, expanded length of a compressed row
# (None for a stored row), size of the row in the release.
RELEASE_ROWS = [
    (1, "Tolvex.ex_", 6441184, 2823172),
    (2, "Plenum.dl_", 350720, 173072),
    (3, "Vantor.ex_", 70240, 29221),
    (4, "Tolvex.ch_", 101199, 94362),
    (5, "TolvexMail.ex_", 69120, 38372),
    (6, "Kestrum.ex_", 732776, 366040),
    (7, "Readme.txt", None, 5232),
    (8, "Terms.txt", None, 6111),
    (9, "Shortcut.ico", None, 6518),
    (10, "Norvik.bin", None, 39424),
    (11, "StyleA.vsf", None, 37897),
    (12, "StyleB.vsf", None, 79775),
    (13, "StyleC.vsf", None, 70803),
    (14, "StyleD.vsf", None, 86087),
    (15, "StyleE.vsf", None, 83101),
    (16, "StyleF.vsf", None, 79435),
    (17, "Setup.ex_", 550104, 296039),
    (18, "Setup.lst", None, 577),
]

# Where each row's bytes come from: source file and offset. Row 1 is the
# 6.4 MB prefix of shell32.dll; the other compressed rows are consecutive
# slices of kernelbase.dll; the stored rows come from GPL-2 (the texts) and
# from shell32.dll behind row 1's prefix (the binaries).
_TEXT_ROWS = {7, 8, 18}

# The plain file that each compressed row is packed from.
EXPANDED_NAMES = {
    "Tolvex.ex_": "Tolvex.exe", "Plenum.dl_": "Plenum.dll", "Vantor.ex_": "Vantor.exe",
    "Tolvex.ch_": "Tolvex.chm", "TolvexMail.ex_": "TolvexMail.exe",
    "Kestrum.ex_": "Kestrum.exe", "Setup.ex_": "Setup.exe",
}


def _sources():
    sources = {}
    kb_offset = 0
    text_offset = 0
    shell_offset = 6441184
    for row, _name, expanded, size in RELEASE_ROWS:
        if row == 1:
            sources[row] = (SHELL32, 0, expanded)
        elif expanded is not None:
            sources[row] = (KERNELBASE, kb_offset, expanded)
            kb_offset += expanded
        elif row in _TEXT_ROWS:
            sources[row] = (GPL2, text_offset, size)
            text_offset += size
        else:
            sources[row] = (SHELL32, shell_offset, size)
            shell_offset += size
    return sources


@dataclass
class CorpusFile:
    name: str      # short name used in the tables
    plain: str     # the file to compress
    what: str      # description for the tables


@dataclass
class Payload:
    release_dir: str   # the 18 row files, as the launcher embeds them
    plain_dir: str     # the same 18 files plus the expanded Setup.exe
    rows: list         # (row, name, expanded length or None, release size, our size)
    setup_plain: str   # the expanded inner setup (row 17's slice)


# The launcher starts the expanded "Setup.exe" and fails when it cannot. On
# this platform a file starts when it is an executable or a script, so the
# inner setup's slice begins with a line that makes it a script that does
# nothing; the rest of its bytes are the PE slice.
SETUP_SCRIPT_LINE = b"#!/bin/true\n"


def _slice(src, offset, size, dst, lead=b""):
    with open(src, "rb") as f:
        f.seek(offset)
        data = f.read(size - len(lead))
    if len(data) != size - len(lead):
        raise SystemExit(f"corpus: {src} has no {size} bytes at offset {offset}")
    with open(dst, "wb") as f:
        f.write(lead + data)


def require_sources():
    missing = [p for p in (GPL2, KERNELBASE, SHELL32) if not os.path.isfile(p)]
    if missing:
        raise SystemExit("corpus: missing " + ", ".join(missing) +
                         " (scripts/install-deps installs lhasa's and Wine's i386 packages)")


def prepare_corpus(work):
    """Copies the corpus files into work/corpus and returns them."""
    require_sources()
    corpus_dir = os.path.join(work, "corpus")
    os.makedirs(corpus_dir, exist_ok=True)
    files = [
        CorpusFile("GPL-2", GPL2, "GNU GPL v2 text (Debian's common-licenses)"),
        CorpusFile("kernelbase.dll", KERNELBASE, "Wine i386 PE DLL"),
        CorpusFile("shell32.dll", SHELL32, "Wine i386 PE DLL"),
    ]
    for f in files:
        dst = os.path.join(corpus_dir, f.name)
        if not os.path.exists(dst) or os.path.getsize(dst) != os.path.getsize(f.plain):
            shutil.copyfile(f.plain, dst)
        f.plain = dst
    pe6 = os.path.join(corpus_dir, "shell32-6.4MB")
    _slice(SHELL32, 0, 6441184, pe6)
    files.append(CorpusFile("shell32-6.4MB", pe6,
                            "first 6,441,184 bytes of shell32.dll (row 1's expanded length)"))
    return files


def prepare_payload(work, pack):
    """Makes the sized release folder; pack(plain, packed) runs `lzh pack`."""
    require_sources()
    slices = os.path.join(work, "payload-plain-rows")
    release = os.path.join(work, "release")
    plain = os.path.join(work, "payload-copy-source")
    for d in (slices, release, plain):
        os.makedirs(d, exist_ok=True)
    sources = _sources()
    rows = []
    setup_plain = None
    for row, name, expanded, size in RELEASE_ROWS:
        src, offset, length = sources[row]
        target = os.path.join(release, name)
        if expanded is None:
            _slice(src, offset, length, target)
        else:
            raw = os.path.join(slices, EXPANDED_NAMES[name])
            _slice(src, offset, length, raw,
                   SETUP_SCRIPT_LINE if name == "Setup.ex_" else b"")
            pack(raw, target)
            if name == "Setup.ex_":
                setup_plain = raw
        shutil.copyfile(target, os.path.join(plain, name))
        rows.append((row, name, expanded, size, os.path.getsize(target)))
    shutil.copyfile(setup_plain, os.path.join(plain, "Setup.exe"))
    return Payload(release, plain, rows, setup_plain)
