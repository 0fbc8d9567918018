#!/usr/bin/env bash
# The Windows installer as a user meets it, in a Wine prefix of its own: made by
# scripts/package-windows.sh, installed silently (/S) for the user alone. The programs, the
# manual, the default configuration, the uninstaller, the Start-menu entry, the uninstall key and
# the .prg association are there; the installed calvento-cli.exe runs with nothing else on its
# path; a .prg opened through its association (as a double-click does) shows in the window's
# caption, and the settings go to %APPDATA%\calvento, never beside the programs. A newer version
# installed over it keeps the settings as they were; uninstalled silently, the programs, the entry and
# the keys go and %APPDATA%\calvento stays.
# Usage (under with_pulse.sh and with_xvfb.sh): installer.sh ENV SOURCE_DIR BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/run.sh" "$1"
source_dir=$2
build=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/calvento-wine-setup.XXXXXX")
failed=0
fail() { echo "FAIL: $*"; failed=1; }

command -v makensis >/dev/null || { echo "FAIL: makensis (Debian's nsis) is not installed"; exit 1; }
unset WINEPATH WINEQT_PLUGIN_PATH
# No menu entries of the prefix in the desktop's menus.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
cp -a "$WINEPREFIX" "$work/prefix"
export WINEPREFIX=$work/prefix
trap 'calvento_stop_wine; rm -rf "$work"' EXIT

"$source_dir/scripts/package-windows.sh" "$build" >/dev/null 2>"$work/package.txt" ||
    { echo "FAIL: no package: $(cat "$work/package.txt")"; exit 1; }
setup=$(ls "$build"/calvento-*-setup.exe "$source_dir/$build"/calvento-*-setup.exe 2>/dev/null | head -1)
[ -f "$setup" ] || { echo "FAIL: no installer: $(cat "$work/package.txt")"; exit 1; }
echo "installer: $setup ($(stat -c %s "$setup") bytes)"

users="$WINEPREFIX/drive_c/users"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Calvento'
reg_value() {  # reg_value KEY NAME: the value's data, empty when there is none
    "$CALVENTO_WINE" reg query "$1" ${2:+/v "$2"} 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *${2:-(Default)} *REG_[A-Z_]* *//p" | head -1
}
install_silently() {
    "$CALVENTO_WINE" "$setup" /S >"$work/setup.txt" 2>&1 || fail "the installer ended with $?: $(cat "$work/setup.txt")"
}

install_silently
inst=$(find "$users" -path '*/AppData/Local/Programs/Calvento' -type d | head -1)
[ -n "$inst" ] || { echo "FAIL: nothing under %LOCALAPPDATA%\\Programs\\Calvento"; exit 1; }
echo "installed in ${inst#"$WINEPREFIX"/}"
for f in calvento.exe calvento-cli.exe uninstall.exe platforms/qwindows.dll Manuale_Calvento31.rtf \
         Default31.prg README.txt; do
    [ -f "$inst/$f" ] || fail "the install lacks $f"
done
[ -f "$inst/portable.txt" ] && fail "the installed programs are marked portable"
grep -q '/dev/' "$inst/Manuale_Calvento31.rtf" && fail "the installed manual speaks of /dev"
grep -q 'ports.conf.txt' "$inst/Manuale_Calvento31.rtf" || fail "the manual says nothing of ports.conf.txt"
find "$users" -path '*/Start Menu/Programs/Calvento.lnk' | grep -q . || fail "no Start-menu entry"
uninstall=$(reg_value "$key" UninstallString)
[[ "$uninstall" == *'uninstall.exe"' ]] || fail "uninstall key: UninstallString '$uninstall'"
[ "$(reg_value "$key" DisplayName)" = "Calvento 3.1" ] || fail "uninstall key: DisplayName '$(reg_value "$key" DisplayName)'"
[ "$(reg_value 'HKCU\Software\Classes\.prg')" = Calvento.Configuration ] || fail ".prg is not associated"
open=$(reg_value 'HKCU\Software\Classes\Calvento.Configuration\shell\open\command')
[[ "$open" == *'calvento.exe" "%1"' ]] || fail ".prg opens with '$open'"

version=$(cd "$work" && "$CALVENTO_WINE" "$inst/calvento-cli.exe" --version 2>&1 | tr -d '\r')
[ "$version" = "calvento-cli 3.1" ] || fail "the installed calvento-cli.exe: $version"

