#!/usr/bin/env bash
# Runs a command while the default null sink of with_pulse.sh is recorded, then decodes the
# recording with multimon-ng: the command must pass and the keys must end with KEYS.
# Usage (under with_pulse.sh): record_keys.sh KEYS COMMAND...
set -uo pipefail
source "$(dirname "$0")/recording.sh"
expected=$1
shift
recording=$(mktemp "${TMPDIR:-/tmp}/calvento-keys.XXXXXX")
trap 'rm -f "$recording"' EXIT
calvento_record calvento_null "$recording"
"$@"
status=$?
calvento_stop_recording
keys=$(calvento_keys "$recording")
echo "decoded from the sink: $keys"
[[ "$keys" == *"$expected" ]] || { echo "FAIL: the keys do not end with $expected"; exit 1; }
exit $status
