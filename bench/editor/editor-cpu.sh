#!/usr/bin/env bash
# Prints the CPU that the running editor takes, in % of one core: over a stretch idle
# with the demo song's chart shown, then over stretches playing it with the waveform and
# beat lines on and off (W); and how long the program took from its start to a mapped
# window. Runs under an Xvfb of its own when no DISPLAY is set, with settings of its own.
#   bench/editor/editor-cpu.sh [BUILD_DIR]       (seconds per stretch: TAVIX_CPU_SECONDS, 20)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
bin=$build/app/tavix-editor/tavix-editor
song=resources/sounds/demo.ogg
[ -x "$bin" ] || { echo "no $bin: build tavix-editor first" >&2; exit 1; }

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

secs=${TAVIX_CPU_SECONDS:-20}
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
export QT_QPA_PLATFORM=xcb
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
ticks=$(getconf CLK_TCK)

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

started=$(date +%s%N)
"$bin" "$song" >/dev/null 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$XDG_CONFIG_HOME"' EXIT
# Polled every 10 ms (xdotool's own --sync waits in steps of half a second).
win=
for _ in $(seq 1000); do
  win=$(xdotool search --onlyvisible --name "Zorvik Tavix Editor v1.68" 2>/dev/null | head -1) || true
  [ -n "$win" ] && break
  sleep 0.01
done
mapped=$(date +%s%N)
[ -n "$win" ] || { echo "the window did not appear" >&2; exit 1; }
echo "start-up to a mapped window: $(( (mapped - started) / 1000000 )) ms (program start, song header read)"

sleep 3 # let the song finish decoding
measure() {
  local label=$1 before after
  before=$(cpu_ticks "$pid")
  sleep "$secs"
  after=$(cpu_ticks "$pid")
  awk -v d=$((after - before)) -v t="$ticks" -v s="$secs" -v l="$label" \
    'BEGIN { printf "%s: %.2f %% of one core over %d s\n", l, 100 * d / t / s, s }'
}
measure "idle, chart shown"

eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove $((X + 235 + 24)) $((Y + 624 + 24)) click 1
sleep 1
measure "playing, waveform and beat lines on"
xdotool key w
sleep 1
measure "playing, waveform and beat lines off"
kill "$pid"
wait "$pid" 2>/dev/null || true
rm -rf "$XDG_CONFIG_HOME"
trap - EXIT
