#!/usr/bin/env bash
# Installs what is needed, builds, and starts the editor on the demo song.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh build -DTAVIX_BENCH=OFF
if [ -x build/app/tavix-editor/tavix-editor ]; then
  exec build/app/tavix-editor/tavix-editor "$@" resources/sounds/demo.ogg
fi
exec build/app/tavix-chart/tavix-chart info resources/examples/example.zts
