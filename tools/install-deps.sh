#!/usr/bin/env bash
# Installs the Debian 12 packages the editor needs to build, run and test.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang clang-format clang-tidy
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libsndfile1-dev libsamplerate0-dev libx11-dev libxi-dev
  libaubio-dev # onset strength and beat tracking for tempo detection
  librubberband-dev # slowed playback with the pitch kept (GPL-2.0-or-later)
  xvfb xauth xdotool x11-utils imagemagick sox libsox-fmt-all xclip
  fonts-dejavu-core fonts-liberation2
  fonts-roboto-unhinted # Roboto Condensed Bold, the labels' face: heavy, and the counters fit
  fonts-wqy-microhei # the Chinese tool tips' glyphs (5 MB, where Noto CJK takes 90 MB)
  libclang-rt-14-dev # libFuzzer and the sanitizer runtimes of clang (a recommend of clang, not pulled in)
  dpkg-dev desktop-file-utils shared-mime-info # the Debian package: dpkg-shlibdeps, and its test's checks
)
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
