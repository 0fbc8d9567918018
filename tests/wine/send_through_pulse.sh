#!/usr/bin/env bash
# The Windows tool plays through Wine's PulseAudio driver into the private null sinks that
# with_pulse.sh made, on the default device and on a chosen one; the sinks' monitors are
# recorded and multimon-ng decodes the keys. Ctrl+C stops a sequence with the shell's status. A
# build with Hamlib keys a Linux rigctld through its network client. The waveform-audio input
# records the receiver (a source over the second sink's monitor) and decodes keys played into
# it; a command sent with --expect is answered by the board simulator on the air and heard.
# Usage (under with_pulse.sh): send_through_pulse.sh ENV WINDOWS_CLI [LINUX_BUILD_BIN]
set -uo pipefail
source "$(dirname "$0")/run.sh" "$1"
source "$(dirname "$0")/recording.sh"
cli=$2
linux_bin=${3:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/calvento-wine-send.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# The devices, as the sound system names them.
"$CALVENTO_WINE" "$cli" devices 2>&1 | tr -d '\r' >devices.txt || fail "devices: $(cat devices.txt)"
grep -q $'\tSecond$' devices.txt || fail "devices does not list the second sink: $(cat devices.txt)"

# The default device.
calvento_record calvento_null default.raw
"$CALVENTO_WINE" "$cli" send --digit 60 --gap 40 "159#D*0" >send.txt 2>&1 || fail "send: $(cat send.txt)"
calvento_stop_recording
grep -q "Sequence completed." send.txt || fail "send did not complete: $(cat send.txt)"
keys=$(calvento_keys default.raw)
[ "$keys" = "159#D*0" ] || fail "decoded '$keys' instead of 159#D*0"
echo "default device: $(tr -d '\r' <send.txt | tr '\n' ' ')"

# A chosen device: the keys reach its sink, not the default one.
id=$(awk -F'\t' '$2 == "Second" { print $1 }' devices.txt)
calvento_record calvento_second second.raw
"$CALVENTO_WINE" "$cli" send --device "$id" "42" >second.txt 2>&1 || fail "send --device: $(cat second.txt)"
calvento_stop_recording
keys=$(calvento_keys second.raw)
[ "$keys" = "42" ] || fail "decoded '$keys' on the chosen device instead of 42"

# A device that is not there is refused before anything plays.
if "$CALVENTO_WINE" "$cli" send --device "No such card" "1" >nodevice.txt 2>&1; then
    fail "an unknown device was accepted"
fi
grep -q "There is no sound output device No such card" nodevice.txt || fail "$(cat nodevice.txt)"

# The receiver through the waveform-audio input: the keys played into the second sink are heard.
"$CALVENTO_WINE" "$cli" devices --input 2>&1 | tr -d '\r' >inputs.txt || fail "devices --input: $(cat inputs.txt)"
grep -q $'^Receiver\tReceiver$' inputs.txt || fail "devices --input does not list the receiver: $(cat inputs.txt)"
"$CALVENTO_WINE" "$cli" listen --device Receiver --seconds 5 --dtmf >heard.txt 2>&1 &
listener=$!
sleep 2
"$CALVENTO_WINE" "$cli" synth --wav keys.wav 2580 >/dev/null 2>&1 || fail "synth --wav"
paplay -d calvento_second keys.wav
wait "$listener" || fail "listen: $(cat heard.txt)"
keys=$(tr -d '\r' <heard.txt | cut -f3 | tr -d '\n')
[ "$keys" = 2580 ] || fail "listen heard '$keys' instead of 2580: $(cat heard.txt)"
echo "heard through the waveform-audio input: $keys"

# The whole loop: a command of the simulated board, which answers with its call on the air.
if [ -n "$linux_bin" ]; then
    "$linux_bin/calvento-board-sim" --air-input calvento_air --air-output calvento_second >sim.txt 2>&1 &
    sim=$!
    sleep 1
    "$CALVENTO_WINE" "$cli" send --no-log --expect SIM --input-device Receiver 101 >expect.txt 2>&1
    status=$?
    kill "$sim"
    wait "$sim" 2>/dev/null
    [ "$status" = 0 ] && grep -q "Heard SIM after" expect.txt ||
        fail "send --expect ended with $status: $(tr -d '\r' <expect.txt) $(cat sim.txt)"
    "$CALVENTO_WINE" "$cli" send --no-log --expect SIM --listen 2 --input-device Receiver 999 >none.txt 2>&1
    status=$?
    [ "$status" = 3 ] && grep -q "No reply heard" none.txt ||
        fail "send --expect without a reply ended with $status: $(tr -d '\r' <none.txt)"
    echo "the board on the air: $(tr -d '\r' <expect.txt | tail -n 1)"
fi

# Ctrl+C in the middle of a long sequence: it stops at once, with status 130.
"$CALVENTO_WINE" "$cli" send --digit 500 --gap 500 "1234567890" >interrupted.txt 2>&1 &
sender=$!
sleep 2
kill -INT "$sender"
wait "$sender"
status=$?
[ "$status" = 130 ] || fail "Ctrl+C ended the send with status $status: $(cat interrupted.txt)"
grep -q "stopped by signal 2" interrupted.txt || fail "Ctrl+C: $(cat interrupted.txt)"
# Keyed through Hamlib's network client in the Windows tool: a Linux rigctld (the dummy rig) on a
# loopback port shows the transmitter keyed while the sequence plays and released after it, as
# Linux rigctl reads it back.
if "$CALVENTO_WINE" "$cli" --help 2>/dev/null | grep -q -- "--rig MODEL"; then
    port=$((40000 + $$ % 20000))
    rigctld -m 1 -P RIG -T 127.0.0.1 -t "$port" &
    daemon=$!
    state() { rigctl -m 2 -r "127.0.0.1:$port" t 2>/dev/null | tr -d '\r'; }
    for _ in $(seq 50); do [ -n "$(state)" ] && break; sleep 0.1; done
    "$CALVENTO_WINE" "$cli" send --rig 2 --rig-port "127.0.0.1:$port" --digit 700 "123" >rig.txt 2>&1 &
    sender=$!
    keyed=
    for _ in $(seq 100); do [ "$(state)" = 1 ] && { keyed=yes; break; }; sleep 0.05; done
    wait "$sender" || fail "send through rigctld: $(cat rig.txt)"
    [ -n "$keyed" ] || fail "rigctld never saw the transmitter keyed: $(cat rig.txt)"
    [ "$(state)" = 0 ] || fail "rigctld left keyed after the send"
    kill "$daemon"
    wait "$daemon" 2>/dev/null
    echo "Hamlib through a Linux rigctld: keyed ${keyed:-never}, released"
fi
exit $failed
