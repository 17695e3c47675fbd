"""The figures of all runs summed up: a few lines on the machine and the
threads, then one table of medians with a verdict for each target."""

import os
import platform
import statistics
import subprocess

from plan import (CASES, RATE, TARGET_CPU_RATIO, TARGET_MEMORY_MB, TARGET_P99_ABOVE_MS, TARGET_STARTUP_MS,
                  TARGET_UPDATES_TOLERANCE)


def machine():
    model, cores = platform.processor() or "?", os.cpu_count()
    try:
        for line in subprocess.run(["lscpu"], capture_output=True, text=True).stdout.splitlines():
            if line.startswith("Model name:"):
                model = line.split(":", 1)[1].strip()
    except OSError:
        pass
    return f"{model}, {cores} cores"


def med(results, key):
    return statistics.median(r[key] for r in results)


def frame_cpu(result):
    return result["cpu"] * result["seconds"] / max(1, result["frames"]) * 1000


def med_startup(key, results):
    values = [s[key] for s in results]
    values = [v for v in values if v == v]  # without the NaNs of events a program does not have
    return statistics.median(values) if values else float("nan")


def milliseconds(value):
    return f"{value:.0f}" if value == value else "-"


def fmt(key, form):
    return lambda results, _: format(med(results, key), form)


