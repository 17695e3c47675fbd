#!/usr/bin/env python3
"""The score server under load, under faults and under hostile input, on
loopback against a private PostgreSQL 15 cluster made for the run.

    python3 bench/board/load.py [--build DIR] [--rows N] [--seconds S] [--runs N]

1. fills the table with N verified runs (1,000,000) and measures
   GET /api/board and POST /api/runs with 64 clients (bench load_client);
2. verified runs a second with one worker, then two;
3. nothing lost: runs submitted while a worker is killed with SIGKILL, the
   server restarted and PostgreSQL restarted, each ends verified or
   rejected, once;
4. hostile input: at least 1,000 requests of every bad kind, each answered
   4xx, the server alive after, no row changed;
5. (--only idle) the time from a short game's 202 to its verdict on an idle
   board with two workers, one game at a time: median and p99.
Prints its figures; exits 1 if a check fails. It measures, it does not test.
"""
import argparse, concurrent.futures, json, os, random, resource, signal, subprocess, sys, tempfile, time

from load_support import (ROOT, Board, Cluster, check, cpu_seconds, distinct_games, failures, fill, http, load_client,
                          raw, submit, wait_final)


# The load comes from one address: no limit on its runs waiting.
UNLIMITED = ("--max-waiting", "0")


def latency(args, cluster):
    print("== latency with 64 clients on loopback", flush=True)
    server = Board(args.build, cluster.url, "serve", "--port", "0", "--rate", "0", *UNLIMITED)
    check(http(server.port, "GET", "/api/health")[0] == 200, "the server made the schema")
    fill(cluster, args.rows)
    # First as fast as the 64 clients can go (the server's throughput, latency
    # mostly queueing), then paced at a load the machine serves with room.
    for kind in ("board", "deep", "post"):
        load_client(args.build, server.port, kind, 3, args.rows)  # warm
        load_client(args.build, server.port, kind, args.seconds, args.rows)
    for kind in ("board", "deep", "post"):
        p99, ok = load_client(args.build, server.port, kind, args.seconds, args.rows, args.rate)
        target = 20 if kind == "post" else 10
        check(ok and p99 <= target, f"{kind} at {args.rate:.0f}/s: p99 {p99:.2f} ms (target <= {target} ms)")
    status, body = http(server.port, "GET", "/api/board?limit=1")
    print(f"  total on the board: {json.loads(body)['total']}", flush=True)
    server.stop()
    cluster.sql("DELETE FROM runs WHERE status = 'queued'")


def scaling(args, cluster):
    print("== verified runs a second, one worker then two", flush=True)
    rates = []
    for workers, start in ((1, 0), (2, args.runs)):
        server = Board(args.build, cluster.url, "serve", "--port", "0", "--rate", "0", *UNLIMITED)
        ids = [submit(server.port, f"w{workers}", keys) for keys in distinct_games(args.runs, start)]
        started = time.time()
        procs = [Board(args.build, cluster.url, "worker") for _ in range(workers)]
        done = wait_final(cluster, ids)
        elapsed = time.time() - started
        cpu = sum(cpu_seconds(p.process.pid) for p in procs)
        for p in procs:
            p.stop()
        server.stop()
        ended = int(cluster.sql(f"SELECT count(*) FROM runs WHERE id IN ({','.join(map(str, ids))}) AND finished IS NOT NULL"))
        rates.append(ended / elapsed)
        print(f"  {workers} worker(s): {ended} of {len(ids)} runs ended in {elapsed:.1f} s: {rates[-1]:.1f} runs/s; "
              f"{cpu:.1f} s of processor time, {ended / cpu:.1f} runs per processor second", flush=True)
        check(done and ended == len(ids), f"{workers} worker(s) ended every run")
    check(rates[1] / rates[0] >= 1.8, f"two workers / one: {rates[1] / rates[0]:.2f} (target >= 1.8)")


