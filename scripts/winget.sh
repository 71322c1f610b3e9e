#!/usr/bin/env bash
# Writes the winget manifest set of one release folder into <release>/winget/
# from the templates in winget/: the version manifest, the installer manifest
# (one installer per architecture and scope, each with the SHA-256 of the
# installer beside it), the default-locale (English) and the Japanese locale
# manifest, named <PackageIdentifier>[.<kind>].yaml as a winget-pkgs
# submission wants them in manifests/p/Pikro/Travuna/<version>/.
#
#   bash scripts/winget.sh <release folder> <release time, seconds since 1970>
#
# PIKRO_RELEASE_URL is the address of the folder the release is published
# in; each installer's download address is that folder and its name. Unset,
# the manifests name a folder under the reserved .invalid domain, which no
# one can mistake for a real download. scripts/release.sh runs this;
# scripts/check-winget.sh checks the result.
set -euo pipefail

if [ "$#" -ne 2 ] || [ ! -d "$1" ]; then
  echo "usage: winget.sh <release folder> <release time>" >&2
  exit 2
fi
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dest=$1
define() {
  sed -n "s/^#define $1 \"\\([^\"]*\\)\".*/\\1/p" "$repo/common/version.h"
}
version=$(define PIKRO_VERSION_STR)
product=$(define PIKRO_PRODUCT_NAME)
date=$(date -u -d "@$2" +%Y-%m-%d)
url=${PIKRO_RELEASE_URL:-https://releases.pikro.invalid/$version}
url=${url%/}
id=$(sed -n 's/^PackageIdentifier: *//p' "$repo/winget/version.yaml")

# A value as the replacement text of a sed s||| command.
sed_text() {
  printf '%s' "$1" | sed -e 's/[\\|&]/\\&/g'
}

rm -rf "$dest/winget"
mkdir -p "$dest/winget"
for kind in version installer locale.en-US locale.ja-JP; do
  if [ "$kind" = version ]; then name=$id.yaml; else name=$id.$kind.yaml; fi
  manifest=$dest/winget/$name
  sed -e "s|@VERSION@|$(sed_text "$version")|g" -e "s|@PRODUCT@|$(sed_text "$product")|g" \
    -e "s|@DATE@|$date|g" -e "s|@URL@|$(sed_text "$url")|g" "$repo/winget/$kind.yaml" >"$manifest"
  # The hash of each file of the release that the manifest names.
  for file in $(grep -o '@SHA256:[^@]*@' "$manifest" | sed 's/^@SHA256:\(.*\)@$/\1/' | LC_ALL=C sort -u); do
    if [ ! -f "$dest/$file" ]; then
      echo "winget.sh: $name names $file, which the release does not hold" >&2
      exit 1
    fi
    hash=$(sha256sum "$dest/$file" | cut -d' ' -f1 | tr '[:lower:]' '[:upper:]')
    sed -i "s|@SHA256:$(sed_text "$file")@|$hash|g" "$manifest"
  done
  if grep -n '@[A-Z0-9]*[:@]' "$manifest" >&2; then
    echo "winget.sh: $name keeps a placeholder that nothing fills" >&2
    exit 1
  fi
done
echo "== $dest/winget ($id $version)" >&2
