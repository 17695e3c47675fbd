"""One measured run of each program, and the start-ups: what each returns
is a dict of figures, which report.py puts in the table."""

import os
import signal
import statistics
import subprocess
import time

from basics import fail, now_ns, percentile, wait_for
from plan import DODGE_FRAME, DODGE_KEYS, RATE, TITLE
from procfs import cpu_ticks, read_updates, status_kb, thread_ticks


def measure_window(session, process, probe, seconds, during=None):
    """CPU, memory and presents over `seconds` from now; `during` is
    called every 20 ms or so with the probe's present count."""
    pid = process.pid
    probe.refresh()
    begin = now_ns()
    updates_begin = read_updates(probe.progress)
    ticks_begin = cpu_ticks(pid)
    threads_begin = thread_ticks(pid)
    server_begin = cpu_ticks(session.xvfb.pid)
    end = begin + int(seconds * 1e9)
    while now_ns() < end:
        if process.poll() is not None:
            fail(f"the program ended during the measurement (status {process.returncode})")
        probe.refresh()
        if during is not None:
            during(len(probe.presents))
        time.sleep(0.02)
    ticks_end = cpu_ticks(pid)
    updates_end = read_updates(probe.progress)
    threads_end = thread_ticks(pid)
    server_end = cpu_ticks(session.xvfb.pid)
    finished = now_ns()
    rss_anon = status_kb(pid, "RssAnon")
    probe.refresh()
    shown = [t for t in probe.presents if begin <= t <= finished]
    intervals = sorted((b - a) / 1e6 for a, b in zip(shown, shown[1:]))
    submitted = [t for t in probe.submits if begin <= t <= finished]
    submit_intervals = sorted((b - a) / 1e6 for a, b in zip(submitted, submitted[1:]))
    clock_tick = os.sysconf("SC_CLK_TCK")
    window_s = (finished - begin) / 1e9
    by_thread = {}
    for tid, (name, ticks) in threads_end.items():
        used = ticks - threads_begin.get(tid, (name, 0))[1]
        by_thread[name] = by_thread.get(name, 0) + used / clock_tick / window_s
    return {
        "updates": updates_end - updates_begin,
        "threads": by_thread,
        "server_cpu": (server_end - server_begin) / clock_tick / window_s,
        "cpu": (ticks_end - ticks_begin) / clock_tick / ((finished - begin) / 1e9),
        "rss_anon_mb": rss_anon / 1024,
        "frames": len(shown),
        "seconds": (finished - begin) / 1e9,
        "median_ms": statistics.median(intervals) if intervals else float("nan"),
        "p99_ms": percentile(intervals, 0.99),
        "max_ms": intervals[-1] if intervals else float("nan"),
        "submit_median_ms": statistics.median(submit_intervals) if submit_intervals else float("nan"),
        "submit_p99_ms": percentile(submit_intervals, 0.99),
    }


def start_play(session, probe):
    """Waits for the title to wait for a key, then starts play; gives the
    update count at the start key."""
    # The intro and the title's reveal take 271 updates; then the game
    # waits for a key and makes no more.
    seen = {"count": -1, "since": now_ns()}

    def title_waiting():
        count = read_updates(probe.progress)
        if count != seen["count"]:
            seen.update(count=count, since=now_ns())
        return count >= 271 and now_ns() - seen["since"] > 300_000_000

    wait_for(title_waiting, 60, "the title screen")
    start_count = read_updates(probe.progress)
    session.xdotool("key", "space")
    wait_for(lambda: read_updates(probe.progress) >= start_count + RATE, 30, "play to start")
    return start_count


def run_game(session, seconds, extra_env=None, busy=False):
    args = session.args
    process, probe, started_at = session.launch([args.game], "game", extra_env)

    def first_frame():
        probe.refresh()
        return probe.first_frame(True) is not None

    wait_for(first_frame, 30, "the game's first frame")
    startup = startup_breakdown(probe, started_at, True)
    window, size = session.window_size(process.pid, TITLE)
    session.xdotool("windowfocus", "--sync", window)
    start_count = start_play(session, probe)

    dodged = []

    def dodge(_):
        if not dodged and read_updates(probe.progress) >= start_count + DODGE_FRAME:
            dodged.append(True)
            session.started.append(subprocess.Popen(["xdotool", "key", "--delay", "20", *(["Up"] * DODGE_KEYS)],
                                                    env=session.env, start_new_session=True))

    recorder = None
    if args.perf and not busy and not extra_env:
        # A sampled profile of the game over the measured window.
        recorder = subprocess.Popen(["perf", "record", "-q", "-F", "997", "-e", "cpu-clock", "-g", "-p",
                                     str(process.pid), "-o", args.perf], stdout=subprocess.DEVNULL)
    loops = session.busy_loops(seconds) if busy else []
    try:
        result = measure_window(session, process, probe, seconds, dodge)
    finally:
        session.stop_busy_loops(loops)
    if recorder is not None:
        recorder.send_signal(signal.SIGINT)
        recorder.wait()
    result["startup"] = startup
    result["size"] = size
    result["renderer"] = probe.renderer
    # At the game-over screen the game waits for a key and makes no updates.
    result["crashed"] = result["updates"] < RATE * seconds / 2
    session.xdotool("key", "Escape")
    session.stop(process, "game")
    return result


def run_minimal(session, seconds, size, busy=False):
    process, probe, started_at = session.launch([session.args.minimal, "--size", size], "minimal")
    wait_for(lambda: probe.refresh() or len(probe.presents) >= 2 * RATE, 30, "the minimal program's frames")
    _, shown_size = session.window_size(process.pid, "minimal_sdl")
    loops = session.busy_loops(seconds) if busy else []
    try:
        result = measure_window(session, process, probe, seconds)
    finally:
        session.stop_busy_loops(loops)
    result["updates"] = result["frames"]  # one update, one present
    result["size"] = shown_size
    result["renderer"] = probe.renderer
    result["startup"] = startup_breakdown(probe, started_at, False)
    session.stop(process, "minimal")
    return result


def startup_breakdown(probe, started_at, shows_window):
    def since(t):
        return (t - started_at) / 1e6 if t is not None else float("nan")

    return {
        "loaded": since(probe.loaded),
        "audio": since(probe.audio),
        "window": since(probe.window),
        "renderer": since(probe.renderer_at),
        "shown": since(probe.shown),
        "first": since(probe.first_frame(shows_window)),
    }


def startup_only(session, command, shows_window):
    process, probe, started_at = session.launch(command, "startup")

    def first_frame():
        probe.refresh()
        return probe.first_frame(shows_window) is not None

    wait_for(first_frame, 30, "the first frame")
    result = startup_breakdown(probe, started_at, shows_window)
    session.stop(process, "startup")
    return result
