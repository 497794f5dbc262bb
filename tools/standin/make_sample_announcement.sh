#!/usr/bin/env bash
# Builds the stand-in's sample announcement, data/announcements/welcome.mp3: a rising three-note chime
# synthesised with sox alone (no speech), so it can be regenerated at will.
# Needs sox with its MP3 writer (libsox-fmt-mp3, installed by tools/setup.sh).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out="$here/data/announcements/welcome.mp3"
mkdir -p "$(dirname "$out")"

# -R and -D keep a rerun byte for byte the same; each note decays from a soft attack.
note() { printf '|sox -R -D -n -r 22050 -c 1 -p synth %s sine %s fade t 0.01 %s %s vol 0.6' "$2" "$1" "$2" "$3"; }

sox -R -D -V2 \
    "$(note 523.25 0.45 0.35)" "$(note 659.25 0.45 0.35)" "$(note 783.99 0.9 0.8)" \
    -C 48 "$out" pad 0.1 0.2
echo "Wrote $out ($(soxi -D "$out") s)"
