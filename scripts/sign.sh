#!/usr/bin/env bash
# Signs one Windows program in place with Authenticode, SHA-256, with the
# certificate and key of PIKRO_SIGN_PKCS12 (a .pfx file) opened with
# PIKRO_SIGN_PASSWORD, and an RFC 3161 time stamp from
# PIKRO_SIGN_TIMESTAMP_URL when that is set (without one, the signature is
# valid only while the certificate is). scripts/release.sh runs it on every
# program, and makensis on the uninstaller and the installer it makes.
#
#   PIKRO_SIGN_PKCS12=... PIKRO_SIGN_PASSWORD=... bash scripts/sign.sh <file.exe>
#
# The password goes to osslsigncode through a pipe, never on a command line
# that every user of the machine can read.
set -euo pipefail

if [ "$#" -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: sign.sh <file.exe> (PIKRO_SIGN_PKCS12 and PIKRO_SIGN_PASSWORD set)" >&2
  exit 2
fi
if [ -z "${PIKRO_SIGN_PKCS12:-}" ] || [ -z "${PIKRO_SIGN_PASSWORD+set}" ]; then
  echo "sign.sh: PIKRO_SIGN_PKCS12 and PIKRO_SIGN_PASSWORD must be set" >&2
  exit 2
fi

file=$1
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
product=$(sed -n 's/^#define PIKRO_PRODUCT_NAME "\([^"]*\)".*/\1/p' "$repo/common/version.h")
stamp=()
if [ -n "${PIKRO_SIGN_TIMESTAMP_URL:-}" ]; then
  stamp=(-ts "$PIKRO_SIGN_TIMESTAMP_URL")
fi

# osslsigncode writes a new file; the signed one replaces the original only
# once it is complete.
signed=$file.signing
rm -f "$signed"
if ! printf '%s' "$PIKRO_SIGN_PASSWORD" |
    osslsigncode sign -pkcs12 "$PIKRO_SIGN_PKCS12" -readpass /dev/stdin -h sha256 \
      -n "$product" "${stamp[@]}" -in "$file" -out "$signed" >/dev/null; then
  rm -f "$signed"
  echo "sign.sh: could not sign $file" >&2
  exit 1
fi
mv -f "$signed" "$file"
echo "== signed $file" >&2
