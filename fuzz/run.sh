#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, ASan + UBSan) in build/fuzz and runs each of them.
#   fuzz/run.sh [SECONDS]   fuzz every target for SECONDS each (default 60)
#   fuzz/run.sh --runs N    run every target for N inputs with a fixed seed (the test.sh smoke)
# New corpus entries go to build/fuzz/work/TARGET, which each run empties first (copy it to keep
# it); crashes go to build/fuzz/artifacts/.
set -u
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=$ROOT/build/fuzz
mode=time
budget=${1:-60}
if [ "${1:-}" = "--runs" ]; then
  mode=runs
  budget=${2:-2000}
fi

mkdir -p "$ROOT/build"
if ! { CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DPOLYIN_FUZZ=ON -DPOLYIN_BUILD_TESTS=OFF \
         -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$BUILD.configure.log" 2>&1 &&
       cmake --build "$BUILD" -j 2 --target polyin_fuzzers >"$BUILD.build.log" 2>&1; }; then
  tail -n 30 "$BUILD.configure.log" "$BUILD.build.log" 2>/dev/null
  echo "fuzz: build FAILED"
  exit 1
fi

# Seed directories of each target, under fuzz/corpus/; the whole-document targets also start
# from examples/.
seeds_of() {
  case $1 in
    reader|tokenizer|mesh|report) echo "reader" ;;
    path_data) echo "path_data" ;;
    transform) echo "transform" ;;
    style) echo "style transform" ;;
    number) echo "number path_data" ;;
  esac
}

# Allocations are not allowed to fail quietly: a size that wraps around must be reported, not
# taken for an ordinary lack of memory (the reader target fails allocations through its own hook).
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$BUILD/artifacts"
failed=0
for target in reader tokenizer path_data transform style number mesh report; do
  work=$BUILD/work/$target
  rm -rf "$work"
  mkdir -p "$work"
  dirs=()
  for seed in $(seeds_of $target); do dirs+=("$ROOT/fuzz/corpus/$seed"); done
  case $target in reader|tokenizer|mesh|report) dirs+=("$ROOT/examples") ;; esac
  if [ "$mode" = runs ]; then limit=(-seed=1 -runs="$budget"); else limit=(-max_total_time="$budget"); fi
  log=$BUILD/$target.log
  "$BUILD/fuzz/fuzz_$target" "${limit[@]}" -dict="$ROOT/fuzz/svg.dict" -max_len=4096 \
      -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1 \
      -artifact_prefix="$BUILD/artifacts/$target-" "$work" "${dirs[@]}" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  seconds=$(sed -n 's/^stat::.*time.*: *//p' "$log" | tail -1)
  if [ $status -ne 0 ]; then
    grep -E "ERROR|SUMMARY|runtime error|==[0-9]+==|#[0-9]+ 0x" "$log" | head -30
    echo "fuzz $target: FAILED after ${runs:-?} runs (log: $log)"
    failed=$((failed + 1))
  else
    echo "fuzz $target: ok, ${runs:-?} runs"
  fi
done
[ $failed -eq 0 ] || exit 1
