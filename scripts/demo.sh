#!/usr/bin/env bash
# The road a user lives, end to end under Wine: the suite is installed with
# its installer, a solution is opened by the shell as a double-click opens
# it, the launcher Pikro picks the right Visual Studio and starts it through
# its shim PikroExec, and removal gives .sln its old file type back.
#
#   bash scripts/demo.sh
#
# It builds the release (scripts/release.sh; the build log goes to a file it
# names), makes a fresh Wine prefix, lays out three fake Visual Studio
# installations where real ones are installed (the test program
# fake_devenv.exe copied as devenv.exe, which records how it was started):
# 2015 in its own folder, 2022 and 2026 side by side in the shared
# "Microsoft Visual Studio" folder, which Windows lists through Visual
# Studio's Setup Configuration server (Wine has none: the tests' stand-in is
# registered where Windows has the real one). It installs the suite
# silently, opens a solution whose .vs folder says it was last opened by
# version 17 and an .slnx last opened by version 18, reports which editor
# started with which command line, then removes the suite and shows the
# restored association.
#
# The demo uses the installer a user of 64-bit Windows takes, the one with
# the 64-bit programs; where no installer runs, the x64 archive with
# PikroInstall.exe and PikroUninstall.exe run directly.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=${PIKRO_BUILD_ROOT:-$repo/build}
release=${PIKRO_RELEASE_ROOT:-$repo/build/release}
log=$release/demo-build.log

bash "$repo/scripts/deps.sh"
source "$repo/scripts/wine32.sh"
arch=x64

mkdir -p "$release"
echo "Building the release and the fake editor (log: $log)"
{
  PIKRO_SKIP_DEPS=1 PIKRO_RELEASE_ROOT=$release bash "$repo/scripts/release.sh"
  PIKRO_SKIP_DEPS=1 PIKRO_BUILD_TARGETS="fake_devenv stamp_version fake_setup_config" \
    bash "$repo/scripts/build.sh" "$arch"
} >"$log" 2>&1 || { echo "The build failed; see $log"; exit 1; }
version=$(sed -n 's/^#define PIKRO_VERSION_STR "\([^"]*\)".*/\1/p' "$repo/common/version.h")
dist=$repo/dist/release

work=$(mktemp -d /tmp/pikro-demo.XXXXXX)
export WINEPREFIX=$work/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=en_US.UTF-8
cleanup() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

bash "$repo/scripts/wine-prefix.sh" --clone "$root/$arch" "$WINEPREFIX" >>"$log" 2>&1
wineserver -p </dev/null >/dev/null 2>&1 || true
wine wineboot </dev/null >/dev/null 2>&1 || true
echo "A fresh Wine prefix: $WINEPREFIX"

quiet() { "$@" </dev/null >/dev/null 2>&1; }
drive=$WINEPREFIX/drive_c
# The file type of .sln and the open command of the launcher's type, as cmd
# shows them.
association() {
  local type extension ours=
  for extension in .sln .slnx; do
    type=$(wine cmd /c assoc "$extension" </dev/null 2>/dev/null | tr -d '\r')
    echo "  ${type:-$extension has no file type}"
    if [ "${type#*=}" = PikroSln ]; then ours=1; fi
  done
  if [ -n "$ours" ]; then
    echo "  $(wine cmd /c ftype PikroSln </dev/null 2>/dev/null | tr -d '\r')"
  fi
}

