// Process-wide handles of the Windows program, set at start-up and read by the main window
// and the dialogs.
#pragma once

#include <windows.h>

namespace vantorel {

extern HINSTANCE instance;  // the executable's module: icon, menu, dialogs, sounds
extern HICON appIcon;       // icon resource 1
extern HWND mainWindow;     // null until CreateWindowExA has returned
// The area the window covers: the work area of its monitor, or the whole monitor in full
// screen (app/monitor_placement.cpp keeps it).
extern RECT workArea;

// The work area's size: the main window's and the display's, and the base of the Preferences
// bounds. A taskbar at the top or left moves the area's origin away from (0, 0).
inline int WorkAreaWidth() {
  return workArea.right - workArea.left;
}
inline int WorkAreaHeight() {
  return workArea.bottom - workArea.top;
}

}  // namespace vantorel
