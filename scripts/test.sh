#!/usr/bin/env bash
# Sets up, builds all three builds and runs every test; then the unit tests again under the
# sanitizers (scripts/sanitize.sh) and each fuzz target for FUZZ_SECONDS, 60 by default
# (scripts/fuzz.sh). QUORVANE_QUICK=1 stops after the main tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
ctest --test-dir build/posix --output-on-failure -j 2 "$@"
echo "== Builds and tests: ${SECONDS} s"
if [ "${QUORVANE_QUICK:-0}" != 1 ]; then
  bash scripts/sanitize.sh
  echo "== Sanitizers: ${SECONDS} s"
  FUZZ_SECONDS=${FUZZ_SECONDS:-60} bash scripts/fuzz.sh
  echo "== Fuzzing: ${SECONDS} s"
fi
