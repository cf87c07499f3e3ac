#!/usr/bin/env bash
# Regenerates the example chart: four measures (64 cells) that open with the keys of the
# export's worked example (cells 4, 8 and 21) and go on with a short pattern, with confirm
# markers on cells 8, 21 and 32 and the final one on the last cell. example.slk is the
# script export of example.zts, written by the tool: make-example.sh [path/to/tavix-chart]
set -euo pipefail
cd "$(dirname "$0")"
tool=${1:-../../build/app/tavix-chart/tavix-chart}
cells=64
# cell:rows (rows 1-6 are the keys 7 4 1 9 6 3, row 7 the confirm marker)
pattern=(
  0:1 4:13 8:247 12:6 16:4 20:5 21:7 24:36 28:2 32:147 36:3 40:5 44:25 48:16 52:4
  56:34 60:2 62:123456 63:7
)
grid=()
for ((i = 0; i <= 7 * cells; i++)); do grid[i]=0; done
for entry in "${pattern[@]}"; do
  cell=${entry%%:*}
  rows=${entry#*:}
  for ((j = 0; j < ${#rows}; j++)); do grid[7 * cell + ${rows:j:1}]=1; done
done
upper=$((7 * cells))
{
  printf 'ZorvikTuneScribeFile'
  printf "\\x$(printf %02x $((upper & 255)))\\x$(printf %02x $((upper >> 8 & 255)))\\x00\\x00"
  for b in "${grid[@]}"; do printf "\\x0$b"; done
} >example.zts
"$tool" convert example.zts example.slk
"$tool" info example.zts
