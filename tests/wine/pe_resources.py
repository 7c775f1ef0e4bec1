"""Reads the header fields and the resource table of a PE file.

Independent of the build's tools: it walks the file's own structures, so the
checks see what the Windows loader sees.
"""

import struct

RT_NAMES = {1: "CURSOR", 2: "BITMAP", 3: "ICON", 4: "MENU", 5: "DIALOG", 6: "STRING",
            9: "ACCELERATOR", 10: "RCDATA", 12: "GROUP_CURSOR", 14: "GROUP_ICON",
            16: "VERSION", 24: "MANIFEST"}


class PeImage:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise ValueError(f"{path}: no MZ header")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise ValueError(f"{path}: no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", d, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", d, optional)[0]
        self.subsystem = struct.unpack_from("<H", d, optional + 68)[0]
        directories = optional + (96 if self.magic == 0x10B else 112)
        self.resource_rva, self.resource_size = struct.unpack_from("<II", d, directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, rva, raw_size, raw = struct.unpack_from("<8sIIII", d, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), rva, max(vsize, raw_size), raw))

    def offset(self, rva):
        for _name, start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError(f"rva {rva:#x} is in no section")

    def resources(self):
        """[(type, name, language, bytes)]: type and name are str for named
        entries (as stored, so upper case) and int for numbered ones."""
        if not self.resource_rva:
            return []
        base = self.offset(self.resource_rva)
        d = self.data

        def entries(offset):
            named, numbered = struct.unpack_from("<HH", d, base + offset + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", d, base + offset + 16 + 8 * i)
                if ident & 0x80000000:
                    at = base + (ident & 0x7FFFFFFF)
                    length = struct.unpack_from("<H", d, at)[0]
                    key = d[at + 2:at + 2 + 2 * length].decode("utf-16-le")
                else:
                    key = ident
                yield key, bool(target & 0x80000000), target & 0x7FFFFFFF

        found = []
        for rtype, _, types in entries(0):
            for name, _, names in entries(types):
                for language, _, leaf in entries(names):
                    rva, size = struct.unpack_from("<II", d, base + leaf)
                    at = self.offset(rva)
                    found.append((rtype, name, language, d[at:at + size]))
        return found
