#!/usr/bin/env bash
# Takes the pictures of the help pages from the running program under Wine and writes them to
# resources/help/images/. The pictures are committed; the build does not take them. Run it
# again after a change to a window or a dialog, and look at the pictures before committing.
#   scripts/help-screenshots.sh [path/to/vantorel.exe]   (default: build/win64/vantorel.exe)
# The screen size can be changed with VANTOREL_SCREEN (default here 1366x768x24, a common laptop
# screen on which the default digits fit; the picture of the main window is shown at half size).
set -euo pipefail
cd "$(dirname "$0")/.."

program=$(realpath -m "${1:-build/win64/vantorel.exe}")
images=$PWD/resources/help/images
if [ ! -f "$program" ]; then
  echo "no program at $program: build it first (scripts/build.sh win64)" >&2
  exit 1
fi

# A prefix of its own: the shared one may be in use by the tests, and starting a session kills
# the wineserver of its prefix.
export VANTOREL_PREFIX="${VANTOREL_PREFIX:-$PWD/build/wineprefix-help}"
export VANTOREL_SCREEN="${VANTOREL_SCREEN:-1366x768x24}"
# shellcheck source=lib/wine-session.sh
source scripts/lib/wine-session.sh

work=$(mktemp -d)
cleanup() {
  wine_session_stop
  rm -rf "$work"
}
wine_session_start
trap cleanup EXIT

# Wine's own Tahoma and Marlett are not found from its data folder on this system, so dialogs
# would fall back to another face and the caption buttons would show letters; as fonts of the
# prefix's Windows folder they are used.
fonts=$WINEPREFIX/drive_c/windows/Fonts
for font in marlett.ttf tahoma.ttf tahomabd.ttf; do
  if [ -f "/usr/share/wine/fonts/$font" ] && [ ! -f "$fonts/$font" ]; then
    mkdir -p "$fonts"
    cp "/usr/share/wine/fonts/$font" "$fonts/"
  fi
done

# A small helper that works the program through its windows: it posts commands to the main
# window and reports where a window is, so that no click depends on pixel positions.
cat >"$work/windows.c" <<'EOF'
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct Search { const char* className; const char* title; HWND found; };