# A .prg opened as Explorer opens it: the association's command with the file for %1. (Wine's
# ShellExecute reads only the machine's classes, not the user's, so the command is run here as
# Windows would run it.)
cp "$source_dir/data/Default31.prg" "$work/repeater.prg"
exe=$("$CALVENTO_WINE" winepath -u "$(sed -n 's/^"\([^"]*\)".*/\1/p' <<<"$open")" 2>/dev/null | tr -d '\r')
[ -f "$exe" ] || fail "the association's program '$exe' does not exist"
(cd "$work" && exec "$CALVENTO_WINE" "$exe" "$(calvento_windows_path "$work/repeater.prg")") \
    >"$work/window.txt" 2>&1 &
window=""
for _ in $(seq 300); do
    window=$(xdotool search --name '^Calvento v3\.1' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.1
done
if [ -z "$window" ]; then
    fail "no window appeared for the .prg: $(cat "$work/window.txt")"
else
    # The file given is loaded once the window is up: its name replaces the last file's.
    for _ in $(seq 50); do
        title=$(xdotool getwindowname "$window")
        [ "$title" = "Calvento v3.1 - repeater.prg" ] && break
        sleep 0.1
    done
    echo "window caption: $title"
    [ "$title" = "Calvento v3.1 - repeater.prg" ] || fail "caption '$title'"
    sleep 1
    xdotool windowfocus --sync "$window" key alt+F4 2>/dev/null
    for _ in $(seq 150); do xdotool search --name '^Calvento v3\.1' >/dev/null 2>&1 || break; sleep 0.1; done
    xdotool search --name '^Calvento v3\.1' >/dev/null 2>&1 && fail "the window did not close on Alt+F4"
fi
"$CALVENTO_WINESERVER" -w >/dev/null 2>&1 &
sleep 1
settings=$(find "$users" -path '*/AppData/Roaming/calvento/Calvento31.ini' | head -1)
[ -n "$settings" ] || fail "no Calvento31.ini under %APPDATA%\\calvento"
[ -f "$inst/Calvento31.ini" ] && fail "the installed program wrote its settings beside itself"
[ -n "$settings" ] && { grep -q 'repeater.prg' "$settings" || fail "the settings do not name the .prg opened"; }

# A newer version installed over it (the same files under version 3.2, made from the package
# script's lists): the settings stay as they were, the uninstall key names the new version.
before=$(cat "$settings" 2>/dev/null | md5sum)
package=$(dirname "$setup")/package
makensis -V1 -DVERSION=3.2 -DFILES="$package/files.nsh" -DUNFILES="$package/unfiles.nsh" \
    -DOUTFILE="$work/calvento-3.2-setup.exe" "$source_dir/scripts/calvento.nsi" >&2 ||
    fail "no newer installer"
setup=$work/calvento-3.2-setup.exe
install_silently
[ "$(cat "$settings" 2>/dev/null | md5sum)" = "$before" ] || fail "installing a newer version changed the settings"
[ -f "$inst/calvento.exe" ] || fail "installing a newer version lost calvento.exe"
[ "$(reg_value "$key" DisplayName)" = "Calvento 3.2" ] || fail "after the upgrade: DisplayName '$(reg_value "$key" DisplayName)'"

# Uninstalled silently: the programs, the entry and the keys go; the settings stay. The
# uninstaller runs a copy of itself and returns at once, so its end is waited for.
"$CALVENTO_WINE" "$inst/uninstall.exe" /S >"$work/uninstall.txt" 2>&1 || fail "the uninstaller ended with $?"
uninstalled() {
    [ ! -d "$inst" ] && ! find "$users" -path '*/Start Menu/Programs/Calvento.lnk' | grep -q . &&
        [ -z "$(reg_value "$key" DisplayName)" ]
}
for _ in $(seq 60); do uninstalled && break; sleep 0.5; done
[ -d "$inst" ] && fail "the program folder is still there: $(cd "$inst" && find . | head)"
find "$users" -path '*/Start Menu/Programs/Calvento.lnk' | grep -q . && fail "the Start-menu entry is still there"
[ -n "$(reg_value "$key" DisplayName)" ] && fail "the uninstall key is still there"
[ -n "$(reg_value 'HKCU\Software\Classes\.prg')" ] && fail ".prg is still associated"
[ -n "$settings" ] && [ ! -f "$settings" ] && fail "uninstalling removed the settings"
[ $failed = 0 ] && echo "ok: installed, opened a .prg, reinstalled and uninstalled"
exit $failed
