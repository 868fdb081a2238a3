#!/usr/bin/env bash
# Installs what building and testing need on Debian 12. Quick when everything is there.
set -euo pipefail

packages=(
  cmake make g++ googletest clang-format
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine wine64 wine32:i386 xvfb x11-utils imagemagick fonts-liberation
  sox lame python3 fp-utils xdotool nsis zip unzip
)

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
