#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest; then
# builds again with ThreadSanitizer and runs every test once more. Exits
# non-zero on any failure.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
"$top/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

echo "== Build and test"
"$top/scripts/build.sh" "$top/build"
ctest --test-dir "$top/build" --output-on-failure --parallel "$jobs"

echo "== Build and test under ThreadSanitizer"
"$top/scripts/build.sh" "$top/build-tsan" -DZUDA_TSAN=ON
export TSAN_OPTIONS="suppressions=$top/tests/tsan.supp halt_on_error=1 second_deadlock_stack=1"
# ThreadSanitizer needs the classic address-space layout on kernels with high
# mmap randomisation.
setarch "$(uname -m)" -R ctest --test-dir "$top/build-tsan" --output-on-failure --parallel "$jobs"
