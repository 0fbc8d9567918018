#!/usr/bin/env bash
# A board on the air made of parts nobody here wrote, for the end-to-end tests of hearing the
# board: what is played into the default null sink is recorded from its monitor and decoded by
# multimon-ng; when the keys heard end in COMMAND, the Morse call in CALL.wav (made by ebook2cw) is
# played into the second null sink, whose monitor is the program's receiver. Each answer is noted
# in ANSWERS (one line a reply). Runs until it is killed.
# Usage: board_on_air.sh COMMAND CALL.wav ANSWERS
set -uo pipefail
command=$1 call=$2 answers=$3
: >"$answers"
heard=""
parec -d calvento_null.monitor --format=s16le --rate=22050 --channels=1 --latency-msec=20 |
    stdbuf -oL multimon-ng -q -a DTMF -t raw - 2>/dev/null |
    while read -r _ key; do
        heard="$heard$key"
        case "$heard" in
            *"$command")
                heard=""
                sleep 0.6 # the sender's tail, and the board's own moment before it answers
                paplay -d calvento_second "$call"
                echo answered >>"$answers"
                ;;
        esac
    done
