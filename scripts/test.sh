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
presets=(native asan win32 win64)
win64_args=()
if ! scripts/runs-32bit.sh; then
  # Without 32-bit programs neither the 32-bit build (its type library is written under 32-bit
  # Wine) nor any 32-bit client can run: say so, and test what can be tested.
  echo "== win32: SKIPPED: this machine runs no 32-bit programs (its kernel refuses them);" \
       "the 32-bit Quilmar.dll and every 32-bit client go untested here"
  presets=(native asan win64)
  win64_args=(-DQUILMAR_WIN32_BUILD_DIR=)
fi
for preset in "${presets[@]}"; do
  echo "== $preset"
  args=()
  [ "$preset" != win64 ] || args=("${win64_args[@]}")
  cmake --preset "$preset" "${args[@]}" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
