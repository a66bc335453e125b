#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, ASan and UBSan (build/fuzz, or FUZZ_BUILD), replays
# every file of each target's corpus (fuzz/corpus/<target>: the seeds and every crash found so far),
# then fuzzes each target for FUZZ_SECONDS (default 60). Any crash or sanitizer report exits non-zero;
# the input that caused it is left in the build folder's artifacts/<target>/.
# Usage: scripts/fuzz.sh [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${FUZZ_BUILD:-$root/build/fuzz}
seconds=${FUZZ_SECONDS:-60}
targets=(fuzz_epg_step fuzz_channel_change fuzz_settings fuzz_dialog)
if [ $# -gt 0 ]; then targets=("$@"); fi

# Coverage for the fuzzer over the plug-in's code, the platform and the stand-in core, not only the
# targets; UBSan stops at its first report, so that undefined behaviour counts as a crash.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQUORVANE_FUZZ=ON -DQUORVANE_SANITIZE=address,undefined \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link -fno-sanitize-recover=all" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link -fno-sanitize-recover=all" >/dev/null
cmake --build "$build" -j 2 --target "${targets[@]}"

# The targets write their files into a scratch folder of this run, in memory where the machine has
# a tmpfs: a profile write syncs its file to disk, which would make most of a run's time.
scratch_parent=/tmp
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch_parent=/dev/shm; fi
export TMPDIR=$(mktemp -d "$scratch_parent/quorvane-fuzz.XXXXXX")
trap 'rm -rf "$TMPDIR"' EXIT

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for target in "${targets[@]}"; do
  program=$build/fuzz/$target
  seeds=$root/fuzz/corpus/$target
  mkdir -p "$build/corpus/$target" "$build/artifacts/$target" "$build/logs"
  log=$build/logs/$target.log

  # Each known input once, by itself: a crash found earlier fails here before any fuzzing.
  mapfile -t known < <(find "$seeds" -type f | sort)
  if ! "$program" "${known[@]}" >"$log" 2>&1; then
    echo "$target: a corpus file fails"; tail -n 60 "$log"; failed+=("$target"); continue
  fi

  # New inputs go to the build folder's corpus; the seed folder is only read.
  if "$program" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$build/artifacts/$target/" "$build/corpus/$target" "$seeds" >>"$log" 2>&1; then
    echo "$target: ${#known[@]} corpus files replayed; $(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}') runs in ${seconds} s, no crash"
  else
    echo "$target: CRASH"; tail -n 80 "$log"; ls "$build/artifacts/$target"; failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "Fuzzing failed: ${failed[*]}"
  exit 1
fi
