#!/usr/bin/env bash
# Runs a command with the board simulator behind Wine's COM4 (see make_prefix.sh), hanging up
# after the first packet of a programming write, and stops it afterwards.
# Usage: with_board_on_com4.sh ENV LINUX_BIN_DIR COMMAND...
set -uo pipefail
source "$(dirname "$0")/run.sh" "$1"
sim=$2/calvento-board-sim
shift 2
link=$CALVENTO_WINE_DIR/ports/com4
rm -f "$link"
"$sim" --link "$link" --hang-up-after-packets 1 >/dev/null 2>&1 &
simulator=$!
trap 'kill $simulator 2>/dev/null; wait $simulator 2>/dev/null' EXIT
for _ in $(seq 50); do [ -L "$link" ] && break; sleep 0.1; done
[ -L "$link" ] || { echo "with_board_on_com4: the simulator did not start" >&2; exit 1; }
"$@"
