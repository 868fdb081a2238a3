# Sourced by the scripts that run the tests on several desktops, inside a session of
# scripts/lib/wine-session.sh (DISPLAY, WINEPREFIX and VANTOREL_XVFB_DISPLAY set).

# Makes the session's virtual display one of the desktops the tests run on:
#   plain          the whole screen as Xvfb started it, no taskbar
#   taskbar-top    the same with a taskbar 40 pixels high along the top edge
#   taskbar-left   the same with a taskbar 60 pixels wide along the left edge
#   WIDTHxHEIGHT   a smaller screen (a projector's 1024x768, 800x600), no taskbar
# Wine's X11 driver reads the screen's size from RandR and the work area from the root window's
# _NET_WORKAREA (x, y, width, height, as a desktop's taskbar sets it) when its session starts, so
# the wineserver starts anew; the prefix stays warm.
wine_session_desktop() {
  if [ -z "${VANTOREL_XVFB_DISPLAY:-}" ] || [ "$DISPLAY" != "$VANTOREL_XVFB_DISPLAY" ]; then
    echo "wine_session_desktop: $DISPLAY is no virtual display of this session" >&2
    return 1
  fi
  # The display's largest size is the one Xvfb started with.
  local width height workarea=""
  read -r width height < <(xrandr | sed -nE '1s/.*maximum ([0-9]+) x ([0-9]+).*/\1 \2/p')
  case "$1" in
    plain) ;;
    taskbar-top) workarea="0,40,$width,$((height - 40))" ;;
    taskbar-left) workarea="60,0,$((width - 60)),$height" ;;
    [0-9]*x[0-9]*) width=${1%x*} height=${1#*x} ;;
    *) echo "wine_session_desktop: no desktop $1" >&2; return 2 ;;
  esac
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
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
  # Kept warm, and away from the caller's output: a pipe it held would never end.
  wineserver -p >/dev/null 2>&1
  wine cmd /c exit >/dev/null 2>&1 || true
}
