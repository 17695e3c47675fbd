"""Small helpers every part of the measurement uses."""

import sys
import time


def now_ns():
    return time.clock_gettime_ns(time.CLOCK_MONOTONIC)


def fail(message):
    print(f"measure-game: {message}", file=sys.stderr)
    sys.exit(1)


def wait_for(condition, timeout, what, poll=0.01):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if condition():
            return
        time.sleep(poll)
    fail(f"timed out waiting for {what}")


def percentile(sorted_values, fraction):
    """Nearest-rank percentile."""
    if not sorted_values:
        return float("nan")
    rank = max(1, int(-(-fraction * len(sorted_values) // 1)))
    return sorted_values[min(rank, len(sorted_values)) - 1]
