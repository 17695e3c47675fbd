"""The private X server and the programs started on it: each launch with
the probe preloaded, fresh settings and a log of its own; stopped and
cleaned up at the end, whatever happens."""

import os
import signal
import subprocess
import sys
import tempfile
import time

from basics import fail, now_ns
from probe_log import ProbeLog


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
