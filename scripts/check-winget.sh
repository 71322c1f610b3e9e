#!/usr/bin/env bash
# Checks the winget manifest set of a release folder (scripts/winget.sh) in
# two ways, and names every fault it finds:
#
# - against the rules of manifest schema 1.12.0 as Microsoft documents them
#   (the four files of a multi-file set, the keys each kind of manifest may
#   hold, the required ones, the documented enumerations, patterns and
#   lengths): winget's own JSON schemas are not on this machine, and no
#   Debian or npm package ships them;
# - against the release itself: each installer's address names a file of
#   the release and its SHA256 is that file's, the versions are the suite's,
#   each architecture has one installer per scope, each scope's switch is
#   one the installer's script handles, ProductCode is the installer's Apps &
#   features key and Publisher the publisher it writes there.
#
#   bash scripts/check-winget.sh <release folder> [release time]
#
# The release time (seconds since 1970, default the last commit's) gives the
# expected ReleaseDate.
set -euo pipefail
export LC_ALL=C.UTF-8

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$#" -lt 1 ] || [ ! -d "$1/winget" ]; then
  echo "usage: check-winget.sh <release folder with winget/> [release time]" >&2
  exit 2
fi
release=$1
stamp=${2:-$(git -C "$repo" log -1 --format=%ct)}
define() {
  sed -n "s/^#define $1 \"\\([^\"]*\\)\".*/\\1/p" "$repo/common/version.h"
}
version=$(define PIKRO_VERSION_STR)
product=$(define PIKRO_PRODUCT_NAME)
installer_sources=("$repo"/installer/*.nsi "$repo"/installer/*.nsh)

faults=0
fault() {
  echo "check-winget.sh: $*" >&2
  faults=$((faults + 1))
}

# The documented keys of each kind of manifest. An installer entry may hold
# every key of the installer manifest's root that describes an installer.
common_keys="PackageIdentifier PackageVersion ManifestType ManifestVersion"
locale_keys="$common_keys PackageLocale Publisher PublisherUrl PublisherSupportUrl PrivacyUrl
  Author PackageName PackageUrl License LicenseUrl Copyright CopyrightUrl ShortDescription
  Description Tags Agreements ReleaseNotes ReleaseNotesUrl PurchaseUrl InstallationNotes
  Documentations Icons"
entry_keys="InstallerLocale Platform MinimumOSVersion InstallerType NestedInstallerType
  NestedInstallerFiles Scope InstallModes InstallerSwitches InstallerSuccessCodes
  ExpectedReturnCodes UpgradeBehavior Commands Protocols FileExtensions Dependencies
  PackageFamilyName ProductCode Capabilities RestrictedCapabilities Markets
  InstallerAbortsTerminal ReleaseDate InstallLocationRequired RequireExplicitUpgrade
  DisplayInstallWarnings UnsupportedOSArchitectures UnsupportedArguments
  AppsAndFeaturesEntries ElevationRequirement InstallationMetadata DownloadCommandProhibited
  RepairBehavior ArchiveBinariesDependOnPath Authentication"
declare -A allowed=(
  [version]="$common_keys DefaultLocale"
  [defaultLocale]="$locale_keys Moniker"
  [locale]="$locale_keys"
  [installer]="$common_keys Channel Installers $entry_keys"
  [entry]="Architecture InstallerUrl InstallerSha256 SignatureSha256 $entry_keys"
)
declare -A required=(
  [version]="$common_keys DefaultLocale"
  [defaultLocale]="$common_keys PackageLocale Publisher PackageName License ShortDescription"
  [locale]="$common_keys PackageLocale"
  [installer]="$common_keys Installers"
  [entry]="Architecture InstallerUrl InstallerSha256"
)

# A manifest's values by flattened path (scripts/yaml-flat.awk), in m.
declare -A m
load() {
  m=()
  local key value
  while IFS=$'\t' read -r key value; do
    if [ "$key" = '!error' ]; then
      fault "$(basename "$1"): $value"
    fi
    m[$key]=$value
  done < <(awk -f "$repo/scripts/yaml-flat.awk" "$1")
}
has() { [ -n "${m[$1]+set}" ]; }
# Whether a word is one of a blank-separated list.
in_list() {
  [[ -n "$1" && "$1" != *[[:space:]]* && " $(tr -s '[:space:]' ' ' <<<"$2") " == *" $1 "* ]]
}
# value must match an extended regular expression and have min..max characters.
matches() {
  local name=$1 path=$2 pattern=$3 min=$4 max=$5
  has "$path" || return 0
  local value=${m[$path]}
  if ! grep -Eq -- "$pattern" <<<"$value" || [ "${#value}" -lt "$min" ] || [ "${#value}" -gt "$max" ]; then
    fault "$name: $path \"$value\" is not $pattern with $min to $max characters"
  fi
}
one_of() {
  local name=$1 path=$2 values=$3
  if has "$path" && ! in_list "${m[$path]}" "$values"; then
    fault "$name: $path \"${m[$path]}\" is none of: $values"
  fi
}
# The keys present and required at one level: prefix "" for the root,
# "Installers.N." for an entry.
keys_of_level() {
  local name=$1 kind=$2 prefix=$3 key top
  for key in "${!m[@]}"; do
    [[ "$key" == "$prefix"* ]] || continue
    top=${key#"$prefix"}
    top=${top%%.*}
    [ -n "$prefix" ] || [ "$top" != Installers ] || continue
    in_list "$top" "${allowed[$kind]}" || fault "$name: ${prefix}$top is no key of the $kind manifest"
  done
  for key in ${required[$kind]}; do
    has "$prefix$key" || fault "$name: ${prefix}$key is missing"
  done
}
list_items() {
  local path=$1 i=0
  while has "$path.$i"; do
    printf '%s\n' "${m[$path.$i]}"
    i=$((i + 1))
  done
}

ident='^[^.[:space:]\\/:*?"<>|]{1,32}(\.[^.[:space:]\\/:*?"<>|]{1,32}){1,7}$'
locale_pattern='^([a-zA-Z]{2,3}|[iI]-[a-zA-Z]+|[xX]-[a-zA-Z]{1,8})(-[a-zA-Z]{1,8})*$'
package_id=
declare -A kinds=()
for file in "$release"/winget/*.yaml; do
  name=$(basename "$file")
  load "$file"
  kind=${m[ManifestType]:-}
  case "$kind" in
    version|defaultLocale|locale|installer) ;;
    *) fault "$name: ManifestType \"$kind\" is none of version, defaultLocale, locale, installer"; continue ;;
  esac
  [ "${m[ManifestVersion]:-}" = 1.12.0 ] || fault "$name: ManifestVersion is not 1.12.0"
  matches "$name" PackageIdentifier "$ident" 3 128
  package_id=${package_id:-${m[PackageIdentifier]:-}}
  [ "${m[PackageIdentifier]:-}" = "$package_id" ] || fault "$name: another PackageIdentifier"
  [ "${m[PackageVersion]:-}" = "$version" ] || fault "$name: PackageVersion is not the suite's $version"
  keys_of_level "$name" "$kind" ""
  case "$kind" in
    version)
      kinds[version]+=" $name"
      default_locale=${m[DefaultLocale]:-}
      matches "$name" DefaultLocale "$locale_pattern" 1 20
      [ "$name" = "$package_id.yaml" ] || fault "$name: a version manifest is named $package_id.yaml"
      ;;
    defaultLocale|locale)
      locale=${m[PackageLocale]:-}
      kinds[$kind]+=" $locale"
      matches "$name" PackageLocale "$locale_pattern" 1 20
      [ "$name" = "$package_id.locale.$locale.yaml" ] || fault "$name: named otherwise than its locale"
      [ "${m[PackageName]:-$product}" = "$product" ] || fault "$name: PackageName is not $product"
      matches "$name" Publisher . 2 256
      matches "$name" PackageName . 2 256
      matches "$name" License . 3 512
      matches "$name" Copyright . 3 512
      matches "$name" ShortDescription . 3 256
      matches "$name" Description . 3 10000
      matches "$name" Moniker '^[^[:space:]]+$' 1 40
      tags=$(list_items Tags)
      [ "$(grep -c . <<<"$tags")" -le 16 ] || fault "$name: more than 16 Tags"
      while read -r tag; do
        [ -z "$tag" ] || [ "${#tag}" -le 40 ] || fault "$name: the tag \"$tag\" is longer than 40 characters"
      done <<<"$tags"
      # The publisher the installer writes into Apps & features.
      publisher=$(grep -ho '"Publisher" "[^"]*"' "${installer_sources[@]}" | head -1 | cut -d'"' -f4)
      [ "${m[Publisher]:-$publisher}" = "$publisher" ] ||
        fault "$name: Publisher \"${m[Publisher]}\" is not \"$publisher\", which the installer writes"
      ;;
    installer)
      kinds[installer]+=" $name"
      installer_manifest=$file
      ;;
  esac
done
[ "$(wc -w <<<"${kinds[version]:-}")" = 1 ] || fault "not one version manifest:${kinds[version]:-}"
[ "$(wc -w <<<"${kinds[installer]:-}")" = 1 ] || fault "not one installer manifest:${kinds[installer]:-}"
[ "${kinds[defaultLocale]:-}" = " ${default_locale:-}" ] ||
  fault "the default locale${kinds[defaultLocale]:-} is not the version manifest's ${default_locale:-}"
in_list ja-JP "${kinds[locale]:-}" || fault "no Japanese (ja-JP) locale manifest"

# The installer manifest, entry by entry; a key at the root holds for every
# entry that does not name it itself.
[ -n "${installer_manifest:-}" ] || { echo "check-winget.sh: $faults faults" >&2; exit 1; }
name=$(basename "$installer_manifest")
load "$installer_manifest"
value() { if has "$1.$2"; then printf '%s' "${m[$1.$2]}"; else printf '%s' "${m[$2]:-}"; fi; }
product_code=$(grep -ho 'CurrentVersion\\Uninstall\\[^"\\]*"' "${installer_sources[@]}" | head -1 |
  sed 's/.*\\//; s/"$//')
release_date=$(date -u -d "@$stamp" +%Y-%m-%d)
declare -A pairs=() scope_switches=()
count=0
while has "Installers.$count.Architecture"; do
  e=Installers.$count
  keys_of_level "$name" entry "$e."
  one_of "$name" "$e.Architecture" "x86 x64 arm arm64 neutral"
  for path in Scope InstallerType ElevationRequirement UpgradeBehavior InstallerSwitches.Custom \
      ProductCode ReleaseDate; do
    has "$e.$path" || has "$path" || fault "$name: $e names no $path, nor does the root"
  done
  for p in "$e." ""; do
    one_of "$name" "${p}InstallerType" "msix msi appx exe zip inno nullsoft wix burn pwa portable font"
    one_of "$name" "${p}Scope" "user machine"
    one_of "$name" "${p}ElevationRequirement" "elevationRequired elevationProhibited elevatesSelf"
    one_of "$name" "${p}UpgradeBehavior" "install uninstallPrevious deny"
    matches "$name" "${p}InstallerSwitches.Custom" . 1 2048
    matches "$name" "${p}ProductCode" . 1 255
    matches "$name" "${p}ReleaseDate" '^[0-9]{4}-[0-9]{2}-[0-9]{2}$' 10 10
  done
  matches "$name" "$e.InstallerUrl" '^[Hh][Tt][Tt][Pp][Ss]?://.+$' 1 2048
  matches "$name" "$e.InstallerSha256" '^[A-Fa-f0-9]{64}$' 64 64

  arch=${m[$e.Architecture]:-}
  scope=$(value "$e" Scope)
  key="$arch $scope"
  [ -z "${pairs[$key]+set}" ] || fault "$name: two installers for $key"
  pairs[$key]=1
  # The file beside the manifests that the address names.
  file=${m[$e.InstallerUrl]:-}
  file=${file##*/}
  if [ "$file" != "Pikro-$version-$arch-setup.exe" ] || [ ! -f "$release/$file" ]; then
    fault "$name: $e ($key) downloads \"$file\", not this release's Pikro-$version-$arch-setup.exe"
  else
    hash=$(sha256sum "$release/$file" | cut -d' ' -f1)
    [ "${m[$e.InstallerSha256],,}" = "$hash" ] || fault "$name: $e ($key): InstallerSha256 is not that of $file"
    if [ "$(value "$e" InstallerType)" = nullsoft ] && ! grep -qa NullsoftInst "$release/$file"; then
      fault "$name: $file is no NSIS installer"
    fi
  fi
  [ "$(value "$e" ProductCode)" = "$product_code" ] ||
    fault "$name: $e: ProductCode is not \"$product_code\", the installer's Apps & features key"
  [ "$(value "$e" UpgradeBehavior)" = install ] || fault "$name: $e: UpgradeBehavior is not install"
  [ "$(value "$e" ReleaseDate)" = "$release_date" ] || fault "$name: $e: ReleaseDate is not $release_date"
  case "$scope" in
    user) want=elevationProhibited ;;
    machine) want=elevationRequired ;;
    *) want= ;;
  esac
  [ "$(value "$e" ElevationRequirement)" = "$want" ] ||
    fault "$name: $e ($key): ElevationRequirement is not $want"
  # Each switch of the entry is one the installer's script handles:
  # through MultiUser.nsh's command line, or read by name (any case).
  switches=$(value "$e" InstallerSwitches.Custom)
  for switch in $switches; do
    if ! grep -qiF "\"$switch\"" "${installer_sources[@]}" &&
       ! { [[ "$switch" =~ ^/(AllUsers|CurrentUser)$ ]] &&
           grep -q '^[[:space:]]*!define[[:space:]]\+MULTIUSER_INSTALLMODE_COMMANDLINE' "${installer_sources[@]}"; }; then
      fault "$name: $e ($key): installer/*.nsi and *.nsh handle no switch $switch"
    fi
  done
  scope_switches[$key]=$switches
  count=$((count + 1))
done
for arch in x86 x64; do
  for scope in user machine; do
    [ -n "${pairs[$arch $scope]+set}" ] || fault "$name: no installer for $arch $scope"
  done
    [ "${scope_switches[$arch user]:-}" != "${scope_switches[$arch machine]:-}" ] ||
      fault "$name: $arch installs for the user and for the machine with the same switches"
  done
[ "$count" = 4 ] || fault "$name: $count installers, not one per architecture and scope"
modes=$(list_items InstallModes)
while read -r mode; do
  [ -z "$mode" ] || in_list "$mode" "interactive silent silentWithProgress" || fault "$name: InstallModes: $mode"
done <<<"$modes"
[ "$(sort <<<"$modes" | uniq -d)" = "" ] || fault "$name: an install mode twice"

if [ "$faults" -ne 0 ]; then
  echo "check-winget.sh: $faults faults in $release/winget" >&2
  exit 1
fi
echo "check-winget.sh: $release/winget ($package_id $version) agrees with the release and the schema rules" >&2
