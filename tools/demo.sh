#!/usr/bin/env bash
# The main job: builds the library for Linux (against the simulated Windows services) and
# the real 32-bit quorvel.dll, then runs a short demonstration through qvcall.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset win32 >/dev/null
cmake --build --preset win32
echo "=== build/win32/bin:"; ls build/win32/bin
echo "=== demonstration (native build, simulated Windows):"
build/native/bin/qvcall -v tools/demo.qv
