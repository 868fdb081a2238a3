#!/usr/bin/env bash
# Builds the release of the Windows program into dist/:
#   vantorel-X.Y.Z-win64.zip, vantorel-X.Y.Z-win32.zip  the program, its help, licence and
#                                 read-me in a folder vantorel-X.Y.Z/, to unpack anywhere
#   vantorel-X.Y.Z-setup.exe      the installer (32-bit, so it runs on every Windows; it
#                                 installs the 64-bit program on 64-bit Windows)
#   SHA256SUMS                    the checksums of the three
# The version is the one in CMakeLists.txt. Files are dated with the last commit's date, so
# building the same commit again gives the same bytes (tests/release/run.sh checks).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh win64 win32

source scripts/lib/release-pack.sh
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "release: warning: uncommitted changes; the files carry the last commit's date" >&2
fi
rm -rf dist
release_pack build/win64 build/win32 dist
echo "== release in dist/"
(cd dist && cat SHA256SUMS)
