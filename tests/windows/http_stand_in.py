#!/usr/bin/env python3
"""A stand-in score server on 127.0.0.1 for the Windows HTTP client's edges.

Each base path answers a run's POST its own way:
  /moved    302 to elsewhere (a client must not follow it)
  /huge     202 with 2 MiB of answer (more than a client takes)
  /busy     429 with Retry-After: 1 once, then the run; its look says
            "verified: rank 2 of 9, score 1234"
Every request is written to LOG as one JSON line. Prints "serving PORT",
and ends by itself after LIMIT seconds.
  http_stand_in.py LOG [LIMIT]
"""
import http.server
import json
import sys
import threading

log_path = sys.argv[1]
limit = float(sys.argv[2]) if len(sys.argv) > 2 else 120
busy_once = [True]


class StandIn(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def note(self, body=b""):
        with open(log_path, "a", encoding="utf-8") as log:
            log.write(json.dumps({"method": self.command, "path": self.path,
                                  "type": self.headers.get("Content-Type"),
                                  "agent": self.headers.get("User-Agent"),
                                  "body": body.decode("utf-8", "replace")}) + "\n")

    def answer(self, status, body, headers=()):
        data = body if isinstance(body, bytes) else json.dumps(body).encode()
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_POST(self):
        self.note(self.rfile.read(int(self.headers.get("Content-Length", "0"))))
        if self.path == "/moved/api/runs":
            self.answer(302, b"", [("Location", "/busy/api/runs")])
        elif self.path == "/huge/api/runs":
            self.answer(202, b" " * (2 * 1024 * 1024))
        elif self.path == "/busy/api/runs" and busy_once[0]:
            busy_once[0] = False
            self.answer(429, {"error": "slow down"}, [("Retry-After", "1")])
        elif self.path == "/busy/api/runs":
            self.answer(202, {"id": 7})
        else:
            self.answer(404, {"error": "no such thing"})

    def do_GET(self):
        self.note()
        if self.path == "/busy/api/runs/7":
            self.answer(200, {"status": "verified", "rank": 2, "score": 1234})
        elif self.path == "/busy/api/board?limit=1":
            self.answer(200, {"total": 9, "runs": []})
        else:
            self.answer(404, {"error": "no such thing"})


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), StandIn)
threading.Timer(limit, server.shutdown).start()
print("serving", server.server_address[1], flush=True)
server.serve_forever()
