#!/usr/bin/env bash
# Sets up, builds all three builds and shows what was built.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
echo "Release DLL (i686):  build/win32/host/Quorvane.dll"
echo "Wine build (x86_64): build/win64/host/Quorvane.dll"
