# Sourced by the scripts that run programs under Wine: wine32_runs succeeds
# when this machine can start Wine's 32-bit loader, which every 32-bit
# Windows program runs in. A kernel without IA32 emulation refuses it with
# "Exec format error".
wine32_runs() {
  local loader
  for loader in /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine /opt/wine-stable/bin/wine; do
    if [ -x "$loader" ]; then
      "$loader" --version </dev/null >/dev/null 2>&1
      return
    fi
  done
  return 1
}
