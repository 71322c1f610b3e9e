#!/usr/bin/env bash
# The suite's main job, end to end, under Wine: a solution is opened with the
# launcher Pikro, which picks the right Visual Studio for it and starts that
# editor through its shim PikroExec.
#
#   bash scripts/demo.sh
#
# It builds the 32-bit suite, makes a fresh Wine prefix, lays out two fake
# Visual Studio installations (the test program fake_devenv.exe copied as
# devenv.exe, which records how it was started), stores them as the editor
# catalogue, makes a solution whose .vs folder says it was last opened by
# version 16, runs Pikro.exe on it and reports which editor was started with
# which command line.
#
# Environment: PIKRO_BUILD_ROOT (see build.sh); PIKRO_DEMO_SETUP=install
# lets PikroInstall.exe find the editors and associate .sln instead of the
# catalogue being written directly.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=${PIKRO_BUILD_ROOT:-$repo/build}
if [ -n "${PIKRO_BUILD_ROOT:-}" ]; then dist=$root/dist; else dist=$repo/dist; fi
setup=${PIKRO_DEMO_SETUP:-store}

bash "$repo/scripts/deps.sh"
# The 32-bit programs are the ones shipped; a machine that cannot run 32-bit
# programs under Wine shows the 64-bit ones.
source "$repo/scripts/wine32.sh"
arch=x86
if ! wine32_runs; then
  echo "demo.sh: this machine cannot run 32-bit programs under Wine; showing the x64 build" >&2
  arch=x64
fi
# The programs and the fake editor are all the demo needs.
PIKRO_SKIP_DEPS=1 PIKRO_BUILD_TARGETS="Pikro PikroInstall PikroUninstall PikroExec fake_devenv" \
  bash "$repo/scripts/build.sh" "$arch"

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

echo "== fresh Wine prefix in $WINEPREFIX" >&2
bash "$repo/scripts/wine-prefix.sh" --clone "$root/$arch" "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1 || true
wine wineboot </dev/null >/dev/null 2>&1 || true

winpath() { printf 'Z:%s' "${1//\//\\}"; }
reg_add() { wine reg add "$@" /f </dev/null >/dev/null 2>&1; }

# Two editors in a Program Files folder of the demo's own. SystemDrive
# points at the folder above it: a program started from the Unix side, as
# PikroInstall is here, takes SystemDrive from this registry value.
drive=$work/drive
programs=$drive/Program\ Files
reg_add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' \
  /v SystemDrive /d "$(winpath "$drive")"
vs2015="$programs/Microsoft Visual Studio 14.0/Common7/IDE"
vs2019="$programs/Microsoft Visual Studio/2019/Community/Common7/IDE"
mkdir -p "$vs2015" "$vs2019"
cp "$root/$arch/bin/fake_devenv.exe" "$vs2015/devenv.exe"
cp "$root/$arch/bin/fake_devenv.exe" "$vs2019/devenv.exe"

store='HKCU\Software\PikroSuite'
if [ "$setup" = install ]; then
  # The fake editors carry the fake editor's own version resource
  # ("Fake Visual Studio", 1.0.0.0), so the solution below asks for v1.
  echo "== PikroInstall.exe" >&2
  wine "$dist/$arch/PikroInstall.exe" </dev/null >/dev/null 2>&1
  asks=v1
else
  echo "== catalogue written to $store\\VS-INST" >&2
  reg_add "$store\\VS-INST" /v Count /t REG_DWORD /d 2
  reg_add "$store\\VS-INST" /v VS00 /d "Microsoft Visual Studio 2015;14.0.25420.1;$(winpath "$vs2015")"
  reg_add "$store\\VS-INST" /v VS01 /d "Microsoft Visual Studio 2019;16.11.34601.136;$(winpath "$vs2019")"
  asks=v16
fi
wine reg query "$store" /s </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^ \{4\}/   /p' >&2

solution_dir="$work/Source/Demo App"
mkdir -p "$solution_dir/.vs/Demo/$asks"
printf 'Microsoft Visual Studio Solution File, Format Version 12.00\r\n' >"$solution_dir/Demo.sln"
solution=$(winpath "$solution_dir/Demo.sln")

echo "== wine Pikro.exe \"$solution\"" >&2
set +e
wine "$dist/$arch/Pikro.exe" "$solution" </dev/null >/dev/null 2>&1
code=$?
set -e
echo "   Pikro.exe ended with exit code $code" >&2

# The shim waits for the editor; the editor writes its log when it starts.
started=
for _ in $(seq 1 200); do
  for dir in "$vs2015" "$vs2019"; do
    if [ -s "$dir/devenv.log" ]; then started=$dir; fi
  done
  [ -n "$started" ] && break
  sleep 0.1
done

echo
if [ -z "$started" ]; then
  echo "No editor was started."
  exit 1
fi
log=$started/devenv.log
# A record: "RUN <pid> <language> <start-up flags> <show mode> <bytes of
# command line> <bytes of folder>", then the command line and the current
# folder, each on its own line.
read -r _ pid _ _ _ cmd_bytes _ <"$log"
command_line=$(tail -c +"$(($(head -n 1 "$log" | wc -c) + 1))" "$log" | head -c "$cmd_bytes")
echo "The launcher started the editor in:"
echo "  $(winpath "$started")"
echo "(process $pid) with the command line:"
echo "  $command_line"
