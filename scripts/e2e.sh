#!/usr/bin/env bash
# Runs the end-to-end tests: build/win64/tests/e2e/vantorel_e2e.exe starts the program under
# Wine and works it only through its windows. The same driver tests either executable.
#   scripts/e2e.sh [--program win64|win32] [--desktop NAME] [--driver PATH] [gtest options]
#       --program   build/win64/vantorel.exe (default) or the 32-bit build/win32/vantorel.exe
#       --desktop   plain (default), taskbar-top, taskbar-left, a smaller screen such as
#                   1024x768, or two monitors: two-monitors, two-monitors-projector-primary
#                   (wine_session_desktop in scripts/lib/wine-desktop.sh); the Xvfb display
#                   keeps its desktop afterwards, and a caller's session goes back from the two
#                   monitors' Xorg display to it
#       --driver    another build of the driver (default build/win64/tests/e2e/vantorel_e2e.exe)
#       for example scripts/e2e.sh --program win32 --gtest_filter='MainWindowTest.*'
# Uses the caller's Wine session when DISPLAY and WINEPREFIX are set (scripts/test.sh sources
# scripts/lib/wine-session.sh and calls wine_session_start first); otherwise starts its own.
# Builds first unless VANTOREL_E2E_NO_BUILD=1. Prints "end-to-end (ARCH): N passed, M failed"
# last and exits non-zero when a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
# The two-monitor desktops' Xorg server cannot start inside the namespace below: it starts first.
source scripts/lib/wine-desktop.sh
previous=""
for argument in "$@"; do
  if [ "$previous" = --desktop ] && wine_desktop_is_two_monitors "$argument"; then
    wine_desktop_start_xorg || true
  fi
  previous=$argument
done
# Where 32-bit code runs only under qemu, the tests run in the namespace that allows it.
source scripts/lib/wine-loader.sh
wine_loader_enter scripts/e2e.sh "$@"
trap wine_desktop_stop_xorg EXIT

usage() {
  echo "usage: scripts/e2e.sh [--program win64|win32] [--desktop NAME] [--driver PATH]" \
    "[gtest options]" >&2
  exit 2
}
build=win64
desktop=""
driver=build/win64/tests/e2e/vantorel_e2e.exe
while [ $# -gt 0 ]; do
  case "$1" in
    --program)
      case "${2:-}" in
        win64 | win32) build=$2 ;;
        *) usage ;;
      esac
      shift 2
      ;;
    --desktop)
      [ -n "${2:-}" ] || usage
      desktop=$2
      shift 2
      ;;
    --driver)
      [ -n "${2:-}" ] || usage
      driver=$2
      shift 2
      ;;
    *) break ;;
  esac
done
program=build/$build/vantorel.exe
arch=x86_64
[ "$build" = win64 ] || arch=i686

if [ "${VANTOREL_E2E_NO_BUILD:-0}" != 1 ]; then
  build_log=$(mktemp)
  if ! scripts/build.sh win64 $([ "$build" = win64 ] || echo "$build") >"$build_log" 2>&1; then
    cat "$build_log"
    rm -f "$build_log"
    exit 1
  fi
  rm -f "$build_log"
fi
for file in "$program" "$driver"; do
  [ -f "$file" ] || { echo "missing $file: build first (scripts/build.sh win64 $build)" >&2; exit 1; }
done

own_session=0
if [ -z "${DISPLAY:-}" ] || [ -z "${WINEPREFIX:-}" ]; then
  source scripts/lib/wine-session.sh
  wine_session_start
  own_session=1
fi
session_display=$DISPLAY

# Wine hands every process that the driver starts the driver's own standard error, so the
# program's sound trace (and the noise of a machine without a sound card) lands in this file,
# which the driver reads.
stderr_file=$(mktemp --tmpdir vantorel-e2e-stderr.XXXXXX)
stdout_file=$(mktemp --tmpdir vantorel-e2e-stdout.XXXXXX)
cleanup() {
  ! declare -F stop_probe >/dev/null || stop_probe
  rm -f "$stderr_file" "$stdout_file"
  if [ "$own_session" = 1 ]; then
    wine_session_stop
  else
    # The caller's session goes on where it was.
    wine_session_back_to_display "$session_display"
    wine_desktop_stop_xorg
  fi
}
trap cleanup EXIT

label=$arch
if [ -n "$desktop" ]; then
  wine_session_desktop "$desktop"
  label="$arch, $desktop"
fi

# The web clock's page is looked at in headless Chromium through the browser probe, started here
# for a run that may include those tests. Its standard input is a pipe held open by this script,
# so the probe and its Chromium end with the script however it ends.
wants_browser() {
  local argument filter
  for argument in "$@"; do
    case "$argument" in
      --gtest_filter=*)
        filter=${argument#--gtest_filter=}
        filter=${filter%%-*}
        [ -z "$filter" ] || [[ $filter == *WebClock* ]] || [[ $filter == \** ]] || return 1
        ;;
    esac
  done
}
probe_dir=""
if wants_browser "$@"; then
  probe_dir=$(mktemp -d --tmpdir vantorel-probe.XXXXXX)
  mkfifo "$probe_dir/in"
  node tests/e2e/browser/probe.js 9464 <"$probe_dir/in" >"$probe_dir/out" 2>&1 &
  probe_pid=$!
  exec 9>"$probe_dir/in"
  for _ in $(seq 1 300); do
    grep -q '^probe ready' "$probe_dir/out" 2>/dev/null && break
    sleep 0.2
  done
  if grep -q '^probe ready' "$probe_dir/out"; then
    export VANTOREL_BROWSER_PROBE=9464
  else
    echo "the browser probe did not start:" >&2
    cat "$probe_dir/out" >&2
  fi
fi
stop_probe() {
  [ -n "$probe_dir" ] || return 0
  exec 9>&-
  wait "$probe_pid" 2>/dev/null || true
  rm -rf "$probe_dir"
}

# Under qemu the driver shortens the one test whose length is set by the machine's speed alone.
emulated=0
[ "$build" = win64 ] || [ "$VANTOREL_32BIT_WAY" != qemu ] || emulated=1

status=0
VANTOREL_E2E_EMULATED=$emulated VANTOREL_E2E_STDERR="$stderr_file" timeout 900 \
  wine "$driver" "$PWD/$program" "$@" 2>"$stderr_file" | tee "$stdout_file" || status=$?
if [ "$status" -ne 0 ]; then
  echo "== end of the standard error of the driver and the program (sound noise left out):"
  grep -v -e '^ALSA lib' -e ':trace:winmm:' -e ':warn:winmm:' "$stderr_file" | tail -n 40 || true
fi
# Each finished test leaves one line with its time: "[       OK ] Suite.Name (12 ms)".
passed=$(tr -d '\r' <"$stdout_file" | grep -cE '^\[       OK \] .* \([0-9]+ ms\)$' || true)
failed=$(tr -d '\r' <"$stdout_file" | grep -cE '^\[  FAILED  \] .* \([0-9]+ ms\)$' || true)
tr -d '\r' <"$stdout_file" | sed -nE 's/^\[  SKIPPED \] (.*) \([0-9]+ ms\)$/\1/p' |
  while read -r test; do echo "end-to-end ($label): skipped: $test"; done
echo "end-to-end ($label): $passed passed, $failed failed"
exit "$status"
