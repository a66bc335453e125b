#!/usr/bin/env bash
# The unit tests under the sanitizers, built with clang: the whole suite under ASan and UBSan
# (build/asan), and the tests that run threads under TSan (build/tsan). UBSan stops at its first
# report, so that undefined behaviour fails the run like a crash. ASAN_BUILD and TSAN_BUILD name
# other build folders.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
asan=${ASAN_BUILD:-$root/build/asan}
tsan=${TSAN_BUILD:-$root/build/tsan}
# Every suite whose tests start threads or wait on the platform's objects.
thread_tests='Capture*:Platform*:SetupDialog*:FaultInjection*'

build_unit_tests() { # folder, sanitizers
  cmake -S "$root" -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUORVANE_SANITIZE="$2" \
    -DCMAKE_C_FLAGS="-fno-sanitize-recover=all" -DCMAKE_CXX_FLAGS="-fno-sanitize-recover=all" >/dev/null
  cmake --build "$1" -j 2 --target unit_tests
}

build_unit_tests "$asan" address,undefined
echo "Unit tests under ASan and UBSan"
ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
  "$asan/tests/unit_tests" --gtest_brief=1

build_unit_tests "$tsan" thread
echo "Threading tests under TSan: $thread_tests"
TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
  "$tsan/tests/unit_tests" --gtest_brief=1 --gtest_filter="$thread_tests"
