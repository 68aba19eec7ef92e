#!/usr/bin/env bash
# Long fuzzing outside CI: builds the libFuzzer targets with clang, runs each
# for 10^7 executions or an hour, whichever comes first, two at a time, and
# copies every crash, leak or timeout into the target's regression corpus
# (replayed by ctest in every build). The INI target works in a tmpfs.
#
#   tests/fuzz/run_all.sh                 # the full run
#   FUZZ_SECONDS=60 tests/fuzz/run_all.sh # a short smoke run
#   FUZZ_TSAN=1 tests/fuzz/run_all.sh     # also the ThreadSanitizer tests first
#   tests/fuzz/run_all.sh version png ini # these targets, started in this order
#
# Output: build-fuzz/logs/<target>.log and a summary line per target.
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$PWD
build=${FUZZ_BUILD:-$top/build-fuzz}
seconds=${FUZZ_SECONDS:-3600}
runs=${FUZZ_RUNS:-10000000}
jobs=${FUZZ_JOBS:-2}
# Seconds one input may take: raise it when the machine is shared, since a
# starved process would report a timeout that is not the code's.
timeout=${FUZZ_TIMEOUT:-10}

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

if [ "${FUZZ_TSAN:-0}" = 1 ]; then
  cmake -S . -B build-san-thread -G Ninja "${launcher[@]}" -DZORVA_SANITIZE=thread -DZORVA_BUILD_BENCH=OFF >/dev/null
  ninja -C build-san-thread test_instrument test_editor test_ini
  for layer in instrument editor ini; do
    ctest --test-dir "build-san-thread/tests/$layer" -E "^zorva_render" --output-on-failure
  done
fi

CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S . -B "$build" -G Ninja "${launcher[@]}" -DZORVA_FUZZ=ON -DZORVA_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=$(ninja -C "$build" -t targets all | sed -n 's/^\(fuzz_[a-z_]*_fuzzer\): .*/\1/p' | sort -u)
if [ $# -gt 0 ]; then
  targets=$(printf 'fuzz_%s_fuzzer\n' "$@")
fi
ninja -C "$build" $targets

mkdir -p "$build/logs"
# The INI target writes a file per input: a tmpfs keeps that off the disk.
scratch=$(mktemp -d "${FUZZ_TMPFS:-/dev/shm}/zorva-fuzz-XXXXXX" 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fuzz_one() {
  local target=$1 name=${1#fuzz_}
  name=${name%_fuzzer}
  local seeds=$top/tests/fuzz/corpus/$name work=$build/corpus/$name found=$build/found/$name
  mkdir -p "$work" "$found"
  [ -d "$seeds" ] && cp -n "$seeds"/* "$work"/ 2>/dev/null || true
  TMPDIR=$scratch "$build/tests/fuzz/$target" "$work" -runs="$runs" -max_total_time="$seconds" \
    -artifact_prefix="$found/" -print_final_stats=1 -timeout="$timeout" -rss_limit_mb=2048 \
    >"$build/logs/$target.log" 2>&1 || true
  # Findings join the regression corpus, named by their kind and hash.
  for f in "$found"/*; do
    [ -f "$f" ] && cp "$f" "$seeds/$(basename "$f")"
  done
  local execs cov
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/logs/$target.log" | tail -n 1)
  cov=$(grep -o 'cov: [0-9]*' "$build/logs/$target.log" | tail -n 1)
  printf '%-24s executions %-10s %-10s findings %s\n' "$target" "${execs:-?}" "${cov:-cov: ?}" \
    "$(find "$found" -type f | wc -l)"
}
export -f fuzz_one
export build top seconds runs scratch timeout

printf '%s\n' $targets | xargs -P "$jobs" -I{} bash -c 'fuzz_one {}'
