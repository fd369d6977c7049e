#!/usr/bin/env bash
# Builds into the given folder (default: build) with any extra CMake options.
# The program, its catalogue and its firmware land in <folder>/bin.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
folder="${1:-$top/build}"
shift || true
cmake -S "$top" -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$folder" --parallel "$(nproc)"
