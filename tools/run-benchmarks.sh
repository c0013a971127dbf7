#!/bin/sh
# Runs every benchmark program the build made, one after another.
BUILD=${1:-build}
found=0
for b in $(find "$BUILD/bench" -type f -name 'bench_*' -perm -u+x 2>/dev/null | sort); do
  found=1
  echo "== $(basename "$b")"
  "$b" || exit 1
done
[ $found -eq 0 ] && echo "no benchmarks yet"
exit 0
