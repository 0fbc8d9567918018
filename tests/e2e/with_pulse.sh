#!/usr/bin/env bash
# Runs a command beside a private PulseAudio server whose default sink is a null sink, so that
# tests can play through the real sound stack and record what came out, on any machine.
# The server lives in a folder of its own and is stopped when the command ends. A second null sink
# stands for a USB sound interface that is not the default device; its monitor, as the source
# calvento_receiver, for the receiver's audio. The sinks never rewind: with
# rewinds a monitor loses the start of every new stream, short sequences whole.
set -uo pipefail

rt=$(mktemp -d "${TMPDIR:-/tmp}/calvento-pulse.XXXXXX")
export XDG_RUNTIME_DIR="$rt" PULSE_RUNTIME_PATH="$rt/pulse" HOME="$rt"
unset PULSE_SERVER

cleanup() {
    pactl exit >/dev/null 2>&1 || true
    sleep 0.2
    [ -f "$rt/pulse/pid" ] && kill "$(cat "$rt/pulse/pid")" >/dev/null 2>&1 || true
    rm -rf "$rt"
}
trap cleanup EXIT

pulseaudio -D -n --exit-idle-time=-1 --log-target="file:$rt/pulse.log" \
    --load="module-native-protocol-unix" \
    --load="module-null-sink sink_name=calvento_null rate=48000 norewinds=1" \
    --load="module-null-sink sink_name=calvento_second rate=48000 norewinds=1 sink_properties=device.description=Second" \
    >/dev/null 2>&1 || {
    echo "with_pulse: the PulseAudio server did not start" >&2
    cat "$rt/pulse.log" >&2 2>/dev/null
    exit 1
}
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
pactl info >/dev/null 2>&1 || { echo "with_pulse: no answer from the server" >&2; exit 1; }
# The receiver: what is played into the second sink comes back on a source of its own (Qt lists
# no monitor among the input devices, as a real sound interface's input is no monitor either).
pactl load-module module-remap-source master=calvento_second.monitor source_name=calvento_receiver \
    source_properties=device.description=Receiver >/dev/null
# And what goes out on the default sink, as a board's receiver would hear it (the simulator's ear).
pactl load-module module-remap-source master=calvento_null.monitor source_name=calvento_air \
    source_properties=device.description=Air >/dev/null
pactl set-default-source calvento_receiver
pactl set-default-sink calvento_null
pactl set-sink-volume calvento_null 100%
pactl set-sink-mute calvento_null 0

"$@"
