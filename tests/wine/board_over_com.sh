#!/usr/bin/env bash
# The Windows tool reads and programs a board through Wine's COM ports: the Linux board simulator
# on a pseudo-terminal that make_prefix.sh gave Wine as COM1 (and as COM12, for a port number of
# two digits). Also what the user is told for a port that is not there, a board that does not
# answer, a cable pulled in the middle of programming, a port named by its name, Ctrl+C before
# and during the write, and push-to-talk on a port without an RTS line (a pseudo-terminal has
# none, as some adapters do not).
# Usage: board_over_com.sh ENV WINDOWS_CLI LINUX_BIN_DIR
set -uo pipefail
source "$(dirname "$0")/run.sh" "$1"
cli=$2
sim=$3/calvento-board-sim
ports=$CALVENTO_WINE_DIR/ports
work=$(mktemp -d "${TMPDIR:-/tmp}/calvento-wine-board.XXXXXX")
simulator=""
trap '[ -n "$simulator" ] && kill "$simulator" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# board COMn [simulator options]: a simulator behind Wine's COMn, until the next board call.
board() {
    local link=$ports/${1,,}
    shift
    [ -n "$simulator" ] && { kill "$simulator" 2>/dev/null; wait "$simulator" 2>/dev/null; }
    rm -f "$link"
    "$sim" --link "$link" "$@" >sim.txt 2>&1 &
    simulator=$!
    for _ in $(seq 50); do [ -L "$link" ] && return 0; sleep 0.1; done
    echo "the simulator did not start: $(cat sim.txt)"
    exit 1
}
tool() { "$CALVENTO_WINE" "$cli" "$@" >out.txt 2>&1; }

# Read, program a changed configuration with a backup, read back: the board holds the file.
board COM1 --save board.bin
tool read --port 1 -o first.prg || fail "read: $(cat out.txt)"
grep -q "successfully read" out.txt || fail "read said: $(cat out.txt)"
sed '0,/"100"/s//"4321"/' first.prg >changed.prg
cmp -s first.prg changed.prg && fail "the test's change did not apply"
tool program --port 1 --backup-dir backups changed.prg || fail "program: $(cat out.txt)"
ls backups/*.prg >/dev/null 2>&1 || fail "no backup was written: $(cat out.txt)"
tool read --port 1 -o again.prg || fail "read back: $(cat out.txt)"
tool diff changed.prg again.prg || fail "the board does not hold what was programmed: $(cat out.txt)"
echo "COM1: read, programmed with a backup, read back the same"

# A port number of two digits (\\.\COM12).
board COM12
tool read --port 12 -o twelve.prg || fail "read on COM12: $(cat out.txt)"

# A board that does not answer.
board COM1 --silent
tool read --port 1 -o silent.prg && fail "a silent board was read"
grep -q "FAILED to read version!" out.txt || fail "silent board: $(cat out.txt)"

# A cable pulled after two of the four packets: a failure, never a success.
board COM1 --hang-up-after-packets 2
tool program --port 1 --no-backup changed.prg && fail "a cut programming run succeeded: $(cat out.txt)"
grep -qi "success" out.txt && fail "a cut programming run was reported a success: $(cat out.txt)"
echo "pulled cable: $(tr -d '\r' <out.txt | tr '\n' ' ')"

# A port that is not there: the system's reason, in its own words.
rm -f "$ports/com3"
tool read --port 3 && fail "a missing COM3 was opened"
grep -q "Not able to open COM3" out.txt && grep -q "COM3: ." out.txt ||
    fail "missing port: $(cat out.txt)"
echo "missing port: $(tr -d '\r' <out.txt | tr '\n' ' ')"

# A port given by its name is named as given, not as "COMCOM17".
rm -f "$ports/com17"
tool read --port COM17 && fail "a missing COM17 was opened"
grep -q "Not able to open COM17: ." out.txt && ! grep -q "COMCOM" out.txt ||
    fail "port by name: $(cat out.txt)"

# Ctrl+C during a program run: before the write command nothing is written; once the write has
# begun it is finished and read back first. Never status 0 after an interrupt.
interrupt_program() {  # interrupt_program WHEN: "backup" or "write"
    board COM1 --save board.bin --log received.bin
    "$CALVENTO_WINE" "$cli" program --port 1 --backup-dir backups changed.prg >out.txt 2>&1 &
    local tool_pid=$! pattern
    [ "$1" = backup ] && pattern='ffaa' || pattern='ffff'
    for _ in $(seq 100); do
        od -An -tx1 received.bin 2>/dev/null | tr -d ' \n' | grep -q "$pattern" && break
        sleep 0.1
    done
    [ "$1" = write ] && sleep 0.7  # between the packets
    kill -INT "$tool_pid"
    wait "$tool_pid"
    echo $?
}
status=$(interrupt_program backup)
[ "$status" = 130 ] || fail "Ctrl+C during the backup read ended with status $status: $(cat out.txt)"
grep -q "before anything was written" out.txt || fail "Ctrl+C before the write: $(cat out.txt)"
od -An -tx1 received.bin | tr -d ' \n' | grep -q ffff && fail "the board was written after Ctrl+C"
status=$(interrupt_program write)
[ "$status" = 130 ] || fail "Ctrl+C during the write ended with status $status: $(cat out.txt)"
grep -q "holds the new configuration, verified" out.txt || fail "Ctrl+C in the write: $(cat out.txt)"
"$3/calvento-cli" image encode changed.prg -o wanted.bin && cmp -s wanted.bin board.bin ||
    fail "the board does not hold the new configuration after Ctrl+C in the write"
echo "Ctrl+C before and during the write: $(tr -d '\r' <out.txt | tail -n 1)"

# Push-to-talk on a port without modem lines: nothing is sent, and the user is told why.
board COM2
tool send --ptt 2 "1" && fail "a send keyed through a port without RTS"
grep -q "has no RTS line that can be set" out.txt || fail "push-to-talk: $(cat out.txt)"
echo "push-to-talk without RTS: $(tr -d '\r' <out.txt | tr '\n' ' ')"
exit $failed
