#!/usr/bin/env bash
# Makes the real-music tempo set and benchmarks tavix-tempo against aubio,
# bpm-tools and essentia.js on it.
#   tools/realmusic/run.sh [--no-install] [--make-only] [--bench-only]
#                          [--cache DIR] [--tavix PATH] [-- BENCH_OPTIONS...]
# The songs, the unpacked packages and essentia.js live in the cache
# (default ${XDG_CACHE_HOME:-$HOME/.cache}/tavix-realmusic), never in the repo.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
cache=${TAVIX_REALMUSIC_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tavix-realmusic}
tavix=$repo/build/app/tavix-tempo
install=1 make=1 bench=1
while [ $# -gt 0 ]; do
    case $1 in
    --no-install) install=0 ;;
    --make-only) bench=0 ;;
    --bench-only) install=0 make=0 ;;
    --cache) cache=$2; shift ;;
    --tavix) tavix=$2; shift ;;
    --) shift; break ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift
done

sudo=
[ "$(id -u)" = 0 ] || sudo=sudo
mkdir -p "$cache"

if [ $install = 1 ]; then
    pkgs="fluidsynth fluid-soundfont-gm timgm6mb-soundfont musescore-general-soundfont
          sox libsox-fmt-all aubio-tools bpm-tools openmpt123 python3"
    # a node from elsewhere (one that brings its own npm) conflicts with
    # Debian's npm: ask for them only when missing
    command -v node >/dev/null || pkgs="$pkgs nodejs"
    command -v npm >/dev/null || pkgs="$pkgs npm"
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $pkgs
    if [ ! -f "$cache/node/node_modules/essentia.js/package.json" ]; then
        mkdir -p "$cache/node"
        (cd "$cache/node" && { [ -f package.json ] || npm init -y >/dev/null; } &&
            npm install --no-audit --no-fund essentia.js@0.1.3)
    fi
fi

if [ $make = 1 ]; then
    # the game and music packages are fetched as .deb files and unpacked into
    # the cache by make.py: nothing of them is installed on the system
    python3 "$here/make.py" "$cache"
fi

if [ $bench = 1 ]; then
    python3 "$here/bench.py" --cache "$cache" --tavix "$tavix" "$@"
fi
