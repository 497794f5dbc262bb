#!/usr/bin/env bash
# HTTP load on a running player: GET /api/get/status and /api/get/overview with keep-alive at 1, 8 and
# 64 connections (wrk), in a temporary installation on a free loopback port. Prints requests per second
# and the 99th-percentile latency of each run. The delay of the bells under this load is measured inside
# one process by build/bench/bench_http_bell_delay, which runs afterwards when it is built.
#
#   bash bench/http_load.sh [path/to/quorvane-player]      DURATION=10s CONNECTIONS="1 8 64"
set -euo pipefail
cd "$(dirname "$0")/.."

PLAYER="${1:-build/quorvane-player}"
DURATION="${DURATION:-10s}"
CONNECTIONS="${CONNECTIONS:-1 8 64}"
TARGETS=(/api/get/status /api/get/overview)
BELL_DELAY=build/bench/bench_http_bell_delay

command -v wrk >/dev/null || { echo "wrk is missing: bash tools/setup.sh" >&2; exit 1; }
[[ -x "$PLAYER" ]] || { echo "no player at $PLAYER: cmake --build build --target quorvane-player" >&2; exit 1; }

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

pick_port() {
  local port
  for _ in $(seq 1 50); do
    port=$((20000 + RANDOM % 40000))
    port_in_use "$port" || { echo "$port"; return; }
  done
  echo "no free port found" >&2
  exit 1
}

ROOT="$(mktemp -d)"
SERVER_PID=""
cleanup() {
  if [[ -n "$SERVER_PID" ]]; then
    kill "$SERVER_PID" 2>/dev/null || true
    wait "$SERVER_PID" 2>/dev/null || true
  fi
  rm -rf "$ROOT"
}
trap cleanup EXIT

# A development layout of its own: the executable's folder decides where assets and user data are.
mkdir -p "$ROOT/build" "$ROOT/web-ui/dist"
cp "$PLAYER" "$ROOT/build/quorvane-player"
ln -s "$PWD/assets" "$ROOT/assets"
echo '<!doctype html><title>Quorvane</title>' >"$ROOT/web-ui/dist/index.html"

PORT="$(pick_port)"
(cd "$ROOT" && exec build/quorvane-player --port "$PORT" >"$ROOT/player.log" 2>&1) &
SERVER_PID=$!
for _ in $(seq 1 100); do
  port_in_use "$PORT" && break
  sleep 0.1
done
port_in_use "$PORT" || { echo "the player did not start:" >&2; cat "$ROOT/player.log" >&2; exit 1; }

# wrk --latency prints "     99%    1.23ms"; units vary (us, ms, s).
run_wrk() {
  local connections=$1 target=$2 threads=$(( $1 < 2 ? 1 : 2 ))
  wrk -t"$threads" -c"$connections" -d"$DURATION" --latency "http://127.0.0.1:$PORT$target"
}

printf '%-20s %6s %12s %10s %8s\n' target conns requests/s p99 errors
for target in "${TARGETS[@]}"; do
  for connections in $CONNECTIONS; do
    output="$(run_wrk "$connections" "$target")"
    rps="$(awk '/^Requests\/sec:/ {print $2}' <<<"$output")"
    p99="$(awk '$1 == "99%" {print $2}' <<<"$output")"
    errors="$(awk '/Non-2xx|Socket errors/ {sub(/^ +/, ""); printf "%s; ", $0}' <<<"$output")"
    printf '%-20s %6s %12s %10s %8s\n' "$target" "$connections" "$rps" "$p99" "${errors:-0}"
  done
done
if [[ -x "$BELL_DELAY" ]]; then
  kill "$SERVER_PID" 2>/dev/null || true
  wait "$SERVER_PID" 2>/dev/null || true
  SERVER_PID=""
  echo
  "$BELL_DELAY" "${DURATION%s}" "${CONNECTIONS##* }" /api/get/overview
fi
