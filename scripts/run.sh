#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program with its demo
# catalogue. With --demo, the window talks to a simulated ESC instead of a
# real link cable.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/setup.sh"
"$top/scripts/build.sh" "$top/build"

program="$top/build/bin/zuda-link"
if [ "${1:-}" = "--demo" ]; then
  program="$top/build/bin/zuda-demo"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting on a virtual one (Xvfb). Stop with Ctrl-C."
  exec xvfb-run -a "$program"
fi
exec "$program"
