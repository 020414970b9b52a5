#!/usr/bin/env bash
# Builds and runs every test: the native build with Valgrind memcheck, its sanitizer builds
# (AddressSanitizer with UndefinedBehaviorSanitizer, ThreadSanitizer), the fuzz targets for a
# short time each, and the real quorvel.dll with its PE checks and, under Wine, its Windows
# tests. Every group runs even when one before it failed; the run ends with one line per
# group (passed, failed or skipped, and why) and fails when any group failed.
#
# Environment: QV_FUZZ_SECONDS (default 10; CI uses 60).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

declare -A outcome=()
groups=(native asan tsan fuzz win32)

build_preset() {
  echo "=== $1"
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

# Native, then the sanitizers.
native() {
  build_preset native && ctest --preset native -j 2 || return 1
  # Valgrind memcheck over the native unit tests; not the one that makes memory run out,
  # which Valgrind cannot turn into a failed allocation.
  echo "=== valgrind"
  valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    build/native/bin/quorvel_tests --gtest_brief=1 \
    --gtest_filter=-EvtFiles.MemoryRunningOutFailsTheCall
}
sanitizer() { build_preset "$1" && ctest --preset "$1" -j 2; }
asan() { sanitizer asan; }
tsan() { sanitizer tsan; }

# Fuzz targets, each from its seed corpus for a fixed time.
fuzz() {
  build_preset fuzz || return 1
  local seconds=${QV_FUZZ_SECONDS:-10} target name corpus status=0
  for target in build/fuzz/bin/fuzz_*; do
    [[ -x "$target" ]] || continue
    name=$(basename "$target"); name=${name#fuzz_}
    corpus=$(mktemp -d)
    cp -r "fuzz/corpus/$name/." "$corpus/" 2>/dev/null || true
    echo "=== fuzz $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus" > "$corpus.log" 2>&1 \
      || status=1
    tail -n 2 "$corpus.log"
    rm -rf "$corpus" "$corpus.log"
  done
  return $status
}

# The real quorvel.dll: its PE checks, and its Windows tests under Wine where this machine
# can start 32-bit programs (the test run's probe says whether it can).
win32() {
  if ! command -v wine >/dev/null || ! command -v i686-w64-mingw32-g++ >/dev/null; then
    if [[ "${CI:-}" == "true" ]]; then
      echo "Wine or the mingw-w64 cross compiler is missing: the win32 tests cannot run." >&2
      return 1
    fi
    outcome[win32]="skipped: Wine or i686-w64-mingw32-g++ is not installed"
    return 0
  fi
  build_preset win32 && ctest --preset win32 || return 1
  local probe
  probe=$(head -n 1 build/win32/wine32-probe.txt 2>/dev/null || echo "no: the probe did not run")
  if [[ "$probe" == no:* ]]; then
    outcome[win32]="passed, but its Wine tests were skipped: ${probe#no: }; the PE, import-library and package checks ran"
  fi
}

failed=0
for group in "${groups[@]}"; do
  if "$group"; then
    : "${outcome[$group]:=passed}"
  else
    outcome[$group]="FAILED (see its output above)"
    failed=1
  fi
done

echo "=== summary"
for group in "${groups[@]}"; do
  printf '%-7s %s\n' "$group:" "${outcome[$group]}"
done
if [[ $failed -ne 0 ]]; then
  echo "Some tests failed."
  exit 1
fi
echo "All tests passed."
