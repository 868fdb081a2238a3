// Global hot keys: the timer's commands from whichever program has the keyboard, registered only
// for the keys the user chose (none by default) and given up at exit.
#pragma once

#include <windows.h>

#include "storage/options.h"

namespace vantorel {

constexpr std::size_t kHotKeyReportSize = 512;

// Registers every chosen key for `window`. Those that Windows refuses, because another program
// holds them, stay chosen and are named in `report` ("Start/Pause: Ctrl+Alt+S" a line); false
// when there is any.
bool RegisterHotKeys(HWND window, const HotKey (&keys)[kHotKeyCommandCount],
                     char (&report)[kHotKeyReportSize]);
void UnregisterHotKeys(HWND window);

// At start: the keys of the options registered, those refused named in one message box.
void RegisterHotKeysAtStart(HWND window);

// WM_HOTKEY: the command of the key, as its button or menu item gives it, where that is enabled.
void OnHotKey(HWND window, WPARAM id);

// The command's name as the dialog and the messages show it: "Start/Pause".
const char* HotKeyCommandName(int command);

}  // namespace vantorel
