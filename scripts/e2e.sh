#!/usr/bin/env bash
# Runs the end-to-end tests: build/win64/tests/e2e/vantorel_e2e.exe starts the program
# build/win64/vantorel.exe under Wine and works it only through its windows.
#   scripts/e2e.sh [gtest options]      for example --gtest_filter='MainWindowTest.*'
# Uses the caller's Wine session when DISPLAY and WINEPREFIX are set (scripts/test.sh sources
# scripts/lib/wine-session.sh and calls wine_session_start first); otherwise starts its own.
# Builds win64 first unless VANTOREL_E2E_NO_BUILD=1. Exits non-zero when a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."

program=build/win64/vantorel.exe
driver=build/win64/tests/e2e/vantorel_e2e.exe

if [ "${VANTOREL_E2E_NO_BUILD:-0}" != 1 ]; then
  build_log=$(mktemp)
  if ! scripts/build.sh win64 >"$build_log" 2>&1; then
    cat "$build_log"
    rm -f "$build_log"
    exit 1
  fi
  rm -f "$build_log"
fi
for file in "$program" "$driver"; do
  [ -f "$file" ] || { echo "missing $file: build win64 first (scripts/build.sh win64)" >&2; exit 1; }
done

own_session=0
if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
  source scripts/lib/wine-session.sh
  wine_session_start
  own_session=1
fi

# Wine hands every process that the driver starts the driver's own standard error, so the
# program's sound trace (and the noise of a machine without a sound card) lands in this file,
# which the driver reads.
stderr_file=$(mktemp --tmpdir vantorel-e2e-stderr.XXXXXX)
cleanup() {
  rm -f "$stderr_file"
  if [ "$own_session" = 1 ]; then wine_session_stop; fi
}
trap cleanup EXIT

status=0
VANTOREL_E2E_STDERR="$stderr_file" timeout 900 \
  wine "$driver" "$PWD/$program" "$@" 2>"$stderr_file" || status=$?
if [ "$status" -ne 0 ]; then
  echo "== end of the standard error of the driver and the program (sound noise left out):"
  grep -v -e '^ALSA lib' -e ':trace:winmm:' -e ':warn:winmm:' "$stderr_file" | tail -n 40 || true
fi
exit "$status"
