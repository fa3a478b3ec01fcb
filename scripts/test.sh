#!/usr/bin/env bash
# Installs what is needed, builds and runs every test (unit, peer and ui),
# then runs the browser-host window test again under AddressSanitizer: it
# closes a window while its enhanced-browsing look-up is still running.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)" "$@")
scripts/sanitize.sh --quick
