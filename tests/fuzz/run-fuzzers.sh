#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS (default 60)
# on the committed corpus, one after the other, then prints for each the
# executions, executions per second, coverage and whether it found anything.
#
#   tests/fuzz/run-fuzzers.sh [SECONDS] [TARGET...]     e.g. 600 decode key cli
#
# New inputs the fuzzer finds go to $FUZZ_BUILD_DIR/fuzz-corpus/TARGET (not
# into the repository); a failing input is saved under
# $FUZZ_BUILD_DIR/fuzz-artifacts/ and the command exits 1. Such an input
# belongs, once fixed, in tests/data/fuzz/TARGET/, where the test suite
# replays it.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(decode key cli)
fi
build_dir="${FUZZ_BUILD_DIR:-build-fuzz}"

# Per target: the longest input tried and any other options.
declare -A options=(
    [decode]="-max_len=4096"
    [key]="-max_len=2048"
    [cli]="-max_len=512 -dict=tests/fuzz/cli.dict"
)

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEKDC_FUZZ=ON -DVEKDC_BUILD_GUI=OFF -DVEKDC_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

failed=0
summary=()
for target in "${targets[@]}"; do
    corpus="$build_dir/fuzz-corpus/$target"
    artifacts="$build_dir/fuzz-artifacts"
    log="$build_dir/fuzz-$target.log"
    mkdir -p "$corpus" "$artifacts"
    echo "fuzz_$target: $seconds s, log in $log"
    status=0
    # shellcheck disable=SC2086
    nice -n 10 "$build_dir/fuzz_$target" ${options[$target]:-} \
        -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
        -close_fd_mask=1 -artifact_prefix="$artifacts/$target-" \
        "$corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    coverage=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9/]*[a-zA-Z]*' "$log" | tail -1)
    if [ "$status" -ne 0 ]; then
        failed=1
        tail -40 "$log"
        summary+=("fuzz_$target: FAILED (status $status) after ${runs:-?} runs; see $log and $artifacts/")
    else
        summary+=("fuzz_$target: ${runs:-?} runs, ${rate:-?} exec/s, ${coverage:-no coverage line}, no finding")
    fi
done
printf '%s\n' "${summary[@]}"
exit "$failed"
