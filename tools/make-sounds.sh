#!/usr/bin/env bash
# Makes the editor's sounds with SoX, from SoX's own synthesiser only (no recorded or
# downloaded material), into resources/sounds/:
#   PF.wav    the key sound: a high-passed noise tick over a short 3.2 kHz click, 70 ms
#   SP.wav    the confirm-marker sound: a two-tone bell ping (E6 + B6), 140 ms
#   MB.wav    the metronome's beat click: a 1.5 kHz woodblock-like tick, 30 ms
#   MM.wav    the metronome's measure click: the same at 2.5 kHz, louder, 40 ms
#   demo.ogg  a demo song to chart: 60 s at 100 BPM, stereo Ogg Vorbis, kick on every
#             beat, hats on the off-beats, a clap on 2 and 4, a bass line and a plucked
#             A-minor melody from bar 5
#   sounds.qrc  the Qt resource list (prefix /SOUND, aliases PF, SP, MB and MM)
# The clips are mono 44.1 kHz 16-bit with their full level on the first frames.
# Run from anywhere: tools/make-sounds.sh   (needs sox with Ogg Vorbis support)
set -euo pipefail
cd "$(dirname "$0")/.."
out=resources/sounds
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# -R: repeatable noise and dither, so a rerun gives the same clips.
sx() { sox -R "$@"; }
mono=(-r 44100 -c 1 -b 16)

# ---- PF: the key sound ---------------------------------------------------------------
sx -n "${mono[@]}" "$work/pf-noise.wav" synth 0.07 whitenoise vol 0.5 highpass 2500 \
  highpass 2500 fade q 0 0.07 0.065
sx -n "${mono[@]}" "$work/pf-click.wav" synth 0.025 sine 3200 0 25 fade q 0 0.025 0.022
sx -m -v 0.55 "$work/pf-noise.wav" -v 0.8 "$work/pf-click.wav" "${mono[@]}" "$work/pf.wav"
sx "$work/pf.wav" "${mono[@]}" "$out/PF.wav" gain -n -6

# ---- SP: the marker sound ------------------------------------------------------------
sx -n "${mono[@]}" "$work/sp-low.wav" synth 0.14 sine 1318.5 0 25 fade l 0 0.14 0.135
sx -n "${mono[@]}" "$work/sp-high.wav" synth 0.09 sine 1975.5 0 25 fade l 0 0.09 0.088
sx -m -v 0.6 "$work/sp-low.wav" -v 0.5 "$work/sp-high.wav" "${mono[@]}" "$work/sp.wav"
sx "$work/sp.wav" "${mono[@]}" "$out/SP.wav" gain -n -6

# ---- MB, MM: the metronome's clicks ---------------------------------------------------
# A sine burst from its peak with a fast decay (two quarter-sine fades), full level on
# the first frames so the click sits on its sample.
click() { # file frequency length level
  sx -n "${mono[@]}" "$work/click-$2.wav" synth "$3" sine "$2" 0 25 fade q 0 "$3" "$3" \
    fade q 0 "$3" "$3"
  sx "$work/click-$2.wav" "${mono[@]}" "$1" gain -n "$4"
}
click "$out/MB.wav" 1500 0.03 -9
click "$out/MM.wav" 2500 0.04 -5

# ---- demo.ogg ------------------------------------------------------------------------
beat=0.6   # 100 BPM
bars=25    # 100 beats = 60 s
beats=$((bars * 4))

silence() { sx -n "${mono[@]}" "$1" trim 0 "$2"; }

# Kick on every beat.
sx -n "${mono[@]}" "$work/kick1.wav" synth 0.32 sine 130:42 fade q 0.001 0.32 0.28 pad 0 0.28
sx "$work/kick1.wav" "$work/kick.wav" repeat $((beats - 1))

# Hats on the off-beats, a softer one on the sixteenth after.
sx -n "${mono[@]}" "$work/hat.wav" synth 0.035 whitenoise vol 0.5 highpass 7500 \
  fade q 0 0.035 0.03 pad 0 0.115
silence "$work/half.wav" 0.3
sx -v 0.5 "$work/hat.wav" "$work/hat-soft.wav"
sx "$work/half.wav" "$work/hat.wav" "$work/hat-soft.wav" "$work/hat-beat.wav"
sx "$work/hat-beat.wav" "$work/hats.wav" repeat $((beats - 1))

# A clap on beats 2 and 4.
sx -n "${mono[@]}" "$work/clap.wav" synth 0.16 pinknoise bandpass 1700 1.2q \
  fade q 0.001 0.16 0.15 pad 0 0.44
