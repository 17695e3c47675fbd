#!/usr/bin/env bash
# The bytes a first visit to the page transfers, served by vexlo-board: a
# headless Chromium with an empty profile opens the page and stays until the
# page and its service worker (which keeps every file for offline play) have
# fetched what they fetch; the server's log says what it sent. Twice: the
# page's folder without its gzip copies (as the server served it before it
# sent them) and with them.
# Usage: first_visit.sh BUILD_DIR SITE_DIR   (run from anywhere; needs chromium)
set -euo pipefail
build=$(realpath "$1")
site=$(realpath "$2")
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d /tmp/vexlo-visit.XXXXXX)
chmod 755 "$tmp"
server=""
trap '[ -z "$server" ] || kill "$server" 2>/dev/null; bash "$root/scripts/board-db.sh" stop "$tmp/db" >/dev/null 2>&1; rm -rf "$tmp"' EXIT
export DATABASE_URL=$(bash "$root/scripts/board-db.sh" start "$tmp/db")

# visit FOLDER: prints the requests and bytes the server answered.
visit() {
  "$build/vexlo-board" serve --port 0 --rate 0 --web "$1" --log-format json >"$tmp/serve.log" 2>&1 &
  server=$!
  until grep -q "serving http://127.0.0.1:" "$tmp/serve.log"; do sleep 0.1; done
  local port
  port=$(sed -n 's|.*serving http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$tmp/serve.log")
  rm -rf "$tmp/profile"
  timeout 120 chromium --headless=new --no-sandbox --disable-gpu --user-data-dir="$tmp/profile" \
    --virtual-time-budget=20000 --dump-dom "http://127.0.0.1:$port/" >/dev/null 2>&1 || true
  kill "$server"
  wait "$server" 2>/dev/null || true
  server=""
  python3 - "$tmp/serve.log" ${FIRST_VISIT_DETAIL:+detail} <<'PY'
import json, sys
lines = [json.loads(l) for l in open(sys.argv[1]) if l.startswith("{")]
sent = [l for l in lines if l["event"] == "request"]
print(f"{len(sent)} requests, {sum(l['bytes'] for l in sent)} bytes")
if len(sys.argv) > 2:
    from collections import Counter
    by = Counter()
    for l in sent: by[l["path"]] += l["bytes"]
    print(by.most_common(12), file=sys.stderr)
PY
}

cp -r "$site" "$tmp/plain"
find "$tmp/plain" -name '*.gz' -delete
echo "without the gzip copies: $(visit "$tmp/plain")"
echo "with them:               $(visit "$site")"
