#!/usr/bin/env bash
# Makes the Windows packages from a Windows build (scripts/build-windows.sh makes one in
# build-win): the portable BUILD/calvento-<version>-win64.zip and the installer
# BUILD/calvento-<version>-setup.exe. Both carry the window program and the command-line tool,
# every DLL they load that Windows does not ship (Qt's, the MinGW runtime's and Hamlib's, found by
# following the programs' imports), the Windows platform plugin and style, the manual in Windows
# terms and the default configuration. The zip runs from any folder and keeps its settings beside
# the programs (its portable.txt says so); the installer (NSIS, scripts/calvento.nsi) installs for
# the user alone and the installed programs keep their settings in %APPDATA%\calvento. With
# CALVENTO_SIGN_PFX (and CALVENTO_SIGN_PASS) the programs and the installer are signed with that
# certificate. Without makensis only the zip is made, and the script says so.
#
# Usage: scripts/package-windows.sh [BUILD]      (BUILD defaults to build-win)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-win}
cache="$build/CMakeCache.txt"
[ -f "$cache" ] || { echo "package-windows: $build is not configured (scripts/build-windows.sh)" >&2; exit 1; }
cached() { sed -n "s/^$1:[^=]*=//p" "$cache"; }

version=$(cached CMAKE_PROJECT_VERSION)
qt=$(cd "$(cached Qt6_DIR)/../../.." && pwd)
cxx=x86_64-w64-mingw32-g++-posix
objdump=x86_64-w64-mingw32-objdump
# Where the DLLs the programs may import are looked for: Qt's, the compiler's runtime, Hamlib's.
hamlib=$(cached CALVENTO_HAMLIB_WINDOWS)
search=("$qt/bin" "$(dirname "$("$cxx" -print-file-name=libstdc++-6.dll)")"
        "$(dirname "$("$cxx" -print-file-name=libwinpthread-1.dll)")" "$hamlib/bin")

name="calvento-$version-win64"
stage="$build/package/$name"
rm -rf "$build/package" "$build/$name.zip"
mkdir -p "$stage/platforms" "$stage/styles"

cp "$build/bin/calvento.exe" "$build/bin/calvento-cli.exe" "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp data/Default31.prg "$stage/"
# The manual speaks of COM ports, ports.conf and %APPDATA%, not of /dev and dialout.
python3 scripts/windows_manual.py data/Manuale_Calvento31.rtf "$stage/Manuale_Calvento31.rtf"

# Copies, beside the programs, each DLL that FILE imports and that lies in one of the search
# folders (the system's own DLLs lie in none), then the DLLs those import in turn.
bring_imports() {
    local dll dir
    for dll in $("$objdump" -p "$1" | sed -n 's/^\s*DLL Name: //p'); do
        [ -e "$stage/$dll" ] && continue
        for dir in "${search[@]}"; do
            if [ -f "$dir/$dll" ]; then
                cp "$dir/$dll" "$stage/"
                bring_imports "$stage/$dll"
                break
            fi
        done
    done
}
for program in "$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll; do
    bring_imports "$program"
done

# Without their debugging information the programs and DLLs take a third of the room.
chmod -R u+w "$stage"
find "$stage" -name '*.exe' -o -name '*.dll' | xargs x86_64-w64-mingw32-strip -g

cat >"$stage/README.txt" <<EOF
Calvento $version for 64-bit Windows

It runs on 64-bit Windows 10 or later. Unpack this folder anywhere (a USB stick will do) and start
calvento.exe; calvento-cli.exe is the command-line tool for scripts (calvento-cli --help). Nothing
is installed.

Where the settings go: beside the programs when this folder may be written to (portable.txt
makes this a portable copy), otherwise in %APPDATA%\\calvento. Port numbers are the Windows
COM numbers, 1 to 16; a line such as COM3=COM23 in a file ports.conf in that folder gives number
3 to a port above.
EOF
sed -i 's/$/\r/' "$stage/README.txt"

# The marker that makes the unpacked programs portable (an installed copy has none).
printf '%s\r\n' "This file makes Calvento keep its settings, backups and logs in this folder." \
    "Without it they go to %APPDATA%\\calvento, as for an installed Calvento." >"$stage/portable.txt"

