#!/usr/bin/env bash
# The Windows installer, black-box, under Wine: installed silently into a Wine prefix of its own, the
# installed program started the way a person at the console starts it, and uninstalled again.
#   tests/package/windows_installer_test.sh <build-windows folder>
# Loopback only; every wait is bounded.
set -euo pipefail
cd "$(dirname "$0")/../.."
build="$(cd "${1:?the Windows build folder}" && pwd)"
version="$(cat "$build/version.info")"
installer="$build/quorvane-player-$version-win64-setup.exe"
# Wine reads the command line and the environment as UTF-8 only in a UTF-8 locale.
export LC_ALL=C.UTF-8

# A Windows of its own, for a user whose folders are not plain ASCII: Wine names the profile after
# $USER, so %APPDATA% is C:\users\Zoë Ünïcode\AppData\Roaming. One wineserver for the whole test.
export USER="Zoë Ünïcode" LOGNAME="Zoë Ünïcode"
prefix="$(mktemp -d "${TMPDIR:-/tmp}/quorvane-installer.XXXXXX")"
export QUORVANE_WINEPREFIX="$prefix"
player_pid=""
player_log="$(mktemp)"
jar="$(mktemp)"
clean_up() {
  if [ -n "$player_pid" ]; then kill -9 "$player_pid" 2>/dev/null || true; fi
  WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
  rm -rf "$prefix" "$player_log" "$jar"
}
trap clean_up EXIT
WINEPREFIX="$prefix" wineserver -p </dev/null >/dev/null 2>&1
# Wine ends its service manager with the last program and starts the automatic services again with
# the next one, as at a start of Windows: a console waiting on its input keeps one program running.
# Its input is a pipe this script holds open until it ends.
mkfifo "$prefix/console-input"
bash tools/wine_run.sh cmd <"$prefix/console-input" >/dev/null 2>&1 &
exec 8>"$prefix/console-input"

wine() { timeout 120 bash tools/wine_run.sh "$@"; }
failures=0
check() {  # check <what> <command...>: one line per check, the run fails at the end
  local what="$1"
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what" >&2; failures=$((failures + 1)); fi
}
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 20000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || { echo "$port"; return; }
  done
}

program_files="$prefix/drive_c/Program Files/Quorvane Player"
user_data="$prefix/drive_c/users/$USER/AppData/Roaming/QuorvanePlayer"

if wine "$installer" /S /PORT=80a >/dev/null 2>&1; then refused=no; else refused=yes; fi
check "a port that is no number is refused" test "$refused" == yes
check "and nothing is installed then" test ! -e "$program_files/bin/quorvane-player.exe"

service_port="$(free_port)"
echo "Installing $(basename "$installer") silently, port $service_port"
wine "$installer" /S /NOSTART "/PORT=$service_port"
check "the program is in Program Files" test -f "$program_files/bin/quorvane-player.exe"
check "no DLL beside it" bash -c '! ls "$1"/bin/*.dll 2>/dev/null | grep -q .' _ "$program_files"
check "the browser app beside it" test -f "$program_files/share/quorvane-player/web-ui/dist/index.html"
check "version.info holds the installer's version" grep -qx "$version" "$program_files/share/quorvane-player/assets/version.info"
shortcut="$(find "$prefix/drive_c" -path '*Start Menu/Programs/Quorvane Player/Quorvane Player.url' | head -1)"
check "a Start-menu entry opens the browser app on the port" grep -q "^URL=http://localhost:$service_port/" "$shortcut"
service="$(wine reg query 'HKLM\System\CurrentControlSet\Services\QuorvanePlayer' /v ImagePath 2>/dev/null || true)"
check "the service starts the installed program on the port" grep -q "quorvane-player.exe\" --windows-service --port $service_port" <<<"$service"
start_type="$(wine reg query 'HKLM\System\CurrentControlSet\Services\QuorvanePlayer' /v Start 2>/dev/null || true)"
check "the service starts with Windows" grep -q "0x2" <<<"$start_type"
no_service_instance() { ! pgrep -f -- '[q]uorvane-player.exe.*--windows-service' >/dev/null; }
check "/NOSTART left the service stopped" no_service_instance

