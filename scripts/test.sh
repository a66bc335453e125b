#!/usr/bin/env bash
# Sets up, builds all three builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
ctest --test-dir build/posix --output-on-failure -j 2 "$@"
