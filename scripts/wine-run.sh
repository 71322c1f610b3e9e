#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest (the toolchain files name this
# script as the cross-compiling emulator) and for the other scripts.
#
# The prefix is $PIKRO_WINEPREFIX, else the "wineprefix" folder of the build
# folder that holds the program (found by walking up from the program).
# PIKRO_TEST_LANGID (1033 or 1041, set by ctest for each test) selects the
# locale, and with it the user-interface language Wine reports.
# stdin is /dev/null and the program's exit code is passed through.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine32.sh"

if [ "$#" -lt 1 ]; then
  echo "usage: wine-run.sh program.exe [arguments...]" >&2
  exit 2
fi

exe=$1
shift

prefix=${PIKRO_WINEPREFIX:-}
if [ -z "$prefix" ]; then
  dir=$(cd "$(dirname "$exe")" && pwd)
  while [ "$dir" != "/" ]; do
    if [ -d "$dir/wineprefix" ]; then
      prefix=$dir/wineprefix
      break
    fi
    dir=$(dirname "$dir")
  done
fi
if [ -z "$prefix" ] || [ ! -f "$prefix/system.reg" ]; then
  echo "wine-run.sh: no Wine prefix for $exe (run scripts/wine-prefix.sh <build folder>)" >&2
  exit 2
fi

case "${PIKRO_TEST_LANGID:-}" in
  1041) export LC_ALL=ja_JP.UTF-8 ;;
  1033) export LC_ALL=en_US.UTF-8 ;;
  "") ;;
  *) echo "wine-run.sh: unknown PIKRO_TEST_LANGID $PIKRO_TEST_LANGID" >&2; exit 2 ;;
esac

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# A wineserver started by wine itself inherits our stdout and stderr and
# outlives the program by a few seconds, which keeps ctest's output pipe
# open. Start it here with its output detached: when test.sh already runs a
# persistent server this returns at once, otherwise the server ends by
# itself shortly after the program.
wineserver </dev/null >/dev/null 2>&1 || true

# Run as root (as CI does), a program could read and list everything
# whatever the permissions say; the tests are to see the file system as a
# user does, denied folders included. So root's permission overrides are
# dropped for the program and everything it starts.
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null 2>&1; then
  exec setpriv --bounding-set=-dac_override,-dac_read_search wine "$exe" "$@" </dev/null
fi
wine "$exe" "$@" </dev/null
