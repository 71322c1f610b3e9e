#!/usr/bin/env bash
# Makes a throw-away certificate authority and a code-signing certificate
# issued by it (openssl), has scripts/release.sh sign a release with them,
# and checks what a signed release promises:
#
# - every .exe of dist/release-signed/ (both installers and every program in
#   both zips) verifies with osslsigncode against that authority (SHA-256),
#   and against another authority does not, and carries a time stamp from
#   the time-stamp authority it was given (PIKRO_SIGN_TIMESTAMP_URL: one on
#   this machine's loopback address, answered by openssl); the unsigned
#   release carries no signature;
# - the signed release's SHA256SUMS is its own: no file of it is the
#   unsigned one;
# - under Wine each signed installer installs the suite with the switches
#   its winget manifest gives the machine scope, the installed programs and
#   Uninstall.exe (which makensis signed before packing it) verify, and
#   Uninstall.exe /S removes the suite.
#
#   bash scripts/check-signed.sh
#
# It builds in this checkout's release folder (scripts/release.sh). The Wine
# prefix is a copy of the x64 test build's (PIKRO_BUILD_ROOT, see build.sh).
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_root=${PIKRO_BUILD_ROOT:-$repo/build}
source "$repo/scripts/wine32.sh"
version=$(sed -n 's/^#define PIKRO_VERSION_STR "\([^"]*\)".*/\1/p' "$repo/common/version.h")
signed=$repo/dist/release-signed
work=$(mktemp -d /tmp/pikro-signed.XXXXXX)
log=$work/release.log

fail() {
  echo "check-signed.sh: $*" >&2
  exit 1
}
cleanup() {
  if [ -n "${tsa_pid:-}" ]; then
    kill "$tsa_pid" 2>/dev/null || true
  fi
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Two authorities, and certificates the first one issued for signing code
# and for time stamps, each valid for a day.
authority() {
  openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=$2" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign \
    -keyout "$work/$1.key" -out "$work/$1.pem" 2>/dev/null
}
issue() {
  openssl req -newkey rsa:2048 -nodes -subj "/CN=$2" \
    -keyout "$work/$1.key" -out "$work/$1.csr" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$3" \
    >"$work/$1.ext"
  openssl x509 -req -days 1 -in "$work/$1.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
    -CAcreateserial -extfile "$work/$1.ext" -out "$work/$1.pem" 2>/dev/null
}
authority ca "Pikro Test Authority"
authority other "Another Test Authority"
issue signer "Pikro Test Signer" codeSigning
issue tsa "Pikro Test Time Stamps" critical,timeStamping
# A time-stamp authority of RFC 3161 on this machine's loopback address:
# openssl answers each request.
echo 01 >"$work/tsa.serial"
cat >"$work/tsa.cnf" <<CONFIG
[ tsa ]
default_tsa = here
[ here ]
serial = $work/tsa.serial
signer_cert = $work/tsa.pem
certs = $work/ca.pem
signer_key = $work/tsa.key
signer_digest = sha256
default_policy = 1.3.6.1.4.1.0.1
digests = sha1, sha256, sha384, sha512
ess_cert_id_alg = sha256
CONFIG
python3 - "$work/tsa.cnf" "$work/tsa.port" <<'SERVER' &
import http.server, os, subprocess, sys

class TimeStamps(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1],
                                "-queryfile", "/dev/stdin", "-out", "/dev/stdout"],
                               input=query, capture_output=True, check=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass

server = http.server.HTTPServer(("127.0.0.1", 0), TimeStamps)
with open(sys.argv[2] + ".new", "w") as port:
    port.write(str(server.server_port))
os.rename(sys.argv[2] + ".new", sys.argv[2])
server.serve_forever()
SERVER
tsa_pid=$!
for _ in $(seq 50); do
  [ -f "$work/tsa.port" ] && break
  sleep 0.1
done
[ -f "$work/tsa.port" ] || fail "the time-stamp authority did not start"

# A password with a blank and quotes, which must reach osslsigncode whole.
password="pass word \"'\$x"
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -certfile "$work/ca.pem" \
  -passout "pass:$password" -out "$work/signer.pfx"

echo "== signed release (build log: $log)" >&2
PIKRO_SIGN_PKCS12=$work/signer.pfx PIKRO_SIGN_PASSWORD=$password PIKRO_SKIP_DEPS=1 \
  PIKRO_SIGN_TIMESTAMP_URL=http://127.0.0.1:$(cat "$work/tsa.port")/ bash "$repo/scripts/release.sh" >"$log" 2>&1 || { cat "$log" >&2; fail "release.sh failed to sign"; }

(cd "$signed" && sha256sum --quiet -c SHA256SUMS) || fail "the signed release's SHA256SUMS does not match it"
[ "$(cut -d' ' -f3 "$signed/SHA256SUMS")" = "$(cut -d' ' -f3 "$repo/dist/release/SHA256SUMS")" ] ||
  fail "the signed release holds other files than the unsigned one"
