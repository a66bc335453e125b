#!/bin/sh
# Runs the Windows test host under Wine 64-bit on a virtual display: a fresh host folder holding
# test_host.exe, the stand-in DVBCore.dll and Quorvane.dll from the x86_64 build, and a Wine prefix
# of the run's own (created on the first run, which takes a few seconds).
#
# Usage: run_test_host.sh X86_64_BUILD_FOLDER WORK_FOLDER [test host arguments]
set -eu
build=$1
work=$2
shift 2

# Debian installs the 64-bit loader outside PATH; plain "wine" would pick the 32-bit one.
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || true)
if [ -z "$wine" ]; then
    echo "FAILED: no wine64 loader (Debian: apt-get install wine wine64)"
    exit 1
fi
command -v xvfb-run >/dev/null || { echo "FAILED: no xvfb-run (Debian: apt-get install xvfb xauth)"; exit 1; }

for file in tests/windows/test_host.exe standin/DVBCore.dll host/Quorvane.dll; do
    [ -f "$build/$file" ] || { echo "FAILED: $build/$file has not been built"; exit 1; }
done

host="$work/host"
rm -rf "$host"
mkdir -p "$host"
cp "$build/tests/windows/test_host.exe" "$build/standin/DVBCore.dll" "$build/host/Quorvane.dll" "$host/"

export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no offer to install Mono or Gecko into the new prefix
cd "$host"
xvfb-run -a "$wine" test_host.exe "$@"
