#!/usr/bin/env bash
# Imports an SVG file through the x86-64 module under the stand-in host and writes OBJ + MTL.
#   ./run.sh                         imports examples/logo.svg
#   ./run.sh FILE.svg [--detail N] [-o OUT.obj] [--dump] [--module PATH]
set -u
cd "$(dirname "$0")"
BUILD=build/x86_64
TOOL=$BUILD/host/polyin_import

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  mkdir -p build
  cmake -S . -B "$BUILD" -DPOLYIN_WERROR=ON >build/run.configure.log 2>&1 ||
    { cat build/run.configure.log; echo "run.sh: configure failed" >&2; exit 1; }
fi
cmake --build "$BUILD" -j2 --target polyin_import >build/run.build.log 2>&1 ||
  { grep -E "error|Error" build/run.build.log | head -40; echo "run.sh: build failed" >&2; exit 1; }

if [ $# -eq 0 ]; then
  set -- examples/logo.svg
fi
exec "$TOOL" "$@"
