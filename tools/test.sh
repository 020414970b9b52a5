#!/usr/bin/env bash
# Builds and runs every test: the native build, its sanitizer builds (AddressSanitizer with
# UndefinedBehaviorSanitizer, ThreadSanitizer), Valgrind memcheck, the fuzz targets for a
# short time each, and the real quorvel.dll under Wine.
#
# Environment: QV_FUZZ_SECONDS (default 10; CI uses 60).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

run_preset() {
  echo "=== $1"
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

# Native, then the sanitizers.
for preset in native asan tsan; do
  run_preset "$preset"
  ctest --preset "$preset" -j 2
done

# Valgrind memcheck over the native unit tests; not the one that makes memory run out, which
# Valgrind cannot turn into a failed allocation.
echo "=== valgrind"
valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  build/native/bin/quorvel_tests --gtest_brief=1 --gtest_filter=-EvtFiles.MemoryRunningOutFailsTheCall

# Fuzz targets, each from its seed corpus for a fixed time.
run_preset fuzz
seconds=${QV_FUZZ_SECONDS:-10}
for target in build/fuzz/bin/fuzz_*; do
  [[ -x "$target" ]] || continue
  name=$(basename "$target"); name=${name#fuzz_}
  corpus=$(mktemp -d)
  cp -r "fuzz/corpus/$name/." "$corpus/" 2>/dev/null || true
  echo "=== fuzz $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus" 2>&1 | tail -n 2
  rm -rf "$corpus"
done

# The real quorvel.dll under Wine.
if command -v wine >/dev/null && command -v i686-w64-mingw32-g++ >/dev/null; then
  run_preset win32
  ctest --preset win32
elif [[ "${CI:-}" == "true" ]]; then
  echo "Wine or the mingw-w64 cross compiler is missing: the win32 tests cannot run." >&2
  exit 1
else
  echo "=== win32: SKIPPED (Wine or i686-w64-mingw32-g++ not installed)"
fi
echo "All tests passed."
