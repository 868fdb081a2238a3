# Sourced by the scripts that run Windows programs here: one virtual X display and one warm
# Wine prefix of the project's own, shared by everything the script runs, torn down at exit.
#   VANTOREL_PREFIX   the Wine prefix to use and keep (default: a fresh one, removed at exit,
#                     so sessions that run side by side never share a wineserver)
#   VANTOREL_SCREEN   the virtual screen, WxHxD (default: 1280x1024x24); wine_session_desktop
#                     (scripts/lib/wine-desktop.sh) can make it smaller, never larger
#   VANTOREL_WINEARCH win64 (default: 64-bit Windows that runs 32-bit programs too) or win32
#                     (32-bit Windows)
# Sets VANTOREL_RUNS_32BIT and VANTOREL_32BIT_WAY (scripts/lib/wine-loader.sh).

if [ -z "${VANTOREL_PREFIX:-}" ]; then
  VANTOREL_PREFIX=$(mktemp -d "${TMPDIR:-/tmp}/vantorel-wine.XXXXXX")
  VANTOREL_PREFIX_IS_TEMPORARY=1
fi
: "${VANTOREL_SCREEN:=1280x1024x24}"

export WINEPREFIX="$VANTOREL_PREFIX"
export WINEARCH="${VANTOREL_WINEARCH:-win64}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko set-up: the prefix is ready in seconds and nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="

source "$(dirname "${BASH_SOURCE[0]}")/wine-loader.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine-desktop.sh"

wine_session_stop() {
  wineserver -k 2>/dev/null || true
  if [ -n "${VANTOREL_XVFB_PID:-}" ]; then
    kill "$VANTOREL_XVFB_PID" 2>/dev/null || true
    wait "$VANTOREL_XVFB_PID" 2>/dev/null || true
  fi
  # The two-monitor desktops' server, when this process started it (wine_desktop_start_xorg).
  wine_desktop_stop_xorg
  if [ -n "${VANTOREL_PREFIX_IS_TEMPORARY:-}" ]; then
    wineserver -w 2>/dev/null || true
    rm -rf "$VANTOREL_PREFIX"
  fi
  if [ -n "${VANTOREL_WINE_SHIM:-}" ] && [ "${VANTOREL_WINE_SHIM_OWNER:-}" = "$$" ]; then
    rm -rf "$VANTOREL_WINE_SHIM"
  fi
}

# Starts Xvfb on a free display number unless one was given in VANTOREL_DISPLAY.
wine_session_start_display() {
  # A wineserver left from before the X session would keep the old display and half-build
  # windows, so none may run when the display starts.
  wineserver -k 2>/dev/null || true
  local number=${VANTOREL_DISPLAY_NUMBER:-90}
  while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
    number=$((number + 1))
  done
  # -noreset: the root window keeps its properties (a work area) while no client is connected.
  Xvfb ":$number" -screen 0 "$VANTOREL_SCREEN" -nolisten tcp -noreset >/dev/null 2>&1 &
  VANTOREL_XVFB_PID=$!
  export DISPLAY=":$number"
  # Scripts that run inside the session may change this display's desktop, and no other.
  export VANTOREL_XVFB_DISPLAY=$DISPLAY
  for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$number" ] && return 0
    sleep 0.1
  done
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

# What a prefix made now can run. A 64-bit prefix made while 32-bit programs could not run
# cannot start any program once they can (not even a 64-bit one), and one made outside the
# qemu namespace cannot start 32-bit programs inside it, so each must be made anew.
wine_session_prefix_kind() {
  local way=""
  [ "$VANTOREL_32BIT_WAY" != qemu ] || way=-qemu
  if [ "$WINEARCH" = win32 ]; then
    echo "win32$way"
  elif [ "$VANTOREL_RUNS_32BIT" = 1 ]; then
    echo "win64+wow64$way"
  else
    echo win64
  fi
}

# Creates the prefix once, with the settings that keep unattended runs fast and safe.
wine_session_prepare_prefix() {
  local kind
  kind=$(wine_session_prefix_kind)
  if [ "$(cat "$WINEPREFIX/.vantorel-ready" 2>/dev/null)" != "$kind" ]; then
    # Only a prefix of ours, marked when it was made, is removed.
    if [ -f "$WINEPREFIX/.vantorel-ready" ]; then
      wineserver -k 2>/dev/null || true
      rm -rf "$WINEPREFIX"
    fi
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    # Without a window manager every top-level close would stall two seconds.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    # A crash must fail the run, not wait behind the debugger's dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1
    wineserver -w
    echo "$kind" >"$WINEPREFIX/.vantorel-ready"
  fi
  # Keep one wineserver warm for every program the session starts.
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 || true
}

# Xvfb has no resource database, and without one Xlib reads ~/.Xdefaults afresh at every
# XGetDefault, which Wine calls several times for each font it selects (each change of the
# count's text: a fifth of the program's time at a posted tick). One harmless resource in a file
# gives Xlib a database to keep; the resources Wine asks for stay unset.
wine_session_x_resources() {
  export XENVIRONMENT="$WINEPREFIX/vantorel.Xresources"
  printf 'vantorel.session: 1\n' >"$XENVIRONMENT"
}

wine_session_start() {
  trap wine_session_stop EXIT
  wine_session_start_display
  wine_session_prepare_prefix
  wine_session_x_resources
}
