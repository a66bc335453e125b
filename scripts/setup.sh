#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test all three builds.
set -euo pipefail

packages=(
  cmake g++ make libgtest-dev libbenchmark-dev   # the POSIX build and its tests
  libexpat1-dev                                   # the host simulator's XMLTV guides
  clang libclang-rt-14-dev                        # fuzzers and sanitizers
  g++-mingw-w64-i686 g++-mingw-w64-x86-64         # the two Windows builds
  wine wine64 xvfb xauth                          # running the x86_64 build for real
  python3-pefile                                  # reading the i686 DLL
)

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
