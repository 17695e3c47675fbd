# Sourced by the score server's shell tests: waiting on progress and a free
# loopback port.

# until_true COMMAND [SECONDS]: true once COMMAND is, checked every 0.1 s;
# false after SECONDS (60).
until_true() {
  local end=$((SECONDS + ${2:-60}))
  until eval "$1"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

# A port on 127.0.0.1 that nobody holds now.
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
