#!/usr/bin/env bash
# Installs what is needed, builds the normal and the sanitizer trees (ASan+UBSan for
# everything, ThreadSanitizer for the audio layer), runs the fuzzers for a bounded time and
# every test. The last line is CTest's summary of the full suite.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# SDL and D-Bus keep process-lifetime allocations; leaks in our code are not what this run checks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

tools/build.sh build-asan -DTAVIX_SANITIZE=ON -DTAVIX_BENCH=OFF
tools/build.sh build-tsan -DTAVIX_TSAN=ON -DTAVIX_BENCH=OFF
if [ -x tools/run-fuzzers.sh ]; then tools/run-fuzzers.sh "${TAVIX_FUZZ_SECONDS:-60}"; fi
tools/build.sh build

echo "== thread sanitizer build (the audio layer, its stress test included)"
ctest --test-dir build-tsan --output-on-failure -j2
echo "== sanitizer build (ASan+UBSan)"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir build-asan --output-on-failure -j2
echo "== normal build"
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir build --output-on-failure -j2