def nothing_lost(args, cluster):
    print("== nothing lost: a worker killed, the server and PostgreSQL restarted under load", flush=True)
    accepted, refused = [], [0]
    server = [Board(args.build, cluster.url, "serve", "--port", "0", "--rate", "0", *UNLIMITED)]
    port = server[0].port
    workers = [Board(args.build, cluster.url, "worker", "--lease", "3") for _ in range(2)]
    games = iter(distinct_games(100000, 10 * args.runs))
    stop = [False]

    def submitter():
        while not stop[0] and len(accepted) < args.runs:
            time.sleep(0.1)
            try:
                run = submit(port, "fault", next(games))
                (accepted.append(run) if run else refused.__setitem__(0, refused[0] + 1))
            except OSError:
                refused[0] += 1
                time.sleep(0.05)

    threads = concurrent.futures.ThreadPoolExecutor(4)
    for _ in range(4):
        threads.submit(submitter)
    time.sleep(3)
    workers[0].stop(signal.SIGKILL)
    print(f"  killed worker {workers[0].process.pid} with SIGKILL", flush=True)
    time.sleep(1)
    workers[0] = Board(args.build, cluster.url, "worker", "--lease", "3")
    time.sleep(2)
    server[0].stop()
    server[0] = Board(args.build, cluster.url, "serve", "--port", str(port), "--rate", "0", *UNLIMITED)
    print("  restarted the server", flush=True)
    time.sleep(2)
    owner = ["runuser", "-u", "postgres", "--"] if os.getuid() == 0 else []
    # With its log in a file: the server it starts must not hold our pipe.
    subprocess.run(owner + ["/usr/lib/postgresql/15/bin/pg_ctl", "-D", f"{cluster.folder}/data", "-m", "fast", "-w",
                            "-l", f"{cluster.folder}/postgresql.log", "restart"], check=True, capture_output=True)
    print("  restarted PostgreSQL", flush=True)
    time.sleep(3)
    stop[0] = True
    threads.shutdown()
    done = wait_final(cluster, accepted, 300)
    for w in workers:
        w.stop()
    server[0].stop()
    ids = ",".join(map(str, accepted))
    counts = cluster.sql(f"SELECT status, count(*) FROM runs WHERE id IN ({ids}) GROUP BY status ORDER BY 1")
    print(f"  {len(accepted)} accepted ({refused[0]} refused or unanswered while restarting): {counts.replace(chr(10), ', ')}", flush=True)
    stored = int(cluster.sql(f"SELECT count(*) FROM runs WHERE id IN ({ids}) AND status IN ('verified', 'rejected') AND finished IS NOT NULL"))
    check(done and stored == len(accepted), "every accepted run ended verified or rejected")
    others = cluster.sql(f"SELECT count(*) FROM runs WHERE id IN ({ids}) AND status = 'rejected' "
                         "AND reason NOT LIKE 'the same game as run %'")
    check(others == "0", "none rejected but as the copy of another game")


def hostile(args, cluster):
    print("== hostile input: 1,000 requests of every bad kind", flush=True)
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    web = tempfile.mkdtemp()
    os.makedirs(f"{web}/site")
    with open(f"{web}/site/index.html", "w") as f:
        f.write("page")
    with open(f"{web}/secret", "w") as f:
        f.write("secret")
    server = Board(args.build, cluster.url, "serve", "--port", "0", "--rate", "0", "--web", f"{web}/site")
    port = server.port
    snapshot = "SELECT count(*), md5(coalesce(string_agg(id || status || coalesce(score, 0), ',' ORDER BY id), '')) FROM runs"
    before = cluster.sql(snapshot)
    good = json.dumps({"name": "a", "keys": "272 13\n"}).encode()
    rng = random.Random(7)

    def post(body, content_type="application/json"):
        return lambda: http(port, "POST", "/api/runs", body, content_type)[0]

    def name_of(name):
        return b'{"name": "' + name + b'", "keys": ""}'

    kinds = {
        "malformed JSON": lambda i: post(bytes(rng.choice(b'{}[]":,\\ abc0\x00\xff') for _ in range(1 + i % 60))),
        "truncated JSON": lambda i: post(good[:i % (len(good) - 1)]),
        "wrong types": lambda i: post(json.dumps({"name": [1, None, 5, {"a": 1}, True][i % 5], "keys": "1 13"}).encode()),
        "invalid UTF-8": lambda i: post(name_of(b"ab" + bytes([0x80 + i % 64, 0xff, 0xc0][: 1 + i % 3]))),
        "control characters in names": lambda i: post(name_of(("a\\u%04x" % (i % 32)).encode())),
        "markup in names": lambda i: post(name_of(b"<script>alert(%d)</script>" % i)),
        "huge bodies": lambda i: post(b'{"name": "a", "keys": "' + b"#" * (300000 + i * 1000) + b'"}'),
        "scripts of a million lines": lambda i: post(json.dumps({"name": "a", "keys": "1 13\n" * 1000000}).encode()),
        "updates beyond 10^12": lambda i: post(json.dumps({"name": "a", "keys": f"{10**12 + 1 + i} 13\n"}).encode()),
        "key codes out of range": lambda i: post(json.dumps({"name": "a", "keys": f"5 {[-3, 0, 256, 99999][i % 4]}\n"}).encode()),
        "not JSON at all": lambda i: post(good, ["text/plain", "application/x-www-form-urlencoded", ""][i % 3]),
        "path traversal": lambda i: (lambda: http(port, "GET", ["/../secret", "/%2e%2e/secret", "/..%2fsecret",
                                                              "/%252e%252e/secret", "/.%2e/secret", "//secret",
                                                              "/..\\secret", "/%2e%2e%5csecret"][i % 8])[0]),
        "odd methods": lambda i: (lambda: http(port, ["PUT", "DELETE", "PATCH", "TRACE", "CONNECT", "BREW", "PROPFIND",
                                                      "GET"][i % 8], ["/api/runs/1", "/api/runs", "/api/board",
                                                                        "/index.html"][i % 4] if i % 8 != 7 else "/api/runs")[0]),
        "bad queries": lambda i: (lambda: http(port, "GET", ["/api/board?limit=0", "/api/board?limit=101",
                                                              "/api/board?offset=-1", "/api/board?limit=x",
                                                              "/api/board?limit=1&limit=2", "/api/board?offset=%zz"][i % 6])[0]),
        "malformed HTTP": lambda i: (lambda: raw(port, [b"GARBAGE\r\n\r\n", b"GET / HTTP/7.0\r\n\r\n",
                                                         b"GET / HTTP/1.1\r\nContent-Length: x\r\n\r\n",
                                                         b"GET / HTTP/1.1\r\n" + b"X: " + b"y" * 20000 + b"\r\n\r\n"][i % 4])[0]),
    }
    pool = concurrent.futures.ThreadPoolExecutor(16)
    for kind, make in kinds.items():
        count = 1000 if kind != "scripts of a million lines" else 1000
        statuses = list(pool.map(lambda i: make(i)(), range(count)))
        bad = [s for s in statuses if not 400 <= s < 500]
        check(not bad, f"{kind}: {count} requests, answers {sorted(set(statuses))}" + (f", {len(bad)} not 4xx" if bad else ""))
    # Slow senders: a thousand at once, each half a request and then nothing.
    def slow(i):
        return raw(port, [b"POST /api/runs HTTP/1.1\r\nHost: a\r\nContent-Length: 100\r\n\r\n{\"na", b"GET /api/bo"][i % 2],
                   timeout=60)[0]
    started = time.time()
    statuses = list(concurrent.futures.ThreadPoolExecutor(1000).map(slow, range(1000)))
    bad = [s for s in statuses if not 400 <= s < 500]
    check(not bad, f"slow senders: 1000 at once, answers {sorted(set(statuses))} after {time.time() - started:.1f} s")
    check(http(port, "GET", "/api/health")[0] == 200, "the server is alive and well after")
    check(cluster.sql(snapshot) == before, "no row changed")
    server.stop()


