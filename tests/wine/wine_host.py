"""Running Windows programs of this project under Wine, in throw-away prefixes.

A test gets a fresh WINEPREFIX (created with wineboot, removed afterwards),
runs a PE in it with the loader for the PE's bitness, and finds the files the
program wrote on the Linux side of the prefix.

32-bit PEs need the wine32 loader, an i386 ELF. Some kernels cannot execute
32-bit x86 code at all; can_run_32bit() finds that out by executing the loader
directly, without a shell that would turn the failure into something else.
"""

import errno
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77  # ctest SKIP_RETURN_CODE of these tests

LOADERS = {32: "/usr/lib/wine/wine", 64: "/usr/lib/wine/wine64"}
WINESERVER = "/usr/lib/wine/wineserver64"


class Skipped(Exception):
    """The test cannot run on this machine; the message says why."""


def can_run_32bit():
    """(True, "") when 32-bit x86 programs run here, else (False, reason)."""
    loader = LOADERS[32]
    if not os.path.exists(loader):
        return False, f"wine32 is not installed ({loader} is missing)"
    try:
        done = subprocess.run([loader, "--version"], capture_output=True, timeout=60)
    except OSError as e:
        if e.errno == errno.ENOEXEC:
            return False, ("this machine's kernel cannot execute 32-bit x86 code "
                           f"(exec of the i386 ELF {loader}: {os.strerror(e.errno)})")
        return False, f"cannot execute {loader}: {e}"
    except subprocess.TimeoutExpired:
        return False, f"{loader} --version did not finish"
    if done.returncode != 0:
        return False, f"{loader} --version failed: {done.stderr.decode(errors='replace')}"
    return True, ""


def require_loader(bits):
    if bits == 32:
        ok, reason = can_run_32bit()
        if not ok:
            raise Skipped(reason)
    elif not os.path.exists(LOADERS[64]):
        raise RuntimeError(f"wine64 is not installed ({LOADERS[64]} is missing); "
                           "scripts/install-deps installs it")


class Prefix:
    """A throw-away 64-bit WINEPREFIX for one test. 64-bit PEs run in it with
    the wine64 loader, 32-bit PEs with the wine32 loader (WoW64)."""

    def __init__(self, parent=None):
        self.path = tempfile.mkdtemp(prefix="wineprefix-", dir=parent)
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": self.path,
            "WINEDEBUG": "-all",
            # No Mono or Gecko installers: nothing here needs them.
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)

    def __enter__(self):
        done = subprocess.run([LOADERS[64], "wineboot", "-i"], env=self.env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=300)
        if done.returncode != 0:
            raise RuntimeError("wineboot -i failed: " + done.stderr.decode(errors="replace"))
        self.wait_server()
        return self

    def __exit__(self, *exc):
        self.kill_server()
        if os.environ.get("TOLVEX_KEEP_WINEPREFIX"):
            print(f"kept WINEPREFIX {self.path}")
        else:
            shutil.rmtree(self.path, ignore_errors=True)
        return False

    def with_display(self, display):
        env = dict(self.env)
        env["DISPLAY"] = display
        return env

    def start(self, program, args=(), display=None, bits=64):
        env = self.with_display(display) if display else self.env
        return subprocess.Popen([LOADERS[bits], program, *args], env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    def run(self, program, args=(), display=None, bits=64, timeout=300):
        """Runs program to its end; returns (exit code, stdout, stderr)."""
        p = self.start(program, args, display, bits)
        out, err = p.communicate(timeout=timeout)
        return p.returncode, out, err

    def wait_server(self):
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=300)

    def kill_server(self):
        subprocess.run([WINESERVER, "-k"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def temp_dirs(self):
        """The Linux paths of every user's temporary folder in the prefix."""
        users = os.path.join(self.path, "drive_c", "users")
        found = []
        for user in sorted(os.listdir(users)):
            for sub in ("Temp", os.path.join("AppData", "Local", "Temp")):
                p = os.path.join(users, user, sub)
                if os.path.isdir(p) and not os.path.islink(p):
                    found.append(p)
        return found

    def unix_path(self, windows_path):
        """winepath -u of a Windows path."""
        done = subprocess.run([LOADERS[64], "winepath", "-u", windows_path],
                              env=self.env, capture_output=True, timeout=120)
        return done.stdout.decode().strip()


def wait_for_file(path, seconds):
    """Waits until path exists (a program that runs on its own writes it)."""
    for _ in range(seconds * 10):
        if os.path.exists(path):
            return True
        time.sleep(0.1)
    return os.path.exists(path)


def main_with_skip(body):
    """Runs body(); maps Skipped to the skip exit code with its reason."""
    try:
        body()
    except Skipped as e:
        print(f"SKIPPED: {e}")
        sys.exit(SKIP)


if __name__ == "__main__":
    # ./demo asks: python3 wine_host.py can-run-32bit (exit 0 yes, 1 no, reason printed)
    if sys.argv[1:] == ["can-run-32bit"]:
        ok, why = can_run_32bit()
        print(why or "32-bit x86 programs run on this machine")
        sys.exit(0 if ok else 1)
    sys.exit(f"usage: {sys.argv[0]} can-run-32bit")
