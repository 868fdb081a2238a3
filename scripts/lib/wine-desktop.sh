# Sourced by the scripts that run the tests on several desktops, inside a session of
# scripts/lib/wine-session.sh (DISPLAY, WINEPREFIX and VANTOREL_XVFB_DISPLAY set). Sourcing it
# only defines functions, so it may come before scripts/lib/wine-loader.sh's namespace too.

wine_desktop_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# The desktop names that need the Xorg server of wine_desktop_start_xorg.
wine_desktop_is_two_monitors() {
  case "$1" in
    two-monitors | two-monitors-projector-primary) return 0 ;;
  esac
  return 1
}

# Starts the Xorg server of the two-monitor desktops on a free display number: Xvfb has a single
# screen, while Xorg's dummy driver gives RandR outputs that lie side by side. It has to start
# before wine_loader_enter, because Xorg cannot start inside that namespace; the display is
# handed in through the environment:
#   VANTOREL_XORG_DISPLAY  the server's display, once it answers
#   VANTOREL_XORG_MISSING  why there is none (Xorg needs root here)
# Does nothing when a caller's server is inherited; wine_desktop_stop_xorg stops it at exit.
wine_desktop_start_xorg() {
  [ -z "${VANTOREL_XORG_DISPLAY:-}" ] || return 0
  export VANTOREL_XORG_MISSING=""
  if [ "$(id -u)" -ne 0 ]; then
    VANTOREL_XORG_MISSING="the dummy Xorg server of the two-monitor desktops needs root"
    return 1
  fi
  if ! command -v Xorg >/dev/null || [ ! -e /usr/lib/xorg/modules/drivers/dummy_drv.so ]; then
    VANTOREL_XORG_MISSING="no Xorg server with the dummy video driver (scripts/install-deps.sh)"
    return 1
  fi
  local number=80
  while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
    number=$((number + 1))
  done
  VANTOREL_XORG_DIR=$(mktemp -d "${TMPDIR:-/tmp}/vantorel-xorg.XXXXXX")
  # -noreset keeps the root window's work area while no client is connected; a -configdir of
  # one empty snippet keeps the machine's own snippets out.
  : >"$VANTOREL_XORG_DIR/empty.conf"
  Xorg ":$number" -config "$wine_desktop_dir/xorg-dummy.conf" -configdir "$VANTOREL_XORG_DIR" \
    -logfile "$VANTOREL_XORG_DIR/Xorg.log" -noreset -novtswitch -sharevts -keeptty \
    -nolisten tcp </dev/null >/dev/null 2>&1 &
  export VANTOREL_XORG_PID=$! VANTOREL_XORG_OWNER=$$ VANTOREL_XORG_DIR
  for _ in $(seq 100); do
    if [ -e "/tmp/.X11-unix/X$number" ] && DISPLAY=":$number" xrandr >/dev/null 2>&1; then
      export VANTOREL_XORG_DISPLAY=":$number"
      return 0
    fi
    kill -0 "$VANTOREL_XORG_PID" 2>/dev/null || break
    sleep 0.1
  done
  VANTOREL_XORG_MISSING="Xorg did not start on :$number: $(grep -m 3 '(EE)' \
    "$VANTOREL_XORG_DIR/Xorg.log" 2>/dev/null | tr '\n' ' ')"
  echo "$VANTOREL_XORG_MISSING" >&2
  wine_desktop_stop_xorg
  return 1
}