# Three editors where Visual Studio 2015, 2022 and 2026 install themselves,
# each with the version resource of the real one.
vs2015='C:\Program Files\Microsoft Visual Studio 14.0\Common7\IDE'
vs2022='C:\Program Files\Microsoft Visual Studio\2022\Community\Common7\IDE'
vs2026='C:\Program Files\Microsoft Visual Studio\18\Community\Common7\IDE'
editors=("$vs2015" "$vs2022" "$vs2026")
for editor in "$vs2015|Microsoft Visual Studio 2015|14.0.25420.1" \
              "$vs2022|Microsoft Visual Studio 2022|17.14.36310.24" \
              "$vs2026|Microsoft Visual Studio 2026|18.0.11123.170"; do
  IFS='|' read -r folder description number <<<"$editor"
  unix=$(winepath -u "$folder" 2>/dev/null)
  mkdir -p "$unix"
  cp "$root/$arch/bin/fake_devenv.exe" "$unix/devenv.exe"
  quiet wine "$root/$arch/bin/stamp_version.exe" "$folder\\devenv.exe" "$description" "$number"
  echo "Visual Studio stand-in: $folder\\devenv.exe ($description, $number)"
done
# Windows lists Visual Studio 2017 and later through the Setup Configuration
# server that their installer registers; the stand-in lists 2022 and 2026
# (instances.txt beside it: installation path, version, state "complete",
# launchable, product path).
setup_config='C:\ProgramData\Microsoft\VisualStudio\Setup\x64'
unix_config=$(winepath -u "$setup_config" 2>/dev/null)
mkdir -p "$unix_config"
cp "$root/$arch/bin/fakecom/fake_setup_config.dll" "$unix_config/"
{
  printf 'instance\tC:\\Program Files\\Microsoft Visual Studio\\2022\\Community\t17.14.36310.24\t4294967295\t1\tCommon7\\IDE\\devenv.exe\n'
  printf 'instance\tC:\\Program Files\\Microsoft Visual Studio\\18\\Community\t18.0.11123.170\t4294967295\t1\tCommon7\\IDE\\devenv.exe\n'
} | iconv -f UTF-8 -t UTF-16 >"$unix_config/instances.txt"
clsid='HKLM\Software\Classes\CLSID\{177F0C4A-1CD3-4DE7-A32C-71DBBB9FA36D}\InprocServer32'
quiet wine reg add "$clsid" /ve /d "$setup_config\\fake_setup_config.dll" /f /reg:64
quiet wine reg add "$clsid" /v ThreadingModel /d Both /f /reg:64
echo "Windows' list of Visual Studio instances (a stand-in): 2022 and 2026"
# Before the suite, .sln and .slnx belong to Visual Studio's own version
# selector.
quiet wine reg add 'HKLM\Software\Classes\.sln' /ve /d VisualStudio.Launcher.sln /f
quiet wine reg add 'HKLM\Software\Classes\.slnx' /ve /d VisualStudio.Launcher.slnx /f
echo "Before: the solution files are associated as"
association

installed='C:\Program Files\Pikro Suite'
setup=$dist/Pikro-$version-x64-setup.exe
echo "Installing: $(basename "$setup") /S"
if quiet wine "$setup" /S && [ -f "$(winepath -u "$installed\\Pikro.exe" 2>/dev/null)" ]; then
  mode=installer
