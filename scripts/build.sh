#!/usr/bin/env bash
# Configures and builds the given configurations (default: all four) under build/.
#   native  g++, Linux: the portable code and its unit tests
#   asan    the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   win64   MinGW-w64 x86_64: the program, and the unit tests to run under Wine
#   win32   MinGW-w64 i686: the 32-bit program (built only; it cannot run here)
set -euo pipefail
cd "$(dirname "$0")/.."

configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=(native asan win64 win32)

for config in "${configs[@]}"; do
  case "$config" in
    native) args=(-DCMAKE_BUILD_TYPE=Debug) ;;
    asan) args=(-DCMAKE_BUILD_TYPE=Debug -DVANTOREL_SANITIZE=ON) ;;
    win64) args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake) ;;
    win32) args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake) ;;
    *) echo "unknown configuration: $config" >&2; exit 2 ;;
  esac
  echo "== build $config"
  cmake -S . -B "build/$config" "${args[@]}" >/dev/null
  cmake --build "build/$config" -j "$(nproc)"
done
