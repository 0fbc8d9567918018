# Recording a null sink of with_pulse.sh and decoding its keys, for the Wine sound tests.
# Sourced, not run.

# calvento_record SINK FILE: records the sink's monitor at multimon-ng's rate until
# calvento_stop_recording.
calvento_record() {
    parec -d "$1.monitor" --format=s16le --rate=22050 --channels=1 >"$2" &
    calvento_recorder=$!
    sleep 0.3
}
calvento_stop_recording() {
    sleep 0.4  # the tail of the sound on its way to the monitor
    kill "$calvento_recorder"
    wait "$calvento_recorder" 2>/dev/null
}

# The keys decoded from a recording. A key read twice in a row counts once: Wine's sound runs on
# ordinary threads, and a moment's gap inside a tone makes the decoder start that key again (so
# the tests play no key twice in a row).
calvento_keys() {
    multimon-ng -q -a DTMF -t raw "$1" 2>/dev/null | sed -n 's/^DTMF: //p' | tr -d '\n' |
        tr -s '0-9A-D*#'
}
