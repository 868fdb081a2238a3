#!/usr/bin/env bash
# Builds the program and starts it under Wine. On a machine without a display it starts a
# virtual one, saves a screenshot once the window is up, prints its path and keeps the
# program running until interrupted.
#   scripts/run.sh [--program win64|win32]   the 64-bit (default) or the 32-bit program
set -euo pipefail
cd "$(dirname "$0")/.."

build=win64
if [ $# -gt 0 ]; then
  case "$1 ${2:-} $#" in
    "--program win64 2" | "--program win32 2") build=$2 ;;
    *) echo "usage: scripts/run.sh [--program win64|win32]" >&2; exit 2 ;;
  esac
fi

scripts/install-deps.sh
# Where 32-bit code runs only under qemu, everything below runs in the namespace that allows it.
source scripts/lib/wine-loader.sh
wine_loader_enter scripts/run.sh "$@"
scripts/build.sh win64 win32
if [ "$build" = win32 ] && [ "$VANTOREL_RUNS_32BIT" != 1 ]; then
  echo "this machine cannot run 32-bit programs: its kernel runs no 32-bit code, and qemu-user 8" >&2
  echo "or later in a user namespace with its own binfmt_misc is not to be had" >&2
  exit 1
fi

exe=build/$build/vantorel.exe
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  # A real desktop: the user's own Wine prefix, and the program stays until it is closed.
  exec wine "$exe"
fi

source scripts/lib/wine-session.sh
wine_session_start
wine "$exe" &
program=$!
# The main window is mapped only after the startup screen has closed.
for _ in $(seq 300); do
  xdotool search --onlyvisible --name '^Vantorel' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 0.5
mkdir -p build/screenshots
shot=build/screenshots/vantorel-$(date +%Y%m%d-%H%M%S).png
import -window root "$shot"
echo "Vantorel runs on the virtual display $DISPLAY; screenshot: $shot"
echo "Press Ctrl+C to stop."
wait "$program"
