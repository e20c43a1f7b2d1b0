#!/usr/bin/env bash
# Prints the record digests of every benchmark document and the real-world set at both
# tolerances, for one record-dump binary; two outputs must be identical.
#   bench/compare_dumps.sh build/bench/bench/polyin_record_dump > x86_64.txt
set -eu
dump=$1
icons=${2:-/usr/share/icons}
for tolerance in 0.1 0.001; do
  echo "## tolerance $tolerance"
  "$dump" --digest --tolerance "$tolerance" \
    --generate outlines 52428800 --generate curves 20971520 \
    --generate shapes 10485760 --generate colours 20000 --icons "$icons"
done
