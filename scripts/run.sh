#!/usr/bin/env bash
# Builds the program and starts it under Wine. On a machine without a display it starts a
# virtual one, saves a screenshot once the window is up, prints its path and keeps the
# program running until interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh win64 win32

exe=build/win64/vantorel.exe
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"

source scripts/lib/wine-loader.sh
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
