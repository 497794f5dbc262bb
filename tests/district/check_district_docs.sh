#!/usr/bin/env bash
# The district's monitoring files as Prometheus itself reads them: the scrape configuration (with
# stand-in token files, which it insists exist), the alert rules, and the rules' own tests.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cp "$source_dir/docs/district/prometheus.yml" "$source_dir/docs/district/alert-rules.yml" "$work/"
mkdir "$work/tokens"
grep -o 'tokens/[^ ]*\.token' "$work/prometheus.yml" | while read -r file; do
  printf 'stand-in\n' >"$work/$file"
done
promtool check config "$work/prometheus.yml"
promtool check rules "$source_dir/docs/district/alert-rules.yml"
promtool test rules "$source_dir/tests/district/alert-rules.test.yml"

# A renamed series would leave a rule that never fires: every series a rule reads is one the player writes.
status=0
while read -r name; do
  if ! grep -q "\"$name\"" "$source_dir/src/web/metrics_endpoint.cpp"; then
    echo "alert-rules.yml reads $name, which the player does not write" >&2
    status=1
  fi
done < <(grep -o 'quorvane_[a-z_]*' "$source_dir/docs/district/alert-rules.yml" | sort -u)
exit "$status"
