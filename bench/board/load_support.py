"""What the load script needs around the score server: a private PostgreSQL
cluster, vexlo-board processes, plain HTTP on loopback, the load client,
and the checks it reports."""
import json, os, signal, socket, subprocess, tempfile, threading, time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
failures = []


def check(ok, what):
    print(("  ok: " if ok else "  FAILED: ") + what, flush=True)
    if not ok:
        failures.append(what)


class Cluster:
    def __init__(self, folder):
        self.folder = folder
        self.url = self.control("start").strip()

    def control(self, command):
        return subprocess.run(["bash", f"{ROOT}/scripts/board-db.sh", command, self.folder],
                              check=True, capture_output=True, text=True).stdout

    def sql(self, statement):
        out = subprocess.run(["/usr/lib/postgresql/15/bin/psql", self.url, "-qtAX", "-v", "ON_ERROR_STOP=1",
                              "-c", statement], check=True, capture_output=True, text=True).stdout
        return out.strip()


class Board:
    """vexlo-board serve or worker as a process."""

    def __init__(self, build, url, *args):
        env = dict(os.environ, DATABASE_URL=url)
        self.log = tempfile.TemporaryFile()
        # Each in a session of its own: where the kernel shares the processor
        # fairly between sessions (autogroups) rather than processes, as on a
        # machine shared with other work, two workers then get two shares, as
        # two machines or two free cores would give them.
        self.process = subprocess.Popen([f"{build}/vexlo-board", *args], env=env, cwd=ROOT,
                                        stdout=subprocess.PIPE if args[0] == "serve" else self.log,
                                        stderr=self.log, text=True, start_new_session=True)
        self.port = None
        if args[0] == "serve":
            line = self.process.stdout.readline()
            self.port = int(line.rsplit(":", 1)[1].strip("/\n"))
            # Its line a request is read and dropped, so that it never waits for a full pipe.
            threading.Thread(target=lambda: [None for _ in self.process.stdout], daemon=True).start()

    def stop(self, sig=signal.SIGTERM):
        self.process.send_signal(sig)
        self.process.wait(timeout=60)


def http(port, method, target, body=b"", content_type="application/json", timeout=30):
    """One request on a fresh connection: (status, body)."""
    head = f"{method} {target} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
    if body or method == "POST":
        head += f"Content-Type: {content_type}\r\nContent-Length: {len(body)}\r\n"
    return raw(port, head.encode() + b"\r\n" + body, timeout)


def raw(port, data, timeout=30, pause_after=None):
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        try:
            s.sendall(data)
        except OSError:
            pass
        chunks = []
        while True:
            try:
                chunk = s.recv(65536)
            except OSError:
                break
            if not chunk:
                break
            chunks.append(chunk)
    reply = b"".join(chunks)
    try:
        status = int(reply.split(b" ", 2)[1])
    except (IndexError, ValueError):
        status = 0
    return status, reply.split(b"\r\n\r\n", 1)[-1]


def submit(port, name, keys):
    status, body = http(port, "POST", "/api/runs", json.dumps({"name": name, "keys": keys}).encode())
    return json.loads(body)["id"] if status == 202 else None


def wait_final(cluster, ids, limit=600):
    ids = ",".join(map(str, ids)) or "0"
    end = time.time() + limit
    while time.time() < end:
        left = int(cluster.sql(f"SELECT count(*) FROM runs WHERE id IN ({ids}) AND status IN ('queued', 'verifying')"))
        if left == 0:
            return True
        time.sleep(0.2)
    return False


def fill(cluster, rows):
    """rows verified runs with scores below a million, counts kept as the workers keep them."""
    started = time.time()
    cluster.sql(f"""
        INSERT INTO runs (name, keys, keys_digest, status, score, updates, game, finished)
        SELECT 'player ' || i, '272 13' || chr(10), '', 'verified', (hashint4(i) & 1048575) % 1000000,
               1000 + i % 100000, sha256(('filled ' || i)::bytea), now()
        FROM generate_series(1, {rows}) i;
        INSERT INTO score_counts SELECT score, count(*) FROM runs WHERE status = 'verified' GROUP BY score
          ON CONFLICT (score) DO UPDATE SET runs = excluded.runs;
        INSERT INTO score_band_counts SELECT score / 1000, count(*) FROM runs WHERE status = 'verified' GROUP BY 1
          ON CONFLICT (band) DO UPDATE SET runs = excluded.runs;""")
    for table in ("runs", "score_counts", "score_band_counts"):
        cluster.sql(f"VACUUM ANALYZE {table}")
    print(f"  filled {rows} verified runs in {time.time() - started:.1f} s", flush=True)


def load_client(build, port, kind, seconds, total=0, rate=0):
    out = subprocess.run([f"{build}/board_load_client", "--port", str(port), "--clients", "64", "--seconds",
                          str(seconds), "--kind", kind, "--total", str(total), "--rate", str(rate)],
                         capture_output=True, text=True, start_new_session=True)
    line = out.stdout.strip()
    print("  " + line, flush=True)
    return float(line.split("p99 ")[1].split()[0]), out.returncode == 0


def distinct_games(count, start):
    """Key scripts of different games: the car moved up and down at different
    updates early in play (a car left alone crashes after update 1300 or so;
    a key after the game-over screen would make copies)."""
    return [f"272 13\n{280 + (start + i) % 450} 38\n{730 + (start + i) // 450 % 450} 40\n" for i in range(count)]


def cpu_seconds(pid):
    """Processor time of a process and its children reaped so far."""
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return sum(int(f) for f in fields[11:15]) / os.sysconf("SC_CLK_TCK")
