#!/usr/bin/env bash
# The portable zip as a Windows user meets it: made by scripts/package-windows.sh, unpacked into a
# folder of its own and run from there with nothing else on its path (so a DLL the package lacks
# fails here). The window starts on Wine's own desktop on a private X server, shows its caption
# and the program's icon, closes on Alt+F4 and leaves its settings beside the programs; unpacked
# on a read-only disk (where the test can mount one) it keeps them in %APPDATA%\calvento instead.
# Usage (under with_pulse.sh and with_xvfb.sh): portable_package.sh ENV SOURCE_DIR BUILD_DIR
set -uo pipefail
source "$(dirname "$0")/run.sh" "$1"
source_dir=$2
build=$3
work=$(mktemp -d "${TMPDIR:-/tmp}/calvento-wine-package.XXXXXX")
readonly_disk=$work/readonly
trap 'mountpoint -q "$readonly_disk" && umount -l "$readonly_disk"; rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Nothing from the build's own DLL and plugin folders.
unset WINEPATH WINEQT_PLUGIN_PATH

# A prefix of this test's own, copied from the run's: Wine shows every window of a prefix on the
# display its first window went to, and the other tests may have opened one elsewhere already.
cp -a "$WINEPREFIX" "$work/prefix"
export WINEPREFIX=$work/prefix
trap 'calvento_stop_wine; mountpoint -q "$readonly_disk" && umount -l "$readonly_disk"; rm -rf "$work"' EXIT

zip=$("$source_dir/scripts/package-windows.sh" "$build" | tail -1) || { echo "FAIL: no package"; exit 1; }
[ -f "$source_dir/$zip" ] && zip=$source_dir/$zip
echo "package: $zip ($(stat -c %s "$zip") bytes)"
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || { echo "FAIL: the zip does not unpack"; exit 1; }
folder=$(echo "$work"/unpacked/calvento-*-win64)
for f in calvento.exe calvento-cli.exe platforms/qwindows.dll Manuale_Calvento31.rtf Default31.prg \
         portable.txt; do
    [ -f "$folder/$f" ] || fail "the package lacks $f"
done

# Both programs carry version information (resource type 16) and an application manifest (24).
for exe in calvento.exe calvento-cli.exe; do
    types=$(x86_64-w64-mingw32-objdump -p "$folder/$exe" | sed -n 's/^0[0-9a-f][0-9a-f]   Entry: ID: 0x0000\(..\),.*/\1/p')
    grep -qx 10 <<<"$types" && grep -qx 18 <<<"$types" ||
        fail "$exe lacks its version information or manifest (resource types: $(echo $types))"
done
grep -q "Windows 10" "$folder/README.txt" || fail "README.txt names no Windows version"
# The manual in Windows terms: COM ports and ports.conf, not /dev and dialout.
grep -q -e '/dev/' -e dialout "$folder/Manuale_Calvento31.rtf" && fail "the package's manual speaks of Linux"
grep -q 'ports.conf.txt' "$folder/Manuale_Calvento31.rtf" || fail "the package's manual says nothing of ports.conf.txt"

version=$(cd "$folder" && "$CALVENTO_WINE" ./calvento-cli.exe --version 2>&1 | tr -d '\r')
[ "$version" = "calvento-cli 3.1" ] || fail "calvento-cli.exe from the package: $version"

# run_window FOLDER: starts the window program from FOLDER, checks its caption, closes it with
# Alt+F4 and waits for it to end.
run_window() {
    (cd "$1" && exec "$CALVENTO_WINE" ./calvento.exe) >"$work/window.txt" 2>&1 &
    local program=$! window="" title=""
    for _ in $(seq 300); do
        window=$(xdotool search --name '^Calvento v3\.1' 2>/dev/null | head -1)
        [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { fail "no window appeared: $(cat "$work/window.txt")"; kill "$program"; return; }
    title=$(xdotool getwindowname "$window")
    echo "window caption: $title"
    [[ "$title" == "Calvento v3.1 - "* ]] || fail "caption '$title'"
    xprop -id "$window" _NET_WM_ICON | grep -q '^_NET_WM_ICON(CARDINAL)' ||
        fail "the window has no icon (the program's icon resource)"
    sleep 1  # the window has settled and taken the focus
    xdotool windowfocus --sync "$window" key alt+F4 2>/dev/null
    for _ in $(seq 150); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$program" 2>/dev/null; then
        fail "the window did not close on Alt+F4"
        kill "$program"
    fi
    wait "$program" 2>/dev/null
}

run_window "$folder"
[ -f "$folder/Calvento31.ini" ] || fail "no Calvento31.ini beside the programs (portable mode)"

# Without the zip's marker the programs are an installed copy: settings in %APPDATA%\calvento,
# never beside the programs, though the folder may be written to.
cp -r "$folder" "$work/installed"
rm -f "$work/installed/portable.txt" "$work/installed/Calvento31.ini"
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/calvento
run_window "$work/installed"
[ -f "$work/installed/Calvento31.ini" ] && fail "an installed copy wrote its settings beside itself"
find "$WINEPREFIX/drive_c/users" -path '*/AppData/Roaming/calvento/Calvento31.ini' | grep -q . ||
    fail "an installed copy kept no Calvento31.ini under %APPDATA%\calvento"
rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/calvento

# On a disk the program may not write to, the settings go to %APPDATA%\calvento.
if mkdir -p "$readonly_disk" && mount -t tmpfs -o size=64m tmpfs "$readonly_disk" 2>/dev/null; then
    cp -r "$folder" "$readonly_disk/"
    rm -f "$readonly_disk"/*/Calvento31.ini
    mount -o remount,ro "$readonly_disk"
    run_window "$(echo "$readonly_disk"/calvento-*-win64)"
    settings=$(find "$WINEPREFIX/drive_c/users" -path '*/AppData/Roaming/calvento/Calvento31.ini' | head -1)
    [ -n "$settings" ] || fail "a read-only folder: no Calvento31.ini under %APPDATA%\\calvento"
    echo "read-only folder: settings in ${settings#"$WINEPREFIX"/}"
else
    echo "skipped the read-only folder: mounting a file system needs root"
fi
exit $failed
