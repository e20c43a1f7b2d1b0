#!/usr/bin/env bash
# Imports SVG files through the x86-64 module under the stand-in host and writes OBJ + MTL.
#   ./run.sh                         imports examples/logo.svg
#   ./run.sh FILE.svg [--detail N] [-o OUT.obj] [--report] [--preview OUT.png] ...
#   ./run.sh --help                  every option
set -u
ROOT=$(cd "$(dirname "$0")" && pwd)
BUILD=$ROOT/build/x86_64
TOOL=$BUILD/host/polyin_import

. "$ROOT/cmake/ensure_packages.sh"
ensure_packages cmake make g++ googletest libcli11-dev libcairo2-dev librsvg2-dev || exit 1

mkdir -p "$ROOT/build"
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD" -DPOLYIN_WERROR=ON >"$ROOT/build/run.configure.log" 2>&1 ||
    { cat "$ROOT/build/run.configure.log"; echo "run.sh: configure failed" >&2; exit 1; }
fi
cmake --build "$BUILD" -j2 --target polyin_import polyin_module >"$ROOT/build/run.build.log" 2>&1 ||
  { grep -E "error|Error" "$ROOT/build/run.build.log" | head -40; echo "run.sh: build failed" >&2; exit 1; }

if [ $# -eq 0 ]; then
  set -- "$ROOT/examples/logo.svg"
fi

# A large import fills hundreds of megabytes of fresh memory (the scene's points and polygons,
# the module's records), and where the kernel makes a page fault dear (a virtual machine) those
# faults take most of the import's time. Asking the C library to advise what it maps for large
# pages cuts them to a tenth or less; a C library or kernel without large pages ignores it.
case ":${GLIBC_TUNABLES:-}:" in
  *:glibc.malloc.hugetlb=*) ;;
  *) export GLIBC_TUNABLES="${GLIBC_TUNABLES:+$GLIBC_TUNABLES:}glibc.malloc.hugetlb=1" ;;
esac
exec "$TOOL" "$@"
