"""What is played and what counts as good: the game's window title and
pace, the plan that keeps the car clear of the traffic, the three cases and
the targets."""

import os
import subprocess
import tempfile

from basics import fail

TITLE = "Vexlo Race by Tamsel 2001"
RATE = 70
# The plan that keeps the car clear: the start key after the title (update
# 272 in the replay tool's count), then Up nine times from play frame 1260.
DODGE_FRAME = 1260
DODGE_KEYS = 9
# Checked with the replay tool up to this play frame.
CLEAR_UNTIL = 2300

# Each case: its name, what is set for both programs, whether two busy
# loops hold both cores meanwhile.
CASES = [("4:3", {}, False), ("square", {"VEXLO_ASPECT": "off"}, False), ("4:3, cores busy", {}, True)]

# Game time: 70 updates a second, within half a percent.
TARGET_UPDATES_TOLERANCE = 0.005
TARGET_CPU_RATIO = 0.25
TARGET_P99_ABOVE_MS = 1.0
TARGET_MEMORY_MB = 8.0
TARGET_STARTUP_MS = 150.0


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
