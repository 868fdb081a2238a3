// The About box: what the program is, and a button that opens its web page.
#include "app/message_box.h"
#include "app/app.h"
#include "dialogs/dialogs.h"
#include "resources/product.h"
#include "resources/resource.h"

#include <shellapi.h>

namespace vantorel {

namespace {

INT_PTR OnInitDialog(HWND dialog) {
  SendMessageA(GetDlgItem(dialog, STATIC_APP_ICON), STM_SETICON, reinterpret_cast<WPARAM>(appIcon),
               0);
  return TRUE;  // focus on the first tab stop, the Visit button
}

INT_PTR OnVisitWebPage(HWND dialog) {
  const HINSTANCE result = ShellExecuteA(dialog, "open", kProductWebPage, "", "", SW_SHOWMAXIMIZED);
  // The shell's result is an error code when it is 32 or less.
  if (reinterpret_cast<INT_PTR>(result) <= 32) {
    ShowMessageBox("Are you online now?", "Unable to connect to website!", MB_OK | MB_ICONHAND);
  }
  return TRUE;
}

INT_PTR OnClose(HWND dialog) {
  EndDialog(dialog, 0);
  return TRUE;
}

// Escape's IDCANCEL is left alone, so the box stays open.
INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
  switch (wParam) {
    case BTN_VISIT_WEB_PAGE: return OnVisitWebPage(dialog);
    case IDOK: return OnClose(dialog);
    default: return FALSE;
  }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, wParam);
    case WM_CLOSE: return OnClose(dialog);
    default: return FALSE;
  }
}

}  // namespace

void ShowAboutDialog(HWND owner) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_ABOUT), owner, AboutDialogProc, 0);
}

}  // namespace vantorel
