// The program's one top-level window: four buttons, the big-digit display, the menu.
#pragma once

#include <windows.h>

namespace vantorel {

constexpr char kMainWindowClass[] = "Vantorel";

// The main window's children. The x positions of Pause, Stop and Reset follow buttonsLeft.
struct MainControls {
  HWND start;
  HWND pause;
  HWND stop;
  HWND reset;
  HWND display;
  int pauseX;
  int stopX;
  int resetX;
};

extern MainControls controls;

// Recomputes the x positions of Pause, Stop and Reset from settings.buttonsLeft.
void DeriveButtonPositions();

// Moves the four buttons and the display to where the settings put them, repainting them.
void MoveControls();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vantorel