class Report:
    """games and minimals: the results of each case by its name; startups
    and minimal_startups: the start-ups of each program."""

    def __init__(self, args, games, minimals, startups, minimal_startups):
        self.args = args
        self.games, self.minimals = games, minimals
        self.startups, self.minimal_startups = startups, minimal_startups
        self.columns = [(f"game {name}", games[name], minimals[name]) for name, _, _ in CASES]
        self.headings = ["measure"]
        for heading, _, _ in self.columns:
            self.headings += [heading, "minimal"]
        self.headings += ["target", ""]
        self.rows = []
        self.verdicts = []

    def print(self, load_before, load_after):
        self.print_summary(load_before, load_after)
        self.add_pace_rows()
        self.add_cpu_rows()
        self.add_memory_rows()
        self.add_startup_rows()
        self.print_table()

    def print_summary(self, load_before, load_after):
        args, games, minimals = self.args, self.games, self.minimals
        print(f"machine: {machine()}; load average {load_before[0]:.2f} before, {load_after[0]:.2f} after")
        for name, _, _ in CASES:
            g, m = games[name][0], minimals[name][0]
            print(f"{name}: window {g['size']} (game), {m['size']} (minimal); "
                  f"drawn by {g['renderer'] or 'the processor'} (game), {m['renderer']} (minimal)")
            for label, result in (("game", g), ("minimal", m)):
                shares = sorted(result["threads"].items(), key=lambda item: -item[1])
                print(f"  CPU by thread, {label} (share of one core): " +
                      ", ".join(f"{thread} {share:.3f}" for thread, share in shares if share >= 0.0005))
        print(f"X server: Xvfb {args.screen}; {args.rounds} round(s) of {args.seconds:g} s for each case; "
              f"{len(self.startups)} start-ups of each program; medians over these")
        for name, _, _ in CASES:
            if any(g["crashed"] for g in games[name]):
                print(f"WARNING: the car crashed during a measured window ({name}); its figures are not of play")

    def judged(self, label, ok):
        self.verdicts.append((label, ok))
        return "met" if ok else "MISSED"

    def row(self, label, game_value, minimal_value, target="", verdict=""):
        cells = [label]
        for heading, g, m in self.columns:
            cells += [game_value(g, heading), minimal_value(m, heading) if minimal_value else ""]
        self.rows.append(cells + [target, verdict])

    def add_pace_rows(self):
        seconds, games, minimals = self.args.seconds, self.games, self.minimals
        due = RATE * seconds
        tolerance = due * TARGET_UPDATES_TOLERANCE
        self.row("updates in the window (game time)", fmt("updates", ".0f"), fmt("updates", ".0f"),
                 f"{due:.0f} +/-{tolerance:.0f}",
                 self.judged("game time", all(abs(med(g, "updates") - due) <= tolerance for _, g, _ in self.columns)))
        self.row("updates per second", lambda r, _: f"{med(r, 'updates') / seconds:.1f}",
                 lambda r, _: f"{med(r, 'updates') / seconds:.1f}")
        self.row("frames shown", fmt("frames", ".0f"), fmt("frames", ".0f"), f"{due:.0f} (4:3, idle)",
                 self.judged("frames shown", abs(med(games["4:3"], "frames") - due) <= tolerance))
        self.row("shown: median interval (ms)", fmt("median_ms", ".2f"), fmt("median_ms", ".2f"))
        p99_ok = med(games["4:3"], "p99_ms") <= med(minimals["4:3"], "p99_ms") + TARGET_P99_ABOVE_MS
        self.row("shown: 99th percentile (ms)", fmt("p99_ms", ".2f"), fmt("p99_ms", ".2f"),
                 f"<= minimal + {TARGET_P99_ABOVE_MS:g} (idle)", self.judged("99th percentile", p99_ok))
        self.row("shown: longest interval (ms)", fmt("max_ms", ".1f"), fmt("max_ms", ".1f"))
        self.row("hand-over: 99th percentile (ms)", fmt("submit_p99_ms", ".2f"), fmt("submit_p99_ms", ".2f"))

    def add_cpu_rows(self):
        games, minimals = self.games, self.minimals
        self.row("CPU (share of one core)", fmt("cpu", ".3f"), fmt("cpu", ".3f"))
        self.row("X server's CPU meanwhile", fmt("server_cpu", ".3f"), fmt("server_cpu", ".3f"))
        self.row("CPU per frame shown (ms)", lambda r, _: f"{statistics.median(frame_cpu(x) for x in r):.2f}",
                 lambda r, _: f"{statistics.median(frame_cpu(x) for x in r):.2f}")

        def cpu_ratio(name):
            return statistics.median(frame_cpu(g) / frame_cpu(m) for g, m in zip(games[name], minimals[name]))

        self.row("CPU per frame: game / minimal", lambda r, h: f"{cpu_ratio(h[5:]):.2f}", None,
                 f"<= {TARGET_CPU_RATIO:g} (idle)",
                 self.judged("CPU per frame",
                             cpu_ratio("4:3") <= TARGET_CPU_RATIO and cpu_ratio("square") <= TARGET_CPU_RATIO))

    def add_memory_rows(self):
        games, minimals = self.games, self.minimals
        self.row("RssAnon (MB)", fmt("rss_anon_mb", ".1f"), fmt("rss_anon_mb", ".1f"))

        def memory_above(name):
            return statistics.median(g["rss_anon_mb"] - m["rss_anon_mb"] for g, m in zip(games[name], minimals[name]))

        self.row("RssAnon: game - minimal (MB)", lambda r, h: f"{memory_above(h[5:]):.1f}", None,
                 f"<= {TARGET_MEMORY_MB:g}",
                 self.judged("memory", all(memory_above(n) <= TARGET_MEMORY_MB for n, _, _ in CASES)))

    def add_startup_rows(self):
        startups, minimal_startups = self.startups, self.minimal_startups
        game_start, minimal_start = med_startup("first", startups), med_startup("first", minimal_startups)

        def startup_cells(key):
            return (lambda _, h: milliseconds(med_startup(key, startups)) if h == "game 4:3" else "",
                    lambda _, h: milliseconds(med_startup(key, minimal_startups)) if h == "game 4:3" else "")

        game_cell, minimal_cell = startup_cells("first")
        self.row("start-up: to the first frame (ms)", game_cell, minimal_cell,
                 f"<= {TARGET_STARTUP_MS:g}, <= minimal",
                 self.judged("start-up", game_start <= TARGET_STARTUP_MS and game_start <= minimal_start))
        for label, key in (("libraries loaded at", "loaded"), ("audio device open at", "audio"),
                           ("window created at", "window"), ("renderer created at", "renderer"),
                           ("window shown at", "shown")):
            game_cell, minimal_cell = startup_cells(key)
            self.row(f"  {label}", game_cell, minimal_cell)

    def print_table(self):
        headings, rows = self.headings, self.rows
        widths = [max(len(str(r[i])) for r in rows + [headings]) for i in range(len(headings))]
        for cells in [headings] + rows:
            print("  ".join(str(cell).ljust(widths[i]) if i == 0 else str(cell).rjust(widths[i])
                            for i, cell in enumerate(cells)).rstrip())
        missed = [label for label, ok in self.verdicts if not ok]
        print("targets: all met" if not missed else "targets missed: " + ", ".join(missed))