static BOOL CALLBACK Match(HWND window, LPARAM param) {
  struct Search* search = (struct Search*)param;
  char className[64], title[128];
  if (!IsWindowVisible(window)) return TRUE;
  GetClassNameA(window, className, sizeof className);
  GetWindowTextA(window, title, sizeof title);
  if (strcmp(className, search->className) != 0 || strcmp(title, search->title) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

/* The visible top-level window of that class and title, waiting up to ten seconds. */
static HWND Find(const char* className, const char* title) {
  struct Search search = {className, title, NULL};
  for (int waited = 0; waited < 10000; waited += 20) {
    EnumWindows(Match, (LPARAM)&search);
    if (search.found != NULL) return search.found;
    Sleep(20);
  }
  fprintf(stderr, "no window \"%s\" of class %s\n", title, className);
  return NULL;
}

static HWND MainWindow(void) {
  for (int waited = 0; waited < 10000; waited += 20) {
    HWND window = FindWindowA("Vantorel", NULL);
    if (window != NULL && IsWindowVisible(window)) return window;
    Sleep(20);
  }
  fprintf(stderr, "no main window\n");
  return NULL;
}

int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "post") == 0) {         /* post COMMAND_ID */
    HWND window = MainWindow();
    if (window == NULL) return 1;
    PostMessageA(window, WM_COMMAND, (WPARAM)atoi(argv[2]), 0);
    return 0;
  }
  if (argc == 2 && strcmp(argv[1], "main") == 0) {         /* main: prints x y w h */
    HWND window = MainWindow();
    RECT r;
    if (window == NULL) return 1;
    GetWindowRect(window, &r);
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (argc == 4 && strcmp(argv[1], "find") == 0) {         /* find CLASS TITLE: x y w h */
    HWND window = Find(argv[2], argv[3]);
    RECT r;
    if (window == NULL) return 1;
    GetWindowRect(window, &r);
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (argc == 4 && strcmp(argv[1], "close") == 0) {        /* close CLASS TITLE */
    HWND window = Find(argv[2], argv[3]);
    if (window == NULL) return 1;
    PostMessageA(window, WM_CLOSE, 0, 0);
    for (int waited = 0; waited < 10000 && IsWindow(window); waited += 20) Sleep(20);
    return IsWindow(window) ? 1 : 0;
  }
  fprintf(stderr, "usage: post ID | main | find CLASS TITLE | close CLASS TITLE\n");
  return 2;
}
EOF
x86_64-w64-mingw32-gcc-posix -O1 -o "$work/windows.exe" "$work/windows.c"
helper() { wine "$work/windows.exe" "$@" | tr -d '\r'; }

# The program's data folder in this prefix, with settings that make the pictures: the startup
# screen on (it is the first picture), a limit of five minutes, and a fresh log.
appdata=$(winepath -u "$(wine cmd /c echo %APPDATA% | tr -d '\r')")
rm -rf "$appdata/vantorel"
mkdir -p "$appdata/vantorel"
printf '%s\n' 1 1 1 1 430 10 100 0 5 0 0 16777215 320 700 0 Arial \
  'No file selected' 'No file selected' >"$appdata/vantorel/vantorel.cfg"

# Crops the window at "x y w h" out of a screenshot of the whole screen into a small PNG.
snap() {
  local name=$1 geometry=$2 resize=${3:-}
  local x y w h
  read -r x y w h <<<"$geometry"
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage ${resize:+-resize "$resize"} \
    -strip -colors 128 "PNG8:$images/$name.png"
  echo "$images/$name.png: ${w}x${h}"
}

mkdir -p "$images"

# The startup screen lives 1.5 seconds, so the search runs before the program starts.
helper find '#32770' '' >"$work/startup" &
finder=$!
(cd "$(dirname "$program")" && wine "$program" >/dev/null 2>&1) &
running=$!
wait "$finder"
sleep 0.3
snap startup_screen "$(cat "$work/startup")"

# The main window, counting, after a start, a pause and a second start, which also gives the
# log a few lines.
helper main >/dev/null
helper post 3002   # Start
sleep 2.2
helper post 3006   # Pause
sleep 0.6
helper post 3002   # Start
sleep 2.5
read -r x y w h <<<"$(helper main)"
# Below the digits the window holds only its background, which the picture leaves out.
snap main_window "$x $y $w $((h < 520 ? h : 520))" 50%

dialog() {
  local name=$1 command=$2 title=$3
  helper post "$command"
  local geometry
  geometry=$(helper find '#32770' "$title")
  sleep 0.5
  snap "$name" "$geometry"
  helper close '#32770' "$title"
}
dialog set_timer 2003 'Set Timer'
dialog preferences 2007 'Preferences'
dialog view_program_log 2010 'View Program Log'
dialog about_box 2009 'About this program'

helper post 2002   # Exit
wait "$running"

# A second session for the time remaining in the warning colour: a limit of one minute, no
# startup screen, and an options file that shows the time remaining and warns for the whole
# minute, so the window shows 00:01:00 in amber from the start. The same options, with overtime
# and a few hot keys, fill the Warning and Overtime and the Hot Keys dialogs.
printf '%s\n' 0 1 1 1 430 10 100 0 1 0 0 16777215 320 700 0 Arial \
  'No file selected' 'No file selected' >"$appdata/vantorel/vantorel.cfg"
printf '%s\n' 'count.view=remaining' 'count.warning=0:01:00' 'count.overtime=on' \
  'hotkey.startpause=Ctrl+Shift+F9' 'hotkey.stop=Ctrl+Shift+F10' 'hotkey.reset=Ctrl+Shift+F11' \
  >"$appdata/vantorel/vantorel.ini"
(cd "$(dirname "$program")" && wine "$program" >/dev/null 2>&1) &
running=$!
helper main >/dev/null
sleep 1.5
read -r x y w h <<<"$(helper main)"
snap remaining_view "$x $y $w $((h < 520 ? h : 520))" 50%
dialog warning_overtime 2014 'Warning and Overtime'
dialog hot_keys 2016 'Hot Keys'
helper post 2002   # Exit
wait "$running"
