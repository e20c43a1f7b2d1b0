#!/usr/bin/env bash
# Builds both modules (x86-64 and i386) and runs the whole test suite on each.
set -u
cd "$(dirname "$0")"
ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

# Debian packages the build and the tests need; installed only when missing.
. "$ROOT/cmake/ensure_packages.sh"
ensure_packages cmake make g++ g++-multilib googletest binutils libcli11-dev libcairo2-dev librsvg2-dev ||
  exit 1
. "$ROOT/cmake/ensure_i386_runs.sh"
ensure_i386_runs || echo "this machine cannot run i386 programs: the i386 checks will fail"

failures=0
passed_total=0
failed_total=0
summary=""

# tree_failed NAME STEP: a tree that could not be configured or built counts as one failure.
tree_failed() {
  echo "== $1: $2 FAILED"
  failures=$((failures + 1)); failed_total=$((failed_total + 1))
  summary="$summary  $1: $2 FAILED\n"
}

# configure_and_test NAME [cmake args...]
configure_and_test() {
  local name=$1; shift
  local dir="build/$name"
  echo "== $name: configure and build"
  if ! cmake -S . -B "$dir" -DPOLYIN_WERROR=ON "$@" >"$dir.configure.log" 2>&1; then
    mkdir -p build; cat "$dir.configure.log"; tree_failed "$name" configure; return
  fi
  if ! cmake --build "$dir" -j "$JOBS" >"$dir.build.log" 2>&1; then
    grep -E "error|Error" "$dir.build.log" | head -40; tree_failed "$name" build; return
  fi
  echo "== $name: test"
  local log="$dir.test.log"
  (cd "$dir" && ctest -j "$JOBS" --output-on-failure --timeout 600 ${CTEST_EXCLUDE:+-E "$CTEST_EXCLUDE"}) >"$log" 2>&1
  local status=$?
  grep -E "tests passed|tests failed|\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception|Not Run" "$log" | head -60
  local line total failed
  line=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" "$log" | tail -1)
  total=$(echo "$line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  failed=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/')
  [ -n "$total" ] || total=0
  [ -n "$failed" ] || failed=0
  if [ "$status" -ne 0 ] || [ "$total" -eq 0 ]; then
    failures=$((failures + 1))
    [ "$failed" -eq 0 ] && failed=1
  fi
  passed_total=$((passed_total + total - failed))
  failed_total=$((failed_total + failed))
  summary="$summary  $name: $((total - failed))/$total passed\n"
}

mkdir -p build
configure_and_test x86_64
configure_and_test i386 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/i386-toolchain.cmake"

# ---- benchmark smoke: builds the benchmarks (tests off) in build/bench and runs them at small
# sizes, without thresholds; its tests count into the totals like any tree's.
echo "== bench: configure and build"
if cmake -S . -B build/bench -DPOLYIN_WERROR=ON -DPOLYIN_BENCH=ON -DPOLYIN_BUILD_TESTS=OFF \
     >build/bench.configure.log 2>&1 &&
   cmake --build build/bench -j "$JOBS" >build/bench.build.log 2>&1; then
  echo "== bench: smoke"
  (ctest --test-dir build/bench/bench -j "$JOBS" --output-on-failure --timeout 120) >build/bench.test.log 2>&1
  bench_status=$?
  grep -E "tests passed|tests failed|\*\*\*Failed|\*\*\*Timeout" build/bench.test.log | head -20
  bench_line=$(grep -E "tests passed, [0-9]+ tests failed out of [0-9]+" build/bench.test.log | tail -1)
  bench_total=$(echo "$bench_line" | sed -E 's/.* out of ([0-9]+).*/\1/')
  bench_failed=$(echo "$bench_line" | sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/')
  [ -n "$bench_total" ] || bench_total=0
  [ -n "$bench_failed" ] || bench_failed=0
  if [ "$bench_status" -ne 0 ] || [ "$bench_total" -eq 0 ]; then
    failures=$((failures + 1)); [ "$bench_failed" -eq 0 ] && bench_failed=1
  fi
  passed_total=$((passed_total + bench_total - bench_failed))
  failed_total=$((failed_total + bench_failed))
  summary="$summary  bench: $((bench_total - bench_failed))/$bench_total passed\n"
else
  grep -E "error|Error" build/bench.configure.log build/bench.build.log | head -40
  tree_failed bench build
fi
# ---- end of benchmark smoke

# The deliverables, where the host's installer expects them.
[ -f build/x86_64/polyin_64.p ] && cp build/x86_64/polyin_64.p build/polyin_64.p
[ -f build/i386/polyin_32.p ] && cp build/i386/polyin_32.p build/polyin_32.p

# ==== robustness checks: sanitizer tree, fuzz smoke, module memory check, real-world corpus ====

# Tools of these checks, installed when missing; a step whose tool could not be installed fails.
install_robustness_tools() {
  # valgrind needs the i386 C library's symbols to run i386 programs.
  if ! dpkg -s libc6-dbg:i386 >/dev/null 2>&1; then
    dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  fi
  ensure_packages clang valgrind adwaita-icon-theme tango-icon-theme libc6-dbg:i386 ||
    echo "could not install every tool of the robustness checks"
  # the fuzzing and sanitizer runtime of the clang that is installed
  local major
  major=$(clang -dumpversion 2>/dev/null | cut -d. -f1)
  [ -n "$major" ] && { ensure_packages "libclang-rt-$major-dev" ||
    echo "could not install the runtime of clang $major"; }
}

# run_step NAME COMMAND...: one check counted into the totals.
run_step() {
  local name=$1; shift
  echo "== $name"
  if "$@"; then
    passed_total=$((passed_total + 1)); summary="$summary  $name: passed\n"
  else
    failed_total=$((failed_total + 1)); failures=$((failures + 1)); summary="$summary  $name: FAILED\n"
  fi
}

# Every target of the fuzz smoke (fixed seed, fixed number of runs) counts as one check.
fuzz_smoke() {
  local log=build/fuzz.smoke.log ok bad
  echo "== fuzz smoke (fixed seed, 3000 runs per target)"
  fuzz/run.sh --runs 3000 >"$log" 2>&1
  local status=$?
  cat "$log"
  ok=$(grep -c ': ok,' "$log"); bad=$(grep -c 'FAILED' "$log")
  [ "$status" -eq 0 ] || [ "$bad" -gt 0 ] || bad=1
  passed_total=$((passed_total + ok)); failed_total=$((failed_total + bad))
  [ "$bad" -eq 0 ] || failures=$((failures + 1))
  summary="$summary  fuzz smoke: $ok/$((ok + bad)) targets passed\n"
}

# The main command as the README gives it: it builds what it needs, and the C library's
# large-page advice it runs the tool with leaves the scene as the tool alone makes it.
run_sh_check() {
  local tool=build/x86_64/host/polyin_import example=examples/logo.svg
  [ -x "$tool" ] && cmp <(./run.sh "$example" --dump) <(env -u GLIBC_TUNABLES "$tool" "$example" --dump)
}
run_step "run.sh" run_sh_check

if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
install_robustness_tools
# The whole suite under ASan + UBSan, every report fatal, built with clang so that the sources
# and tests also pass a second compiler's warnings. The dependency check of the module is left
# out there: the sanitizer runtimes are linked in by design.
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# A tree left by another compiler starts afresh: switching compilers in place drops the other
# settings, and the tree would be built without the sanitizers.
for tree in asan asan32; do
  if [ -f "build/$tree/CMakeCache.txt" ] &&
     ! grep -Eq '^CMAKE_CXX_COMPILER:[A-Z]+=(.*/)?clang\+\+$' "build/$tree/CMakeCache.txt"; then
    rm -rf "build/$tree"
  fi
done
CTEST_EXCLUDE='^ModuleShape\.NeedsOnlyTheCLibraryAndLibm$' configure_and_test asan \
  -DPOLYIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
# The i386 build has code of its own (numbers gathered in 32 bits) and 32-bit sizes and longs.
# LeakSanitizer stops the process's threads through ptrace, which the user-mode emulator does
# not offer: there it would hang, so emulated i386 runs find memory errors but not leaks (the
# x86-64 tree checks leaks of the same code).
[ "$I386_EMULATED" -eq 1 ] && export ASAN_OPTIONS=detect_leaks=0:halt_on_error=1:abort_on_error=0
CTEST_EXCLUDE='^ModuleShape\.NeedsOnlyTheCLibraryAndLibm$' configure_and_test asan32 \
  -DPOLYIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/i386-toolchain.cmake" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
unset ASAN_OPTIONS UBSAN_OPTIONS
fuzz_smoke
run_step "module memory check" tests/real_world/check.sh memcheck
run_step "real-world corpus, x86-64 = i386" tests/real_world/check.sh compare

printf "%b" "$summary"
echo "TOTAL: $passed_total passed, $failed_total failed"
if [ "$failures" -ne 0 ]; then
  echo "test.sh: FAILED"
  exit 1
fi
echo "test.sh: all passed"