def idle(args, cluster):
    print(f"== from 202 to verified on an idle board: {args.idle_runs} short games, one at a time", flush=True)
    server = Board(args.build, cluster.url, "serve", "--port", "0", "--rate", "0")
    workers = [Board(args.build, cluster.url, "worker") for _ in range(2)]
    waits = []
    for keys in distinct_games(args.idle_runs, 7 * args.runs):
        # The workers idle between two games, as on a quiet board.
        time.sleep(0.5 + random.random() * 0.5)
        status, body = http(server.port, "POST", "/api/runs", json.dumps({"name": "idle", "keys": keys}).encode())
        accepted = time.time()
        if status != 202:
            check(False, f"a submission answered {status}")
            break
        run = json.loads(body)["id"]
        if not wait_final(cluster, [run], 60):
            check(False, f"run {run} was not verified within a minute")
            break
        # The verdict's own time, from the database's clock (the same
        # machine's): no polling in the figure.
        waits.append(float(cluster.sql(f"SELECT extract(epoch FROM finished) FROM runs WHERE id = {run}")) - accepted)
    for w in workers:
        w.stop()
    server.stop()
    if waits:
        waits.sort()
        median, p99 = waits[len(waits) // 2], waits[min(len(waits) - 1, int(len(waits) * 0.99))]
        print(f"  {len(waits)} games: median {median * 1000:.0f} ms, p99 {p99 * 1000:.0f} ms, "
              f"fastest {waits[0] * 1000:.0f} ms, slowest {waits[-1] * 1000:.0f} ms", flush=True)
        check(median <= 0.150, f"median {median * 1000:.0f} ms (target <= 150 ms)")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=f"{ROOT}/build")
    parser.add_argument("--rows", type=int, default=1000000)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--runs", type=int, default=300)
    parser.add_argument("--rate", type=float, default=1000, help="requests a second of the paced latency runs")
    parser.add_argument("--idle-runs", type=int, default=100, help="short games verified one at a time (idle)")
    parser.add_argument("--only", default="latency,scaling,lost,hostile,idle")
    args = parser.parse_args()
    folder = tempfile.mkdtemp(prefix="board-load-")
    os.chmod(folder, 0o755)
    cluster = Cluster(f"{folder}/db")
    try:
        steps = {"latency": latency, "scaling": scaling, "lost": nothing_lost, "hostile": hostile, "idle": idle}
        for name in args.only.split(","):
            steps[name](args, cluster)
    finally:
        cluster.control("stop")
        subprocess.run(["rm", "-rf", folder])
    print(f"{len(failures)} failed" if failures else "all checks met", flush=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
