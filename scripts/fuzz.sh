#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into ./build-fuzz and runs each in
# turn for the given number of seconds (default 60).
#   scripts/fuzz.sh [seconds] [target...]
#
# Each target starts from a scratch copy of its seeds in
# tests/fixtures/fuzz/<target>/; what the fuzzer adds to the corpus stays in
# the scratch folder (FUZZ_WORK, default a new folder under /tmp) and never
# goes into the source tree. An input that fails is written there as
# crash-*, leak-*, timeout-* or oom-*; once the fault is mended, add the
# input to the target's seed folder.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for f in fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
  >/dev/null || exit 1
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}" || exit 1

work="${FUZZ_WORK:-$(mktemp -d "${TMPDIR:-/tmp}/vyrelle-fuzz.XXXXXX")}"
mkdir -p "$work"
echo "scratch folder: $work"
summary=()
failed=0
for t in "${targets[@]}"; do
  corpus="$work/$t/corpus"
  artifacts="$work/$t/"
  mkdir -p "$corpus"
  seeds="tests/fixtures/fuzz/$t"
  if [ -d "$seeds" ]; then
    cp -R "$seeds/." "$corpus/"
  else
    echo "warning: $t has no seeds in $seeds" >&2
  fi
  log="$work/$t/fuzz.log"
  echo "== $t for ${seconds}s (log: $log)"
  start=$(date +%s)
  # The scratch folder is the working directory and the temporary folder:
  # some targets write files of their own.
  (cd "$work/$t" && TMPDIR="$work/$t" "$root/build-fuzz/fuzz/$t" -max_total_time="$seconds" -max_len=65536 \
    -timeout=30 -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus") >"$log" 2>&1
  rc=$?
  elapsed=$(( $(date +%s) - start ))
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  found=$(ls "$work/$t" | grep -E '^(crash|leak|timeout|oom|slow-unit)-' | tr '\n' ' ')
  if [ "$rc" -ne 0 ] || [ -n "$found" ]; then
    failed=1
    tail -n 40 "$log"
    summary+=("$t: ${elapsed}s, ${runs:-?} runs, FAILED (exit $rc) ${found}")
  else
    summary+=("$t: ${elapsed}s, ${runs:-?} runs, nothing found, corpus $(ls "$corpus" | wc -l) inputs")
  fi
  echo "${summary[-1]}"
done
echo "== summary"
printf '%s\n' "${summary[@]}"
exit "$failed"