else
  echo "The installer did not run here: the demo unpacks the x64 archive and runs PikroInstall.exe itself."
  mode=archive
  installed='C:\Program Files\Pikro Suite'
  target=$(winepath -u "$installed" 2>/dev/null)
  mkdir -p "$target"
  unzip -q "$dist/Pikro-$version-x64.zip" -d "$target.unpacked"
  mv "$target.unpacked/Pikro-$version-x64"/* "$target/"
  rm -rf "$target.unpacked"
  quiet wine "$installed\\PikroInstall.exe"
fi
echo "Installed into $installed:"
(cd "$(winepath -u "$installed" 2>/dev/null)" && find . -type f | sed 's|^\./|  |' | LC_ALL=C sort)
echo "After setup: the solution files are associated as"
association
if [ "$mode" = installer ]; then
  echo "What the installer logged (Install.log):"
  iconv -f UTF-16 -t UTF-8 "$(winepath -u "$installed\\Install.log" 2>/dev/null)" | tr -d '\r' | sed 's/^/  /'
fi
echo "The editor catalogue PikroInstall.exe found (HKCU\\Software\\PikroSuite\\VS-INST):"
wine reg query 'HKCU\Software\PikroSuite\VS-INST' </dev/null 2>/dev/null | tr -d '\r' |
  sed -n 's/^ \{4\}\(VS[0-9]*\) *REG_SZ *\(.*\)/  \1 = \2/p'

# Opens a solution through the shell as a double-click does and reports the
# editor that started and its command line. The shim waits for the editor;
# the editor writes its log when it starts.
open_solution() {
  local solution=$1 started= folder record cmd_bytes command_line
  echo "Opening $solution through the shell ($2)"
  for folder in "${editors[@]}"; do rm -f "$(winepath -u "$folder" 2>/dev/null)/devenv.log"; done
  quiet wine start "$solution" || true
  for _ in $(seq 1 200); do
    for folder in "${editors[@]}"; do
      if [ -s "$(winepath -u "$folder" 2>/dev/null)/devenv.log" ]; then started=$folder; fi
    done
    [ -n "$started" ] && break
    sleep 0.1
  done
  if [ -z "$started" ]; then
    echo "No editor was started."
    exit 1
  fi
  # A record: "RUN <pid> <language> <start-up flags> <show mode> <bytes of
  # command line> <bytes of folder>", then the command line and the current
  # folder, each on its own line.
  record=$(winepath -u "$started" 2>/dev/null)/devenv.log
  read -r _ _ _ _ _ cmd_bytes _ <"$record"
  command_line=$(tail -c +"$(($(head -n 1 "$record" | wc -c) + 1))" "$record" | head -c "$cmd_bytes")
  echo "  The editor that started: $started\\devenv.exe"
  echo "  Its command line: $command_line"
}

# A solution last opened by Visual Studio 2022 (.vs\Demo\v17), and an .slnx
# beside it last opened by Visual Studio 2026 (.vs\Demo.slnx\v18).
solution='C:\Source\Demo App\Demo.sln'
unix_solution=$(winepath -u "$solution" 2>/dev/null)
mkdir -p "$(dirname "$unix_solution")/.vs/Demo/v17" "$(dirname "$unix_solution")/.vs/Demo.slnx/v18"
printf 'Microsoft Visual Studio Solution File, Format Version 12.00\r\n' >"$unix_solution"
printf '<Solution>\n  <Project Path="App/App.csproj" />\n</Solution>\n' >"${unix_solution}x"
open_solution "$solution" "its .vs folder holds Demo\\v17"
open_solution "${solution}x" "its .vs folder holds Demo.slnx\\v18"

# Removal, as Apps & features does it quietly. The uninstaller hands over to
# a copy of itself and returns at once: wait for its entry to go.
if [ "$mode" = installer ]; then
  echo "Removing: $installed\\Uninstall.exe /S"
  quiet wine "$installed\\Uninstall.exe" /S || true
  for _ in $(seq 1 300); do
    quiet wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\PikroSuite' /reg:64 || break
    sleep 0.2
  done
else
  echo "Removing: $installed\\PikroUninstall.exe, then the folder"
  quiet wine "$installed\\PikroUninstall.exe"
  rm -rf "$(winepath -u "$installed" 2>/dev/null)"
fi
if [ -e "$(winepath -u "$installed" 2>/dev/null)" ]; then
  echo "The folder $installed is still there."
else
  echo "The folder $installed is gone."
fi
for key in 'HKCU\Software\PikroSuite' 'HKLM\Software\Classes\PikroSln' \
           'HKLM\Software\PikroSuite\Capabilities'; do
  # The 64-bit programs write the 64-bit view of the registry, which "wine
  # reg" shows only when asked for (it may be the 32-bit reg.exe).
  if quiet wine reg query "$key" /reg:64; then
    echo "$key is still there."
  else
    echo "$key is gone."
  fi
done
echo "After removal: the solution files are associated as"
association
