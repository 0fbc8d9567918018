#!/usr/bin/env bash
# Runs a command with a private X server (Xvfb) of its own as DISPLAY, stopped afterwards. The
# server picks a free display number itself, so that tests run side by side never share one.
set -uo pipefail
numberfile=$(mktemp "${TMPDIR:-/tmp}/calvento-xvfb.XXXXXX")
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numberfile" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -f "$numberfile"' EXIT
for _ in $(seq 100); do [ -s "$numberfile" ] && break; sleep 0.1; done
display=$(tr -dc '0-9' <"$numberfile")
[ -n "$display" ] || { echo "with_xvfb: the X server did not start" >&2; exit 1; }
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
"$@"
