#!/usr/bin/env bash
# Makes the portable Windows package, BUILD/calvento-<version>-win64.zip, from a Windows build
# (scripts/build-windows.sh makes one in build-win): the window program and the command-line tool,
# every DLL they load that Windows does not ship (Qt's and the MinGW runtime's, found by following
# the programs' imports), the Windows platform plugin and style, the manual and the default
# configuration. Unpacked into any folder it runs from there; it keeps its settings beside the
# programs when it may write there, else in %APPDATA%\calvento. With CALVENTO_SIGN_PFX (and
# CALVENTO_SIGN_PASS) the programs are signed with that certificate.
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
cp data/Manuale_Calvento31.rtf data/Default31.prg "$stage/"

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
echo "$build/$name.zip"
