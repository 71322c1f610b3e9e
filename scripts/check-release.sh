#!/usr/bin/env bash
# Builds the release (scripts/release.sh) and checks what a user downloads:
# the release holds exactly the files of their documented names, each zip
# holds exactly the installed layout and README.txt (a Windows text: UTF-8
# with a byte order mark, CRLF line ends) in one folder Pikro-<version>-<arch>,
# SHA256SUMS matches every file, and a second run gives the same bytes.
# scripts/test.sh runs it after the tests when it runs them all.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$repo/dist/release
log=${PIKRO_RELEASE_LOG:-$repo/build/release-check.log}
mkdir -p "$(dirname "$log")"

fail() {
  echo "check-release.sh: $*" >&2
  exit 1
}

define() {
  sed -n "s/^#define $1 \"\\([^\"]*\\)\".*/\\1/p" "$repo/common/version.h"
}
version=$(define PIKRO_VERSION_STR)

echo "== release (build log: $log)" >&2
PIKRO_SKIP_DEPS=1 bash "$repo/scripts/release.sh" >"$log" 2>&1 || fail "release.sh failed, see $log"

names="Pikro-$version-x64-setup.exe
Pikro-$version-x64.zip
Pikro-$version-x86-setup.exe
Pikro-$version-x86.zip
SHA256SUMS"
present=$(cd "$out" && find . -mindepth 1 -maxdepth 1 | sed 's|^\./||' | LC_ALL=C sort)
[ "$present" = "$(LC_ALL=C sort <<<"$names")" ] || fail "the release holds:
$present"

layout="PikroExec/
PikroExec/PikroExec.exe
Pikro.exe
PikroInstall.exe
PikroUninstall.exe
README.txt"
for a in x86 x64; do
  top=Pikro-$version-$a
  zip=$out/$top.zip
  [ -f "$zip" ] || fail "no $zip"
  expected=$(sed "s|^|$top/|" <<<"$layout")
  entries=$(unzip -Z1 "$zip" | LC_ALL=C sort)
  if [ "$entries" != "$(LC_ALL=C sort <<<"$expected")" ] &&
     [ "$entries" != "$(grep -v '/$' <<<"$expected" | LC_ALL=C sort)" ]; then
    fail "$zip holds:
$entries"
  fi
  unpacked=$(mktemp -d)
  unzip -q "$zip" -d "$unpacked"
  [ "$(ls -A "$unpacked")" = "$top" ] || fail "$zip does not unpack into one folder $top"
  unpacked_top=$unpacked/$top
  readme=$unpacked_top/README.txt
  [ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
    fail "README.txt in $zip has no UTF-8 byte order mark"
  lines=$(wc -l <"$readme")
  crlf=$(grep -c $'\r$' "$readme" || true)
  [ "$lines" -gt 0 ] && [ "$crlf" = "$lines" ] ||
    fail "README.txt in $zip has lines without CRLF ($crlf of $lines)"
  # The programs in the zip are the ones this build made for that target:
  # the machine field of each PE header.
  for exe in Pikro.exe PikroInstall.exe PikroUninstall.exe PikroExec/PikroExec.exe; do
    header=$(od -An -N 1024 -tx1 "$unpacked_top/$exe" | tr -d ' \n')
    case "$a" in
      x86) want=504500004c01 ;;
      x64) want=504500006486 ;;
    esac
    grep -q "$want" <<<"$header" || fail "$exe in $zip is not a program for $a"
  done
  rm -rf "$unpacked"
done
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
[ "$(wc -l <"$out/SHA256SUMS")" -eq 4 ] || fail "SHA256SUMS does not list the four files"

first=$(cat "$out/SHA256SUMS")
PIKRO_SKIP_DEPS=1 bash "$repo/scripts/release.sh" >>"$log" 2>&1 || fail "second release.sh failed, see $log"
[ "$first" = "$(cat "$out/SHA256SUMS")" ] || fail "a second release of the same commit differs"
echo "check-release.sh: release files complete and reproducible" >&2