silence "$work/rest-beat.wav" "$beat"
sx "$work/rest-beat.wav" "$work/clap.wav" "$work/rest-beat.wav" "$work/clap.wav" "$work/clap-bar.wav"
sx "$work/clap-bar.wav" "$work/claps.wav" repeat $((bars - 1))

# Bass: A F C G, one bar each, eighth notes.
note() { # file frequency length
  sx -n "${mono[@]}" "$1" synth "$3" pluck "$2" fade q 0.002 "$3" 0.05
}
bass_parts=()
roots=(110.00 87.31 130.81 98.00)
for ((b = 0; b < bars; b++)); do
  f=${roots[$((b % 4))]}
  [ -f "$work/bass-$f.wav" ] || {
    note "$work/bass-note-$f.wav" "$f" 0.3
    sx "$work/bass-note-$f.wav" "$work/bass-note-$f.wav" "$work/bass-note-$f.wav" \
      "$work/bass-note-$f.wav" "$work/bass-note-$f.wav" "$work/bass-note-$f.wav" \
      "$work/bass-note-$f.wav" "$work/bass-note-$f.wav" "$work/bass-$f.wav" lowpass 700
  }
  bass_parts+=("$work/bass-$f.wav")
done
sx "${bass_parts[@]}" "$work/bass.wav"

# Melody, A minor pentatonic, eighth notes ('-' rests), a four-bar phrase played five
# times from bar 5 and a last held A.
declare -A hz=([A4]=440.00 [C5]=523.25 [D5]=587.33 [E5]=659.26 [G5]=783.99 [A5]=880.00
  [G4]=392.00 [E4]=329.63)
phrase=(A4 - C5 D5 E5 - D5 C5
  A4 - C5 - C5 D5 C5 -
  G4 - C5 D5 E5 - G5 E5
  D5 - C5 - A4 - - -)
melody_parts=()
for ((b = 0; b < 4; b++)); do melody_parts+=("$work/rest-bar.wav"); done
silence "$work/rest-bar.wav" 2.4
silence "$work/rest-eighth.wav" 0.3
for ((r = 0; r < 5; r++)); do
  for n in "${phrase[@]}"; do
    if [ "$n" = "-" ]; then
      melody_parts+=("$work/rest-eighth.wav")
    else
      [ -f "$work/mel-$n.wav" ] || note "$work/mel-$n.wav" "${hz[$n]}" 0.3
      melody_parts+=("$work/mel-$n.wav")
    fi
  done
done
note "$work/mel-end.wav" 440.00 2.4
melody_parts+=("$work/mel-end.wav")
sx "${melody_parts[@]}" "$work/melody.wav"

# Mix to stereo: kick, clap and bass in the middle, hats a little right, melody a little
# left; headroom left for the key sounds mixed over it.
stereo=(-r 44100 -c 2 -b 16)
sx "$work/kick.wav" "${stereo[@]}" "$work/kick-s.wav" remix 1 1
sx "$work/claps.wav" "${stereo[@]}" "$work/claps-s.wav" remix 1 1
sx "$work/bass.wav" "${stereo[@]}" "$work/bass-s.wav" remix 1 1
sx "$work/hats.wav" "${stereo[@]}" "$work/hats-s.wav" remix 1v0.6 1v1.0
sx "$work/melody.wav" "${stereo[@]}" "$work/melody-s.wav" remix 1v1.0 1v0.65
sx -m -v 0.36 "$work/kick-s.wav" -v 0.14 "$work/hats-s.wav" -v 0.18 "$work/claps-s.wav" \
  -v 0.24 "$work/bass-s.wav" -v 0.28 "$work/melody-s.wav" "${stereo[@]}" "$work/mix.wav" \
  trim 0 60 gain -n -4
sx "$work/mix.wav" -C 2 "$out/demo.ogg"

cat > "$out/sounds.qrc" <<'QRC'
<!DOCTYPE RCC>
<RCC version="1.0">
<qresource prefix="/SOUND">
    <file alias="PF">PF.wav</file>
    <file alias="SP">SP.wav</file>
    <file alias="MB">MB.wav</file>
    <file alias="MM">MM.wav</file>
</qresource>
</RCC>
QRC

for f in PF.wav SP.wav MB.wav MM.wav demo.ogg; do
  printf '%-9s %8d bytes  %s s\n' "$f" "$(stat -c %s "$out/$f")" "$(soxi -D "$out/$f")"
done
