#!/usr/bin/env bash
# Installs what building and testing the suite needs on Debian 12: the
# MinGW-w64 cross compilers (posix thread model, which GoogleTest needs),
# 32- and 64-bit Wine, the GoogleTest sources and CMake, and for the release
# NSIS (the installer), zip and unzip (the archives and their check),
# osslsigncode, openssl and python3 (signing, and the throw-away
# certificates and time-stamp server of its check), and a Japanese font,
# without which Wine draws Japanese texts in boxes of no particular width
# and the layout tests could not tell clipped ones. Safe to run again: when
# every package is already there it does not touch apt at all.
set -euo pipefail

PACKAGES=(
  mingw-w64
  g++-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix
  wine
  wine32:i386
  wine64
  googletest
  cmake
  make
  fonts-wine
  fonts-ipafont-gothic
  locales
  nsis
  zip
  unzip
  osslsigncode
  openssl
  python3
)

# The tests run under these locales: Wine takes its user-interface language
# from LC_ALL and its file-name character set from the C library's locale,
# which must exist for Japanese file names to work.
LOCALES=(en_US ja_JP)

locales_missing() {
  local have
  have=$(locale -a 2>/dev/null | tr '[:upper:]' '[:lower:]')
  for loc in "${LOCALES[@]}"; do
    if ! grep -qx "$(echo "$loc" | tr '[:upper:]' '[:lower:]').utf8" <<<"$have"; then
      return 0
    fi
  done
  return 1
}

make_locales() {
  for loc in "${LOCALES[@]}"; do
    "${SUDO[@]}" localedef -i "$loc" -f UTF-8 "$loc.UTF-8"
  done
}

missing=()
for pkg in "${PACKAGES[@]}"; do
  # dpkg -s also answers for packages that were removed but left their
  # configuration behind, so look at the status line itself.
  if ! dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null | grep -qx installed; then
    missing+=("$pkg")
  fi
done
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_i386=1
else
  need_i386=0
fi

SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO=(sudo -n)
  else
    SUDO=(false)
  fi
fi

if [ "${#missing[@]}" -eq 0 ] && [ "$need_i386" -eq 0 ]; then
  if locales_missing; then
    make_locales
  fi
  exit 0
fi
if [ "${SUDO[*]}" = false ]; then
  echo "deps.sh: missing packages (${missing[*]}) and not running as root" >&2
  exit 1
fi

echo "deps.sh: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
if [ "$need_i386" -eq 1 ]; then
  "${SUDO[@]}" dpkg --add-architecture i386
fi
"${SUDO[@]}" apt-get update -q </dev/null
# Recommended packages stay in: Wine's fonts and libraries are what the
# tests were made with.
"${SUDO[@]}" apt-get install -y -q \
  -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold \
  "${missing[@]}" </dev/null
if locales_missing; then
  make_locales
fi
