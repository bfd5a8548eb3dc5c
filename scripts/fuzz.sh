#!/bin/sh
# Builds the fuzz targets with clang and runs each for SECONDS (default 60) on
# a copy of its seed corpus in build/fuzz/run, as many at once as there are
# cores. Prints each target's executions and coverage and ends with
# "N passed, M failed"; fails when any target does.
#   scripts/fuzz.sh [SECONDS]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
case ${1:-60} in
    --help|-h) echo "usage: scripts/fuzz.sh [SECONDS]"; sed -n '2,5p' "$0" | sed 's/^# //'; exit 0 ;;
    *[!0-9]*) echo "fuzz: SECONDS is a number, not $1" >&2; echo "usage: scripts/fuzz.sh [SECONDS]" >&2; exit 2 ;;
esac
seconds=${1:-60}
build=build/fuzz
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORVANE_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

# New inputs and crash files go to the run folder, never into the repository.
run=$build/run
rm -rf "$run"
mkdir -p "$run"
fuzz() {
    cp -r "tests/fuzz/corpus/$1" "$run/$1"
    code=0
    "$build/$1" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$run/$1-" "$run/$1" \
        >"$run/$1.log" 2>&1 || code=$?
    echo "$code" >"$run/$1.code"
}

targets=$(ls tests/fuzz/corpus)
running=0
for target in $targets; do
    fuzz "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$(nproc)" ]; then
        wait
        running=0
    fi
done
wait

passed=0
failed=0
for target in $targets; do
    log=$run/$target.log
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
    if [ "$(cat "$run/$target.code")" = 0 ]; then
        passed=$((passed + 1))
        echo "$target: ok, ${runs:-?} executions, ${coverage:-no coverage}"
    else
        failed=$((failed + 1))
        echo "$target: FAILED after ${runs:-?} executions, ${coverage:-no coverage}; $log:"
        grep -E 'ERROR|broken contract|runtime error|SUMMARY|Test unit written' "$log" | sed 's/^/    /'
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