# Signed when a code-signing certificate is given: CALVENTO_SIGN_PFX (a PKCS#12 file) and its
# password in CALVENTO_SIGN_PASS. The signature carries no timestamp (that would need a network
# service); unsigned packages otherwise, as the message says.
sign() {  # sign FILE: signs FILE in place
    osslsigncode sign -pkcs12 "$CALVENTO_SIGN_PFX" -pass "${CALVENTO_SIGN_PASS:-}" \
        -n "Calvento" -h sha256 -in "$1" -out "$1.signed" >/dev/null &&
        mv "$1.signed" "$1"
}
if [ -n "${CALVENTO_SIGN_PFX:-}" ]; then
    for program in "$stage/calvento.exe" "$stage/calvento-cli.exe"; do
        sign "$program" || { echo "package-windows: $program could not be signed" >&2; exit 1; }
    done
    echo "package-windows: the programs are signed with $CALVENTO_SIGN_PFX" >&2
else
    echo "package-windows: unsigned (CALVENTO_SIGN_PFX names no certificate)" >&2
fi

(cd "$build/package" && cmake -E tar cf "../$name.zip" --format=zip "$name")

# The installer: the same files but the portable marker and with a README of its own. The
# uninstaller removes exactly the files listed here.
setup="$build/calvento-$version-setup.exe"
rm -f "$setup"
if command -v makensis >/dev/null; then
    installed="$build/package/installed"
    cp -r "$stage" "$installed"
    rm "$installed/portable.txt"
    cat >"$installed/README.txt" <<EOF
Calvento $version for 64-bit Windows

It runs on 64-bit Windows 10 or later. The setup program installed it for you alone (no
administrator rights) under %LOCALAPPDATA%\\Programs\\Calvento, with Calvento in the Start menu
and .prg files opening in it; calvento-cli.exe is the command-line tool for scripts
(calvento-cli --help). Uninstall it under Settings, Apps.

Where the settings go: %APPDATA%\\calvento (settings, sites, the send log, backups). Installing a
newer version keeps them, and uninstalling leaves them. Port numbers are the Windows COM numbers,
1 to 16; a line such as COM3=COM23 in a file ports.conf in that folder gives number 3 to a port
above (Notepad saves a new file as ports.conf.txt unless the name is typed in quotes).
EOF
    sed -i 's/$/\r/' "$installed/README.txt"
    files="$build/package/files.nsh" unfiles="$build/package/unfiles.nsh"
    : >"$files"
    : >"$unfiles"
    (cd "$installed" && find . -type d | sort) | while read -r dir; do
        rel=${dir#./}
        win=${rel//\//\\}
        [ "$dir" = . ] && echo 'SetOutPath "$INSTDIR"' >>"$files" ||
            echo "SetOutPath \"\$INSTDIR\\$win\"" >>"$files"
        find "$installed/$rel" -maxdepth 1 -type f | sort | while read -r file; do
            echo "File \"$(realpath "$file")\"" >>"$files"
            base=$(basename "$file")
            if [ "$dir" = . ]; then echo "Delete \"\$INSTDIR\\$base\"" >>"$unfiles"
            else echo "Delete \"\$INSTDIR\\$win\\$base\"" >>"$unfiles"; fi
        done
    done
    (cd "$installed" && find . -mindepth 1 -type d | sort -r) | while read -r dir; do
        rel=${dir#./}
        echo "RMDir \"\$INSTDIR\\${rel//\//\\}\"" >>"$unfiles"
    done
    makensis -V2 -DVERSION="$version" -DFILES="$(realpath "$files")" \
        -DUNFILES="$(realpath "$unfiles")" -DOUTFILE="$(realpath "$build")/calvento-$version-setup.exe" \
        scripts/calvento.nsi >&2 || { echo "package-windows: makensis failed" >&2; exit 1; }
    if [ -n "${CALVENTO_SIGN_PFX:-}" ]; then
        sign "$setup" || { echo "package-windows: $setup could not be signed" >&2; exit 1; }
    fi
    echo "package-windows: the installer is $setup" >&2
else
    echo "package-windows: no installer (makensis, Debian's nsis, is not installed)" >&2
fi
echo "$build/$name.zip"
