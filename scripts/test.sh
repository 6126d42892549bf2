#!/usr/bin/env bash
# Runs every test: the store's fuzzer for a minute, native, native under AddressSanitizer and
# UndefinedBehaviorSanitizer (both in shuffled order, three times over: their test presets say
# so), the 32-bit Windows build under Wine, and the 64-bit one beside it (which uses the 32-bit
# build's files). Installs what a fresh Debian machine lacks first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# The fuzzer first, for a minute under ASan and UBSan, so the test runners' summaries close the log.
echo "== fuzz"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build/fuzz/corpus
build/fuzz/fuzz/quilmar_fuzzer -max_total_time=60 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix=build/fuzz/ build/fuzz/corpus fuzz/corpus
# The 32-bit build comes first on every machine, as the 64-bit one uses its files. Where no 32-bit
# program runs (CMake decides it, see cmake/wine.cmake) its tests that run them show as skipped.
for preset in native asan win32 win64; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
