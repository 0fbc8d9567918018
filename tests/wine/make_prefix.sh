#!/usr/bin/env bash
# Makes the build's Wine prefix afresh for one run of the Windows tests: make_prefix.sh ENV.
# COM1 to COM4 and COM12 are pointed at links under wine/ports, which a
# test makes to the pseudo-terminal of its board simulator (calvento-board-sim --link): Wine
# builds its COM devices from the registry key HKLM\Software\Wine\Ports when its server starts,
# so the key is written once here and the server started again.
set -euo pipefail
source "$(dirname "$0")/run.sh" "$1"
log="$CALVENTO_WINE_DIR/prefix.log"

calvento_stop_wine
rm -rf "$WINEPREFIX" "$CALVENTO_WINE_DIR/ports" "$CALVENTO_WINE_DIR"/*.log
mkdir -p "$WINEPREFIX" "$CALVENTO_WINE_DIR/ports"
"$CALVENTO_WINE" wineboot -i >>"$log" 2>&1 || { cat "$log" >&2; exit 1; }
for n in 1 2 3 4 12; do
    "$CALVENTO_WINE" reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ \
        /d "$CALVENTO_WINE_DIR/ports/com$n" /f >>"$log" 2>&1
done
calvento_stop_wine
"$CALVENTO_WINE" cmd /c exit >>"$log" 2>&1 || true
for _ in $(seq 200); do
    [ "$(readlink "$WINEPREFIX/dosdevices/com12" 2>/dev/null)" = "$CALVENTO_WINE_DIR/ports/com12" ] &&
        [ "$(readlink "$WINEPREFIX/dosdevices/com1" 2>/dev/null)" = "$CALVENTO_WINE_DIR/ports/com1" ] &&
        exit 0
    sleep 0.1
done
echo "make_prefix: Wine did not take the COM ports from the registry:" >&2
ls -l "$WINEPREFIX/dosdevices" >&2
exit 1
