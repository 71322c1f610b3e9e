#!/usr/bin/env bash
# Creates the Wine prefix of a build folder, <build>/wineprefix, once:
# a 64-bit prefix that runs 32-bit programs too, with no Mono or Gecko
# prompts, the null graphics driver (no X server needed) and no crash
# dialog. An existing complete prefix is reused as it is.
#
#   wine-prefix.sh <arch build folder>
#   wine-prefix.sh --clone <arch build folder> <new prefix>
#
# --clone makes (if needed) the build folder's prefix and then a fresh copy
# of it in <new prefix>, in well under a second: the big system folders are
# hard-linked, everything Wine writes to (the registry files above all) is
# copied.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine32.sh"

if [ "${1:-}" = --clone ]; then
  if [ "$#" -ne 3 ]; then
    echo "usage: wine-prefix.sh --clone <arch build folder> <new prefix>" >&2
    exit 2
  fi
  bash "$0" "$2"
  base=$(cd "$2" && pwd)/wineprefix
  clone=$3
  rm -rf "$clone"
  mkdir -p "$clone"
  (cd "$base" && tar cf - --exclude=./wineserver --exclude=./drive_c/windows/system32 \
      --exclude=./drive_c/windows/syswow64 --exclude=./drive_c/windows/winsxs .) |
    (cd "$clone" && tar xf -)
  for d in system32 syswow64 winsxs; do
    cp -al "$base/drive_c/windows/$d" "$clone/drive_c/windows/$d"
  done
  exit 0
fi

if [ "$#" -ne 1 ]; then
  echo "usage: wine-prefix.sh <arch build folder>" >&2
  exit 2
fi
mkdir -p "$1"
build=$(cd "$1" && pwd)
prefix=$build/wineprefix
ready=$prefix/.pikro-ready

if [ -f "$ready" ]; then
  exit 0
fi

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# A half-made prefix (an interrupted earlier run) is started again from
# nothing; its own server, if any, is stopped first.
if [ -d "$prefix" ]; then
  wineserver -k </dev/null >/dev/null 2>&1 || true
  rm -rf "$prefix"
fi

echo "wine-prefix.sh: creating $prefix" >&2
wineboot -i </dev/null >/dev/null 2>&1

settings=$build/pikro-prefix.reg
cat >"$settings" <<'REG'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Drivers]
"Graphics"="null"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]
"Auto"="1"
REG
wine regedit /S "$(winepath -w "$settings" 2>/dev/null)" </dev/null >/dev/null 2>&1
rm -f "$settings"

# Let the server write the registry back and end before the prefix counts
# as ready.
wineserver -w </dev/null >/dev/null 2>&1 || true
touch "$ready"
