#!/usr/bin/env bash
# Sets up, builds all three builds, plays the bundled scenario through the plug-in with the host
# simulator, and shows the detail files it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
echo "Release DLL (i686):  build/win32/host/Quorvane.dll"
echo "Wine build (x86_64): build/win64/host/Quorvane.dll"

output=build/scenario-output
echo
echo "== The host simulator plays standin/scenarios/default.scenario"
build/posix/standin/simulator/quorvane-sim --clean --output "$output" --timeline build/scenario-timeline.txt \
  standin/scenarios/default.scenario

echo
echo "== The detail files in $output"
ls -l "$output"
for file in "$output"/*; do
  echo
  echo "-- $(basename "$file")"
  cat "$file"
done
