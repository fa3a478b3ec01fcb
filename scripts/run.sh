#!/usr/bin/env bash
# Installs what is needed, builds and starts the shell. Extra arguments are
# passed to vyrelle (an address to open, for instance).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting vyrelle inside a virtual X server (xvfb-run)."
  exec xvfb-run -a -s "-screen 0 1280x900x24" build/vyrelle "$@"
fi
exec build/vyrelle "$@"
