#!/usr/bin/env bash
# Builds and runs the benchmarks (bench/bench_*.cpp, one program each) under
# Wine. Each benchmark measures against a baseline it runs itself in the
# same process and prints ratios, so results compare across machines.
#
#   bash bench/run.sh [x86|x64] [name filter]     (default: x86, all)
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=${PIKRO_BUILD_ROOT:-$repo/build}
arch=${1:-x86}
filter=${2:-}
case "$arch" in
  x86|x64) ;;
  *) echo "usage: bench/run.sh [x86|x64] [name filter]" >&2; exit 2 ;;
esac

bash "$repo/scripts/deps.sh"
source "$repo/scripts/wine32.sh"
if [ "$arch" = x86 ] && ! wine32_runs; then
  echo "bench/run.sh: this machine cannot run 32-bit programs under Wine; use x64" >&2
  exit 2
fi
PIKRO_SKIP_DEPS=1 PIKRO_BUILD_TESTS=ON bash "$repo/scripts/build.sh" "$arch"
bash "$repo/scripts/wine-prefix.sh" "$root/$arch"

export WINEPREFIX=$root/$arch/wineprefix
export WINEDEBUG=-all
export LC_ALL=${LC_ALL:-en_US.UTF-8}
cleanup() { wineserver -k </dev/null >/dev/null 2>&1 || true; }
trap cleanup EXIT
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -w </dev/null >/dev/null 2>&1 || true
wineserver -p </dev/null >/dev/null 2>&1 || true
wine wineboot </dev/null >/dev/null 2>&1 || true
# Keeps Wine's desktop process alive, as in scripts/test.sh.
wine start /min notepad.exe </dev/null >/dev/null 2>&1 || true

shopt -s nullglob
found=0
status=0
for exe in "$root/$arch"/bin/bench_*.exe; do
  name=$(basename "$exe" .exe)
  if [ -n "$filter" ] && [[ "$name" != *"$filter"* ]]; then continue; fi
  found=1
  # Other programs running beside a benchmark move its figures: the load
  # around each run is printed with them.
  echo "== $name ($arch), load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
  bash "$repo/scripts/wine-run.sh" "$exe" || status=1
  echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
done
if [ "$found" -eq 0 ]; then
  echo "bench/run.sh: no benchmark programs in $root/$arch/bin" >&2
fi
exit "$status"
