// System functions that only some commands need, from libraries loaded at their first use
// rather than at start-up: under Wine the common dialogs alone bring in the whole printing
// stack, which would nearly double the time to the first window.
#pragma once

#include <windows.h>
#include <commdlg.h>

namespace vantorel {

// Each behaves as the system function of the same name; when the library or the function
// cannot be had, it fails as a cancelled chooser or a silent sound would.
BOOL ChooseFontOnDemand(CHOOSEFONTA* chooser);
BOOL ChooseColorOnDemand(CHOOSECOLORA* chooser);
BOOL GetOpenFileNameOnDemand(OPENFILENAMEA* chooser);
BOOL PlaySoundOnDemand(LPCSTR sound, HMODULE module, DWORD flags);
BOOL WTSRegisterSessionNotificationOnDemand(HWND window, DWORD flags);
BOOL WTSUnRegisterSessionNotificationOnDemand(HWND window);

// A function of a library in the system folder, loaded at the first call and kept; null when
// either cannot be had.
FARPROC SystemFunction(const char* library, const char* name);

}  // namespace vantorel
