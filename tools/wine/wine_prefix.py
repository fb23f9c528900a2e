"""The shared Wine prefix, the wine server and the processes around them: how a prefix is made,
kept and restored, the one way the wine server is stopped, which Wine loader starts a program,
the private Xvfb display, and whether this machine can run the build under test at all."""

import ctypes
import ctypes.util
import glob
import os
import select
import shutil
import signal
import struct
import subprocess
import time

SCREEN_WIDTH = 1024
SCREEN_HEIGHT = 768
SETUP_TIMEOUT = 300  # creating a prefix takes 10-20 s on an idle machine
DEFAULT_TIMEOUT = 60
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
AEDEBUG_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug"
REGISTRY_FILES = ("system.reg", "user.reg", "userdef.reg")
SKIP_TEXT = "QUILLET-SKIPPED:"  # tests/e2e/CMakeLists.txt reports a scenario that prints it skipped
RUNS_32BIT = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "runs-32bit.sh")
# Debian keeps the 64-bit loader out of PATH; `wine` is the 32-bit one wherever wine32 is
# installed, and hands a 64-bit program to Wine's start.exe, which now and then fails to start
# it or leaves its dialog without the keyboard.
WINE64 = shutil.which("wine64") or "/usr/lib/wine/wine64"
_IMAGE_FILE_MACHINE_AMD64 = 0x8664

_LIBC = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
_PR_SET_PDEATHSIG = 1


def die_with_test():
    """Runs in each child before exec: should the test process be killed (a ctest timeout),
    the kernel ends Xvfb and the wine launchers too instead of leaving them behind."""
    _LIBC.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)


def kill_group(proc):
    """Ends a process started in its own session, and everything it started there."""
    if proc.poll() is None:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    try:
        proc.wait(DEFAULT_TIMEOUT)
    except subprocess.TimeoutExpired:
        pass


def wait_until(predicate, timeout=DEFAULT_TIMEOUT, interval=0.1, what="condition"):
    """Calls predicate until it returns something true and returns that; raises
    TimeoutError naming `what` when `timeout` seconds pass first."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError("timed out after %g s waiting for %s" % (timeout, what))
        time.sleep(interval)


def env_path(name):
    value = os.environ.get(name)
    if not value:
        raise RuntimeError("%s is not set; run the test through ctest" % name)
    return value


def prefix_env(prefix, display=None):
    env = dict(os.environ)
    env.update(WINE_ENV)
    env["WINEPREFIX"] = prefix
    if display is not None:
        env["DISPLAY"] = display
    return env


def is_64bit_program(path):
    """True for a Windows program built for x86-64, read from its PE header."""
    try:
        with open(path, "rb") as f:
            head = f.read(4096)
        at = struct.unpack_from("<I", head, 0x3C)[0]
        return (head[:2] == b"MZ" and head[at:at + 4] == b"PE\0\0"
                and struct.unpack_from("<H", head, at + 4)[0] == _IMAGE_FILE_MACHINE_AMD64)
    except (OSError, struct.error):
        return False


def loader_for(program):
    """The Wine loader that runs `program` in the launcher's own process: the 64-bit one for a
    64-bit program, `wine` for everything else (32-bit programs and Wine's built-in ones)."""
    if is_64bit_program(program) and os.access(WINE64, os.X_OK):
        return WINE64
    return "wine"


def stop_wineserver(env, timeout=DEFAULT_TIMEOUT):
    """Ends every Wine process of the prefix and waits for its server to go."""
    subprocess.run(["wineserver", "-k"], env=env, timeout=DEFAULT_TIMEOUT,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        subprocess.run(["wineserver", "-w"], env=env, timeout=timeout)
    except subprocess.TimeoutExpired:
        subprocess.run(["wineserver", "-k9"], env=env, timeout=DEFAULT_TIMEOUT)


def build_bits():
    """32 or 64: the width of the .scr and helpers under test."""
    return int(os.environ.get("QUILLET_BITS", "64"))


def kernel_runs_32bit():
    return subprocess.run([RUNS_32BIT], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL).returncode == 0


def why_build_cannot_run():
    """The reason this machine cannot run the build under test, or None when it can. A probe
    that could not tell (status 2, a broken temporary folder) counts as no; its -v line says
    which it was and why."""
    if build_bits() != 32 or not os.environ.get("QUILLET_SCR"):
        return None
    probe = subprocess.run([RUNS_32BIT, "-v"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.PIPE, text=True)
    if probe.returncode == 0:
        return None
    return "%s, so the 32-bit quillet.scr cannot start under Wine here" % probe.stderr.strip()


def start_xvfb(timeout=DEFAULT_TIMEOUT, size=(SCREEN_WIDTH, SCREEN_HEIGHT), depth=24):
    """Starts Xvfb with one screen of size (width, height) and `depth` bits per pixel on a free
    display; returns (Popen, ":N") once the display answers."""
    read_end, write_end = os.pipe()
    # -noreset: an X server resets when its last client leaves (Wine restarted, a grab's own
    # connection closed), and a connection that arrives meanwhile is dropped.
    proc = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx%d" % (size + (depth,)),
         "-nolisten", "tcp", "-noreset"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        start_new_session=True, preexec_fn=die_with_test)
    os.close(write_end)
    try:
        number = b""
        deadline = time.monotonic() + timeout
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], max(0, deadline - time.monotonic()))
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                raise RuntimeError("Xvfb did not report a display")
            number += chunk
        display = ":" + number.decode().strip()
        wait_until(lambda: subprocess.run(["xdpyinfo", "-display", display],
                                          stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL).returncode == 0,
                   timeout, 0.2, "Xvfb to answer")
        return proc, display
    except BaseException:
        kill_group(proc)
        raise
    finally:
        os.close(read_end)


