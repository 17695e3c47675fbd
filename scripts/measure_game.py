#!/usr/bin/env python3
"""The real game in a real window on a private X server, measured against
a minimal SDL program (bench/minimal_sdl.cpp) run the same way in the same
run, and summed up in one table. Started by scripts/measure-game.sh, which
builds what it needs first.

What is measured, and how:

- Frames: both programs run with bench/present_probe.cpp preloaded, which
  notes the CLOCK_MONOTONIC time at which each SDL_RenderPresent returns,
  i.e. when each frame has been handed to the X server. One update of the
  game is one present, so the intervals between presents are the intervals
  between updates. Nothing in the game is changed for this.
- Pace: the intervals between the presents inside a window of play
  (default 20 s, starting 1 s after the game starts): their median, their
  99th percentile and the largest. SDL draws what a frame queued inside
  SDL_RenderPresent, so with a renderer that draws on the processor the
  return of the present wanders with the drawing time; the intervals
  between the calls (the "hand-over", when the program's schedule lets
  the frame go) are shown too, and tell the schedule from the drawing.
- CPU: utime + stime of the process (all its threads: SDL's audio thread,
  the renderer's) from /proc/PID/stat at both ends of the same window, and
  per thread from /proc/PID/task. The target is judged per frame shown:
  when both programs show all their frames that is the same as the ratio
  of their CPU over the window, and when one of them falls behind (on a
  busy machine) it still compares like with like.
- Memory: RssAnon from /proc/PID/status at the end of the window.
- Start-up: from just before the program is started (the time is taken
  before the fork, so the figure errs on the long side by the fork's cost)
  to the return of the first present after SDL_ShowWindow, which is the
  first update of the game (the one present before it draws the window
  while it is still hidden): SDL's X11 backend waits in SDL_ShowWindow
  until the window is mapped, and the present returns once the frame is
  drawn and handed to the X server. For the minimal program, which opens
  its window shown, its first present. Repeated a few times (warm page
  cache); the medians count.

The traffic is the same in every run (the game's random numbers are never
seeded), so a fixed plan keeps the car clear of it for over 30 s at speed
1: stay on row 100 until play frame 1260, then nine steps up to row 55. The
plan is checked with the replay tool before the run, and a run in which
the car crashes anyway (the presents stop at the game-over screen) is
reported as such.
"""

import argparse
import os
import platform
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

TITLE = "Vexlo Race by Tamsel 2001"
RATE = 70
# The plan that keeps the car clear: the start key after the title (update
# 272 in the replay tool's count), then Up nine times from play frame 1260.
DODGE_FRAME = 1260
DODGE_KEYS = 9
# Checked with the replay tool up to this play frame.
CLEAR_UNTIL = 2300

TARGET_PACE_TOLERANCE = 0.005
TARGET_P99_MS = 16.0
TARGET_CPU_RATIO = 1.25
TARGET_MEMORY_MB = 16.0
TARGET_STARTUP_MS = 150.0


def now_ns():
    return time.clock_gettime_ns(time.CLOCK_MONOTONIC)


def fail(message):
    print(f"measure-game: {message}", file=sys.stderr)
    sys.exit(1)


