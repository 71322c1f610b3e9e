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
#   SHA256SUMS
#
#   bash scripts/release.sh
#
# The version and product name come from common/version.h. The same source
# gives the same archives byte for byte: every entry carries the time of the
# last commit and the entries go in sorted order.
#
# Environment: PIKRO_RELEASE_ROOT build folder (default <repo>/build/release,
# apart from the test builds); PIKRO_WERROR (see build.sh); PIKRO_SKIP_DEPS=1.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=${PIKRO_RELEASE_ROOT:-$repo/build/release}
out=$repo/dist/release

define() {
  sed -n "s/^#define $1 \"\\([^\"]*\\)\".*/\\1/p" "$repo/common/version.h"
}
version=$(define PIKRO_VERSION_STR)
product=$(define PIKRO_PRODUCT_NAME)
if [ -z "$version" ] || [ -z "$product" ]; then
  echo "release.sh: no PIKRO_VERSION_STR or PIKRO_PRODUCT_NAME in common/version.h" >&2
  exit 1
fi

if [ "${PIKRO_SKIP_DEPS:-0}" != 1 ]; then
  bash "$repo/scripts/deps.sh"
fi
PIKRO_SKIP_DEPS=1 PIKRO_BUILD_TESTS=OFF PIKRO_BUILD_ROOT=$root bash "$repo/scripts/build.sh" all

# Archive times are those of the last commit, in UTC (zip stores local
# times), so that neither the clock nor the time zone reaches the bytes.
export TZ=UTC
stamp=$(git -C "$repo" log -1 --format=%ct 2>/dev/null || echo 315532800)

stage=$root/stage
rm -rf "$stage" "$out"
mkdir -p "$out"

# A text file for Windows users: UTF-8 with a byte order mark, CRLF.
windows_text() {
  printf '\357\273\277'
  sed -e "s/@VERSION@/$version/g" -e "s/@PRODUCT@/$product/g" -e 's/$/\r/' "$1"
}

for a in x86 x64; do
  # The archive unpacks into one folder of its own, never into wherever the
  # user unpacks it.
  top=Pikro-$version-$a
  dir=$stage/$a/$top
  rm -rf "$stage/$a"
  mkdir -p "$dir"
  cp -R "$root/dist/$a/." "$dir/"
  windows_text "$repo/installer/README.txt" >"$dir/README.txt"
  find "$stage/$a" -type d -exec chmod 755 {} +
  find "$stage/$a" -type f -exec chmod 644 {} +
  find "$stage/$a" -exec touch -h -d "@$stamp" {} +
  zipfile=$out/$top.zip
  (cd "$stage/$a" && find "$top" -type f | LC_ALL=C sort |
    zip -X -D -q -9 "$zipfile" -@)
  echo "== $zipfile" >&2
done

# The installers. makensis reads the programs from the staged folders.
installer() {
  local a=$1 file=$2
  makensis -V2 -NOCD "-DPIKRO_VERSION=$version" "-DPIKRO_PRODUCT=$product" "-DPIKRO_ARCH=$a" \
    "-DPIKRO_PROGRAMS=$stage/$a/Pikro-$version-$a" "-DPIKRO_OUTFILE=$out/$file" \
    "$repo/installer/Pikro.nsi" >&2
  echo "== $out/$file" >&2
}
installer x64 "Pikro-$version-x64-setup.exe"
installer x86 "Pikro-$version-x86-setup.exe"

(cd "$out" && find . -maxdepth 1 -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort |
  xargs sha256sum >SHA256SUMS)
echo "== $out/SHA256SUMS" >&2
cat "$out/SHA256SUMS"
