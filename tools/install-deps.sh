#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need and are missing.
# As root it installs them with apt; otherwise it prints the one line to run.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
          libbenchmark-dev pkgconf python3 valgrind g++-mingw-w64-i686 libevt-utils libevt-dev
          libevtx-dev libpugixml-dev libevtx-utils python3-evtx
          wine wine32:i386 wine64)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

needs_i386=0
for p in "${missing[@]}"; do [[ "$p" == *:i386 ]] && needs_i386=1; done
if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages: ${missing[*]}. Install them with:" >&2
  line="sudo apt-get update && sudo apt-get install -y ${missing[*]}"
  [[ $needs_i386 -eq 1 ]] && line="sudo dpkg --add-architecture i386 && $line"
  echo "  $line" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
if [[ $needs_i386 -eq 1 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
