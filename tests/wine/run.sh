#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: run.sh ENV PROGRAM [ARGS...], ENV being the
# build's wine/env.sh. The program runs in the build's Wine prefix with Qt's and the MinGW
# runtime's DLLs on its path and Qt's plugins found; Wine's own messages stay quiet.
# run.sh ENV --stop ends the prefix's Wine server (and every program still running in it).
# run.sh ENV --qtest PROGRAM [ARGS...] runs a QtTest program (see below).
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
export WINEPATH="$winepath" QT_PLUGIN_PATH="$(calvento_windows_path "$CALVENTO_QT_PLUGINS")"
# The offscreen platform of the window tests reads its fonts from a folder.
export QT_QPA_FONTDIR="$(calvento_windows_path /usr/share/fonts/truetype/liberation)"

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
# run.sh ENV --qtest PROGRAM [ARGS...]: a QtTest program. Qt for Windows sends QtTest's report
# to the debugger, not to standard output, when it sees no console (as under ctest), so the
# report goes to a file that is printed afterwards.
if [ "${1:-}" = --qtest ]; then
    shift
    report=$(mktemp "${TMPDIR:-/tmp}/calvento-qtest.XXXXXX")
    "$CALVENTO_WINE" "$@" -o "$(calvento_windows_path "$report"),txt"
    status=$?
    cat "$report"
    rm -f "$report"
    exit $status
fi
exec "$CALVENTO_WINE" "$@"
