#!/usr/bin/env bash
# Copies one timetable from a player to many others through their HTTP interface: exports it from the
# source, imports it into each target and, with --default, makes it each target's default timetable.
#
#   QUORVANE_PASSWORD=... tools/district/copy-timetable.sh [--default] SOURCE_URL "TIMETABLE NAME" TARGET_URL...
#
# Every player takes the password in QUORVANE_PASSWORD; QUORVANE_SOURCE_PASSWORD, when set, is the
# source's own. A target that refuses or cannot be reached is reported and the others still get the
# copy; the exit status is then 1. Needs curl and jq.
set -euo pipefail

usage() { echo "usage: QUORVANE_PASSWORD=... $0 [--default] SOURCE_URL TIMETABLE_NAME TARGET_URL..." >&2; exit 2; }
make_default=0
if [[ "${1:-}" == "--default" ]]; then make_default=1; shift; fi
(($# >= 3)) || usage
source_url="${1%/}" name="$2"
shift 2
: "${QUORVANE_PASSWORD:?set QUORVANE_PASSWORD to the password of the players}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# One request to a player, with its own cookie jar; prints the body and fails on any status but the
# expected one (200; a login answers 302). A body goes from a file of the private work folder: on the
# command line the password could be read by anyone on this computer, and an export may be too long.
call() { # jar method url [file of the json body]
  local jar="$1" method="$2" url="$3" status expected="${EXPECTED_STATUS:-200}"
  local args=(--silent --show-error --max-time 30 --cookie "$jar" --cookie-jar "$jar" --request "$method"
              --output "$work/body" --write-out '%{http_code}')
  [[ $# -ge 4 ]] && args+=(--header 'Content-Type: application/json' --data-binary "@$4")
  status="$(curl "${args[@]}" "$url")" || return 1
  if [[ "$status" != "$expected" ]]; then
    echo "$method $url: $status $(head -c 300 "$work/body")" >&2
    return 1
  fi
  cat "$work/body"
}

log_in() { # jar url password
  QUORVANE_LOGIN_PASSWORD="$3" jq -n '{userPassword: env.QUORVANE_LOGIN_PASSWORD, remember: false}' >"$work/login.json"
  EXPECTED_STATUS=302 call "$1" POST "$2/auth/login" "$work/login.json" >/dev/null
}

source_jar="$work/source.cookies"
log_in "$source_jar" "$source_url" "${QUORVANE_SOURCE_PASSWORD:-$QUORVANE_PASSWORD}" ||
  { echo "Cannot log in to $source_url" >&2; exit 1; }
id="$(call "$source_jar" GET "$source_url/db/timetables" | jq -r --arg name "$name" '[.[] | select(.name == $name)][0].id // empty')"
[[ -n "$id" ]] || { echo "$source_url has no timetable named \"$name\"" >&2; exit 1; }
call "$source_jar" GET "$source_url/db/timetables/export/$id" >"$work/export.json"

failed=0 count=0
for target in "$@"; do
  target="${target%/}"
  jar="$work/target-$((++count)).cookies"
  if ! log_in "$jar" "$target" "$QUORVANE_PASSWORD" || ! answer="$(call "$jar" POST "$target/db/timetables/import" "$work/export.json")"; then
    echo "$target: not copied" >&2
    failed=1
    continue
  fi
  copy_id="$(jq -r .id <<<"$answer")"
  line="$target: imported as \"$(jq -r .name <<<"$answer")\""
  missing="$(jq -r '[.missingSignals[].name] | join(", ")' <<<"$answer")"
  [[ -n "$missing" ]] && line+="; these signals are not on this player and stay silent there: $missing"
  if ((make_default)); then
    jq -n --arg id "$copy_id" '{defaultTimetableId: $id}' >"$work/default.json"
    if call "$jar" POST "$target/db/settings/update" "$work/default.json" >/dev/null; then
      line+="; now the default timetable"
    else
      line+="; NOT made the default timetable"
      failed=1
    fi
  fi
  echo "$line"
done
exit "$failed"
