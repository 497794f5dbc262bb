#!/usr/bin/env bash
# Builds the thirteen factory signal sounds in assets/ purely by synthesis
# with sox, so the shipped audio has no outside origin and can be regenerated
# at will.
# Needs sox with its MP3 writer (libsox-fmt-mp3, installed by tools/setup.sh).
set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
assets_dir="$repo_root/assets"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

readonly RATE=22050
# Constant bit rate keeps the length estimate read from the MP3 headers stable.
readonly KBPS=48

# -R seeds sox's noise sources (pluck) and -D turns off dither, so a rerun
# gives the same files.
sx() { sox -R -D -V2 "$@"; }

calc() { awk "BEGIN { printf \"%.4f\", ($*) }"; }

# Frequency of a note such as C5, F#4 or Bb3 (equal temperament, A4 = 440 Hz).
hz() {
    awk -v n="$1" 'BEGIN {
        split("9 11 0 2 4 5 7", base, " ")   # A B C D E F G
        semi = base[index("ABCDEFG", substr(n, 1, 1))]
        rest = substr(n, 2)
        if (substr(rest, 1, 1) == "#") { semi++; rest = substr(rest, 2) }
        else if (substr(rest, 1, 1) == "b") { semi--; rest = substr(rest, 2) }
        midi = 12 * (rest + 1) + semi
        printf "%.3f", 440 * 2 ^ ((midi - 69) / 12)
    }'
}

# One partial as a sox pipe input: it starts with a click-free 3 ms attack and
# then decays exponentially (fade type l falls 100 dB over the given time).
partial() { # wave freq amplitude decay-seconds
    printf '|sox -R -D -n -r %d -c 1 -p synth %s %s %s fade t 0.003 fade l 0 %s %s vol %s' \
        "$RATE" "$4" "$1" "$2" "$4" "$4" "$3"
}

# A partial that holds its level until its short release.
steady() { # freq amplitude length
    printf '|sox -R -D -n -r %d -c 1 -p synth %s sine %s fade t 0.01 %s 0.04 vol %s' \
        "$RATE" "$3" "$1" "$3" "$2"
}

# Voices: each fills "parts" with the partials of one struck note.
chime_parts() { # freq decay
    local f=$1 d=$2
    parts=("$(partial sine "$f" 1.0 "$d")"
        "$(partial sine "$(calc "$f * 1.004")" 0.25 "$d")"
        "$(partial sine "$(calc "$f * 0.5")" 0.12 "$d")"
        "$(partial sine "$(calc "$f * 2")" 0.35 "$(calc "$d * 0.55")")"
        "$(partial sine "$(calc "$f * 3")" 0.12 "$(calc "$d * 0.3")")"
        "$(partial sine "$(calc "$f * 4.17")" 0.06 "$(calc "$d * 0.12")")")
}
vibe_parts() { # freq decay
    local f=$1 d=$2
    parts=("$(partial sine "$f" 1.0 "$d")"
        "$(partial sine "$(calc "$f * 2")" 0.06 "$(calc "$d * 0.4")")"
        "$(partial sine "$(calc "$f * 4")" 0.22 "$(calc "$d * 0.15")")")
}
xylo_parts() { # freq decay
    local f=$1 d=$2
    parts=("$(partial sine "$f" 1.0 "$d")"
        "$(partial triangle "$f" 0.15 "$(calc "$d * 0.5")")"
        "$(partial sine "$(calc "$f * 3")" 0.3 "$(calc "$d * 0.25")")"
        "$(partial sine "$(calc "$f * 6")" 0.06 "$(calc "$d * 0.08")")")
}
bass_parts() { # freq decay
    local f=$1 d=$2
    parts=("$(partial triangle "$f" 0.8 "$d")"
        "$(partial sine "$f" 0.6 "$d")")
}
wood_parts() { # freq decay
    local f=$1 d=$2
    parts=("$(partial sine "$f" 1.0 "$d")"
        "$(partial sine "$(calc "$f * 2.71")" 0.4 "$(calc "$d * 0.5")")")
}

# The notes of the sound being built; finish() mixes them.
track=()
count=0
new_tmp() { count=$((count + 1)); tmp="$work/part$count.sox"; }

note() { # voice note onset volume decay
    local voice=$1 onset=$3 vol=$4 decay=$5
    "${voice}_parts" "$(hz "$2")" "$decay"
    new_tmp
    sx -m "${parts[@]}" "$tmp" vol "$vol" pad "$onset"
    track+=("$tmp")
}

pluck() { # note onset volume length
    new_tmp
    sx -n -r "$RATE" -c 1 "$tmp" synth "$4" pluck "$(hz "$1")" 0 0 50 \
        vol "$3" highpass 40 fade t 0.002 "$4" 0.4 pad "$2"
    track+=("$tmp")
}

# A synthesised snippet given as raw sox synth arguments.
effect() { # onset volume length synth-args...
    local onset=$1 vol=$2 len=$3
    shift 3
    new_tmp
    sx -n -r "$RATE" -c 1 "$tmp" synth "$len" "$@" \
        fade t 0.005 "$len" 0.02 vol "$vol" pad "$onset"
    track+=("$tmp")
}

