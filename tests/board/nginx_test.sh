#!/usr/bin/env bash
# vexlo-board behind Debian's nginx with packaging/nginx/vexlo-board.conf,
# a self-signed certificate and everything in a temporary folder: the page
# and the API over HTTPS (the page's gzip copy too), plain HTTP sent to
# HTTPS, the rate limit applied to each client nginx names (clients are
# told apart by their loopback source address, 127.0.0.2, .3, ...), and
# X-Forwarded-For believed only from the trusted proxy: a client's own
# header through nginx, or sent straight to the server, changes nothing.
# Usage: nginx_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
tmp=$(mktemp -d /tmp/vexlo-nginx.XXXXXX)
chmod 755 "$tmp"
pids=()
cleanup() {
  [ ${#pids[@]} -eq 0 ] || { kill -TERM "${pids[@]}" 2>/dev/null; wait "${pids[@]}" 2>/dev/null; } || true
  bash "$source/scripts/board-db.sh" stop "$tmp/db" >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$tmp/serve.log" "$tmp/error.log"; do [ ! -f "$f" ] || { echo "--- $f" >&2; tail -n 30 "$f" >&2; }; done
  exit 1
}
source "$(dirname "$0")/script_support.sh"

# The certificate, the page, the database and the server.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=scores.test -addext subjectAltName=DNS:scores.test \
  -keyout "$tmp/key.pem" -out "$tmp/cert.pem" >/dev/null 2>&1 || fail "openssl could not make a certificate"
mkdir -p "$tmp/site"
head -c 20000 /dev/zero | tr '\0' 'v' >"$tmp/site/index.html"
gzip -9nk "$tmp/site/index.html"
export DATABASE_URL=$(bash "$source/scripts/board-db.sh" start "$tmp/db")
"$build/vexlo-board" serve --port 0 --rate 1 --burst 5 --trust-proxy 127.0.0.1 --web "$tmp/site" --log-format json \
  >"$tmp/serve.log" 2>&1 < /dev/null &
pids+=($!)
until_true 'grep -q "serving http://127.0.0.1:" "$tmp/serve.log"' || fail "the server did not start"
upstream=$(sed -n 's|.*serving http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$tmp/serve.log")

# nginx with the site as shipped, moved to free loopback ports and this folder.
tls=$(free_port)
plain=$(free_port)
sed -e "s|server 127.0.0.1:8080;|server 127.0.0.1:$upstream;|" \
  -e "s|listen 443 ssl http2;|listen 127.0.0.1:$tls ssl http2;|" -e "s|listen 80;|listen 127.0.0.1:$plain;|" \
  -e '/listen \[::\]/d' -e "s|server_name scores.example.org;|server_name scores.test;|" \
  -e "s|/etc/ssl/certs/vexlo-board.pem|$tmp/cert.pem|" -e "s|/etc/ssl/private/vexlo-board.key|$tmp/key.pem|" \
  "$source/packaging/nginx/vexlo-board.conf" >"$tmp/site.conf"
grep -q "127.0.0.1:$upstream" "$tmp/site.conf" && grep -q "$tmp/cert.pem" "$tmp/site.conf" ||
  fail "the site's text has changed; this test's edits no longer apply"
cat >"$tmp/nginx.conf" <<CONF
daemon off;
pid $tmp/nginx.pid;
error_log $tmp/error.log;
events {}
http {
  access_log $tmp/access.log;
  client_body_temp_path $tmp/body;
  proxy_temp_path $tmp/proxy;
  fastcgi_temp_path $tmp/fastcgi;
  uwsgi_temp_path $tmp/uwsgi;
  scgi_temp_path $tmp/scgi;
  include $tmp/site.conf;
}
CONF
nginx -t -p "$tmp" -c "$tmp/nginx.conf" -e "$tmp/error.log" >"$tmp/nginx-t.log" 2>&1 ||
  fail "nginx -t: $(cat "$tmp/nginx-t.log")"
nginx -p "$tmp" -c "$tmp/nginx.conf" -e "$tmp/error.log" &
pids+=($!)
site=https://scores.test:$tls
# curl from one loopback address (the client), through nginx.
fetch() {
  local from=$1
  shift
  curl -s --cacert "$tmp/cert.pem" --resolve "scores.test:$tls:127.0.0.1" --interface "$from" "$@"
}
# (Waited for from an address of its own, whose rate runs out.)
until_true '[[ "$(fetch 127.0.0.7 -o /dev/null -w "%{http_code}" "$site/api/health")" =~ ^(200|429)$ ]]' ||
  fail "no answer through nginx"

# The page and the API over HTTPS.
[ "$(fetch 127.0.0.2 "$site/")" = "$(cat "$tmp/site/index.html")" ] || fail "the page differs over HTTPS"
fetch 127.0.0.2 -D "$tmp/headers" --compressed -o "$tmp/page" "$site/"
grep -qi "^content-encoding: gzip" "$tmp/headers" || fail "the page's gzip copy was not sent: $(cat "$tmp/headers")"
cmp -s "$tmp/page" "$tmp/site/index.html" || fail "the gzip copy unpacks to another page"
answer=$(fetch 127.0.0.2 -H 'Content-Type: application/json' -d '{"name": "tls", "keys": "5 27\n"}' "$site/api/runs")
id=$(sed -n 's/.*"id":\([0-9]*\).*/\1/p' <<<"$answer")
[ -n "$id" ] || fail "POST /api/runs over HTTPS: $answer"
fetch 127.0.0.2 "$site/api/runs/$id" | grep -q '"status":"queued"' || fail "GET /api/runs/$id over HTTPS"
[ "$(curl -s -o /dev/null -w '%{http_code} %{redirect_url}' "http://127.0.0.1:$plain/x" -H "Host: scores.test")" = \
  "301 https://scores.test/x" ] || fail "plain HTTP is not sent to HTTPS"
echo "ok: the page (gzip copy too) and the API over HTTPS through nginx; plain HTTP sent to HTTPS"

# The rate is each client's: .3 runs out (burst 5), .4 is still let in.
codes=$(fetch 127.0.0.3 -o /dev/null -w '%{http_code}\n' $(printf "$site/api/health %.0s" $(seq 8)))
grep -q 429 <<<"$codes" || fail "client .3 was never limited: $codes"
[ "$(fetch 127.0.0.4 -o /dev/null -w '%{http_code}' "$site/api/health")" = 200 ] || fail "client .4 was limited with .3"
grep -q '"client":"127.0.0.3"' "$tmp/serve.log" && grep -q '"client":"127.0.0.4"' "$tmp/serve.log" ||
  fail "the server did not see the clients nginx named"
# A client's own X-Forwarded-For through nginx is not the last hop.
codes=$(fetch 127.0.0.5 -o /dev/null -w '%{http_code}\n' -H "X-Forwarded-For: 127.0.0.4" \
  $(printf "$site/api/health %.0s" $(seq 8)))
grep -q 429 <<<"$codes" || fail "client .5 escaped the limit by naming another client: $codes"
echo "ok: the rate limit applies to each client nginx names, whatever the client writes in X-Forwarded-For"

# Straight to the server, from an address it does not trust, the header is ignored.
codes=""
for i in $(seq 8); do
  codes+=$(curl -s -o /dev/null -w '%{http_code} ' --interface 127.0.0.6 -H "X-Forwarded-For: 10.0.0.$i" \
    "http://127.0.0.1:$upstream/api/health")
done
grep -q 429 <<<"$codes" || fail "a client naming itself otherwise escaped the limit: $codes"
! grep -q '"client":"10\.0\.0\.' "$tmp/serve.log" || fail "the server believed an untrusted X-Forwarded-For"
grep -q '"client":"127.0.0.6"' "$tmp/serve.log" || fail "the server did not log the peer"
echo "ok: a spoofed X-Forwarded-For sent straight to the server changes neither its rate nor its logs"
