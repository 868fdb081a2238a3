#!/usr/bin/env bash
# Runs every test: formatting, the unit tests natively, under the sanitizers and under Wine,
# and both Windows builds. Exits non-zero when anything fails or no test ran.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh native asan win64 win32

failed=0
passed=0
run() {
  local name=$1
  shift
  echo "== $name"
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
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
run "end-to-end tests (Wine, x86_64)" env VANTOREL_E2E_NO_BUILD=1 scripts/e2e.sh
run "release files (archives, installer under Wine, reproducibility)" tests/release/run.sh

echo
echo "summary: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
