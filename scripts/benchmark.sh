#!/usr/bin/env bash
# Measures the program against a minimal Win32 window program under Wine and prints a table of
# the figures against their goals: start-up time, peak working set, idle CPU, CPU per counted
# second and how far the count falls behind the wall clock; and F4 with a 200,000-line program
# log: how soon the log viewer shows, and the seconds a running count loses across it; and the
# seconds a count loses to ten in which the program's thread is held still; and the web clock
# with 200 viewers on its event stream: how far apart they hear each second, how long after the
# window shows it the last of them does, the count's lag and the program's CPU meanwhile, and how
# soon a command sent to it over the web shows in the window and reaches them. One table
# for the 64-bit program beside a 64-bit baseline, one for the 32-bit program beside a 32-bit
# baseline (where this machine runs 32-bit programs), both against the same goals; where the
# 32-bit side runs under qemu, its table is marked as emulated and not held to the goals.
#   --quick          20 s of real-timer lag instead of 5 minutes
#   --lag-seconds N  N seconds of real-timer lag; the web clock's viewers listen for a fifth of
#                    that, 20 s at least
#   --launches N     N start-ups of each program (default 10); a steadier median on a busy
#                    machine
# Exits 0 when every goal is met, 1 when one is missed, 2 when a figure could not be measured.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: scripts/benchmark.sh [--quick] [--lag-seconds N] [--launches N]" >&2
  exit 2
}
lag_seconds=300
lag_given=0
launches=10
while [ $# -gt 0 ]; do
  case "$1" in
    --quick) [ "$lag_given" -eq 1 ] || lag_seconds=20 ;;
    --lag-seconds | --launches)
      [ $# -ge 2 ] && [[ $2 =~ ^[1-9][0-9]*$ ]] || usage
      if [ "$1" = --launches ]; then launches=$2; else lag_seconds=$2 lag_given=1; fi
      shift
      ;;
    *) usage ;;
  esac
  shift
done

scripts/install-deps.sh
# Where 32-bit code runs only under qemu, everything below runs in the namespace that allows it.
source scripts/lib/wine-loader.sh
wine_loader_enter scripts/benchmark.sh "$@"
scripts/build.sh win64 win32

# A prefix of the benchmark's own: it rewrites the program's settings file, and the CPU it
# reads from the wineserver must not include the work of tests running at the same time.
: "${VANTOREL_PREFIX:=$PWD/build/wineprefix-bench}"
export VANTOREL_PREFIX
source scripts/lib/wine-session.sh
wine_session_start

# The wineserver of this prefix works in a folder named after the prefix's device and inode.
wineserver_pid() {
  local device inode folder entry
  read -r device inode < <(stat -L -c '%d %i' "$WINEPREFIX")
  folder=$(printf 'server-%x-%x' "$device" "$inode")
  for entry in /proc/[0-9]*; do
    case "$(cat "$entry/comm" 2>/dev/null)" in wineserver*) ;; *) continue ;; esac
    if [ "$(basename "$(readlink "$entry/cwd" 2>/dev/null)")" = "$folder" ]; then
      basename "$entry"
      return 0
    fi
  done
  echo 0
}

server_pid=$(wineserver_pid)
[ "$server_pid" != 0 ] || echo "wineserver not found: its CPU is not reported" >&2

# Without a sound card ALSA complains at every tick sound; the complaints say nothing here.
# BUILD: win64 or win32, the program and the baseline of that bitness; GOALS: apply, or shown
# for figures that are reported but not held to the goals.
measure() {
  local build=$1 goals=${2:-apply} status
  set +e
  {
    wine build/win64/vantorel_bench.exe --program "build/$build/vantorel.exe" \
      --baseline "build/$build/vantorel_baseline.exe" --lag-seconds "$lag_seconds" \
      --launches "$launches" --server-pid "$server_pid" --display-pid "${VANTOREL_XVFB_PID:-0}" --goals "$goals" \
      2>&1 1>&3 3>&- | grep -v '^ALSA lib ' >&2
  } 3>&1
  status=${PIPESTATUS[0]}
  set -e
  return "$status"
}

status=0
echo "== the 64-bit program beside a 64-bit baseline"
measure win64 || status=$?
echo
if [ "$VANTOREL_32BIT_WAY" = native ]; then
  echo "== the 32-bit program beside a 32-bit baseline"
  measure win32 || { result=$?; [ "$result" -gt "$status" ] && status=$result; }
elif [ "$VANTOREL_32BIT_WAY" = qemu ]; then
  # Emulation slows every 32-bit instruction, the program's and the baseline's alike: the ratios
  # say what the program costs beside the baseline, the absolute figures only what qemu costs.
  echo "== the 32-bit program beside a 32-bit baseline, both EMULATED by qemu-i386: the goals"
  echo "   apply to the native 64-bit table above"
  measure win32 shown || { result=$?; [ "$result" -gt "$status" ] && status=$result; }
else
  echo "== the 32-bit program: not measured, this machine cannot run 32-bit programs"
fi
exit "$status"
