#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into ./build-fuzz and runs each for
# the given number of seconds (default 60).
#   scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for f in fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  seeds="tests/fixtures/fuzz/$t"
  echo "== $t for ${seconds}s"
  "build-fuzz/fuzz/$t" -max_total_time="$seconds" -max_len=65536 "build-fuzz/corpus/$t" \
    $( [ -d "$seeds" ] && echo "$seeds" )
done
