#!/usr/bin/env bash
# Runs every test: native, native under AddressSanitizer and UndefinedBehaviorSanitizer, and the
# 32-bit Windows build under Wine. Installs what a fresh Debian machine lacks first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in native asan win32; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
