#!/usr/bin/env bash
# End-to-end speed and memory of `calvento-cli synth` on the largest sequence the window allows
# (1024 keys, 9999 ms tones, 999 ms gaps: 90,089,671 samples), from process start to exit, written
# to /dev/null; beside it, on the same machine and in the same run, sox synthesizing the same
# number of samples of a two-tone sine, as a yardstick. Prints the figures; asserts nothing.
# Usage: bench/bench_cli_synth.sh [BUILD_DIR]   (default build/)
set -euo pipefail
build=${1:-build}
cli="$build/bin/calvento-cli"
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
command -v sox >/dev/null || { echo "sox is needed for the yardstick" >&2; exit 1; }

keys=$(printf '0123456789*#ABCD%.0s' $(seq 64))
samples=90089671
seconds=$(awk -v n=$samples 'BEGIN { printf "%.6f", n / 8000 }')

# Wall time and peak resident memory of a command, as "SECONDS KB".
measure() {
    local f
    f=$(mktemp)
    /usr/bin/time -o "$f" -f '%e %M' "$@" >/dev/null 2>/dev/null
    tail -1 "$f"
    rm -f "$f"
}
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }

# The best of three for the tool; sox, some forty seconds a run here, once.
best_cli=999 peak=0
for run in 1 2 3; do
    read -r t kb < <(measure "$cli" synth --digit 9999 --gap 999 --pause 9999 --raw - "$keys")
    awk -v a="$t" -v b="$best_cli" 'BEGIN { exit !(a < b) }' && best_cli=$t
    [ "$kb" -gt "$peak" ] && peak=$kb
done
read -r best_sox _ < <(measure sox -n -t raw -r 8000 -e signed -b 16 -c 1 - synth "$seconds" sin 697 sin 1209)
awk -v n=$samples -v c="$best_cli" -v s="$best_sox" -v kb="$peak" 'BEGIN {
    cr = n / c / 1e6; sr = n / s / 1e6;
    printf "calvento-cli synth: %d samples in %.3f s = %.1f M samples/s, peak %.1f MB\n", n, c, cr, kb / 1024;
    printf "sox synth (yardstick): %.3f s = %.2f M samples/s\n", s, sr;
    printf "ratio: %.0f times the rate of sox\n", cr / sr;
}'