# Stops the Xorg server, in the process that started it only (the same one after
# wine_loader_enter, which keeps the process).
wine_desktop_stop_xorg() {
  [ -n "${VANTOREL_XORG_PID:-}" ] && [ "${VANTOREL_XORG_OWNER:-}" = "$$" ] || return 0
  local number=${VANTOREL_XORG_DISPLAY:-}
  number=${number#:}
  kill "$VANTOREL_XORG_PID" 2>/dev/null || true
  # The server may belong to this process from before an exec, which bash cannot wait for.
  for _ in $(seq 50); do
    [ -n "$number" ] && [ -e "/tmp/.X$number-lock" ] || break
    sleep 0.1
  done
  rm -rf "$VANTOREL_XORG_DIR"
  unset VANTOREL_XORG_DISPLAY VANTOREL_XORG_PID VANTOREL_XORG_OWNER VANTOREL_XORG_DIR
}

# Starts the wineserver anew, kept warm, for the display in DISPLAY: Wine's X11 driver reads the
# monitors and the work area when its session starts.
#   wine_desktop_restart_wineserver COMMAND...   (runs COMMAND while no wineserver runs)
wine_desktop_restart_wineserver() {
  local status=0
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  "$@" || status=$?
  # Kept warm, and away from the caller's output: a pipe it held would never end.
  wineserver -p >/dev/null 2>&1
  wine cmd /c exit >/dev/null 2>&1 || true
  return "$status"
}

# Makes the session's virtual display one of the desktops the tests run on:
#   plain          the whole screen as Xvfb started it, no taskbar
#   taskbar-top    the same with a taskbar 40 pixels high along the top edge
#   taskbar-left   the same with a taskbar 60 pixels wide along the left edge
#   WIDTHxHEIGHT   a smaller screen (a projector's 1024x768, 800x600), no taskbar
#   two-monitors   on the Xorg display: a laptop's 1280x1024 at 0,0, the primary, and a
#                  projector's 1024x768 right of it, a taskbar 40 pixels high along the top
#   two-monitors-projector-primary
#                  the same with the projector as the primary (Windows then puts the laptop at
#                  negative x)
# Wine's X11 driver reads the screen's size from RandR and the work area from the root window's
# _NET_WORKAREA (x, y, width, height, as a desktop's taskbar sets it) when its session starts, so
# the wineserver starts anew; the prefix stays warm. DISPLAY changes to the desktop's display.
wine_session_desktop() {
  if [ -z "${VANTOREL_XVFB_DISPLAY:-}" ] || { [ "$DISPLAY" != "$VANTOREL_XVFB_DISPLAY" ] &&
    [ "$DISPLAY" != "${VANTOREL_XORG_DISPLAY:-}" ]; }; then
    echo "wine_session_desktop: $DISPLAY is no virtual display of this session" >&2
    return 1
  fi
  if wine_desktop_is_two_monitors "$1"; then
    if [ -z "${VANTOREL_XORG_DISPLAY:-}" ]; then
      echo "wine_session_desktop: no two-monitor desktop: ${VANTOREL_XORG_MISSING:-no Xorg}" >&2
      return 1
    fi
    wine_desktop_restart_wineserver wine_desktop_two_monitors "$1"
    return
  fi
  case "$1" in
    plain | taskbar-top | taskbar-left | [0-9]*x[0-9]*) ;;
    *) echo "wine_session_desktop: no desktop $1" >&2; return 2 ;;
  esac
  wine_desktop_restart_wineserver wine_desktop_xvfb "$1"
}

# The desktops of the Xvfb display; the wineserver is down.
wine_desktop_xvfb() {
  export DISPLAY=$VANTOREL_XVFB_DISPLAY
  # The display's largest size is the one Xvfb started with.
  local width height workarea=""
  read -r width height < <(xrandr | sed -nE '1s/.*maximum ([0-9]+) x ([0-9]+).*/\1 \2/p')
  case "$1" in
    taskbar-top) workarea="0,40,$width,$((height - 40))" ;;
    taskbar-left) workarea="60,0,$((width - 60)),$height" ;;
    [0-9]*x[0-9]*) width=${1%x*} height=${1#*x} ;;
  esac
  local mode="${width}x${height}" output
  output=$(xrandr | awk '$2 == "connected" { print $1; exit }')
  # Xvfb offers only the mode it started with; smaller ones fit in its frame buffer.
  if ! xrandr | grep -qE "^ +$mode "; then
    xrandr --newmode "$mode" 0 "$width" 0 0 0 "$height" 0 0 0 &&
      xrandr --addmode "$output" "$mode" || return 1
  fi
  xrandr --output "$output" --mode "$mode" || return 1
  if [ -n "$workarea" ]; then
    xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA "$workarea"
  else
    xprop -root -remove _NET_WORKAREA
  fi
}

# The two-monitor desktops of the Xorg display; the wineserver is down. The laptop's output also
# offers 1024x768, to which the tests switch it as a person would.
wine_desktop_two_monitors() {
  export DISPLAY=$VANTOREL_XORG_DISPLAY
  local primary=DUMMY0
  [ "$1" = two-monitors ] || primary=DUMMY1
  xrandr --addmode DUMMY0 1024x768 && xrandr --addmode DUMMY1 1024x768 &&
    xrandr --output DUMMY0 --mode 1280x1024 --pos 0x0 \
      --output DUMMY1 --mode 1024x768 --right-of DUMMY0 --output "$primary" --primary || return 1
  # The driver reports an output connected only from the query after its first mode, and Wine
  # counts connected outputs only.
  xrandr | grep -q '^DUMMY1 connected' || xrandr | grep -q '^DUMMY1 connected' || return 1
  # In the root window's coordinates, across both: Wine cuts each monitor's work area from it.
  xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA 0,40,2304,984
}

# Puts the session back on the display `display` after a two-monitor desktop, as it was there.
wine_session_back_to_display() {
  [ "$DISPLAY" != "$1" ] || return 0
  wine_desktop_restart_wineserver export DISPLAY="$1"
}
