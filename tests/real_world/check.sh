#!/usr/bin/env bash
# Real-world checks through the stand-in host, one process per module for the whole corpus:
#   check.sh compare    every icon under /usr/share/icons, the examples, the reader's fuzz seeds
#                       and generated circle and hostile files give the same host scene from
#                       polyin_64.p and polyin_32.p at details 10 and 1000 (circle vertices
#                       may differ in the last bit)
#   check.sh memcheck   the corpus at detail 10 through polyin_32.p under valgrind and through
#                       the sanitizer tree's polyin_64.p under ASan + LeakSanitizer: no error,
#                       no leak (where i386 programs run emulated, the asan32 tree's
#                       polyin_32.p under ASan takes valgrind's place)
# Run after the x86_64, i386 (and asan, asan32) trees are built.
set -u
cd "$(dirname "$0")/../.."
. cmake/ensure_packages.sh
. cmake/ensure_i386_runs.sh
ensure_i386_runs || echo "this machine cannot run i386 programs"
OUT=build/real_world
mkdir -p "$OUT/generated"

# Circles of many sizes and places: their vertices come from single-precision sine and cosine.
make_circles() {
  local file=$OUT/generated/circles.svg
  {
    echo '<svg xmlns="http://www.w3.org/2000/svg">'
    for exponent in -3 -2 -1 0 1 2 3 4; do
      for mantissa in 1 1.5 2.25 3.375 7.1 9.99; do
        echo "<circle cx=\"${mantissa}3\" cy=\"-${exponent}.7\" r=\"${mantissa}e${exponent}\" fill=\"#10${exponent#-}0ff\"/>"
      done
    done
    echo '<g transform="translate(0.1,0.2) scale(1.7)"><circle r="0.7"/><circle r="33.3" cx="1e3"/></g>'
    echo '</svg>'
  } >"$file"
}

# n copies of a piece, without a newline between them.
copies() { yes "$2" | head -n "$1" | tr -d '\n'; }

# Hostile documents, so that the memory checks and the comparison cover them too.
make_hostile() {
  local dir=$OUT/generated
  head -c 1000000 /dev/zero | tr '\0' '<' >"$dir/hostile_brackets.svg"
  { copies 100000 '<g fill="#ff0000">'; echo '<rect width="1" height="1"/>'; copies 100001 '</g>'
    echo '<rect width="2" height="2"/>'; } >"$dir/hostile_nested.svg"
  { printf '<rect width="2" height="3"'; copies 100000 ' a="1"'; printf '/>'; } >"$dir/hostile_attributes.svg"
  { printf '<rect fill="#'; copies 1000000 0; printf 'ff" style="stroke-width:'; copies 1000000 1
    printf ';fill-opacity:.5" width="1" height="1"/>'; } >"$dir/hostile_values.svg"
  { printf '<path d="M0 0 c'; copies 5000 ' 0.01 0.01 0.02 -0.01 0.03 0'; printf ' L 1e39 1e400 - + '
    copies 70 0; printf '1"/><path d="M1 1 T'; copies 5000 ' 0 0'; printf '"/>'; } >"$dir/hostile_curves.svg"
  { printf '<rect transform="'; copies 100000 'scale translate(1 '; printf '" width="1" height="1"/>'
    printf '<rect style="'; copies 200 'style:'; printf 'fill:#f00" width="1" height="1"/>'; } \
    >"$dir/hostile_transforms.svg"
  printf '<circle r="-1e30"/><circle r="1e39"/>' >"$dir/hostile_circles.svg"
  printf '\xff\xfe<\x00r\x00e\x00c\x00t\x00>\x00' >"$dir/hostile_utf16.svg"
  printf '<rect width="1" height="1"/>\0<rect width="2" height="2"/>' >"$dir/hostile_nul.svg"
  head -c 500 examples/logo.svg >"$dir/hostile_truncated.svg"
}

make_list() {
  make_circles
  make_hostile
  find /usr/share/icons -name '*.svg' -type f | LC_ALL=C sort >"$OUT/list.txt"
  find "$PWD/examples" "$PWD/fuzz/corpus/reader" "$PWD/$OUT/generated" -type f | LC_ALL=C sort \
    >>"$OUT/list.txt"
  echo "$(wc -l <"$OUT/list.txt") files"
}

compare() {
  local status=0 detail
  for detail in 10 1000; do
    build/x86_64/tests/real_world/polyin_batch_import build/x86_64/polyin_64.p $detail "$OUT/list.txt" \
        >"$OUT/dump64.txt" 2>>"$OUT/compare.log" || { echo "x86-64 import failed at detail $detail"; status=1; }
    build/i386/tests/real_world/polyin_batch_import build/i386/polyin_32.p $detail "$OUT/list.txt" \
        >"$OUT/dump32.txt" 2>>"$OUT/compare.log" || { echo "i386 import failed at detail $detail"; status=1; }
    echo -n "detail $detail: "
    build/x86_64/tests/real_world/polyin_batch_import --compare "$OUT/dump64.txt" "$OUT/dump32.txt" ||
      status=1
  done
  return $status
}

# polyin_32.p under valgrind: memory errors and leaks.
memcheck_valgrind_i386() {
  if ! valgrind --version >/dev/null 2>&1; then echo "valgrind missing"; return 1; fi
  valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible \
      --errors-for-leak-kinds=definite,indirect,possible --log-file="$OUT/valgrind32.log" \
      build/i386/tests/real_world/polyin_batch_import build/i386/polyin_32.p 10 "$OUT/list.txt" \
      >/dev/null 2>"$OUT/valgrind32.err"
  local rc=$?
  if [ $rc -ne 0 ] || [ -s "$OUT/valgrind32.log" ]; then
    head -40 "$OUT/valgrind32.log" "$OUT/valgrind32.err"; echo "polyin_32.p under valgrind: FAILED ($rc)"
    return 1
  fi
  echo "polyin_32.p under valgrind: clean"
}

# Where i386 programs run through the user-mode emulator, valgrind cannot run them and
# LeakSanitizer would hang: the sanitizer tree's polyin_32.p finds memory errors, and leaks are
# left to the x86-64 run below.
memcheck_emulated_i386() {
  ASAN_OPTIONS=detect_leaks=0:halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    build/asan32/tests/real_world/polyin_batch_import build/asan32/polyin_32.p 10 "$OUT/list.txt" \
      >/dev/null 2>"$OUT/asan32.err"
  local rc=$?
  if [ $rc -ne 0 ]; then
    head -40 "$OUT/asan32.err"; echo "polyin_32.p under ASan (emulated i386): FAILED ($rc)"; return 1
  fi
  echo "polyin_32.p under ASan (emulated i386, no leak check): clean"
}

memcheck() {
  local status=0 rc
  if [ "$I386_EMULATED" -eq 1 ]; then
    memcheck_emulated_i386 || status=1
  else
    memcheck_valgrind_i386 || status=1
  fi
  ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    build/asan/tests/real_world/polyin_batch_import build/asan/polyin_64.p 10 "$OUT/list.txt" \
      >/dev/null 2>"$OUT/asan64.err"
  rc=$?
  if [ $rc -ne 0 ]; then
    head -40 "$OUT/asan64.err"; echo "polyin_64.p under ASan + LeakSanitizer: FAILED ($rc)"; status=1
  else
    echo "polyin_64.p under ASan + LeakSanitizer: clean"
  fi
  return $status
}

make_list
case ${1:-compare} in
  compare) compare ;;
  memcheck) memcheck ;;
  *) echo "usage: $0 compare|memcheck"; exit 2 ;;
esac
