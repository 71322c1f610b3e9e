# Sourced by the scripts that run programs under Wine.
#
# 32-bit Windows programs run in Wine's 32-bit loader, a 32-bit Linux
# program. A kernel built or booted without IA32 emulation refuses it with
# "Exec format error", and Debian's "wine" command picks that loader
# whenever it is installed. On such a machine the commands in
# scripts/wine64-only take the place of "wine" and "wine-stable" (which
# wineboot, winepath and the other tools call): they start the 64-bit loader,
# which runs 64-bit Windows programs only.
#
# wine32_runs succeeds when 32-bit Windows programs can run here. The answer
# is kept in PIKRO_WINE32 for child scripts.
wine32_runs() {
  if [ -z "${PIKRO_WINE32:-}" ]; then
    PIKRO_WINE32=0
    if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version </dev/null >/dev/null 2>&1; then
      PIKRO_WINE32=1
    fi
    export PIKRO_WINE32
  fi
  [ "$PIKRO_WINE32" = 1 ]
}

if ! wine32_runs && [ -x /usr/lib/wine/wine64 ]; then
  pikro_wine64_only="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-only"
  case ":$PATH:" in
    *":$pikro_wine64_only:"*) ;;
    *) PATH="$pikro_wine64_only:$PATH" ;;
  esac
  export PATH
  export WINELOADER=/usr/lib/wine/wine64
fi
