// The startup screen: icon, name and version, shown for a moment while the program starts.
#include "app/app.h"
#include "dialogs/dialogs.h"
#include "resources/resource.h"

namespace vantorel {

namespace {

constexpr UINT_PTR kStartupTimerId = 2;
constexpr UINT kStartupMilliseconds = 1500;

UINT_PTR startupTimer = 0;  // what SetTimer returned, for KillTimer

INT_PTR OnInitDialog(HWND dialog) {
  SendMessageA(GetDlgItem(dialog, STATIC_APP_ICON), STM_SETICON, reinterpret_cast<WPARAM>(appIcon),
               0);
  startupTimer = SetTimer(dialog, kStartupTimerId, kStartupMilliseconds, nullptr);
  return TRUE;
}

INT_PTR OnTimer(HWND dialog) {
  SendMessageA(dialog, WM_CLOSE, 0, 0);
  return TRUE;
}

INT_PTR OnClose(HWND dialog) {
  KillTimer(dialog, startupTimer);
  EndDialog(dialog, 0);
  return TRUE;
}

INT_PTR CALLBACK StartupScreenDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_TIMER: return OnTimer(dialog);
    case WM_CLOSE: return OnClose(dialog);
    case WM_COMMAND: return FALSE;  // Enter and Escape must not cut the screen short
    default: return FALSE;
  }
}

}  // namespace

void ShowStartupScreen() {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_STARTUP_SCREEN), nullptr, StartupScreenDialogProc,
                  0);
}

}  // namespace vantorel
