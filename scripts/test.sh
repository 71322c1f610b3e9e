#!/usr/bin/env bash
# Builds the suite and its tests for x86 and x64 and runs every test under
# Wine: one prefix per target (made once, then reused), each served by a
# persistent, warmed-up wineserver for the length of the run, tests of one
# target one after the other. Run without arguments it then builds the
# release and checks it (scripts/check-release.sh). Exits non-zero when any
# test failed.
#
#   bash scripts/test.sh [ctest arguments...]    e.g. -R FakeDevenv
#
# Environment: PIKRO_BUILD_ROOT (see build.sh); PIKRO_TEST_ARCHS (default
# "x86 x64"); PIKRO_TEST_SERIAL=1 runs the targets one after the other
# instead of side by side; PIKRO_TEST_TIMEOUT seconds for a test that sets
# no limit of its own (tests/tests.cmake gives each discovered test 120).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=${PIKRO_BUILD_ROOT:-$repo/build}
read -r -a archs <<<"${PIKRO_TEST_ARCHS:-x86 x64}"
timeout=${PIKRO_TEST_TIMEOUT:-120}

bash "$repo/scripts/deps.sh"
source "$repo/scripts/wine32.sh"
for a in "${archs[@]}"; do
  PIKRO_SKIP_DEPS=1 PIKRO_BUILD_TESTS=ON bash "$repo/scripts/build.sh" "$a"
done

# 32-bit Windows programs run in Wine's 32-bit loader, a 32-bit Linux
# program. A kernel built or booted without IA32 emulation cannot start it:
# the x86 target is still built (warnings and all), but its tests cannot run
# on such a machine, and saying so beats failing every one of them.
if ! wine32_runs; then
  kept=()
  for a in "${archs[@]}"; do
    if [ "$a" = x86 ]; then
      echo "test.sh: this machine cannot run 32-bit Linux programs (its kernel has no IA32" \
        "emulation), so Wine cannot run 32-bit Windows programs: x86 is built but not tested" >&2
    else
      kept+=("$a")
    fi
  done
  archs=("${kept[@]}")
  if [ "${#archs[@]}" -eq 0 ]; then
    echo "test.sh: no target can be tested on this machine" >&2
    exit 1
  fi
fi

# Each target's temporary folders lie apart from those of other runs, under
# a name of the same length in every run, so that tests near a path length
# limit behave the same each time.
test_tmp() {
  printf '/tmp/pikro-tests/run-%s-%07d' "$1" "$$"
}

prefixes=()
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  # Only the servers of our own prefixes: others may be testing beside us.
  for prefix in "${prefixes[@]}"; do
    WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
  done
  for a in "${archs[@]}"; do
    rm -rf "$(test_tmp "$a")"
  done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

for a in "${archs[@]}"; do
  bash "$repo/scripts/wine-prefix.sh" "$root/$a"
  prefix=$root/$a/wineprefix
  prefixes+=("$prefix")
  # A server left by an interrupted run of ours is replaced by a fresh one,
  # once the old one has really gone (else -p would find it and do nothing).
  WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$prefix wineserver -w </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$prefix wineserver -p </dev/null >/dev/null 2>&1 || true
  WINEPREFIX=$prefix WINEDEBUG=-all wine wineboot </dev/null >/dev/null 2>&1 || true
  # A program that keeps a window open for the whole run keeps Wine's
  # desktop process alive. Without it the desktop process may end between
  # tests and be started again by the next test, whose output pipe it then
  # holds for a second after the test has ended.
  WINEPREFIX=$prefix WINEDEBUG=-all wine start /min notepad.exe </dev/null >/dev/null 2>&1 || true
done

run_ctest() {
  local a=$1
  shift
  # A test that fails is run once more: now and then Wine fails to start a
  # program at all (no output, exit within a tenth of a second), which says
  # nothing about the suite. A real fault fails both times.
  PIKRO_TEST_TMP=$(test_tmp "$a") \
    ctest --test-dir "$root/$a" --output-on-failure --timeout "$timeout" \
      --repeat until-pass:2 "$@"
}

status=0
if [ "${PIKRO_TEST_SERIAL:-0}" = 1 ]; then
  for a in "${archs[@]}"; do
    echo "== tests $a" >&2
    run_ctest "$a" "$@" || status=1
  done
else
  echo "== tests ${archs[*]} side by side (logs: $root/<arch>/ctest.log)" >&2
  for a in "${archs[@]}"; do
    run_ctest "$a" "$@" >"$root/$a/ctest.log" 2>&1 &
    pids+=($!)
  done
  for i in "${!archs[@]}"; do
    if ! wait "${pids[$i]}"; then
      status=1
    fi
  done
  pids=()
  for a in "${archs[@]}"; do
    echo "== tests $a" >&2
    cat "$root/$a/ctest.log"
  done
fi

# Run without a selection of tests, the release is built and checked too.
if [ "$#" -eq 0 ]; then
  bash "$repo/scripts/check-release.sh" || status=1
fi

if [ "$status" -ne 0 ]; then
  echo "test.sh: some tests failed" >&2
else
  echo "test.sh: all tests passed" >&2
fi
exit "$status"
