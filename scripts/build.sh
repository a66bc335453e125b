#!/usr/bin/env bash
# Builds the three builds from one source: build/win32 (the release Quorvane.dll), build/win64 (the
# build that runs under Wine) and build/posix (tests, simulator), which knows where the other two are.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

configure() { # folder, extra arguments
  local folder=$1; shift
  cmake -S "$root" -B "$root/$folder" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$root/$folder" -j "$jobs"
}

configure build/win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
configure build/win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
configure build/posix -DQUORVANE_WIN32_BUILD="$root/build/win32" -DQUORVANE_WIN64_BUILD="$root/build/win64" \
  "${QUORVANE_POSIX_OPTIONS[@]+"${QUORVANE_POSIX_OPTIONS[@]}"}"
