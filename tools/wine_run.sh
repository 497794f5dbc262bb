#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, headless: no X server, no Mono or Gecko prompts, no
# debug chatter. The Wine prefix (a Windows user's C: drive and registry) is made on first use and kept,
# since making one takes seconds and the tests start programs hundreds of times.
#   QUORVANE_WINEPREFIX   the prefix to use (default: ~/.cache/quorvane/wine-prefix)
set -euo pipefail
export WINEPREFIX="${QUORVANE_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane/wine-prefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64
# Wine stores a Windows file name in the Unix locale's character set: without UTF-8 (a bare root's C
# locale) names such as "Zoë Ünïcode" cannot be made at all.
export LC_ALL=C.UTF-8
# Wine opens the X display when one is set; these runs never want a window.
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
# Programs started side by side must not each make the prefix.
exec 9>"$WINEPREFIX/.made-by-quorvane.lock"
flock 9
# Marked by a file of ours: a persistent wineserver writes the registry files only when it ends, and
# every wineboot starts the service manager's automatic services again.
if [[ ! -f "$WINEPREFIX/.made-by-quorvane" ]]; then
  wineboot --init >/dev/null 2>&1 || true
  touch "$WINEPREFIX/.made-by-quorvane"
fi
flock -u 9
exec 9>&-
exec wine "$@"
