// What the window keeps from one run to the next besides the settings: whether it stays on top
// of other windows, and the monitor it was left on, in full screen or not.
#pragma once

#include <windows.h>

namespace vantorel {

// Topmost as the options say. Also asserted anew where Windows may have put another topmost
// window over it (a display change, full screen, the window activated again); at the default,
// off, the window's place among others is never touched.
void ApplyOnTop(HWND window);
// The Always on Top item: switched and saved.
void ToggleOnTop(HWND window);
void SetOnTop(HWND window, bool on);
// A session unlocked or reconnected can leave the window behind others although it is still
// marked topmost, so while it is on top it asks to hear of those and is put on top again.
void OnSessionChange(HWND window, WPARAM change);
// Before the window is destroyed: no more session changes.
void StopWatchingSessions(HWND window);

// At start: onto the monitor the window was left on, by its device name, else its rectangle, and
// into full screen if it was; neither there, it stays on the primary's work area with its frame.
void RestorePlace(HWND window);
// Where the window is now, for the next start: after a move to another monitor, a switch of
// full screen, at exit and at sign-out. Written only when it changed.
void RememberPlace(HWND window);

}  // namespace vantorel