shared=$(cut -d' ' -f1 "$signed/SHA256SUMS" | grep -Fxf - <(cut -d' ' -f1 "$repo/dist/release/SHA256SUMS") || true)
[ -z "$shared" ] || fail "a file of the signed release is the unsigned one: $shared"

# A signature that verifies against an authority, with a time stamp that
# verifies against the same.
verifies() {
  osslsigncode verify -CAfile "$2" -TSA-CAfile "$2" -in "$1" >"$work/verify.log" 2>&1 &&
    grep -q 'Timestamp Server Signature verification: ok' "$work/verify.log"
}
# Every program of the release: the installers and what the zips hold.
mkdir -p "$work/unzipped"
for zip in "$signed"/*.zip; do
  unzip -q "$zip" -d "$work/unzipped"
done
mapfile -t programs < <(find "$signed" "$work/unzipped" -name '*.exe' | LC_ALL=C sort)
[ "${#programs[@]}" -eq 10 ] || fail "${#programs[@]} programs in the signed release, not 10"
for exe in "${programs[@]}"; do
  verifies "$exe" "$work/ca.pem" || { cat "$work/verify.log" >&2; fail "${exe#"$work/"} does not verify"; }
  grep -q 'Message digest algorithm *: SHA256' "$work/verify.log" || fail "${exe#"$work/"} is not signed with SHA-256"
done
! verifies "${programs[0]}" "$work/other.pem" || fail "a signature verifies against an authority that did not issue it"
! verifies "$repo/dist/release/Pikro-$version-x64-setup.exe" "$work/ca.pem" ||
  fail "the unsigned release's installer carries a signature"
echo "check-signed.sh: all ${#programs[@]} programs of the signed release verify" >&2

# The installers under Wine: the x86 one is a 32-bit program, which a
# machine without Wine's 32-bit loader cannot start.
archs=(x64)
if wine32_runs; then
  archs+=(x86)
else
  echo "check-signed.sh: this machine cannot run 32-bit Windows programs: the x86 installer is not run" >&2
fi
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
bash "$repo/scripts/wine-prefix.sh" --clone "$build_root/x64" "$WINEPREFIX" >/dev/null
wineserver -p </dev/null >/dev/null 2>&1 || true
wine wineboot </dev/null >/dev/null 2>&1 || true
manifest=$(ls "$signed"/winget/*.installer.yaml)
product_code=$(sed -n 's/^ProductCode: *//p' "$manifest")
for arch in "${archs[@]}"; do
  switches=$(awk -f "$repo/scripts/yaml-flat.awk" "$manifest" |
    awk -F'\t' -v arch="$arch" '
      $1 ~ /^Installers\.[0-9]+\.Architecture$/ { split($1, p, "."); a[p[2]] = $2 }
      $1 ~ /^Installers\.[0-9]+\.Scope$/ { split($1, p, "."); s[p[2]] = $2 }
      $1 ~ /^Installers\.[0-9]+\.InstallerSwitches\.Custom$/ { split($1, p, "."); c[p[2]] = $2 }
      END { for (i in a) if (a[i] == arch && s[i] == "machine") print c[i] }')
  [ -n "$switches" ] || fail "the winget manifest gives the $arch installer no switch for the machine"
  folder="C:\\SignedCheck\\$arch"
  unix=$WINEPREFIX/drive_c/SignedCheck/$arch
  # shellcheck disable=SC2086
  wine "$signed/Pikro-$version-$arch-setup.exe" /S $switches "/D=$folder" </dev/null >/dev/null 2>&1 ||
    fail "the signed $arch installer failed with /S $switches"
  for exe in Uninstall.exe Pikro.exe PikroInstall.exe PikroUninstall.exe PikroExec/PikroExec.exe; do
    [ -f "$unix/$exe" ] || fail "the signed $arch installer did not install $exe"
    verifies "$unix/$exe" "$work/ca.pem" || { cat "$work/verify.log" >&2; fail "the installed $arch $exe does not verify"; }
  done
  # Its Apps & features entry, in the machine's registry view of its
  # architecture, under the name the manifest gives as ProductCode.
  view=64
  [ "$arch" = x64 ] || view=32
  entry="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code"
  wine reg query "$entry" /reg:$view </dev/null >/dev/null 2>&1 || fail "the $arch installer made no $entry"
  # The uninstaller copies itself aside and returns at once: wait for it.
  wine "$unix/Uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "the installed $arch Uninstall.exe failed"
  for _ in $(seq 100); do
    [ -e "$unix" ] || break
    sleep 0.2
  done
  [ ! -e "$unix" ] || fail "the $arch uninstaller left $(cd "$unix" && find . -type f | tr '\n' ' ')"
  # The entry goes last.
  for _ in $(seq 20); do
    wine reg query "$entry" /reg:$view </dev/null >/dev/null 2>&1 || break
    sleep 0.5
  done
  ! wine reg query "$entry" /reg:$view </dev/null >/dev/null 2>&1 || fail "the $arch uninstaller left $entry"
  echo "check-signed.sh: the signed $arch installer installs (/S $switches), its installed Uninstall.exe verifies and removes the suite" >&2
done
