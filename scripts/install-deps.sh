#!/usr/bin/env bash
# Installs what building and testing need on Debian 12. Quick when everything is there.
set -euo pipefail

packages=(
  cmake make g++ googletest clang-format
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine wine64 wine32:i386 xvfb xserver-xorg-core xserver-xorg-video-dummy x11-utils
  x11-xserver-utils imagemagick fonts-liberation
  sox lame python3 fp-utils xdotool nsis zip unzip chromium
)

# Node runs the browser probe of the end-to-end tests. A node and npm that came from elsewhere
# are kept: Debian's would replace or shadow them.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# wine32 runs the 32-bit program (and Wine's own tools) beside the 64-bit one; it comes from
# the i386 architecture, which apt only offers once dpkg knows it.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
    "${missing[@]}" >/dev/null
fi

# Where the kernel runs no 32-bit code, Wine's 32-bit side runs under qemu-i386
# (scripts/lib/wine-loader.sh). bookworm's own qemu-user (7.2) cannot start it; the one in
# bookworm-backports can. The suite is added for the Debian mirror this machine already uses.
needs_qemu() {
  case "${VANTOREL_32BIT:-}" in
    qemu) return 0 ;;
    native | none) return 1 ;;
  esac
  ! /usr/lib/wine/wine --version >/dev/null 2>&1
}

# The URI and keyring of the configured source of the suite bookworm, as "URI KEYRING".
debian_source() {
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    awk 'BEGIN { RS = ""; FS = "\n" }
      {
        uri = ""; key = ""; ok = 0
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^URIs:/) { split($i, f, /[ \t]+/); uri = f[2] }
          if ($i ~ /^Signed-By:/) { split($i, f, /[ \t]+/); key = f[2] }
          if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) ok = 1
        }
        if (ok && uri != "") { print uri, key; exit }
      }' "$file"
  done
  # One-line sources: deb [options] URI SUITE COMPONENTS...
  cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    sed -nE 's/^deb[[:space:]]+(\[([^]]*)\][[:space:]]+)?([^[:space:]]+)[[:space:]]+bookworm[[:space:]].*/\3 \2/p' |
    sed -E 's/ .*signed-by=([^[:space:]]+).*/ \1/; s/ [^/].*$//'
}

if needs_qemu && ! { [ -x /usr/bin/qemu-i386 ] &&
  /usr/bin/qemu-i386 --version | grep -qE '^qemu-i386 version ([89]|[1-9][0-9])\.'; }; then
  list=/etc/apt/sources.list.d/vantorel-bookworm-backports.sources
  if [ ! -f "$list" ]; then
    read -r uri key < <(debian_source | head -n 1) || true
    [ -n "${uri:-}" ] || { echo "no Debian bookworm source in apt's sources" >&2; exit 1; }
    {
      printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\n' "$uri"
      [ -z "${key:-}" ] || printf 'Signed-By: %s\n' "$key"
    } | $sudo tee "$list" >/dev/null
  fi
  echo "Installing: qemu-user from bookworm-backports"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -t bookworm-backports qemu-user \
    >/dev/null
fi

# The browser probe's npm packages, again only when they are missing or its lock file changed
# since npm last installed from it (npm ci writes node_modules/.package-lock.json).
probe="$(dirname "$0")/../tests/e2e/browser"
if [ ! -d "$probe/node_modules/puppeteer-core" ] ||
  [ "$probe/package-lock.json" -nt "$probe/node_modules/.package-lock.json" ]; then
  echo "Installing: the browser probe's npm packages"
  PUPPETEER_SKIP_DOWNLOAD=1 npm ci --prefix "$probe" --no-audit --no-fund --loglevel=error \
    >/dev/null
fi
