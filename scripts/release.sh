#!/usr/bin/env bash
# Builds the Release programs for x86 and x64 and writes the files a
# Windows user downloads into dist/release/:
#
#   Pikro-<version>-x64-setup.exe  the installer of the 64-bit programs, for
#                                  every 64-bit Windows
#   Pikro-<version>-x86-setup.exe  the installer of the 32-bit programs, for
#                                  32-bit Windows
#   Pikro-<version>-x64.zip        the 64-bit programs in their installed
#   Pikro-<version>-x86.zip        layout, the 32-bit ones, each with README.txt,
#                                  in one folder Pikro-<version>-<arch>/
#   SHA256SUMS                     the four files' SHA-256
#   winget/                        the manifests that offer the installers to
#                                  winget (scripts/winget.sh)
#
#   bash scripts/release.sh
#
# The version and product name come from common/version.h. One commit gives
# the same bytes wherever and whenever it is built: every time stamp is the
# commit's (SOURCE_DATE_EPOCH, which the linker writes into each program's
# header), the installers and the archives take the programs with the
# commit's time, the archives list their entries in sorted order in UTC, and
# no build path reaches the programs. scripts/check-release.sh proves it.
#
# Signing: with PIKRO_SIGN_PKCS12 (a .pfx file) and PIKRO_SIGN_PASSWORD set,
# it also writes dist/release-signed/: the same files with every program, the
# installers and the uninstaller inside each installer signed (SHA-256,
# scripts/sign.sh; time-stamped when PIKRO_SIGN_TIMESTAMP_URL is set too),
# with their own SHA256SUMS and winget manifests. A signature holds the time
# of signing and the signer's key, so signed files are not reproducible: the
# unsigned release is the one anyone can rebuild and compare.
#
# Environment: PIKRO_RELEASE_ROOT build folder (default <repo>/build/release,
# apart from the test builds); PIKRO_RELEASE_URL where the files will be
# published (winget's download address; see scripts/winget.sh);
# SOURCE_DATE_EPOCH instead of the commit's time; PIKRO_WERROR (see
# build.sh); PIKRO_SKIP_DEPS=1.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=${PIKRO_RELEASE_ROOT:-$repo/build/release}
out=$repo/dist/release
signed_out=$repo/dist/release-signed

define() {
  sed -n "s/^#define $1 \"\\([^\"]*\\)\".*/\\1/p" "$repo/common/version.h"
}
version=$(define PIKRO_VERSION_STR)
product=$(define PIKRO_PRODUCT_NAME)
if [ -z "$version" ] || [ -z "$product" ]; then
  echo "release.sh: no PIKRO_VERSION_STR or PIKRO_PRODUCT_NAME in common/version.h" >&2
  exit 1
fi

# Half a signing set-up is a mistake, not a wish for an unsigned release.
signing=0
if [ -n "${PIKRO_SIGN_PKCS12:-}" ] && [ -n "${PIKRO_SIGN_PASSWORD+set}" ]; then
  [ -f "$PIKRO_SIGN_PKCS12" ] || { echo "release.sh: no file $PIKRO_SIGN_PKCS12 (PIKRO_SIGN_PKCS12)" >&2; exit 1; }
  PIKRO_SIGN_PKCS12=$(cd "$(dirname "$PIKRO_SIGN_PKCS12")" && pwd)/$(basename "$PIKRO_SIGN_PKCS12")
  export PIKRO_SIGN_PKCS12 PIKRO_SIGN_PASSWORD
  signing=1
elif [ -n "${PIKRO_SIGN_PKCS12:-}" ] || [ -n "${PIKRO_SIGN_PASSWORD+set}" ]; then
  echo "release.sh: PIKRO_SIGN_PKCS12 and PIKRO_SIGN_PASSWORD go together: set both to sign, neither for an unsigned release" >&2
  exit 1
fi

if [ "${PIKRO_SKIP_DEPS:-0}" != 1 ]; then
  bash "$repo/scripts/deps.sh"
fi

