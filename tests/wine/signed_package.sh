#!/usr/bin/env bash
# The packages signed with a code-signing certificate: a throwaway self-signed one made here by
# openssl, given as the package script takes it (CALVENTO_SIGN_PFX, CALVENTO_SIGN_PASS). Both
# programs in the zip and the installer carry a signature that osslsigncode verifies against
# that certificate (the programs the installer installs are the zip's, signed the same); without
# a certificate the script says that the package is unsigned.
# Usage: signed_package.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$1
build=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/calvento-signed.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Calvento test signing" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$work/key.pem" -out "$work/cert.pem" \
    >/dev/null 2>&1 || { echo "FAIL: openssl made no certificate"; exit 1; }
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -passout pass:s3cret \
    -out "$work/sign.pfx" >/dev/null 2>&1 || { echo "FAIL: openssl made no PKCS#12 file"; exit 1; }

zip=$(CALVENTO_SIGN_PFX=$work/sign.pfx CALVENTO_SIGN_PASS=s3cret \
      "$source_dir/scripts/package-windows.sh" "$build" 2>"$work/signing.txt" | tail -1) ||
    { echo "FAIL: no package: $(cat "$work/signing.txt")"; exit 1; }
[ -f "$source_dir/$zip" ] && zip=$source_dir/$zip
grep -q "the programs are signed" "$work/signing.txt" || fail "signing: $(cat "$work/signing.txt")"
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
for exe in "$work"/unpacked/calvento-*-win64/calvento.exe "$work"/unpacked/calvento-*-win64/calvento-cli.exe; do
    if osslsigncode verify -CAfile "$work/cert.pem" -in "$exe" >"$work/verify.txt" 2>&1; then
        echo "ok: $(basename "$exe") signed and verified"
    else
        fail "$(basename "$exe"): $(cat "$work/verify.txt")"
    fi
done
setup=$(ls "$build"/calvento-*-setup.exe "$source_dir/$build"/calvento-*-setup.exe 2>/dev/null | head -1)
if [ -z "$setup" ]; then
    fail "no installer was made: $(cat "$work/signing.txt")"
elif osslsigncode verify -CAfile "$work/cert.pem" -in "$setup" >"$work/verify.txt" 2>&1; then
    echo "ok: $(basename "$setup") signed and verified"
else
    fail "$(basename "$setup"): $(cat "$work/verify.txt")"
fi

# Without a certificate: an unsigned package, and the script says so.
"$source_dir/scripts/package-windows.sh" "$build" 2>"$work/unsigned.txt" >/dev/null ||
    fail "the unsigned package: $(cat "$work/unsigned.txt")"
grep -q "unsigned" "$work/unsigned.txt" || fail "no word of an unsigned package: $(cat "$work/unsigned.txt")"
mkdir -p "$work/plain"
(cd "$work/plain" && cmake -E tar xf "$build/calvento-"*"-win64.zip" 2>/dev/null ||
    cmake -E tar xf "$source_dir/$build/calvento-"*"-win64.zip")
osslsigncode verify -in "$work"/plain/calvento-*-win64/calvento.exe >/dev/null 2>&1 &&
    fail "the package made without a certificate is signed"
exit $failed
