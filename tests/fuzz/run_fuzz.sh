#!/usr/bin/env bash
# Runs every fuzz target built in BUILD_DIR on a copy of its seed corpus for SECONDS each
# (default 5), as many at a time as the machine has processors (CALVENTO_FUZZ_JOBS to choose).
# Usage: tests/fuzz/run_fuzz.sh BUILD_DIR [SECONDS]
# A longer hunt, for example an hour each:  tests/fuzz/run_fuzz.sh build-fuzz 3600
set -euo pipefail
build=${1:?usage: run_fuzz.sh BUILD_DIR [SECONDS]}
seconds=${2:-5}
parallel=${CALVENTO_FUZZ_JOBS:-$(nproc)}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/calvento-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
targets=$(cd "$build/bin" && ls fuzz_* 2>/dev/null) || true
[ -n "$targets" ] || { echo "run_fuzz: no fuzz targets in $build/bin (build the target fuzz)" >&2; exit 1; }

fuzz() {  # fuzz TARGET: its log in $work/TARGET.log, its exit status in $work/TARGET.status
    local target=$1
    mkdir -p "$work/$target"
    cp "$here/corpus/$target"/* "$work/$target/" 2>/dev/null || true
    local status=0
    ASAN_OPTIONS=detect_leaks=0 "$build/bin/$target" -max_total_time="$seconds" \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 "$work/$target" \
        > "$work/$target.log" 2>&1 || status=$?
    echo "$status" > "$work/$target.status"
}

for target in $targets; do
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
    fuzz "$target" &
done
wait

status=0
for target in $targets; do
    echo "== $target: ${seconds}s"
    if [ "$(cat "$work/$target.status")" != 0 ]; then
        tail -40 "$work/$target.log"
        status=1
    else
        grep -E "^#[0-9]+.*DONE|Done [0-9]+ runs" "$work/$target.log" | tail -1 || true
    fi
done
exit $status
