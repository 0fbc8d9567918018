#!/usr/bin/env bash
# The installed program, as a new user meets it: `cmake --install` into a fresh prefix, then
# the installed calvento started under X with a home of its own. It must keep its settings in
# the per-user configuration folder, put the shipped example configuration there at its first
# start and load it (the title names it), open its manual on F1, open a .prg given on its command
# line, and end on SIGTERM as the close box ends it: settings written, exit status 0.
# Usage: installed_program.sh BUILD_DIR   (run beside with_pulse.sh and with_xvfb.sh)
set -uo pipefail
build=${1:?usage: installed_program.sh BUILD_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/calvento-install.XXXXXX")
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "installed_program: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
for f in bin/calvento bin/calvento-cli bin/calvento-board-sim share/calvento/Manuale_Calvento31.rtf \
         share/calvento/Default31.prg share/applications/io.calvento.Calvento.desktop \
         share/icons/hicolor/scalable/apps/calvento.svg share/metainfo/io.calvento.Calvento.metainfo.xml; do
    [ -f "$work/prefix/$f" ] || fail "not installed: $f"
done

export HOME="$work/home" XDG_CONFIG_HOME= XDG_DATA_HOME=
unset CALVENTO_HOME
mkdir -p "$HOME"
"$work/prefix/bin/calvento" >"$work/calvento.log" 2>&1 &
pid=$!

config="$HOME/.config/calvento"
wid=
for _ in $(seq 100); do
    wid=$(xdotool search --name "^Calvento v3.1 - Default31.prg$" 2>/dev/null | head -1)
    [ -n "$wid" ] && break
    sleep 0.1
done
[ -n "$wid" ] || { cat "$work/calvento.log"; fail "no window titled with the loaded example configuration"; }
[ -f "$config/Default31.prg" ] || fail "the example configuration was not copied to $config"
[ -f "$config/Calvento31.ini" ] || fail "no settings file in $config"
[ ! -e "$work/prefix/bin/Calvento31.ini" ] || fail "settings written beside the installed program"
cmp -s "$config/Default31.prg" "$work/prefix/share/calvento/Default31.prg" || fail "copied configuration differs"

# F1 on a field opens the manual from the installed data folder.
xdotool mousemove --window "$wid" 150 74 click 1
sleep 0.3
xdotool key F1
manual=
for _ in $(seq 50); do
    xdotool search --name "^ Calvento v3.1$" >/dev/null 2>&1 && { manual=yes; break; }
    sleep 0.1
done
if [ -z "$manual" ]; then
    xdotool search --name "Calvento v3r" >/dev/null 2>&1 && fail "the manual was not found"
    fail "F1 opened no instructions window"
fi

# An unpacked program run with CALVENTO_HOME naming an empty folder takes the example
# configuration from beside its executable.
mkdir -p "$work/portable"
CALVENTO_HOME="$work/portable" "$build/bin/calvento" >"$work/portable.log" 2>&1 &
portable=$!
found=
for _ in $(seq 100); do
    xdotool search --name "^Calvento v3.1 - Default31.prg$" 2>/dev/null | grep -qv "^$wid$" && { found=yes; break; }
    sleep 0.1
done
kill -TERM "$portable"; wait "$portable"
[ -n "$found" ] || { cat "$work/portable.log"; fail "CALVENTO_HOME without a configuration: none taken from beside the program"; }

# A configuration file given on the command line (as a double-click gives it) opens in the
# window: its name is in the caption.
sed 's/"CALV"/"ARGV"/' "$config/Default31.prg" >"$work/From Files.prg"
mkdir -p "$work/argument"
CALVENTO_HOME="$work/argument" "$build/bin/calvento" "$work/From Files.prg" >"$work/argument.log" 2>&1 &
argument=$!
found=
for _ in $(seq 100); do
    xdotool search --name "^Calvento v3.1 - From Files.prg$" >/dev/null 2>&1 && { found=yes; break; }
    sleep 0.1
done
kill -TERM "$argument"; wait "$argument"
[ -n "$found" ] || { cat "$work/argument.log"; fail "a .prg on the command line did not open"; }

rm -f "$config/Calvento31.ini"
kill -TERM "$pid"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "SIGTERM did not end the program"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "SIGTERM ended the program with status $status"
[ -f "$config/Calvento31.ini" ] || fail "SIGTERM ended the program without writing its settings"
echo "installed_program: ok"
