#!/usr/bin/env bash
# The package's systemd unit, unpacked with the package: `systemd-analyze verify` accepts it without a
# word (systemd 252 reports unknown keys and bad values only as messages, not in its status), and the
# offline security review keeps its exposure at 2.0 or below.
set -euo pipefail
build=$1
deb=$(ls "$build"/quorvane-player_"$(cat "$build/version.info")"_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb --extract "$deb" "$root"
unit_dir=$root/lib/systemd/system
# The system's own units, which the unit refers to, beside the package's.
cp -r --no-clobber /lib/systemd/system/. "$unit_dir/"

# The manual page is checked with the package's files; man itself need not be installed.
messages=$(systemd-analyze verify --man=no --root="$root" quorvane-player.service 2>&1) || status=$?
if [ "${status:-0}" -ne 0 ] || [ -n "$messages" ]; then
  printf 'systemd-analyze verify:\n%s\n' "$messages"
  exit 1
fi
systemd-analyze security --offline=yes --threshold=20 "$unit_dir/quorvane-player.service" | tail -n 1
