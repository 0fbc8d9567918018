#!/usr/bin/env bash
# calvento-cli send while the sound server fails under it, one private PulseAudio server a case
# (with_pulse.sh): one second into a 1.9 s sequence the sink is suspended, the server is killed,
# told to exit, or frozen. The send must end as failed with the reason, never as "Sequence
# completed."; with nothing done to the server it completes. The same while the tool listens for
# a reply after a send (listen-*): the receiver's source suspended, the server killed, told to
# exit or frozen must end as "Listening failed" (status 1), never as "No reply heard"; a signal
# while it listens ends it with the shell's status and says so.
# Usage: sound_server_faults.sh CLI   (the script runs itself as --case MODE CLI for each case)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ "$1" = --pipe ]; then  # inside with_pulse.sh: listen into a pipe whose reader has gone
    cli=$2
    "$cli" listen --dtmf 2>"$XDG_RUNTIME_DIR/err" | true &
    sleep 1.5
    "$cli" synth --wav "$XDG_RUNTIME_DIR/k.wav" 5 >/dev/null
    paplay -d calvento_second "$XDG_RUNTIME_DIR/k.wav"
    for _ in $(seq 30); do jobs -r | grep -q . || break; sleep 0.1; done
    if jobs -r | grep -q .; then echo "still listening"; kill %1; else cat "$XDG_RUNTIME_DIR/err"; fi
    exit 0
fi

if [ "$1" = --case ]; then  # inside with_pulse.sh: one send, then "status milliseconds" and its output
    mode=$2 cli=$3
    start=$(date +%s%N)
    if [[ $mode == listen-* ]]; then
        "$cli" send --digit 40 --expect NOBODY --listen 6 1 >"$XDG_RUNTIME_DIR/out" 2>&1 &
        pid=$!
        sleep 1.5
    else
        "$cli" send --digit 100 --gap 100 1234567890 >"$XDG_RUNTIME_DIR/out" 2>&1 &
        pid=$!
        sleep 1
    fi
    server=$(cat "$PULSE_RUNTIME_PATH/pid")
    case ${mode#listen-} in
        suspend-source) pactl suspend-source calvento_receiver 1 ;;
        int) kill -INT "$pid" ;;
        term) kill -TERM "$pid" ;;
        hup) kill -HUP "$pid" ;;
        suspend) pactl suspend-sink calvento_null 1 ;;
        kill) kill -KILL "$server" ;;
        exit) pactl exit ;;
        freeze) kill -STOP "$server" ;;
    esac
    wait $pid
    status=$?
    [ "${mode#listen-}" = freeze ] && kill -CONT "$server"
    echo "$status $(( ($(date +%s%N) - start) / 1000000 ))"
    cat "$XDG_RUNTIME_DIR/out"
    exit 0
fi

cli=$1
failed=0
check() {  # check MODE STATUS TEXT
    local out status ms
    out=$("$here/with_pulse.sh" "$0" --case "$1" "$cli" 2>&1)
    read -r status ms <<<"$(head -n 1 <<<"$out")"
    if [ "$status" = "$2" ] && grep -qF "$3" <<<"$out" && [ "$ms" -lt 9000 ] &&
        { [ "$2" = 0 ] || [[ $1 == listen-* ]] || ! grep -qF "Sequence completed." <<<"$out"; } &&
        { [ "$2" = 3 ] || ! grep -qF "No reply heard" <<<"$out"; }; then
        echo "PASS $1 ($ms ms)"
    else
        echo "FAIL $1: expected status $2 and \"$3\"; got:"
        echo "$out"
        failed=$((failed + 1))
    fi
}

check none 0 "Sequence completed."
check suspend 1 "The sound did not all go out: the sound server stopped taking the sound"
check kill 1 "The sound did not all go out:"
check exit 1 "The sound did not all go out:"
check freeze 1 "The sound did not all go out:"
check listen-none 3 "No reply heard"
check listen-suspend-source 1 "Listening failed: "
check listen-kill 1 "Listening failed: "
check listen-exit 1 "Listening failed: "
check listen-freeze 1 "Listening failed: "
check listen-int 130 "Listening: stopped by signal 2."
check listen-term 143 "Listening: stopped by signal 15."
check listen-hup 129 "Listening: stopped by signal 1."
# listen whose reader went away (a closed pipe): it ends at the next thing it heard, and says so.
{
    out=$("$here/with_pulse.sh" "$0" --pipe "$cli" 2>&1)
    if grep -q "output" <<<"$out" && ! grep -q "still listening" <<<"$out"; then
        echo "PASS listen-closed-pipe"
    else
        echo "FAIL listen-closed-pipe: $out"
        failed=$((failed + 1))
    fi
}
echo "$((14 - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
