#!/usr/bin/env bash
# Cross-builds the suite for 32-bit (x86) and/or 64-bit (x64) Windows and
# installs the programs into dist/<arch>/ in their installed layout:
#   Pikro.exe, PikroInstall.exe, PikroUninstall.exe, PikroExec/PikroExec.exe
#
#   bash scripts/build.sh [x86|x64|all]      (default: all)
#
# Environment:
#   PIKRO_BUILD_ROOT    build folders go to $PIKRO_BUILD_ROOT/<arch> (default
#                       <repo>/build); with a custom root the programs are
#                       installed into $PIKRO_BUILD_ROOT/dist/<arch>.
#   PIKRO_BUILD_TESTS   ON (default) or OFF: the test program, fake editor
#                       and benchmarks.
#   PIKRO_BUILD_TARGETS build only these targets (blank-separated) instead
#                       of everything; the programs are installed into dist/
#                       only when the list names all four of them.
#   PIKRO_WERROR        ON or OFF: warnings as errors (default ON when CI is
#                       set, else OFF).
#   PIKRO_SKIP_DEPS     1: do not check the installed packages.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=${1:-all}
case "$arch" in
  x86|x64) archs=("$arch") ;;
  all) archs=(x86 x64) ;;
  *) echo "usage: build.sh [x86|x64|all]" >&2; exit 2 ;;
esac

if [ "${PIKRO_SKIP_DEPS:-0}" != 1 ]; then
  bash "$repo/scripts/deps.sh"
fi

if [ -n "${PIKRO_BUILD_ROOT:-}" ]; then
  root=$PIKRO_BUILD_ROOT
  dist=$PIKRO_BUILD_ROOT/dist
else
  root=$repo/build
  dist=$repo/dist
fi
if [ -n "${CI:-}" ]; then
  werror=${PIKRO_WERROR:-ON}
else
  werror=${PIKRO_WERROR:-OFF}
fi
tests=${PIKRO_BUILD_TESTS:-ON}

# Whether a list of targets (empty: everything) builds every installed
# program: a build of a few helpers alone has nothing to install.
names_programs() {
  [ -z "$1" ] && return 0
  local program
  for program in Pikro PikroInstall PikroUninstall PikroExec; do
    grep -qx -- "$program" <<<"$(tr ' ' '\n' <<<"$1")" || return 1
  done
}

for a in "${archs[@]}"; do
  build=$root/$a
  echo "== build $a in $build" >&2
  cmake -S "$repo" -B "$build" \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-$a.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DPIKRO_BUILD_TESTS="$tests" \
    -DPIKRO_WERROR="$werror" >/dev/null
  if [ -n "${PIKRO_BUILD_TARGETS:-}" ]; then
    # shellcheck disable=SC2086
    cmake --build "$build" -j2 --target ${PIKRO_BUILD_TARGETS}
  else
    cmake --build "$build" -j2
  fi
  if ! names_programs "${PIKRO_BUILD_TARGETS:-}"; then
    continue
  fi
  rm -rf "${dist:?}/$a"
  cmake --install "$build" --prefix "$dist/$a" >/dev/null
  echo "== installed $a into $dist/$a" >&2
done
