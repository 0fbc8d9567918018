#!/usr/bin/env bash
# The Debian package: built with cpack from BUILD_DIR, it must declare its runtime dependencies,
# hold the programs and their data in the usual places, and its programs must run.
# Usage: debian_package.sh BUILD_DIR
set -uo pipefail
build=${1:?usage: debian_package.sh BUILD_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/calvento-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "debian_package: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/out/calvento_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no package built"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6multimedia6 libqt6serialport6 libhamlib4 fonts-liberation; do
    case "$depends" in *"$lib"*) ;; *) fail "Depends lacks $lib: $depends" ;; esac
done
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/calvento ./usr/bin/calvento-cli ./usr/bin/calvento-board-sim \
         ./usr/share/calvento/Manuale_Calvento31.rtf ./usr/share/calvento/Default31.prg \
         ./usr/share/applications/io.calvento.Calvento.desktop \
         ./usr/share/metainfo/io.calvento.Calvento.metainfo.xml \
         ./usr/lib/udev/rules.d/60-calvento-cm108.rules; do
    grep -q " $f\$" <<<"$contents" || fail "missing from the package: $f"
done

dpkg-deb -x "$deb" "$work/root"
version=$("$work/root/usr/bin/calvento-cli" --version) || fail "the packaged calvento-cli does not run"
[ "$version" = "calvento-cli 3.1" ] || fail "unexpected version: $version"
echo "debian_package: ok ($(basename "$deb"))"
