"""Where a cross build of the launcher keeps what the checks compare against."""

import os
import re


def read_manifest(path):
    """The rows of payload/manifest.tsv: [(row, resource name, target file)]."""
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                row, resource, target, _expanded = line.rstrip("\n").split("\t")
                rows.append((int(row), resource, target))
    return rows


class BuildLayout:
    def __init__(self, build_dir, source_dir):
        self.build_dir = os.path.abspath(build_dir)
        self.source_dir = os.path.abspath(source_dir)
        self.bin = os.path.join(self.build_dir, "bin")
        self.rows = read_manifest(os.path.join(self.source_dir, "payload", "manifest.tsv"))
        self.manifest_file = os.path.join(self.source_dir, "payload", "Setup_Tolvex.manifest")
        payload = os.path.join(self.build_dir, "payload")
        # Test variants always carry the sample payload; the product carries a
        # vendor's release folder when the build was given one.
        self.sample_stage = os.path.join(payload, "staged")
        self.product_stage = (os.path.join(payload, "staged_release")
                              if self._cache("TOLVEX_RELEASE_DIR") else self.sample_stage)
        self.inner_setup = os.path.join(payload, "release", "Setup.exe")

    def built(self):
        return os.path.isdir(self.bin)

    def exe(self, name):
        return os.path.join(self.bin, name + ".exe")

    def stage_of(self, exe_name):
        return self.product_stage if exe_name == "Setup_Tolvex" else self.sample_stage

    def _cache(self, name):
        try:
            with open(os.path.join(self.build_dir, "CMakeCache.txt"), encoding="utf-8") as f:
                m = re.search(rf"^{name}:[A-Z]+=(.*)$", f.read(), re.M)
        except OSError:
            return ""
        return m.group(1).strip() if m else ""