class ProbeLog:
    """What bench/present_probe.cpp writes, read as it grows."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.partial = ""
        self.presents = []  # monotonic ns
        self.submits = []
        self.shown = None
        self.loaded = None
        self.audio = None
        self.window = None
        self.renderer = None
        self.renderer_at = None
        self.presents_before_shown = 0

    def refresh(self):
        try:
            with open(self.path) as f:
                f.seek(self.offset)
                data = f.read()
                self.offset = f.tell()
        except FileNotFoundError:
            return
        data = self.partial + data
        lines = data.split("\n")
        self.partial = lines.pop()
        for line in lines:
            parts = line.split()
            if not parts:
                continue
            kind, when = parts[0], int(parts[1])
            if kind == "present":
                self.presents.append(when)
                if self.shown is None:
                    self.presents_before_shown += 1
            elif kind == "submit":
                self.submits.append(when)
            elif kind == "shown" and self.shown is None:
                self.shown = when
            elif kind == "loaded":
                self.loaded = when
            elif kind == "audio" and self.audio is None:
                self.audio = when
            elif kind == "window" and self.window is None:
                self.window = when
            elif kind == "renderer":
                self.renderer = " ".join(parts[2:])
                self.renderer_at = when

    def first_frame(self, shows_window):
        """The first present the window shows: after SDL_ShowWindow for a
        program that makes its window hidden and shows it later."""
        if shows_window:
            if self.shown is None or len(self.presents) <= self.presents_before_shown:
                return None
            return self.presents[self.presents_before_shown]
        return self.presents[0] if self.presents else None


def wait_for(condition, timeout, what, poll=0.01):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if condition():
            return
        time.sleep(poll)
    fail(f"timed out waiting for {what}")


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


def percentile(sorted_values, fraction):
    """Nearest-rank percentile."""
    if not sorted_values:
        return float("nan")
    rank = max(1, int(-(-fraction * len(sorted_values) // 1)))
    return sorted_values[min(rank, len(sorted_values)) - 1]


class Session:
    def __init__(self, args):
        self.args = args
        self.tmp = tempfile.mkdtemp(prefix="measure-game-")
        self.started = []
        self.xvfb = None
        self.env = None
        self.launches = 0

    def start_xvfb(self):
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{self.args.screen}x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as r:
            number = r.readline().strip()
        if not number:
            fail("Xvfb did not start")
        env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "SDL_VIDEODRIVER", "SDL_RENDER_DRIVER"):
            env.pop(name, None)
        env["DISPLAY"] = f":{number}"
        env["VEXLO_NO_MESSAGE_BOX"] = "1"
        # The game's first window every time, whatever the user's own runs
        # left in their settings.
        env["XDG_CONFIG_HOME"] = os.path.join(self.tmp, "config")
        # The same audio path for both programs; the dummy driver consumes the
        # sound at the real pace, so the module is rendered as on a sound card.
        env["SDL_AUDIODRIVER"] = self.args.audio_driver
        for assignment in self.args.env:
            name, _, value = assignment.partition("=")
            env[name] = value
        self.env = env

    def launch(self, command, log_name):
        # A log of its own for every launch, so that nothing of an earlier
        # one is read as this one's.
        self.launches += 1
        log = os.path.join(self.tmp, f"{log_name}-{self.launches}.log")
        env = dict(self.env)
        env["VEXLO_PROBE_LOG"] = log
        env["LD_PRELOAD"] = self.args.probe
        out = open(os.path.join(self.tmp, log_name + ".out"), "w")
        started_at = now_ns()
        process = subprocess.Popen(command, cwd=self.args.root, env=env, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        self.started.append(process)
        return process, ProbeLog(log), started_at

    def output_of(self, log_name):
        try:
            with open(os.path.join(self.tmp, log_name + ".out")) as f:
                return f.read().strip()
        except OSError:
            return ""

    def xdotool(self, *arguments):
        return subprocess.run(["xdotool", *arguments], env=self.env, capture_output=True, text=True,
                              timeout=15).stdout.strip()

    def window_size(self, pid, name):
        ids = self.xdotool("search", "--sync", "--onlyvisible", "--name", f"^{name}$").split()
        if not ids:
            fail(f"no window titled {name}")
        geometry = dict(line.split("=", 1) for line in
                        self.xdotool("getwindowgeometry", "--shell", ids[0]).splitlines() if "=" in line)
        return ids[0], f"{geometry['WIDTH']}x{geometry['HEIGHT']}"

    def stop(self, process, log_name):
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
        try:
            status = process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            status = process.wait()
        if status != 0:
            fail(f"{log_name} ended with status {status}: {self.output_of(log_name)}")

    def cleanup(self):
        for process in self.started:
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                process.wait()
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait()
        subprocess.run(["rm", "-rf", self.tmp])

    def measure_window(self, process, probe, seconds, during=None):
        """CPU, memory and presents over `seconds` from now; `during` is
        called every 20 ms or so with the probe's present count."""
        pid = process.pid
        probe.refresh()
        begin = now_ns()
        ticks_begin = cpu_ticks(pid)
        threads_begin = thread_ticks(pid)
        server_begin = cpu_ticks(self.xvfb.pid)
        end = begin + int(seconds * 1e9)
        while now_ns() < end:
            if process.poll() is not None:
                fail(f"the program ended during the measurement (status {process.returncode})")
            probe.refresh()
            if during is not None:
                during(len(probe.presents))
            time.sleep(0.02)
        ticks_end = cpu_ticks(pid)
        threads_end = thread_ticks(pid)
        server_end = cpu_ticks(self.xvfb.pid)
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

    def run_game(self, seconds):
        process, probe, started_at = self.launch([self.args.game], "game")

        def first_frame():
            probe.refresh()
            return probe.first_frame(True) is not None

        wait_for(first_frame, 30, "the game's first frame")
        startup = self.startup_breakdown(probe, started_at, True)
        window, size = self.window_size(process.pid, TITLE)
        self.xdotool("windowfocus", "--sync", window)

        # The intro and the title's reveal take 271 updates; then the game
        # waits for a key and stops presenting.
        def title_waiting():
            probe.refresh()
            return len(probe.presents) >= 272 and now_ns() - probe.presents[-1] > 300_000_000

        wait_for(title_waiting, 60, "the title screen")
        start_count = len(probe.presents)
        self.xdotool("key", "space")
        wait_for(lambda: probe.refresh() or len(probe.presents) >= start_count + RATE, 30, "play to start")

        dodged = []

        def dodge(count):
            if not dodged and count >= start_count + DODGE_FRAME:
                dodged.append(count)
                self.started.append(subprocess.Popen(["xdotool", "key", "--delay", "20", *(["Up"] * DODGE_KEYS)],
                                                     env=self.env, start_new_session=True))

        recorder = None
        if self.args.perf:
            # A sampled profile of the game over the measured window.
            recorder = subprocess.Popen(["perf", "record", "-q", "-F", "997", "-e", "cpu-clock", "-g", "-p",
                                         str(process.pid), "-o", self.args.perf], stdout=subprocess.DEVNULL)
        result = self.measure_window(process, probe, seconds, dodge)
        if recorder is not None:
            recorder.send_signal(signal.SIGINT)
            recorder.wait()
        result["startup"] = startup
        result["size"] = size
        result["renderer"] = probe.renderer
        # At the game-over screen the game waits for a key and shows nothing.
        result["crashed"] = result["max_ms"] > 500
        self.xdotool("key", "Escape")
        self.stop(process, "game")
        return result

    def run_minimal(self, seconds, size):
        process, probe, started_at = self.launch([self.args.minimal, "--size", size], "minimal")
        wait_for(lambda: probe.refresh() or len(probe.presents) >= 2 * RATE, 30, "the minimal program's frames")
        _, shown_size = self.window_size(process.pid, "minimal_sdl")
        result = self.measure_window(process, probe, seconds)
        result["size"] = shown_size
        result["renderer"] = probe.renderer
        result["startup"] = self.startup_breakdown(probe, started_at, False)
        self.stop(process, "minimal")
        return result

    @staticmethod
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

    def startup_only(self, command, shows_window):
        process, probe, started_at = self.launch(command, "startup")

        def first_frame():
            probe.refresh()
            return probe.first_frame(shows_window) is not None

        wait_for(first_frame, 30, "the first frame")
        result = self.startup_breakdown(probe, started_at, shows_window)
        self.stop(process, "startup")
        return result


