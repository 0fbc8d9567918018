#!/usr/bin/env bash
# The Windows tool synthesizes the very bytes of the Linux tool: short and long sequences, the
# classic and odd durations, a sequence long enough to be written in several blocks, WAV and raw,
# and an image encoded from the shipped configuration; and what either writes to standard output
# is the same bytes.
# Usage: synth_same_bytes.sh ENV WINDOWS_CLI LINUX_BIN_DIR
set -uo pipefail
source "$(dirname "$0")/run.sh" "$1"
windows_cli=$2
linux_cli=$3/calvento-cli
work=$(mktemp -d "${TMPDIR:-/tmp}/calvento-wine-synth.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

failed=0
long=$(printf '0123456789ABCD*# %.0s' $(seq 16))
cases=(
    "--raw|123"
    "--raw|--digit 60 --gap 40 --pause 300|159#D*0"
    "--wav|--digit 25 --gap 15 --pause 25|12AB# 34"
    "--raw|--digit 9999 --gap 999 --pause 999|1 2"
    "--wav|--digit 77 --gap 33 --pause 500|$long"
)
for c in "${cases[@]}"; do
    IFS='|' read -r format options sequence <<<"$c"
    [ -z "$sequence" ] && { sequence=$options; options=""; }
    # shellcheck disable=SC2086
    "$linux_cli" synth $options "$format" linux.out "$sequence" >/dev/null ||
        { echo "FAIL: the Linux tool refused: $c"; failed=1; continue; }
    # shellcheck disable=SC2086
    "$CALVENTO_WINE" "$windows_cli" synth $options "$format" windows.out "$sequence" >windows.txt 2>&1 ||
        { echo "FAIL: the Windows tool refused: $c"; cat windows.txt; failed=1; continue; }
    if cmp -s linux.out windows.out; then
        echo "ok: $c ($(stat -c %s linux.out) bytes)"
    else
        echo "FAIL: different bytes for $c"; cmp linux.out windows.out | head -3; failed=1
    fi
done

cp "$(dirname "$0")/../../data/Default31.prg" .
"$linux_cli" image encode Default31.prg -o linux.bin >/dev/null &&
    "$CALVENTO_WINE" "$windows_cli" image encode Default31.prg -o windows.bin >/dev/null 2>&1 &&
    cmp -s linux.bin windows.bin && echo "ok: image of Default31.prg" ||
    { echo "FAIL: the images of Default31.prg differ"; failed=1; }
# Standard output and input carry the same bytes as on Linux: no CR before a LF byte of the
# samples, the image or the configuration file, and none dropped on input.
same_stdout() {  # same_stdout NAME INPUT ARGS...: the two tools' standard output compared
    local name=$1 input=$2
    shift 2
    "$linux_cli" "$@" <"$input" >linux.out 2>/dev/null
    "$CALVENTO_WINE" "$windows_cli" "$@" <"$input" >windows.out 2>/dev/null
    if [ -s linux.out ] && cmp -s linux.out windows.out; then
        echo "ok: standard output of $name ($(stat -c %s linux.out) bytes)"
    else
        echo "FAIL: standard output of $name differs ($(stat -c %s linux.out) and $(stat -c %s windows.out) bytes)"
        failed=1
    fi
}
same_stdout "synth --raw -" /dev/null synth --raw - "0123456789*#ABCD"
same_stdout "image encode" /dev/null image encode Default31.prg
same_stdout "image encode from standard input" Default31.prg image encode -
same_stdout "image decode" linux.bin image decode linux.bin
same_stdout "replace" /dev/null replace --modifier "*0*" --checksum "#" 101 ABC
# The Windows tool's help speaks of COM ports, ports.conf (and Notepad's ports.conf.txt) and
# %APPDATA%, not of Linux devices, and offers Hamlib's --rig
# only when the build has Hamlib (it then keys a rig, not "This build has no Hamlib").
"$CALVENTO_WINE" "$windows_cli" --help >help.txt 2>&1
"$CALVENTO_WINE" "$windows_cli" send --rig 1 --rig-port "" 1 >rig.txt 2>&1
if grep -q "This build has no Hamlib" rig.txt; then offers=no; else offers=yes; fi
if grep -q -- "--rig" help.txt; then says=yes; else says=no; fi
if grep -q -e "/dev/" -e "config/calvento" help.txt || ! grep -q "then COM<n>" help.txt ||
   ! grep -q 'ports.conf.txt' help.txt || ! grep -q '%APPDATA%' help.txt || [ $offers != $says ]; then
    echo "FAIL: the Windows help (Hamlib in the build: $offers):"; cat help.txt; failed=1
else
    echo "ok: the Windows help names COM ports, and --rig exactly when Hamlib is built in"
fi
exit $failed