# Mixes the track, applies the given effects, cuts or pads it to the exact
# length with a short fade, normalises to -3 dBFS and writes the MP3.
finish() { # file seconds fade-out effects...
    local name=$1 len=$2 fade_out=$3
    shift 3
    local mixed="$work/${name%.mp3}.sox" shaped="$work/${name%.mp3}-fx.sox"
    if ((${#track[@]} > 1)); then
        sx -m "${track[@]}" "$mixed"
    else
        sx "${track[0]}" "$mixed"
    fi
    # Effects get a pass of their own: reverb works in stereo and leaves sox
    # miscounting the length for any trim or fade in the same chain.
    if (($# > 0)); then
        sx "$mixed" "$shaped" "$@" channels 1
    else
        cp "$mixed" "$shaped"
    fi
    local have fit
    have=$(soxi -D "$shaped")
    if [[ $(calc "$have > $len") == 1.0000 ]]; then
        fit=(trim 0 "$len")
    else
        fit=(pad 0 "$(calc "$len - $have")")
    fi
    sx "$shaped" -C "$KBPS" "$assets_dir/$name" "${fit[@]}" fade t 0 -0 "$fade_out" gain -n -3
    printf '%-18s %6.3f s\n' "$name" "$(soxi -D "$assets_dir/$name")"
    rm -f "${track[@]}" "$mixed" "$shaped"
    track=()
}

mkdir -p "$assets_dir"

# double: a classic two-tone door chime falling a major third.
note chime E5 0 1.0 3.0
note chime C5 0.5 1.0 3.0
finish p-double.mp3 2 0.25 reverb 30 50 60

# robot: square blips softened by a low-pass, with a few pitch sweeps.
for blip in "0.00 G5 0.08" "0.11 E6 0.08" "0.22 C6 0.08" \
    "0.58 A5 0.06" "0.68 A5 0.06" "0.78 D6 0.06" \
    "1.24 C6 0.07" "1.35 G5 0.07" "1.46 E6 0.12"; do
    read -r at pitch len <<<"$blip"
    f=$(hz "$pitch")
    new_tmp
    sx -n -r "$RATE" -c 1 "$tmp" synth "$len" square "$f" synth "$len" sine mix "$(calc "$f / 2")" \
        fade t 0.005 "$len" 0.02 vol 0.5 pad "$at"
    track+=("$tmp")
done
effect 0.33 0.6 0.2 sine "$(hz C5)/$(hz C6)"
effect 0.92 0.6 0.26 sine "$(hz G6)/$(hz G5)"
effect 1.64 0.5 0.18 sine "$(hz C6)/$(hz C7)"
finish p-robot.mp3 2 0.1 lowpass 3000 reverb 15 50 30

# ping: one soft, almost pure bell tone as a pre-signal.
new_tmp
sx -m "$(partial sine "$(hz A5)" 1.0 3.6)" \
    "$(partial sine "$(calc "$(hz A5) * 2")" 0.12 1.2)" \
    "$(partial sine "$(calc "$(hz A5) * 3")" 0.04 0.5)" "$tmp" fade t 0.012
track+=("$tmp")
finish p-ping.mp3 3 0.3 reverb 35 60 70

# triplet: three quick chime notes rising through the C major chord.
note chime C5 0 1.0 2.2
note chime E5 0.16 1.0 2.2
note chime G5 0.32 1.0 2.6
finish p-triplet.mp3 2 0.25 reverb 30 50 60

# vibraphone: a C major seventh arpeggio with the instrument's motor tremolo.
note vibe C5 0 1.0 3.2
note vibe E5 0.22 1.0 3.2
note vibe G5 0.44 1.0 3.2
note vibe B5 0.66 1.0 3.2
finish p-vibraphone.mp3 3 0.4 tremolo 5.5 45 reverb 40 50 70

# cartoon: a bouncy xylophone tune over an oom-pah bass with wood-block
# off-beats, a slide whistle in the break and a "ta-da" at the end.
eighth=0.2
t=0
for tok in G4 C5 E5 G5 E5 C5 E5:2 \
    F5 E5 D5 C5 B4 D5 G4:2 \
    A4 C5 F5 A5 G5 F5 E5 F5 \
    G5:2 D5 B4 G4:2 -:2 \
    C5 E5 G5 C6 A5 G5 E5 C5 \
    D5 F5 A5 F5 G5 F5 D5 B4; do
    pitch=${tok%%:*}
    beats=1
    [[ $tok == *:* ]] && beats=${tok##*:}
    [[ $pitch != - ]] && note xylo "$pitch" "$t" 1.0 0.8
    t=$(calc "$t + $beats * $eighth")
done
t=0
quarter=0
for pitch in C3 G2 C3 G2 G2 D3 G2 D3 F2 C3 F2 C3 G2 D3 G2 - C3 G2 A2 E3 D3 A2 G2 B2; do
    if [[ $pitch != - ]]; then
        note bass "$pitch" "$t" 0.55 0.7
        # wood block on the "pah" of every oom-pah
        if ((quarter % 2 == 1)); then
            note wood A5 "$t" 0.2 0.12
        fi
    fi
    quarter=$((quarter + 1))
    t=$(calc "$t + 2 * $eighth")
done
effect 6.0 0.12 0.4 sine "$(hz G4)/$(hz G5)"
note xylo G5 9.6 1.0 0.5
for pitch in C5 E5 G5 C6; do
    note xylo "$pitch" 9.8 0.4 1.2
    note chime "$pitch" 9.8 0.25 2.0
done
note bass C3 9.8 0.6 1.5
finish s-cartoon.mp3 11 0.3 reverb 20 50 50

# guitar: a finger-picked C to G7 pattern closed by a strummed C chord.
t=0
for pitch in C3 G3 C4 E4 G4 E4 C4 G3 G2 D3 G3 B3 D4 F4 D4 B3; do
    pluck "$pitch" "$t" 0.5 1.6
    t=$(calc "$t + 0.2")
done
i=0
for pitch in C3 E3 G3 C4 E4 G4; do
    pluck "$pitch" "$(calc "3.2 + $i * 0.025")" 0.5 1.8
    i=$((i + 1))
done
finish s-guitar.mp3 5 0.3 reverb 25 60 50

# melody: the four-phrase Westminster chime in E major, the classic school bell.
beat=0.5
phrase_start=0
for phrase in "E5 G#5 F#5 B4" "E5 F#5 G#5 E5" "G#5 E5 F#5 B4" "B4 F#5 G#5 E5"; do
    i=0
    for pitch in $phrase; do
        note chime "$pitch" "$(calc "$phrase_start + $i * $beat")" 1.0 4.0
        i=$((i + 1))
    done
    phrase_start=$(calc "$phrase_start + 5 * $beat")
done
finish s-melody.mp3 11 0.5 reverb 45 50 80

# ring: an electric bell whose hammer beats the dome 24 times a second,
# then the dome rings out once the hammer stops.
f=$(hz B5)
new_tmp
sx -m "$(steady "$f" 1.0 2.4)" "$(steady "$(calc "$f * 2.09")" 0.45 2.4)" \
    "$(steady "$(calc "$f * 3.18")" 0.2 2.4)" "$(steady "$(calc "$f * 4.6")" 0.08 2.4)" \
    "$tmp" tremolo 24 90 tremolo 24 90 # twice: narrower peaks, like hammer blows
track+=("$tmp")
new_tmp
sx -m "$(partial sine "$f" 1.0 1.3)" "$(partial sine "$(calc "$f * 2.09")" 0.45 0.8)" \
    "$(partial sine "$(calc "$f * 3.18")" 0.2 0.5)" "$(partial sine "$(calc "$f * 4.6")" 0.08 0.3)" \
    "$tmp" fade t 0.04 vol 0.6 pad 2.36
track+=("$tmp")
finish s-ring.mp3 3 0.2 reverb 25 50 50

# alarm: a continuous hi-lo two-tone siren, square waves tamed by a low-pass.
new_tmp
hi=$tmp
sx -n -r "$RATE" -c 1 "$hi" synth 0.25 square "$(hz B5)" fade t 0.004 0.25 0.004
new_tmp
lo=$tmp
sx -n -r "$RATE" -c 1 "$lo" synth 0.25 square "$(hz G5)" fade t 0.004 0.25 0.004
siren=()
for _ in 1 2 3 4 5 6 7 8 9 10; do siren+=("$hi" "$lo"); done
new_tmp
sx "${siren[@]}" "$tmp" vol 0.5 lowpass 3500
track+=("$tmp")
finish alarm.mp3 5 0.02

# evacuation: the ISO 8201 temporal-three pattern, three half-second tones half
# a second apart and 1.5 s of quiet; the file is one cycle, the player loops it.
for at in 0 1.0 2.0; do
    new_tmp
    sx -n -r "$RATE" -c 1 "$tmp" synth 0.5 square 950 synth 0.5 sawtooth mix 950 \
        fade t 0.005 0.5 0.005 vol 0.5 pad "$at"
    track+=("$tmp")
done
finish e-evacuation.mp3 4 0.02 lowpass 2500

# lockdown: a slow low-high-low warble, nothing like a chime or a pulsed alarm.
# Each 1.2 s sweep holds a whole number of cycles (mean 500 Hz), so the joins
# between sweeps stay click-free.
new_tmp
up=$tmp
sx -n -r "$RATE" -c 1 "$up" synth 1.2 triangle 400:600 synth 1.2 square mix 400:600
new_tmp
down=$tmp
sx -n -r "$RATE" -c 1 "$down" synth 1.2 triangle 600:400 synth 1.2 square mix 600:400
new_tmp
sx "$up" "$down" "$up" "$down" "$tmp" vol 0.5 fade t 0.01 -0 0.05
track+=("$tmp")
finish e-lockdown.mp3 5 0.05 lowpass 1800

# allclear: calm chime notes rising through the G major chord to the octave.
note chime G4 0 1.0 2.6
note chime B4 0.45 1.0 2.6
note chime D5 0.9 1.0 2.6
note chime G5 1.35 1.0 3.0
finish e-allclear.mp3 4 0.5 reverb 40 50 70