# The installed program, by hand; the second time under a wall clock the test sets (libfaketime, for
# the Wine process only: the wineserver keeps the real time).
port="$(free_port)"
clock_file="$prefix/faketime"
set_wall_clock() {  # set_wall_clock <UTC time>: from now on the player's clock reads it and runs on
  echo "$(( $(date -u -d "$1" +%s) - $(date +%s) ))" >"$clock_file.next"
  sed -i 's/^\([0-9]\)/+\1/' "$clock_file.next"
  mv "$clock_file.next" "$clock_file"
}
start_player() {  # start_player [faked]
  local -a clock=()
  [ -n "${1:-}" ] && clock=(FAKETIME_TIMESTAMP_FILE="$clock_file" FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1
                            LD_PRELOAD="/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1")
  env "${clock[@]}" TZ=UTC QUORVANE_SERVICE_URL="http://127.0.0.1:$(free_port)" \
    bash tools/wine_run.sh "$program_files/bin/quorvane-player.exe" --port "$port" >"$player_log" 2>&1 &
  player_pid=$!
  for _ in $(seq 100); do
    curl -sf -m 2 -o /dev/null "http://127.0.0.1:$port/healthz" && return 0
    kill -0 "$player_pid" 2>/dev/null || break
    sleep 0.3
  done
  echo "the installed player did not start serving:" >&2
  cat "$player_log" >&2
  return 1
}
# Wine turns SIGINT into the console's Ctrl+C event.
stop_player() {
  kill -INT "$player_pid"
  local status=0
  timeout 30 tail --pid="$player_pid" -f /dev/null || true
  wait "$player_pid" || status=$?
  check "Ctrl+C stops it cleanly (status $status)" test "$status" -eq 0
  check "it says it stopped" grep -q "^Stopped" "$player_log"
}
http() {  # http <method> <path> [json]: the answer's body, then its status on a line of its own
  local -a body=()
  [ -n "${3:-}" ] && body=(-H 'Content-Type: application/json' --data-binary "$3")
  curl -s -m 10 -b "$jar" -c "$jar" -X "$1" "${body[@]}" -w '\n%{http_code}' "http://127.0.0.1:$port$2"
}
status_of() { tail -n 1 <<<"$1"; }

start_player
check "it runs in the packaged layout, with its version" grep -q "^Quorvane Player v$version$" "$player_log"
page="$(curl -s -m 10 "http://127.0.0.1:$port/index.html")"
check "it serves the installed browser app" test "$page" == "$(cat "$program_files/share/quorvane-player/web-ui/dist/index.html")"
answer="$(http GET /api/get/status)"
check "it answers the JSON interface" grep -q "\"$version\"" <<<"$answer"
answer="$(http POST /auth/chpasswd '{"newPassword": "Bell tower 7"}')"
check "a password is set over HTTP" test "$(status_of "$answer")" == 200
answer="$(http POST /auth/login '{"userPassword": "Bell tower 7", "remember": false}')"
check "it logs in" test "$(status_of "$answer")" == 302
answer="$(http POST /db/timetables/create '{"name": "Órarend Wine"}')"
check "a timetable is made over HTTP" test "$(status_of "$answer")" == 200
stop_player
check "the records are in %APPDATA%\\QuorvanePlayer" grep -q "rarend Wine" "$user_data/_db.json"

# Monday 2026-09-07: the factory timetable rings at 08:00:00.
rm -f "$jar"
set_wall_clock "2026-09-07 07:50:00"
start_player faked
answer="$(http POST /auth/login '{"userPassword": "wrong", "remember": false}')"
check "a wrong password is refused after the restart" test "$(status_of "$answer")" != 302
answer="$(http POST /auth/login '{"userPassword": "Bell tower 7", "remember": false}')"
check "the password survived the restart" test "$(status_of "$answer")" == 302
answer="$(http GET /db)"
check "the timetable survived the restart" grep -q "rarend Wine" <<<"$answer"
# Two seconds before the bell. Wine has no sound card here, so the MCI player fails, and the journal
# says so.
set_wall_clock "2026-09-07 07:59:58"
journal="$user_data/journal/2026-09-07.jsonl"
for _ in $(seq 60); do
  grep -q '"outcome": *"failed"' "$journal" 2>/dev/null && break
  sleep 0.5
done
check "the due bell reached the MCI player, and its failure is journaled" grep -q '"outcome": *"failed"' "$journal"
check "it is still serving" curl -sf -m 5 -o /dev/null "http://127.0.0.1:$port/healthz"
stop_player

echo "Uninstalling silently"
# As a person runs it: the uninstaller copies itself to %TEMP% and returns, and the copy removes the
# program. Through no shell of Wine's: its cmd has been seen failing to start on a loaded machine.
wine "C:\\Program Files\\Quorvane Player\\Uninstall.exe" /S
uninstalled() {  # bounded: the copy ends by deleting the uninstaller itself
  local tries
  for tries in $(seq 120); do
    [ -e "$program_files/Uninstall.exe" ] || return 0
    sleep 0.5
  done
  return 1
}
check "the uninstaller ran to its end" uninstalled
check "the program is gone" test ! -e "$program_files/bin/quorvane-player.exe"
service_gone() { ! wine reg query 'HKLM\System\CurrentControlSet\Services\QuorvanePlayer' >/dev/null 2>&1; }
check "the service is gone" service_gone
service_gone || wine reg query 'HKLM\System\CurrentControlSet\Services\QuorvanePlayer' >&2 || true
check "the user data is kept" grep -q "rarend Wine" "$user_data/_db.json"

if ((failures)); then
  echo "$failures checks of the installed program failed" >&2
  exit 1
fi
echo "the installed program passed every check"
