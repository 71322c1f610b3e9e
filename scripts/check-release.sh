#!/usr/bin/env bash
# Proves that the release of this checkout's commit is what a user and a
# third party are promised:
#
# - reproducible: two fresh clones of the commit, in folders of different
#   names and lengths, built one after the other (so at different times) in
#   different time zones, locales and umasks, give the same bytes in every
#   file of dist/release/: the programs inside the zips, the zips, the
#   installers, SHA256SUMS and the winget manifests;
# - complete: the release holds exactly the files of their documented names,
#   each zip exactly the installed layout and README.txt (a Windows text:
#   UTF-8 with a byte order mark, CRLF line ends) in one folder
#   Pikro-<version>-<arch>, each program built for its architecture, and
#   SHA256SUMS matches every file;
# - ready for winget: scripts/check-winget.sh;
# - ready to sign: scripts/check-signed.sh, in the first clone, and the
#   signed release's own winget manifests; the unsigned release built beside
#   the signed one is still the same.
#
#   bash scripts/check-release.sh
#
# It checks the commit, not uncommitted changes (it says so when there are
# any). The clones are deleted afterwards unless a check failed. The build
# logs go to PIKRO_RELEASE_LOG (default <repo>/build/release-check.log).
# scripts/test.sh runs it after the tests when it runs them all.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
log=${PIKRO_RELEASE_LOG:-$repo/build/release-check.log}
mkdir -p "$(dirname "$log")"
: >"$log"
build_root=${PIKRO_BUILD_ROOT:-$repo/build}
work=$(mktemp -d /tmp/pikro-release.XXXXXX)

fail() {
  echo "check-release.sh: $* (the clones are kept in $work)" >&2
  exit 1
}

commit=$(git -C "$repo" rev-parse HEAD)
if [ -n "$(git -C "$repo" status --porcelain --untracked-files=no)" ]; then
  echo "check-release.sh: checks commit $commit; the uncommitted changes are not in it" >&2
fi

# A fresh clone of the commit, built with the given environment.
build_clone() {
  local dir=$1
  shift
  git clone --quiet --shared --no-checkout "$repo" "$dir"
  git -C "$dir" checkout --quiet --detach "$commit"
  echo "== release in $dir ($*)" >&2
  (cd "$dir" && env "$@" PIKRO_SKIP_DEPS=1 bash scripts/release.sh) >>"$log" 2>&1 ||
    fail "release.sh failed in $dir, see $log"
}
first=$work/a
second=$work/the-second-clone-in-a-longer-folder/b
build_clone "$first" TZ=XST-14 LC_ALL=C.UTF-8
start=$SECONDS
(umask 077 && build_clone "$second" TZ=YST10 LC_ALL=C)
echo "check-release.sh: a release build takes $((SECONDS - start)) s" >&2
out=$first/dist/release

define() {
  sed -n "s/^#define $1 \"\\([^\"]*\\)\".*/\\1/p" "$first/common/version.h"
}
version=$(define PIKRO_VERSION_STR)

# Byte for byte, every file of both releases.
(cd "$out" && find . -type f | LC_ALL=C sort) >"$work/files-a"
(cd "$second/dist/release" && find . -type f | LC_ALL=C sort) >"$work/files-b"
cmp -s "$work/files-a" "$work/files-b" ||
  fail "the two releases hold different files: $(diff "$work/files-a" "$work/files-b" | tr '\n' ' ')"
differ=()
while read -r file; do
  cmp -s "$out/$file" "$second/dist/release/$file" || differ+=("${file#./}")
done <"$work/files-a"
[ "${#differ[@]}" -eq 0 ] || fail "two builds of $commit differ in: ${differ[*]}"
echo "check-release.sh: two builds of $commit are the same in all $(wc -l <"$work/files-a") files:" >&2
sed 's/^/  /' "$out/SHA256SUMS" >&2

names="Pikro-$version-x64-setup.exe
Pikro-$version-x64.zip
Pikro-$version-x86-setup.exe
Pikro-$version-x86.zip
SHA256SUMS
winget"
present=$(cd "$out" && find . -mindepth 1 -maxdepth 1 | sed 's|^\./||' | LC_ALL=C sort)
[ "$present" = "$(LC_ALL=C sort <<<"$names")" ] || fail "the release holds:
$present"

layout="Pikro.exe
PikroExec/PikroExec.exe
PikroInstall.exe
PikroUninstall.exe
README.txt"
for a in x86 x64; do
  top=Pikro-$version-$a
  zip=$out/$top.zip
  entries=$(unzip -Z1 "$zip" | LC_ALL=C sort)
  [ "$entries" = "$(sed "s|^|$top/|" <<<"$layout" | LC_ALL=C sort)" ] || fail "$zip holds:
$entries"
  unpacked=$work/unpacked-$a
  unzip -q "$zip" -d "$unpacked"
  [ "$(ls -A "$unpacked")" = "$top" ] || fail "$zip does not unpack into one folder $top"
  readme=$unpacked/$top/README.txt
  [ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] ||
    fail "README.txt in $zip has no UTF-8 byte order mark"
  lines=$(wc -l <"$readme")
  crlf=$(grep -c $'\r$' "$readme" || true)
  [ "$lines" -gt 0 ] && [ "$crlf" = "$lines" ] ||
    fail "README.txt in $zip has lines without CRLF ($crlf of $lines)"
  # The programs in the zip are the ones this build made for that target:
  # the machine field of each PE header.
  for exe in Pikro.exe PikroInstall.exe PikroUninstall.exe PikroExec/PikroExec.exe; do
    header=$(od -An -N 1024 -tx1 "$unpacked/$top/$exe" | tr -d ' \n')
    case "$a" in
      x86) want=504500004c01 ;;
      x64) want=504500006486 ;;
    esac
    grep -q "$want" <<<"$header" || fail "$exe in $zip is not a program for $a"
  done
done
(cd "$out" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"
[ "$(wc -l <"$out/SHA256SUMS")" -eq 4 ] || fail "SHA256SUMS does not list the four files"
echo "check-release.sh: the release files are complete" >&2

# Both checks run, so that a fault in one does not hide the other's.
failed=()
bash "$first/scripts/check-winget.sh" "$out" || failed+=("the winget manifests")
PIKRO_BUILD_ROOT=$build_root bash "$first/scripts/check-signed.sh" || failed+=("the signed release")
bash "$first/scripts/check-winget.sh" "$first/dist/release-signed" || failed+=("the signed release's winget manifests")
# The signed release was made beside an unsigned one, whose programs were
# linked again, later: the unsigned release must not have changed.
diff -r "$out" "$second/dist/release" >/dev/null ||
  failed+=("the unsigned release made beside a signed one, which differs from the plain one")
if [ "${#failed[@]}" -ne 0 ]; then
  fail "faults in $(printf '%s; ' "${failed[@]}")see above"
fi
rm -rf "$work"
echo "check-release.sh: release reproducible, complete, ready for winget and signed correctly" >&2