# Every time stamp is the commit's, in UTC, so that neither the clock nor
# the time zone reaches the bytes.
export TZ=UTC
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$repo" log -1 --format=%ct 2>/dev/null || echo 315532800)
fi
export SOURCE_DATE_EPOCH
stamp=$SOURCE_DATE_EPOCH

# A program left from a build of another commit would keep that commit's
# time in its header: the programs are linked anew each time (a link takes
# a moment; the objects are reused).
for a in x86 x64; do
  rm -f "$root/$a/bin/"*.exe "$root/$a/bin/PikroExec/"*.exe
done
PIKRO_SKIP_DEPS=1 PIKRO_BUILD_TESTS=OFF PIKRO_BUILD_ROOT=$root bash "$repo/scripts/build.sh" all

# A text file for Windows users: UTF-8 with a byte order mark, CRLF.
windows_text() {
  printf '\357\273\277'
  sed -e "s/@VERSION@/$version/g" -e "s/@PRODUCT@/$product/g" -e 's/$/\r/' "$1"
}

# Lays out one architecture's programs in the installed layout under
# <stage>/<arch>/Pikro-<version>-<arch>/, signed when asked, every file with
# the commit's time (the installer keeps the times of the files it carries).
stage_programs() {
  local stage=$1 a=$2 sign=$3
  local dir=$stage/$a/Pikro-$version-$a
  rm -rf "${stage:?}/$a"
  mkdir -p "$dir"
  cp -R "$root/dist/$a/." "$dir/"
  if [ "$sign" = 1 ]; then
    find "$dir" -name '*.exe' -print0 | LC_ALL=C sort -z | xargs -0 -n1 bash "$repo/scripts/sign.sh"
  fi
  windows_text "$repo/installer/README.txt" >"$dir/README.txt"
  find "$stage/$a" -type d -exec chmod 755 {} +
  find "$stage/$a" -type f -exec chmod 644 {} +
  find "$stage/$a" -exec touch -h -d "@$stamp" {} +
}

# The archive unpacks into one folder of its own, never into wherever the
# user unpacks it; its entries go in sorted order without extra fields.
archive() {
  local stage=$1 a=$2 dest=$3
  local top=Pikro-$version-$a
  (cd "$stage/$a" && find "$top" -type f | LC_ALL=C sort |
    zip -X -D -q -9 "$dest/$top.zip" -@)
  echo "== $dest/$top.zip" >&2
}

# The installer, from the staged programs. Signing, makensis signs the
# uninstaller before it packs it and then the installer (Pikro.nsi).
installer() {
  local stage=$1 a=$2 dest=$3 sign=$4
  local file=$dest/Pikro-$version-$a-setup.exe
  local signer=()
  if [ "$sign" = 1 ]; then
    signer=("-DPIKRO_SIGN_SCRIPT=$repo/scripts/sign.sh")
  fi
  makensis -V2 -NOCD "-DPIKRO_VERSION=$version" "-DPIKRO_PRODUCT=$product" "-DPIKRO_ARCH=$a" \
    "-DPIKRO_PROGRAMS=$stage/$a/Pikro-$version-$a" "-DPIKRO_OUTFILE=$file" "${signer[@]}" \
    "$repo/installer/Pikro.nsi" >&2
  echo "== $file" >&2
}

# One release folder: archives, installers, SHA256SUMS and the winget
# manifests, which name the installers' hashes.
release() {
  local dest=$1 sign=$2
  local stage=$root/stage-$(basename "$dest")
  rm -rf "$dest"
  mkdir -p "$dest"
  for a in x86 x64; do
    stage_programs "$stage" "$a" "$sign"
    archive "$stage" "$a" "$dest"
  done
  installer "$stage" x64 "$dest" "$sign"
  installer "$stage" x86 "$dest" "$sign"
  (cd "$dest" && find . -maxdepth 1 -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
    xargs sha256sum >SHA256SUMS)
  echo "== $dest/SHA256SUMS" >&2
  bash "$repo/scripts/winget.sh" "$dest" "$stamp"
}

release "$out" 0
rm -rf "$signed_out"
if [ "$signing" = 1 ]; then
  release "$signed_out" 1
fi
cat "$out/SHA256SUMS"
