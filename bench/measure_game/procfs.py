"""What is read of a running program: its update count from its progress
file, and its processor time and memory from /proc."""

import os


def read_updates(path):
    """The game's update count from its progress file (0 before the first)."""
    try:
        with open(path) as f:
            return int(f.read().split()[0])
    except (OSError, IndexError, ValueError):
        return 0


def cpu_ticks(pid):
    with open(f"/proc/{pid}/stat") as f:
        data = f.read()
    fields = data[data.rindex(")") + 2:].split()
    return int(fields[11]) + int(fields[12])  # utime, stime


def thread_ticks(pid):
    """utime + stime of each thread, by thread id: (name, ticks)."""
    result = {}
    try:
        tids = os.listdir(f"/proc/{pid}/task")
    except FileNotFoundError:
        return result
    for tid in tids:
        try:
            with open(f"/proc/{pid}/task/{tid}/stat") as f:
                data = f.read()
        except FileNotFoundError:
            continue
        name = data[data.index("(") + 1:data.rindex(")")]
        fields = data[data.rindex(")") + 2:].split()
        result[tid] = (name, int(fields[11]) + int(fields[12]))
    return result


def status_kb(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0
