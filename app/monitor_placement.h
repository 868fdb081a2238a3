// The main window on the monitor it is on: it covers that monitor's work area (or, in full
// screen, the whole monitor) and takes it anew when the window changes monitor, when the
// displays change and when the taskbar moves; the controls follow.
#pragma once

#include <windows.h>

namespace vantorel {

// Before the window exists: the primary monitor's work area, where the window starts.
void TakeStartArea();

// The window's messages that concern its place, from the main window procedure.
void OnEnterSizeMove();
void OnExitSizeMove(HWND window);
void OnWindowPosChanged(HWND window);
void OnDisplaysChanged(HWND window);

bool IsFullScreen();
void ToggleFullScreen(HWND window);
void LeaveFullScreen(HWND window);

// The monitors as people number them: 1 is the primary, then the others from left to right;
// at most kMaxMonitors of them (core/screen_placement.h).
unsigned MonitorCount();
// Moves the window onto monitor `number` and fits it there; false when there is none such.
bool MoveToMonitor(HWND window, unsigned number);
// Moves the window onto `monitor` and fits it there.
void FitToMonitor(HWND window, HMONITOR monitor);

}  // namespace vantorel
