"""What the benchmark reads about a Windows program's Linux process from /proc: which process
runs it, its CPU time and its peak memory.

The harness starts a 64-bit program through Wine's 64-bit loader and a 32-bit one through
`wine`, so each runs in its launcher's own process; but a loader handed a program of the other
width (with the 32-bit Wine installed, `wine` given a 64-bit program turns into start.exe)
starts it as a second Linux process and waits for it. So the program's process is looked up by
its name among the processes of the launcher's session (the launcher is started in a session
of its own)."""

import os

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def _fields_of_stat(text):
    """The fields of /proc/<pid>/stat after the command name. The name, in parentheses, may
    itself hold spaces and parentheses: fields are counted after its last closing one, so
    state (field 3, 1-based) is the first."""
    return text.rsplit(")", 1)[1].split()


def cpu_seconds_of_stat(text):
    """utime + stime in seconds (fields 14 and 15) from the text of /proc/<pid>/stat."""
    fields = _fields_of_stat(text)
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def cpu_seconds(pid):
    """CPU time of the whole process (all its threads) so far."""
    with open("/proc/%d/stat" % pid) as f:
        return cpu_seconds_of_stat(f.read())


def peak_memory_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def program_name(argv0):
    """The file name, in lower case, of a process's first argument: a Unix path for a
    program that runs in the launcher's process, a Windows path for one started from it."""
    return argv0.replace("\\", "/").rsplit("/", 1)[-1].lower()


def find_program(processes, session, exe):
    """The pid running `exe` among (pid, session, first argument) entries, looking only in
    `session`: other runs of the same program on the machine are not ours. None while the
    program is not there yet (its process shows the loader's name until it is loaded)."""
    name = os.path.basename(exe).lower()
    for pid, sid, argv0 in processes:
        if sid == session and program_name(argv0) == name:
            return pid
    return None


def session_processes():
    """(pid, session, first argument) of every process that can still be read."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                session = int(_fields_of_stat(f.read())[3])
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                argv0 = f.read().split(b"\0")[0].decode("latin-1")
        except (OSError, IndexError, ValueError):
            continue
        yield int(entry), session, argv0

