#!/usr/bin/env bash
# Builds Vyrelle and its tests with AddressSanitizer (leak detection on) and
# UndefinedBehaviorSanitizer into ./build-sanitize, runs the whole test suite
# (unit, peer and ui) there and fails when a test fails or a sanitizer reports
# anything in any process the tests start.
#   scripts/sanitize.sh [ctest arguments...]     e.g. scripts/sanitize.sh -L unit
#   scripts/sanitize.sh --quick                  the window tests that close
#       windows while workers run (the browser host, the compose window
#       closed during a send), built unoptimised into ./build-sanitize-quick
#       (the test command runs this after the whole suite)
#
# Leaks inside third-party libraries are suppressed by scripts/lsan.supp;
# reports are collected under build-sanitize/sanitizer-reports/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build="$root/build-sanitize"
config=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
targets=()
if [ "${1:-}" = "--quick" ]; then
  # Only what the chosen tests need, without optimisation: the build takes a
  # fraction of the full one and the reports still name every function.
  shift
  build="$root/build-sanitize-quick"
  config=(-DCMAKE_BUILD_TYPE= "-DCMAKE_CXX_FLAGS=-O0 -g1" "-DCMAKE_C_FLAGS=-O0 -g1")
  targets=(--target browser_host_ui --target compose_window_ui)
  set -- -R '^ui\.(browser_host|compose_window)$' "$@"
else
  scripts/install-deps.sh
fi
reports="$build/sanitizer-reports"

# Every instrumented process writes its reports to a file of its own, so a
# report is seen even when the program's exit status is not checked (a
# command-line call inside a test script, the window program under Xvfb).
# Full stacks through libraries built without frame pointers, so that a leak
# inside one still shows which of our calls made it.
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:fast_unwind_on_malloc=0:log_path=$reports/asan"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$reports/ubsan"

launchers=()
if command -v ccache >/dev/null 2>&1; then
  launchers=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

rm -rf "$reports"
mkdir -p "$reports"
cmake -S . -B "$build" "${config[@]}" -DVYRELLE_SANITIZE=ON "${launchers[@]}"
cmake --build "$build" -j"$(nproc)" "${targets[@]}"

status=0
(cd "$build" && ctest --output-on-failure -j"$(nproc)" "$@") || status=$?

shopt -s nullglob
found=("$reports"/*)
if [ "${#found[@]}" -gt 0 ]; then
  for f in "${found[@]}"; do
    echo "=== sanitizer report: $f"
    cat "$f"
  done
  echo "sanitize: ${#found[@]} sanitizer report(s), see above" >&2
  [ "$status" -ne 0 ] || status=1
fi
if [ "$status" -eq 0 ]; then
  echo "sanitize: all tests passed, no sanitizer reports"
fi
exit "$status"