def _pristine_dir(prefix):
    return prefix.rstrip("/") + ".registry"


def _wow_kernel32(prefix):
    """The 32-bit system folder's kernel32.dll: without it no 32-bit program starts."""
    return os.path.join(prefix, "drive_c", "windows", "syswow64", "kernel32.dll")


def restore_registry(prefix):
    pristine = _pristine_dir(prefix)
    for name in REGISTRY_FILES:
        shutil.copy2(os.path.join(pristine, name), os.path.join(prefix, name))


def remove_user_settings(prefix):
    """Removes the user's own copy of the settings a scenario may have left in the prefix."""
    for folder in glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Roaming",
                                         "Quillet")):
        shutil.rmtree(folder)


def setup_prefix(prefix):
    """Creates the shared prefix: a virtual desktop named Default of 1024x768 and no crash
    debugger. Keeps a copy of its registry so every WineDesktop starts from it."""
    if os.path.exists(prefix):
        cleanup_prefix(prefix)
    shutil.rmtree(prefix, ignore_errors=True)
    shutil.rmtree(_pristine_dir(prefix), ignore_errors=True)
    os.makedirs(os.path.dirname(prefix.rstrip("/")), exist_ok=True)
    xvfb, display = start_xvfb()
    env = prefix_env(prefix, display)
    try:
        subprocess.run(["wineboot", "-i"], env=env, timeout=SETUP_TIMEOUT, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        settings = [
            (r"HKCU\Software\Wine\Explorer", "Desktop", "Default"),
            (r"HKCU\Software\Wine\Explorer\Desktops", "Default",
             "%dx%d" % (SCREEN_WIDTH, SCREEN_HEIGHT)),
            # Without a debugger to start, UnhandledExceptionFilter lets the program's own
            # guard handle a fault instead of winedbg ending the process. Each width of
            # program reads its own view of the key; named explicitly, because with the
            # 32-bit Wine installed `wine reg` is itself a 32-bit program and would write
            # both into the 32-bit view.
            (AEDEBUG_KEY, "Debugger", "", "/reg:64"),
            (AEDEBUG_KEY, "Debugger", "", "/reg:32"),
            (r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "0"),
        ]
        for key, name, value, *view in settings:
            kind = "REG_DWORD" if name == "ShowCrashDialog" else "REG_SZ"
            subprocess.run(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", value,
                            "/f"] + view, env=env, timeout=SETUP_TIMEOUT, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    finally:
        stop_wineserver(env, SETUP_TIMEOUT)
        kill_group(xvfb)
    # Without the 32-bit Wine the prefix has no 32-bit system folder and the product cannot
    # start: on a machine that runs 32-bit programs that is a set-up fault, not a skip.
    wow_kernel = _wow_kernel32(prefix)
    if kernel_runs_32bit() and not os.path.exists(wow_kernel):
        raise RuntimeError("the prefix has no 32-bit system folder (%s): install wine32 with "
                           "tools/install-deps.sh" % wow_kernel)
    os.makedirs(_pristine_dir(prefix))
    for name in REGISTRY_FILES:
        shutil.copy2(os.path.join(prefix, name), os.path.join(_pristine_dir(prefix), name))


def kept_prefix_is_stale(prefix, runs_32bit):
    """True when a prefix kept between runs must be made again: it was never finished (no
    copy of its registry), or it was made before the 32-bit Wine was installed, so its
    syswow64 is empty and wine starts nothing in it."""
    if not os.path.exists(os.path.join(_pristine_dir(prefix), "user.reg")):
        return True
    return runs_32bit and not os.path.exists(_wow_kernel32(prefix))


def cleanup_prefix(prefix):
    """Stops the prefix's wineserver, should a test have left one behind."""
    stop_wineserver(prefix_env(prefix))
