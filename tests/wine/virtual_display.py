"""A private X display (Xvfb) for Wine programs that show windows.

Without a display Wine's message boxes return at once, so a test that reads
the box as the user sees it runs the program on an Xvfb server. The server
picks a free display number itself (-displayfd), so tests may run side by side.
"""

import os
import shutil
import subprocess


class VirtualDisplay:
    def __init__(self):
        self.server = None
        self.name = None

    def __enter__(self):
        xvfb = shutil.which("Xvfb")
        if not xvfb:
            raise RuntimeError("Xvfb is not installed; scripts/install-deps installs xvfb")
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            [xvfb, "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()
        if not number:
            self.server.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number
        return self

    def __exit__(self, *exc):
        if self.server:
            self.server.terminate()
            try:
                self.server.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.server.kill()
        return False
