#!/usr/bin/env python3
"""The real game in a real window on a private X server, measured against
a minimal SDL program (bench/minimal_sdl.cpp) run the same way in the same
run, and summed up in one table. Started by bench/measure-game.sh, which
builds what it needs first.

Three cases, each the game and then the minimal program in a window of the
game's size: the 4:3 picture (the default), square pixels
(VEXLO_ASPECT=off), and the 4:3 picture again with two busy loops holding
both cores (plain processes at nice 0, stopped by the script when the
window of measurement ends).

What is measured, and how:

- Game time: the game's window keeps its count of updates in the file
  named by VEXLO_PROGRESS_FILE; read at both ends of the window of
  measurement (default 20 s, from 1 s into play), it gives the updates the
  game made in it. 70 a second are due. The minimal program makes one
  update per present.
- Frames shown: both programs run with bench/present_probe.cpp preloaded,
  which notes the CLOCK_MONOTONIC time at which each frame reaches the
  window system (SDL_RenderPresent, or SDL_UpdateWindowSurface for a
  program that draws into the window's own surface). The intervals between
  them: their median, their 99th percentile and the largest. The intervals
  between the calls (the "hand-over", when the program's schedule lets the
  frame go) are shown too.
- CPU: utime + stime of the process (all its threads: SDL's audio thread,
  the renderer's) from /proc/PID/stat at both ends of the window, and per
  thread from /proc/PID/task; judged per frame shown, which compares like
  with like when one program shows fewer frames than the other.
- Memory: RssAnon from /proc/PID/status at the end of the window.
- Start-up: from just before the program is started (the time is taken
  before the fork, so the figure errs on the long side by the fork's cost)
  to the return of the first present after SDL_ShowWindow, which is the
  first update of the game (the one present before it draws the window
  while it is still hidden): SDL's X11 backend waits in SDL_ShowWindow
  until the window is mapped. For the minimal program, which opens its
  window shown, its first present. Repeated a few times (warm page cache);
  the medians count.

The traffic is the same in every run (the game's random numbers are never
seeded), so a fixed plan keeps the car clear of it for over 30 s at speed
1: stay on row 100 until play frame 1260, then nine steps up to row 55. The
plan is checked with the replay tool before the run, and a run in which
the car crashes anyway (the updates stop at the game-over screen) is
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

# Game time: 70 updates a second, within half a percent.
TARGET_UPDATES_TOLERANCE = 0.005
TARGET_CPU_RATIO = 0.25
TARGET_P99_ABOVE_MS = 1.0
TARGET_MEMORY_MB = 8.0
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
        # The same audio path for both programs; the dummy driver consumes the
        # sound at the real pace, so the module is rendered as on a sound card.
        env["SDL_AUDIODRIVER"] = self.args.audio_driver
        for assignment in self.args.env:
            name, _, value = assignment.partition("=")
            env[name] = value
        self.env = env

    def launch(self, command, log_name, extra_env=None):
        # A log of its own for every launch, so that nothing of an earlier
        # one is read as this one's.
        self.launches += 1
        log = os.path.join(self.tmp, f"{log_name}-{self.launches}.log")
        env = dict(self.env)
        env.update(extra_env or {})
        env["VEXLO_PROBE_LOG"] = log
        # Settings of their own for every launch: the game's first window
        # every time, whatever the user's runs or an earlier case left.
        env["XDG_CONFIG_HOME"] = os.path.join(self.tmp, f"config-{self.launches}")
        env["VEXLO_PROGRESS_FILE"] = os.path.join(self.tmp, f"{log_name}-{self.launches}.progress")
        env["LD_PRELOAD"] = self.args.probe
        out = open(os.path.join(self.tmp, log_name + ".out"), "w")
        started_at = now_ns()
        process = subprocess.Popen(command, cwd=self.args.root, env=env, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        self.started.append(process)
        probe = ProbeLog(log)
        probe.progress = env["VEXLO_PROGRESS_FILE"]
        return process, probe, started_at

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
        updates_begin = read_updates(probe.progress)
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
        updates_end = read_updates(probe.progress)
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

    def run_game(self, seconds, extra_env=None, busy=False):
        process, probe, started_at = self.launch([self.args.game], "game", extra_env)

        def first_frame():
            probe.refresh()
            return probe.first_frame(True) is not None

        wait_for(first_frame, 30, "the game's first frame")
        startup = self.startup_breakdown(probe, started_at, True)
        window, size = self.window_size(process.pid, TITLE)
        self.xdotool("windowfocus", "--sync", window)

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
        self.xdotool("key", "space")
        wait_for(lambda: read_updates(probe.progress) >= start_count + RATE, 30, "play to start")

        dodged = []

        def dodge(_):
            if not dodged and read_updates(probe.progress) >= start_count + DODGE_FRAME:
                dodged.append(True)
                self.started.append(subprocess.Popen(["xdotool", "key", "--delay", "20", *(["Up"] * DODGE_KEYS)],
                                                     env=self.env, start_new_session=True))

        recorder = None
        if self.args.perf and not busy and not extra_env:
            # A sampled profile of the game over the measured window.
            recorder = subprocess.Popen(["perf", "record", "-q", "-F", "997", "-e", "cpu-clock", "-g", "-p",
                                         str(process.pid), "-o", self.args.perf], stdout=subprocess.DEVNULL)
        loops = self.busy_loops(seconds) if busy else []
        try:
            result = self.measure_window(process, probe, seconds, dodge)
        finally:
            self.stop_busy_loops(loops)
        if recorder is not None:
            recorder.send_signal(signal.SIGINT)
            recorder.wait()
        result["startup"] = startup
        result["size"] = size
        result["renderer"] = probe.renderer
        # At the game-over screen the game waits for a key and makes no updates.
        result["crashed"] = result["updates"] < RATE * seconds / 2
        self.xdotool("key", "Escape")
        self.stop(process, "game")
        return result

    def run_minimal(self, seconds, size, busy=False):
        process, probe, started_at = self.launch([self.args.minimal, "--size", size], "minimal")
        wait_for(lambda: probe.refresh() or len(probe.presents) >= 2 * RATE, 30, "the minimal program's frames")
        _, shown_size = self.window_size(process.pid, "minimal_sdl")
        loops = self.busy_loops(seconds) if busy else []
        try:
            result = self.measure_window(process, probe, seconds)
        finally:
            self.stop_busy_loops(loops)
        result["updates"] = result["frames"]  # one update, one present
        result["size"] = shown_size
        result["renderer"] = probe.renderer
        result["startup"] = self.startup_breakdown(probe, started_at, False)
        self.stop(process, "minimal")
        return result

    def busy_loops(self, seconds):
        """Two processes that keep both cores busy for the window (and stop
        by themselves a little after it, should the script be killed)."""
        code = f"import time\nend = time.monotonic() + {seconds + 30}\nwhile time.monotonic() < end: pass\n"
        loops = [subprocess.Popen([sys.executable, "-c", code], start_new_session=True) for _ in range(2)]
        self.started.extend(loops)
        time.sleep(0.5)  # both running before the window begins
        return loops

    @staticmethod
    def stop_busy_loops(loops):
        for loop in loops:
            loop.kill()
            loop.wait()

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


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the build folder")
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))),
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
    cases = [("4:3", {}, False), ("square", {"VEXLO_ASPECT": "off"}, False), ("4:3, cores busy", {}, True)]
    games = {name: [] for name, _, _ in cases}
    minimals = {name: [] for name, _, _ in cases}
    startups, minimal_startups = [], []
    try:
        session.start_xvfb()
        for _ in range(args.rounds):
            for name, env, busy in cases:
                game = session.run_game(args.seconds, env, busy)
                games[name].append(game)
                minimals[name].append(session.run_minimal(args.seconds, game["size"], busy))
                if not env and not busy:
                    startups.append(game["startup"])
                    minimal_startups.append(minimals[name][-1]["startup"])
        # More start-ups of each, alternating.
        size = games["4:3"][0]["size"]
        for _ in range(args.startups):
            startups.append(session.startup_only([args.game], True))
            minimal_startups.append(session.startup_only([args.minimal, "--size", size], False))
    finally:
        session.cleanup()
    load_after = os.getloadavg()

    def med(results, key):
        return statistics.median(r[key] for r in results)

    def frame_cpu(result):
        return result["cpu"] * result["seconds"] / max(1, result["frames"]) * 1000

    def med_startup(key, results):
        values = [s[key] for s in results]
        values = [v for v in values if v == v]  # without the NaNs of events a program does not have
        return statistics.median(values) if values else float("nan")

    due = RATE * args.seconds
    tolerance = due * TARGET_UPDATES_TOLERANCE
    columns = []  # (heading, game results, minimal results)
    for name, _, _ in cases:
        columns.append((f"game {name}", games[name], minimals[name]))

    print(f"machine: {machine()}; load average {load_before[0]:.2f} before, {load_after[0]:.2f} after")
    for name, _, _ in cases:
        g, m = games[name][0], minimals[name][0]
        print(f"{name}: window {g['size']} (game), {m['size']} (minimal); "
              f"drawn by {g['renderer'] or 'the processor'} (game), {m['renderer']} (minimal)")
        for label, result in (("game", g), ("minimal", m)):
            shares = sorted(result["threads"].items(), key=lambda item: -item[1])
            print(f"  CPU by thread, {label} (share of one core): " +
                  ", ".join(f"{thread} {share:.3f}" for thread, share in shares if share >= 0.0005))
    print(f"X server: Xvfb {args.screen}; {args.rounds} round(s) of {args.seconds:g} s for each case; "
          f"{len(startups)} start-ups of each program; medians over these")
    for name, _, _ in cases:
        if any(g["crashed"] for g in games[name]):
            print(f"WARNING: the car crashed during a measured window ({name}); its figures are not of play")

    verdicts = []

    def judged(label, ok):
        verdicts.append((label, ok))
        return "met" if ok else "MISSED"

    headings = ["measure"]
    for heading, _, _ in columns:
        headings += [heading, "minimal"]
    rows = []

    def row(label, game_value, minimal_value, target="", verdict=""):
        cells = [label]
        for heading, g, m in columns:
            cells += [game_value(g, heading), minimal_value(m, heading) if minimal_value else ""]
        rows.append(cells + [target, verdict])

    def fmt(key, form):
        return lambda results, _: format(med(results, key), form)

    row("updates in the window (game time)", fmt("updates", ".0f"), fmt("updates", ".0f"),
        f"{due:.0f} +/-{tolerance:.0f}",
        judged("game time", all(abs(med(g, "updates") - due) <= tolerance for _, g, _ in columns)))
    row("updates per second", lambda r, _: f"{med(r, 'updates') / args.seconds:.1f}",
        lambda r, _: f"{med(r, 'updates') / args.seconds:.1f}")
    row("frames shown", fmt("frames", ".0f"), fmt("frames", ".0f"), f"{due:.0f} (4:3, idle)",
        judged("frames shown", abs(med(games["4:3"], "frames") - due) <= tolerance))
    row("shown: median interval (ms)", fmt("median_ms", ".2f"), fmt("median_ms", ".2f"))
    p99_ok = med(games["4:3"], "p99_ms") <= med(minimals["4:3"], "p99_ms") + TARGET_P99_ABOVE_MS
    row("shown: 99th percentile (ms)", fmt("p99_ms", ".2f"), fmt("p99_ms", ".2f"),
        f"<= minimal + {TARGET_P99_ABOVE_MS:g} (idle)", judged("99th percentile", p99_ok))
    row("shown: longest interval (ms)", fmt("max_ms", ".1f"), fmt("max_ms", ".1f"))
    row("hand-over: 99th percentile (ms)", fmt("submit_p99_ms", ".2f"), fmt("submit_p99_ms", ".2f"))
    row("CPU (share of one core)", fmt("cpu", ".3f"), fmt("cpu", ".3f"))
    row("X server's CPU meanwhile", fmt("server_cpu", ".3f"), fmt("server_cpu", ".3f"))
    row("CPU per frame shown (ms)", lambda r, _: f"{statistics.median(frame_cpu(x) for x in r):.2f}",
        lambda r, _: f"{statistics.median(frame_cpu(x) for x in r):.2f}")

    def cpu_ratio(name):
        return statistics.median(frame_cpu(g) / frame_cpu(m) for g, m in zip(games[name], minimals[name]))

    row("CPU per frame: game / minimal", lambda r, h: f"{cpu_ratio(h[5:]):.2f}", None,
        f"<= {TARGET_CPU_RATIO:g} (idle)",
        judged("CPU per frame", cpu_ratio("4:3") <= TARGET_CPU_RATIO and cpu_ratio("square") <= TARGET_CPU_RATIO))
    row("RssAnon (MB)", fmt("rss_anon_mb", ".1f"), fmt("rss_anon_mb", ".1f"))

    def memory_above(name):
        return statistics.median(g["rss_anon_mb"] - m["rss_anon_mb"] for g, m in zip(games[name], minimals[name]))

    row("RssAnon: game - minimal (MB)", lambda r, h: f"{memory_above(h[5:]):.1f}", None,
        f"<= {TARGET_MEMORY_MB:g}", judged("memory", all(memory_above(n) <= TARGET_MEMORY_MB for n, _, _ in cases)))
    game_start, minimal_start = med_startup("first", startups), med_startup("first", minimal_startups)

    def milliseconds(value):
        return f"{value:.0f}" if value == value else "-"

    def startup_cells(key):
        return (lambda _, h: milliseconds(med_startup(key, startups)) if h == "game 4:3" else "",
                lambda _, h: milliseconds(med_startup(key, minimal_startups)) if h == "game 4:3" else "")

    game_cell, minimal_cell = startup_cells("first")
    row("start-up: to the first frame (ms)", game_cell, minimal_cell,
        f"<= {TARGET_STARTUP_MS:g}, <= minimal",
        judged("start-up", game_start <= TARGET_STARTUP_MS and game_start <= minimal_start))
    for label, key in (("libraries loaded at", "loaded"), ("audio device open at", "audio"),
                       ("window created at", "window"), ("renderer created at", "renderer"),
                       ("window shown at", "shown")):
        game_cell, minimal_cell = startup_cells(key)
        row(f"  {label}", game_cell, minimal_cell)

    headings += ["target", ""]
    widths = [max(len(str(r[i])) for r in rows + [headings]) for i in range(len(headings))]
    for cells in [headings] + rows:
        print("  ".join(str(cell).ljust(widths[i]) if i == 0 else str(cell).rjust(widths[i])
                        for i, cell in enumerate(cells)).rstrip())
    missed = [label for label, ok in verdicts if not ok]
    print("targets: all met" if not missed else "targets missed: " + ", ".join(missed))


if __name__ == "__main__":
    main()
