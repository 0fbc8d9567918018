#!/usr/bin/env bash
# Morse accuracy beside multimon-ng: the character error rate (edit distance over the text's
# length) of calvento-cli decode --cw and of multimon-ng -a MORSE_CW on the same files, made by
# ebook2cw (a generator nobody here wrote) at 14 to 150 WPM, clean and with ebook2cw's own noise
# (-N) at 20 to 0 dB. Prints a table. Usage: bench/bench_morse.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
cli=$(cd "$build" && pwd)/bin/calvento-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
text="CQ CQ DE K1ABC K1ABC PSE K. UR RST 599 599 NAME JOE QTH BOSTON. THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 1234567890 HW? 73 DE K1ABC SK"
cer() {  # cer TEXT HEARD: percent of characters wrong
    python3 - "$1" "$2" <<'PY'
import sys
a, b = sys.argv[1], " ".join(sys.argv[2].split())
d = list(range(len(b) + 1))
for i in range(1, len(a) + 1):
    prev, d[0] = d[0], i
    for j in range(1, len(b) + 1):
        prev, d[j] = d[j], min(d[j] + 1, d[j - 1] + 1, prev + (a[i - 1] != b[j - 1]))
print(f"{100.0 * d[len(b)] / len(a):.1f}")
PY
}
echo "Character error rate, % (calvento / multimon-ng), ebook2cw at 700 Hz, 8000 Hz samples"
printf "| WPM | clean | 20 dB | 10 dB | 6 dB | 3 dB | 0 dB |\n| --- | --- | --- | --- | --- | --- | --- |\n"
for wpm in 14 20 40 80 120 150; do
    row="| $wpm |"
    for snr in clean 20 10 6 3 0; do
        rm -f m0000.ogg
        noise=(); [ "$snr" = clean ] || noise=(-N "$snr")
        echo "$text" | ebook2cw -O -f 700 -w "$wpm" "${noise[@]}" -s 8000 -o m >/dev/null 2>&1
        sox m0000.ogg -t raw -r 8000 -e signed -b 16 -c 1 m.raw 2>/dev/null
        sox -t raw -r 8000 -e signed -b 16 -c 1 m.raw -t raw -r 22050 m22.raw 2>/dev/null
        ours=$("$cli" decode --cw m.raw | cut -f3 | tr '\n' ' ')
        theirs=$(multimon-ng -q -a MORSE_CW -t raw m22.raw 2>/dev/null | tr '\n' ' ')
        row="$row $(cer "$text" "$ours") / $(cer "$text" "$theirs") |"
    done
    echo "$row"
done
