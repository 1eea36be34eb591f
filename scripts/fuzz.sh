#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a
# given time, one after the other, starting from its seeds in fuzz/corpus/
# and the kept crashes in fuzz/regressions/. New inputs go to a scratch
# corpus under the build directory; the seeds in the repository stay as they
# are. Fails when any fuzzer finds a crash, leak, timeout or memory blow-up.
#
#   scripts/fuzz.sh [SECONDS-PER-TARGET] [TARGET...]     (default 30 s, all)
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_NO_BUILD=1 to use
# the fuzzers already built, FUZZ_JOBS (default 2) for the build, FUZZ_TIMEOUT
# (default 60 s; generous, as the machine may be shared) for one input,
# FUZZ_WORK_DIR (default BUILD/fuzz-run) for scratch corpora, crashes, logs.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
seconds="${1:-30}"
shift || true
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac

[ -f /work/env.sh ] && source /work/env.sh
if [ "${FUZZ_NO_BUILD:-}" != 1 ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -DORVEX_BUILD_FUZZ=ON -DORVEX_BUILD_TESTS=OFF \
    -DORVEX_BUILD_PROGRAMS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"${FUZZ_JOBS:-2}"
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

runs_dir="${FUZZ_WORK_DIR:-$build/fuzz-run}"
summary="$runs_dir/summary.txt"
mkdir -p "$runs_dir"
: > "$summary"
failed=()
for t in "${targets[@]}"; do
  work="$runs_dir/$t"
  rm -rf "$work"
  mkdir -p "$work/corpus"
  seeds=("$root/fuzz/corpus/$t")
  [ -d "$root/fuzz/regressions/$t" ] && seeds+=("$root/fuzz/regressions/$t")
  echo "fuzz: $t for ${seconds}s"
  set +e
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/$t" -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-60}" -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "${seeds[@]}" \
    > "$work/log.txt" 2>&1
  rc=$?
  set -e
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log.txt")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log.txt")
  last=$(grep -E '^#[0-9]+.*cov: ' "$work/log.txt" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$last")
  line=$(printf '%-22s rc=%-3s execs=%-10s exec/s=%-7s cov=%-6s ft=%-6s corpus=%s' \
    "$t" "$rc" "${runs:-?}" "${speed:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}")
  echo "$line" | tee -a "$summary"
  if [ "$rc" -ne 0 ]; then
    failed+=("$t")
    grep -E 'ERROR|SUMMARY|Test unit written' "$work/log.txt" | head -5 >&2 || true
    echo "fuzz: $t failed; log: $work/log.txt" >&2
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets clean for ${seconds}s each"
