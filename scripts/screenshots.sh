#!/usr/bin/env bash
# Takes the pictures of the launcher's two dialogs for the README: real
# windows of the x64 build under Wine's X11 driver on a virtual X server
# (Xvfb), at 150 % (144 DPI, the scale most laptops ship with), each in
# English and in Japanese, cropped to the window:
#
#   docs/settings-en.png  docs/settings-ja.png   Pikro.exe without a solution
#   docs/choice-en.png    docs/choice-ja.png     Pikro.exe on a solution that
#                                                has no .vs folder beside it
#
#   bash scripts/screenshots.sh
#
# It installs what it needs (besides what deps.sh installs: xvfb, xauth,
# x11-utils, imagemagick and the Japanese and Wine fonts), builds the
# programs and runs them in a Wine prefix of its own, which it removes at the
# end. The catalogue of three fake editors (the test program fake_devenv.exe
# copied as devenv.exe) is written to the store directly. Not part of CI.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
root=${PIKRO_BUILD_ROOT:-$repo/build}
if [ -n "${PIKRO_BUILD_ROOT:-}" ]; then dist=$root/dist; else dist=$repo/dist; fi
out=$repo/docs

bash "$repo/scripts/deps.sh"
PACKAGES=(xvfb xauth x11-utils imagemagick fonts-ipafont-gothic fonts-wine)
missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null | grep -qx installed; then
    missing+=("$pkg")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=()
  if [ "$(id -u)" -ne 0 ]; then SUDO=(sudo -n); fi
  echo "screenshots.sh: installing ${missing[*]}" >&2
  DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -q "${missing[@]}" </dev/null
fi

# The 64-bit programs: they run on every machine that runs Wine at all.
source "$repo/scripts/wine32.sh"
arch=x64
PIKRO_SKIP_DEPS=1 PIKRO_BUILD_TARGETS="Pikro PikroInstall PikroUninstall PikroExec fake_devenv" \
  bash "$repo/scripts/build.sh" "$arch"

work=$(mktemp -d /tmp/pikro-shots.XXXXXX)
export WINEPREFIX=$work/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=
pikro_pid=
cleanup() {
  if [ -n "$pikro_pid" ]; then kill "$pikro_pid" 2>/dev/null || true; fi
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
  >/dev/null 2>&1 </dev/null &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "screenshots.sh: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=:$(head -n 1 "$work/display")

echo "== Wine prefix in $WINEPREFIX, display $DISPLAY" >&2
bash "$repo/scripts/wine-prefix.sh" --clone "$root/$arch" "$WINEPREFIX"
reg_add() { wine reg add "$@" /f </dev/null >/dev/null 2>&1; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The X11 driver instead of the null one the tests use, windows without a
# window manager's frame, and fonts for Japanese: Debian's Wine does not
# look in its own font folder, and the dialogs' face, MS Shell Dlg, falls
# back to Tahoma (English) or MS UI Gothic (Japanese).
wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f </dev/null >/dev/null 2>&1 || true
reg_add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
reg_add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d IPAPGothic
reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
  /v Tahoma /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic'
# 150 %: Wine takes the display's DPI from here when a program starts.
reg_add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144

# Three editors, stored as setup would store them.
programs=$work/Program\ Files
store='HKCU\Software\PikroSuite'
editors=(
  "Microsoft Visual Studio 2017;15.9.28307.2094;Microsoft Visual Studio/2017/Professional/Common7/IDE"
  "Microsoft Visual Studio 2019;16.11.34601.136;Microsoft Visual Studio/2019/Community/Common7/IDE"
  "Microsoft Visual Studio 2022;17.8.34330.188;Microsoft Visual Studio/2022/Enterprise/Common7/IDE"
)
reg_add "$store\\VS-INST" /v Count /t REG_DWORD /d "${#editors[@]}"
for i in "${!editors[@]}"; do
  IFS=';' read -r description version folder <<<"${editors[$i]}"
  mkdir -p "$programs/$folder"
  cp "$root/$arch/bin/fake_devenv.exe" "$programs/$folder/devenv.exe"
  reg_add "$store\\VS-INST" /v "$(printf 'VS%02d' "$i")" \
    /d "$description;$version;$(winpath "$programs/$folder")"
done
# Cleaning on, the version folders decide, and without a .vs folder the
# user is asked: the choice list below needs NoVsProc 0.
for setting in fDelVsFolder:1 ixLstSel:1 VsProc:0 ixVsFix:2 NoVsProc:0 ixNoVsFix:2; do
  reg_add "$store\\PROFILES" /v "${setting%%:*}" /t REG_DWORD /d "${setting#*:}"
done
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -w </dev/null >/dev/null 2>&1 || true

solution_dir=$work/Source/Shop
mkdir -p "$solution_dir"
printf 'Microsoft Visual Studio Solution File, Format Version 12.00\r\n' >"$solution_dir/Shop.sln"

# The launcher's frame is the top-level window; its X window carries the
# frame's caption as its name.
frame_id() {
  xwininfo -root -children 2>/dev/null | awk '/"Travuna/ && / [0-9]+x[0-9]+\+/ { print $1; exit }'
}

# shoot <picture> <locale> [solution]: starts the launcher, waits until its
# frame is on the screen and painted, and saves the frame.
shoot() {
  local picture=$1 locale=$2
  shift 2
  echo "== $picture ($locale)" >&2
  LC_ALL=$locale wine "$dist/$arch/Pikro.exe" "$@" </dev/null >/dev/null 2>&1 &
  pikro_pid=$!
  local id=
  for _ in $(seq 1 200); do
    id=$(frame_id)
    if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable'; then break; fi
    id=
    sleep 0.1
  done
  if [ -z "$id" ]; then
    echo "screenshots.sh: no launcher window for $picture" >&2
    exit 1
  fi
  sleep 1.5
  import -window "$id" "$out/$picture"
  kill "$pikro_pid" 2>/dev/null || true
  wait "$pikro_pid" 2>/dev/null || true
  pikro_pid=
  wineserver -k </dev/null >/dev/null 2>&1 || true
  wineserver -w </dev/null >/dev/null 2>&1 || true
}

mkdir -p "$out"
for lang in en ja; do
  if [ "$lang" = ja ]; then locale=ja_JP.UTF-8; else locale=en_US.UTF-8; fi
  shoot "settings-$lang.png" "$locale"
  shoot "choice-$lang.png" "$locale" "$(winpath "$solution_dir/Shop.sln")"
done
echo "screenshots.sh: pictures in $out" >&2
