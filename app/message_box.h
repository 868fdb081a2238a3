// Message boxes of the running program: above the window also while it stays on top.
#pragma once

#include <windows.h>

namespace vantorel {

// MessageBoxA without an owner, as every message of the program is shown; with the window on top
// the box is on top too, or it would open hidden behind the window.
int ShowMessageBox(const char* text, const char* caption, UINT flags);

}  // namespace vantorel
