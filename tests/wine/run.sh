#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: run.sh ENV PROGRAM [ARGS...], ENV being the
# build's wine/env.sh. The program runs in the build's Wine prefix with Qt's and the MinGW
# runtime's DLLs on its path and Qt's plugins found; Wine's own messages stay quiet.
# run.sh ENV --stop ends the prefix's Wine server (and every program still running in it).
# Sourced with `source run.sh ENV` it only sets the environment, for the scripts beside it.
env_file=$1
shift
source "$env_file"

# A Unix path as a Windows program sees it, through Wine's drive Z:.
calvento_windows_path() {
    local p=${1//\//\\}
    printf 'Z:%s' "$p"
}

export WINEPREFIX="$CALVENTO_WINE_DIR/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINESERVER="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wineserver.sh"
export CALVENTO_REAL_WINESERVER="$CALVENTO_WINESERVER"
export CALVENTO_WINESERVER_LOG="$CALVENTO_WINE_DIR/wineserver.log"
winepath=""
IFS=: read -ra dirs <<<"$CALVENTO_DLL_DIRS"
for d in "${dirs[@]}"; do winepath+="${winepath:+;}$(calvento_windows_path "$d")"; done
export WINEPATH="$winepath"
# Wine hands a Windows program the variables QT_* only as WINEQT_* (the Linux ones would mislead
# a Windows Qt). The offscreen platform of the window tests reads its fonts from a folder; and Qt
# for Windows sends its messages and QtTest's report to the debugger, not to standard error and
# output, unless told that someone reads them (ctest does).
export WINEQT_PLUGIN_PATH="$(calvento_windows_path "$CALVENTO_QT_PLUGINS")"
export WINEQT_QPA_FONTDIR="$(calvento_windows_path /usr/share/fonts/truetype/liberation)"
export WINEQT_ASSUME_STDERR_HAS_CONSOLE=1

# Ends the prefix's Wine server, quietly: it prints its whole object table when it is ended.
calvento_stop_wine() {
    "$CALVENTO_WINESERVER" -k >/dev/null 2>&1 || true
    "$CALVENTO_WINESERVER" -w >/dev/null 2>&1 || true
}

if [ "${BASH_SOURCE[0]}" != "$0" ]; then return 0; fi
if [ "${1:-}" = --stop ]; then
    calvento_stop_wine
    exit 0
fi
exec "$CALVENTO_WINE" "$@"
