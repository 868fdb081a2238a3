#!/usr/bin/env bash
# Runs every test: formatting, the unit tests natively, under the sanitizers and under Wine for
# both Windows builds, the end-to-end tests against the 64-bit and the 32-bit program, and the
# release files. Exits non-zero when anything fails or no test ran.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# The two-monitor desktops' Xorg server cannot start inside the namespace below: it starts first
# and is handed in (where it cannot start at all, those steps are skipped).
source scripts/lib/wine-desktop.sh
wine_desktop_start_xorg || true
# Where 32-bit code runs only under qemu, everything below runs in the namespace that allows it.
source scripts/lib/wine-loader.sh
wine_loader_enter scripts/test.sh "$@"
trap wine_desktop_stop_xorg EXIT
scripts/build.sh native asan win64 win32

failed=0
passed=0
skipped=0
counts=()  # the end-to-end counts of each executable, repeated in the summary
run() {
  local name=$1
  shift
  echo "== $name"
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

# Runs a step of the 32-bit program only where 32-bit Windows programs can run.
run_32bit() {
  if [ "$VANTOREL_RUNS_32BIT" = 1 ]; then
    run "$@"
  else
    echo "== $1"
    echo "SKIPPED: $1: this machine cannot run 32-bit programs: its kernel runs no 32-bit code,"
    echo "  and qemu-user 8 or later in a user namespace with its own binfmt_misc is not to be had"
    skipped=$((skipped + 1))
  fi
}

# Runs a step (run or run_32bit, its name, its command) on the two-monitor desktops only where
# their Xorg server runs.
run_two_monitors() {
  if [ -n "${VANTOREL_XORG_DISPLAY:-}" ]; then
    "$@"
  else
    echo "== $2"
    echo "SKIPPED: $2: $VANTOREL_XORG_MISSING"
    skipped=$((skipped + 1))
  fi
}

end_to_end() {
  local output status=0
  output=$(mktemp)
  env VANTOREL_E2E_NO_BUILD=1 scripts/e2e.sh --program "$@" | tee "$output" || status=$?
  local line
  while IFS= read -r line; do counts+=("$line"); done < <(grep '^end-to-end (' "$output")
  rm -f "$output"
  return "$status"
}

format_check() {
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
}

run "formatting" format_check
run "unit tests (native)" ctest --test-dir build/native --output-on-failure --no-tests=error
run "unit tests (sanitizers)" ctest --test-dir build/asan --output-on-failure --no-tests=error
run "dialog templates and manifest (x86_64)" python3 tests/dialog_templates_test.py build/win64/vantorel.exe
run "dialog templates and manifest (i686)" python3 tests/dialog_templates_test.py build/win32/vantorel.exe

source scripts/lib/wine-session.sh
wine_session_start
run "unit tests (Wine, x86_64)" ctest --test-dir build/win64 --output-on-failure --no-tests=error
run_32bit "unit tests (Wine, i686)" ctest --test-dir build/win32 --output-on-failure --no-tests=error
# The monitor tests run on the two-monitor desktops below; on one monitor they are skipped.
run "end-to-end tests (Wine, x86_64)" end_to_end win64 --gtest_filter='-MonitorsTest.*'
run_32bit "end-to-end tests (Wine, i686)" end_to_end win32 --gtest_filter='-MonitorsTest.*'
# What depends on the desktop, again where a taskbar moves the work area's origin and on two
# small screens: the window's place, the digits fitting and centred, the Preferences bounds.
desktop_tests='MainWindowTest.FirstStart*:AppearanceTest.ColoursAndFont*:PreferencesTest.PositionsAre*'
for desktop in taskbar-top taskbar-left 1024x768 800x600; do
  run "end-to-end tests on $desktop (Wine, x86_64)" \
    end_to_end win64 --desktop "$desktop" --gtest_filter="$desktop_tests"
  run_32bit "end-to-end tests on $desktop (Wine, i686)" \
    end_to_end win32 --desktop "$desktop" --gtest_filter="$desktop_tests"
done
# The window on two monitors, a laptop's screen and a projector's right of it under a taskbar,
# with either as the primary: where it lands, full screen, the controls within a smaller monitor,
# and the same desktop-dependent tests on the primary.
monitor_tests="MonitorsTest.*:CommandLineTest.FullScreen*:$desktop_tests"
for desktop in two-monitors two-monitors-projector-primary; do
  run_two_monitors run "end-to-end tests on $desktop (Wine, x86_64)" \
    end_to_end win64 --desktop "$desktop" --gtest_filter="$monitor_tests"
  run_two_monitors run_32bit "end-to-end tests on $desktop (Wine, i686)" \
    end_to_end win32 --desktop "$desktop" --gtest_filter="$monitor_tests"
done
# The release files' checks below on the plain desktop again.
wine_session_desktop plain || echo "cannot put the display back to the plain desktop" >&2
[ "$VANTOREL_RUNS_32BIT" = 1 ] || counts+=("end-to-end (i686): not run on this machine")
[ -n "${VANTOREL_XORG_DISPLAY:-}" ] ||
  counts+=("end-to-end on two monitors: not run: $VANTOREL_XORG_MISSING")
run "release files (archives, installer under Wine, reproducibility)" tests/release/run.sh

echo
printf '%s\n' "${counts[@]}"
echo "summary: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
