#!/usr/bin/env bash
# Builds the fuzz targets of the chart readers with clang (ASan+UBSan, libFuzzer) in
# build-fuzz and runs each for about SECONDS seconds: tools/run-fuzzers.sh [SECONDS]
# A crash, a hang, a leak, an allocation beyond the largest chart or a failed check exits
# non-zero and leaves the input in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build-fuzz

cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVIX_FUZZ=ON -DTAVIX_CHART_ONLY=ON -DTAVIX_SANITIZE=ON -DTAVIX_BENCH=OFF >/dev/null
cmake --build "$dir" --target fuzz_native_reader fuzz_sylk_reader

# The largest grid is 7 x 4,194,304 + 1 bytes (28 MiB); a single allocation above 32 MiB
# means a size check is missing. The import works on a copy of the grid, so a run holds a
# few grids at most; ASan's quarantine is kept small so that RSS measures our memory.
limits=(-rss_limit_mb=512 -malloc_limit_mb=32 -timeout=10 -max_total_time="$seconds")
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$dir/artifacts"

run() {
  local target=$1 seeds=$2
  shift 2
  local corpus="$dir/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target for ${seconds}s"
  "$dir/tests/fuzz/$target" "${limits[@]}" -artifact_prefix="$dir/artifacts/$target-" \
    -print_final_stats=1 "$@" "$corpus" "$seeds" 2>"$dir/$target.log" || {
    tail -n 60 "$dir/$target.log"
    echo "$target failed; see $dir/$target.log and $dir/artifacts/" >&2
    return 1
  }
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$dir/$target.log" || true
}

seeds="$dir/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/native" "$seeds/sylk"
cp tests/chart/golden/*.zts resources/examples/*.zts "$seeds/native/"
cp tests/chart/golden/*.slk resources/examples/*.slk "$seeds/sylk/"
# The script fuzzer reads its first byte as the starting chart; give the seeds one.
for f in "$seeds"/sylk/*.slk; do { printf '\x07'; cat "$f"; } >"$f.seed" && rm "$f"; done

run fuzz_native_reader "$seeds/native" -max_len=4096
run fuzz_sylk_reader "$seeds/sylk" -max_len=8192 -dict=tests/fuzz/sylk.dict
