#!/usr/bin/env bash
# Runs a command while the default null sink of with_pulse.sh is recorded, then decodes the
# recording with multimon-ng: the command must pass and the keys must end with KEYS.
# Usage (under with_pulse.sh): record_keys.sh KEYS COMMAND...
set -uo pipefail
expected=$1
shift
recording=$(mktemp "${TMPDIR:-/tmp}/calvento-keys.XXXXXX")
trap 'rm -f "$recording"' EXIT
parec -d calvento_null.monitor --format=s16le --rate=22050 --channels=1 >"$recording" &
recorder=$!
sleep 0.3
"$@"
status=$?
sleep 0.4
kill $recorder
wait $recorder 2>/dev/null
# A key read twice in a row counts once: Wine's sound runs on ordinary threads, and a moment's gap
# inside a tone makes the decoder start that key again. (KEYS has no key twice in a row.)
keys=$(multimon-ng -q -a DTMF -t raw "$recording" 2>/dev/null | sed -n 's/^DTMF: //p' | tr -d '\n' |
    tr -s '0-9A-D*#')
echo "decoded from the sink: $keys"
[[ "$keys" == *"$expected" ]] || { echo "FAIL: the keys do not end with $expected"; exit 1; }
exit $status
