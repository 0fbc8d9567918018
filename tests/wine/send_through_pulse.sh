#!/usr/bin/env bash
# The Windows tool plays through Wine's PulseAudio driver into the private null sinks that
# with_pulse.sh made, on the default device and on a chosen one; the sinks' monitors are
# recorded and multimon-ng decodes the keys. Ctrl+C stops a sequence with the shell's status. A
# build with Hamlib keys a Linux rigctld through its network client.
# Usage (under with_pulse.sh): send_through_pulse.sh ENV WINDOWS_CLI
set -uo pipefail
source "$(dirname "$0")/run.sh" "$1"
source "$(dirname "$0")/recording.sh"
cli=$2
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
