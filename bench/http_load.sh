#!/usr/bin/env bash
# HTTP load on a running player beside nginx: GET /api/get/status and /api/get/overview with keep-alive
# at 1, 8 and 64 connections (wrk), and the same requests to nginx serving static files of the same
# sizes (with the same three cache headers), row by row in one run. Both in temporary folders on free
# loopback ports. Prints requests per second and the 99th-percentile latency of each, the player's
# resident memory and threads idle and after the load, then the delay of the bells under load, which
# build/bench/bench_http_bell_delay measures inside one process when it is built.
#
#   bash bench/http_load.sh [path/to/quorvane-player]      DURATION=10s CONNECTIONS="1 8 64"
#
# nginx (Debian's nginx-light) is installed when missing, without starting its system service.
set -euo pipefail
cd "$(dirname "$0")/.."

PLAYER="${1:-build/quorvane-player}"
DURATION="${DURATION:-10s}"
CONNECTIONS="${CONNECTIONS:-1 8 64}"
TARGETS=(/api/get/status /api/get/overview)
BELL_DELAY=build/bench/bench_http_bell_delay

command -v wrk >/dev/null || { echo "wrk is missing: bash tools/setup.sh" >&2; exit 1; }
[[ -x "$PLAYER" ]] || { echo "no player at $PLAYER: cmake --build build --target quorvane-player" >&2; exit 1; }

NGINX="$(command -v nginx || true)"
[[ -z "$NGINX" && -x /usr/sbin/nginx ]] && NGINX=/usr/sbin/nginx
if [[ -z "$NGINX" ]]; then
  SUDO=""
  [[ $(id -u) -eq 0 ]] || SUDO="sudo"
  echo "Installing nginx-light (its service is not started)"
  # The policy layer of invoke-rc.d: 101 forbids starting services while the package is installed.
  POLICY=/usr/sbin/policy-rc.d
  if [[ ! -e "$POLICY" ]]; then
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$POLICY" >/dev/null
    $SUDO chmod 755 "$POLICY"
    trap '$SUDO rm -f "$POLICY"' EXIT
  fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends nginx-light
  [[ -e "$POLICY" ]] && $SUDO rm -f "$POLICY"
  trap - EXIT
  NGINX=/usr/sbin/nginx
fi

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

wait_for_port() {
  for _ in $(seq 1 100); do
    port_in_use "$1" && return 0
    sleep 0.1
  done
  return 1
}

ROOT="$(mktemp -d)"
chmod 755 "$ROOT"  # nginx's workers run as another user when it is started as root
SERVER_PID=""
NGINX_PID=""
stop_pid() {
  [[ -n "$1" ]] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
cleanup() {
  stop_pid "$SERVER_PID"
  stop_pid "$NGINX_PID"
  rm -rf "$ROOT"
}
trap cleanup EXIT

# The player: a development layout of its own (the executable's folder decides where assets and user
# data are).
mkdir -p "$ROOT/build" "$ROOT/web-ui/dist"
cp "$PLAYER" "$ROOT/build/quorvane-player"
ln -s "$PWD/assets" "$ROOT/assets"
echo '<!doctype html><title>Quorvane</title>' >"$ROOT/web-ui/dist/index.html"
PORT="$(pick_port)"
(cd "$ROOT" && exec build/quorvane-player --port "$PORT" >"$ROOT/player.log" 2>&1) &
SERVER_PID=$!
wait_for_port "$PORT" || { echo "the player did not start:" >&2; cat "$ROOT/player.log" >&2; exit 1; }

# nginx: each target as a file of the player's answer's size, from a configuration of its own.
mkdir -p "$ROOT/nginx/html" "$ROOT/nginx/temp"
for target in "${TARGETS[@]}"; do
  mkdir -p "$ROOT/nginx/html$(dirname "$target")"
  curl -fsS "http://127.0.0.1:$PORT$target" >"$ROOT/nginx/html$target"
done
NGINX_PORT="$(pick_port)"
cat >"$ROOT/nginx/nginx.conf" <<EOF
worker_processes auto;
pid $ROOT/nginx/nginx.pid;
error_log $ROOT/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  keepalive_requests 1000000;
  client_body_temp_path $ROOT/nginx/temp/body;
  proxy_temp_path $ROOT/nginx/temp/proxy;
  fastcgi_temp_path $ROOT/nginx/temp/fastcgi;
  uwsgi_temp_path $ROOT/nginx/temp/uwsgi;
  scgi_temp_path $ROOT/nginx/temp/scgi;
  server {
    listen 127.0.0.1:$NGINX_PORT;
    root $ROOT/nginx/html;
    default_type application/json;
    add_header Cache-Control "no-store, no-cache, must-revalidate, max-age=0" always;
    add_header Pragma "no-cache" always;
    add_header Expires "0" always;
  }
}
EOF
"$NGINX" -p "$ROOT/nginx" -c "$ROOT/nginx/nginx.conf" -g 'daemon off;' 2>>"$ROOT/nginx/error.log" &
NGINX_PID=$!
wait_for_port "$NGINX_PORT" || { echo "nginx did not start:" >&2; cat "$ROOT/nginx/error.log" >&2; exit 1; }

# "rss threads" of the player.
player_status() { awk '/^VmRSS:/ {rss = $2} /^Threads:/ {threads = $2} END {printf "%.1f MiB, %d threads", rss / 1024, threads}' "/proc/$SERVER_PID/status"; }
sleep 1
echo "player idle: $(player_status)"

# wrk --latency prints "     99%    1.23ms"; units vary (us, ms, s).
run_wrk() {
  local port=$1 connections=$2 target=$3 threads=$(( $2 < 2 ? 1 : 2 ))
  wrk -t"$threads" -c"$connections" -d"$DURATION" --latency "http://127.0.0.1:$port$target"
}
summary() {
  local rps p99 errors
  rps="$(awk '/^Requests\/sec:/ {print $2}' <<<"$1")"
  p99="$(awk '$1 == "99%" {print $2}' <<<"$1")"
  errors="$(awk '/Non-2xx|Socket errors/ {sub(/^ +/, ""); printf "%s; ", $0}' <<<"$1")"
  printf '%s %s %s' "$rps" "$p99" "${errors:-0}"
}

printf '%-18s %5s | %11s %9s | %11s %9s | %7s | %s\n' target conns "player r/s" p99 "nginx r/s" p99 "player/nginx" errors
for target in "${TARGETS[@]}"; do
  for connections in $CONNECTIONS; do
    read -r ours_rps ours_p99 ours_errors <<<"$(summary "$(run_wrk "$PORT" "$connections" "$target")")"
    read -r nginx_rps nginx_p99 nginx_errors <<<"$(summary "$(run_wrk "$NGINX_PORT" "$connections" "$target")")"
    ratio="$(awk -v a="$ours_rps" -v b="$nginx_rps" 'BEGIN {printf "%.0f%%", (b > 0 ? 100 * a / b : 0)}')"
    printf '%-18s %5s | %11s %9s | %11s %9s | %12s | %s\n' "$target" "$connections" "$ours_rps" "$ours_p99" \
      "$nginx_rps" "$nginx_p99" "$ratio" "player ${ours_errors}, nginx ${nginx_errors}"
  done
done
echo "player after the load: $(player_status)"

if [[ -x "$BELL_DELAY" ]]; then
  stop_pid "$SERVER_PID"
  SERVER_PID=""
  stop_pid "$NGINX_PID"
  NGINX_PID=""
  echo
  "$BELL_DELAY" "${DURATION%s}" "${CONNECTIONS##* }" /api/get/overview
fi