def check_plan(args):
    """Replays the plan with the real game logic: no crash before CLEAR_UNTIL."""
    with tempfile.TemporaryDirectory() as out:
        keys = os.path.join(out, "plan.keys")
        with open(keys, "w") as f:
            f.write("272 13\n")
            for i in range(DODGE_KEYS):
                f.write(f"{272 + DODGE_FRAME + i} 38\n")
            f.write(f"{272 + CLEAR_UNTIL} 27\n")
        subprocess.run([args.replay, "--keys", keys, "--out", out, "--max-updates", str(272 + CLEAR_UNTIL + 10)],
                       cwd=args.root, check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(out, "sound.txt")) as f:
            crashes = [line.split()[0] for line in f if "FSOUND_PlaySound" in line]
    if crashes:
        fail(f"the dodge plan no longer keeps the car clear: the car crashes at update {crashes[0]}; "
             "the traffic has changed, so DODGE_FRAME and DODGE_KEYS need a new plan")


def machine():
    model, cores = platform.processor() or "?", os.cpu_count()
    try:
        for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
            if line.startswith("Model name:"):
                model = line.split(":", 1)[1].strip()
    except OSError:
        pass
    return f"{model}, {cores} cores"


def verdict(ok):
    return "met" if ok else "MISSED"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the build folder")
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))),
                        help="the source tree (data/ is read from here)")
    parser.add_argument("--seconds", type=float, default=20.0, help="length of each measured window")
    parser.add_argument("--rounds", type=int, default=1, help="game and minimal program, each this many times")
    parser.add_argument("--startups", type=int, default=5, help="extra start-up measurements of each program")
    parser.add_argument("--screen", default="1920x1080", help="the X server's screen size")
    parser.add_argument("--audio-driver", default="dummy")
    parser.add_argument("--perf", metavar="FILE", help="also record a perf profile of the game's window here")
    parser.add_argument("--env", action="append", default=[], metavar="NAME=VALUE",
                        help="set for both programs (e.g. SDL_RENDER_DRIVER=software)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    args.game = os.path.join(build, "vexlo-race")
    args.minimal = os.path.join(build, "minimal_sdl")
    args.replay = os.path.join(build, "replay")
    args.probe = os.path.join(build, "libpresent_probe.so")
    for path in (args.game, args.minimal, args.replay, args.probe):
        if not os.path.exists(path):
            fail(f"{path} is missing: build it first")
    for tool in ["Xvfb", "xdotool"] + (["perf"] if args.perf else []):
        if shutil.which(tool) is None:
            fail(f"{tool} is not installed")

    check_plan(args)
    session = Session(args)
    load_before = os.getloadavg()
    games, minimals, startups, minimal_startups = [], [], [], []
    try:
        session.start_xvfb()
        for _ in range(args.rounds):
            game = session.run_game(args.seconds)
            games.append(game)
            startups.append(game["startup"])
            minimals.append(session.run_minimal(args.seconds, game["size"]))
            minimal_startups.append(minimals[-1]["startup"])
        # More start-ups of each, alternating.
        for _ in range(args.startups):
            startups.append(session.startup_only([args.game], True))
            minimal_startups.append(session.startup_only([args.minimal, "--size", games[0]["size"]], False))
    finally:
        session.cleanup()
    load_after = os.getloadavg()

    def med(results, key):
        return statistics.median(r[key] for r in results)

    def med_startup(key, results=None):
        values = [s[key] for s in (results if results is not None else startups)]
        values = [v for v in values if v == v]  # without the NaNs of events a program does not have
        return f"{statistics.median(values):.0f}" if values else "-"

    frame_ms = 1000.0 / RATE
    g_median, g_p99 = med(games, "median_ms"), med(games, "p99_ms")
    m_median, m_p99 = med(minimals, "median_ms"), med(minimals, "p99_ms")
    g_cpu, m_cpu = med(games, "cpu"), med(minimals, "cpu")
    cpu_ratio = statistics.median(g["cpu"] / m["cpu"] for g, m in zip(games, minimals))
    g_frame_cpu = statistics.median(g["cpu"] * g["seconds"] / max(1, g["frames"]) * 1000 for g in games)
    m_frame_cpu = statistics.median(m["cpu"] * m["seconds"] / max(1, m["frames"]) * 1000 for m in minimals)
    frame_ratio = g_frame_cpu / m_frame_cpu
    memory_above = statistics.median(g["rss_anon_mb"] - m["rss_anon_mb"] for g, m in zip(games, minimals))
    startup = statistics.median(s["first"] for s in startups)
    pace_ok = abs(g_median - frame_ms) <= frame_ms * TARGET_PACE_TOLERANCE

    print(f"machine: {machine()}; load average {load_before[0]:.2f} before, {load_after[0]:.2f} after")
    print(f"X server: Xvfb {args.screen}; window {games[0]['size']} (game), {minimals[0]['size']} (minimal); "
          f"renderer: {games[0]['renderer']} (game), {minimals[0]['renderer']} (minimal)")
    for label, results in (("game", games), ("minimal", minimals)):
        shares = sorted(results[0]["threads"].items(), key=lambda item: -item[1])
        print(f"CPU by thread, {label} (share of one core): " +
              ", ".join(f"{name} {share:.3f}" for name, share in shares if share >= 0.0005))
    print(f"{args.rounds} round(s) of {args.seconds:g} s each; {len(startups)} start-ups of each program; "
          "medians over these")
    if any(g["crashed"] for g in games):
        print("WARNING: the car crashed during a measured window; its figures are not of play")
    rows = [
        ("pace: median interval (ms)", f"{g_median:.3f}", f"{m_median:.3f}",
         f"{frame_ms:.3f} +/-0.5%", verdict(pace_ok)),
        ("pace: 99th percentile (ms)", f"{g_p99:.2f}", f"{m_p99:.2f}", f"< {TARGET_P99_MS:g}",
         verdict(g_p99 < TARGET_P99_MS)),
        ("pace: longest interval (ms)", f"{med(games, 'max_ms'):.2f}", f"{med(minimals, 'max_ms'):.2f}", "", ""),
        ("hand-over: median interval (ms)", f"{med(games, 'submit_median_ms'):.3f}",
         f"{med(minimals, 'submit_median_ms'):.3f}", "", ""),
        ("hand-over: 99th percentile (ms)", f"{med(games, 'submit_p99_ms'):.2f}",
         f"{med(minimals, 'submit_p99_ms'):.2f}", "", ""),
        ("frames shown in the window", f"{med(games, 'frames'):.0f}", f"{med(minimals, 'frames'):.0f}",
         f"{RATE * args.seconds:.0f}", ""),
        ("CPU (share of one core)", f"{g_cpu:.3f}", f"{m_cpu:.3f}", "", ""),
        ("CPU: game / minimal", f"{cpu_ratio:.2f}", "", "", ""),
        ("X server's CPU meanwhile", f"{med(games, 'server_cpu'):.3f}", f"{med(minimals, 'server_cpu'):.3f}", "", ""),
        ("CPU per frame shown (ms)", f"{g_frame_cpu:.2f}", f"{m_frame_cpu:.2f}", "", ""),
        ("CPU per frame: game / minimal", f"{frame_ratio:.2f}", "", f"<= {TARGET_CPU_RATIO:g}",
         verdict(frame_ratio <= TARGET_CPU_RATIO)),
        ("RssAnon (MB)", f"{med(games, 'rss_anon_mb'):.1f}", f"{med(minimals, 'rss_anon_mb'):.1f}", "", ""),
        ("RssAnon: game - minimal (MB)", f"{memory_above:.1f}", "", f"<= {TARGET_MEMORY_MB:g}",
         verdict(memory_above <= TARGET_MEMORY_MB)),
        ("start-up: to first frame (ms)", f"{startup:.0f}", med_startup("first", minimal_startups),
         f"<= {TARGET_STARTUP_MS:g}", verdict(startup <= TARGET_STARTUP_MS)),
        ("  libraries loaded at", med_startup("loaded"), med_startup("loaded", minimal_startups), "", ""),
        ("  audio device open at", med_startup("audio"), med_startup("audio", minimal_startups), "", ""),
        ("  window created at", med_startup("window"), med_startup("window", minimal_startups), "", ""),
        ("  renderer created at", med_startup("renderer"), med_startup("renderer", minimal_startups), "", ""),
        ("  window shown at", med_startup("shown"), med_startup("shown", minimal_startups), "", ""),
    ]
    header = ("measure", "game", "minimal", "target", "")
    widths = [max(len(str(r[i])) for r in rows + [header]) for i in range(5)]
    for row in [header] + rows:
        print("  ".join(str(cell).ljust(widths[i]) if i == 0 else str(cell).rjust(widths[i])
                        for i, cell in enumerate(row)).rstrip())


if __name__ == "__main__":
    main()
