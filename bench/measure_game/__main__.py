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

The parts: plan.py (the cases, the plan and the targets), session.py (the
X server and the launches), runs.py (the measured runs), report.py (the
table).
"""

import argparse
import os
import shutil

from basics import fail
from plan import CASES, check_plan
from report import Report
from runs import run_game, run_minimal, startup_only
from session import Session


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", required=True, help="the build folder")
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
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
    return args


def run_cases(session):
    """Every case, round after round, then the extra start-ups; returns the
    results of the game and of the minimal program by case, and the
    start-ups of each."""
    args = session.args
    games = {name: [] for name, _, _ in CASES}
    minimals = {name: [] for name, _, _ in CASES}
    startups, minimal_startups = [], []
    for _ in range(args.rounds):
        for name, env, busy in CASES:
            game = run_game(session, args.seconds, env, busy)
            games[name].append(game)
            minimals[name].append(run_minimal(session, args.seconds, game["size"], busy))
            if not env and not busy:
                startups.append(game["startup"])
                minimal_startups.append(minimals[name][-1]["startup"])
    # More start-ups of each, alternating.
    size = games["4:3"][0]["size"]
    for _ in range(args.startups):
        startups.append(startup_only(session, [args.game], True))
        minimal_startups.append(startup_only(session, [args.minimal, "--size", size], False))
    return games, minimals, startups, minimal_startups


def main():
    args = parse_arguments()
    check_plan(args)
    session = Session(args)
    load_before = os.getloadavg()
    try:
        session.start_xvfb()
        results = run_cases(session)
    finally:
        session.cleanup()
    load_after = os.getloadavg()
    Report(args, *results).print(load_before, load_after)


if __name__ == "__main__":
    main()
