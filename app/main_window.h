// The program's one top-level window: four buttons, the big-digit display, the menu.
#pragma once

#include <windows.h>

namespace vantorel {

constexpr char kMainWindowClass[] = "Vantorel";

// The main window's children. The x positions of the buttons follow buttonsLeft, within the
// area the window covers.
struct MainControls {
  HWND start;
  HWND pause;
  HWND stop;
  HWND reset;
  HWND display;
  int startX;
  int pauseX;
  int stopX;
  int resetX;
};

extern MainControls controls;

// Recomputes the x positions of the buttons from settings.buttonsLeft.
void DeriveButtonPositions();

// Moves the four buttons and the display to where the settings put them (the nearest place
// inside an area too small for that) and sizes the display to the area, repainting them.
void MoveControls();

// A click on one of the four buttons where a person could click it: only an enabled one.
// Returns whether it was clicked.
bool ClickIfEnabled(HWND window, HWND button);

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vantorel
