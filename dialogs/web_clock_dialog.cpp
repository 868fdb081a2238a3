// The Web Clock dialog: the count served to browsers or not, to this computer only or the local
// network, on which port, and the addresses to open; applied and saved on OK, or Open in
// Browser, unless the port cannot be had, which the dialog then names.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <initializer_list>

#include "app/app.h"
#include "app/web_clock.h"
#include "dialogs/dialogs.h"
#include "resources/resource.h"
#include "storage/options.h"

namespace vantorel {

namespace {

// The port in the field: 0 when it is none (empty, 0 or above 65535).
std::uint16_t PortOf(HWND dialog) {
  BOOL read = FALSE;
  const UINT port = GetDlgItemInt(dialog, EDIT_WEB_PORT, &read, FALSE);
  return read && port >= 1 && port <= 65535 ? static_cast<std::uint16_t>(port) : 0;
}

bool NetworkChosen(HWND dialog) {
  return IsDlgButtonChecked(dialog, CHK_LOCAL_NETWORK) == BST_CHECKED;
}

// The addresses as the fields now say, and what can be chosen while the clock is off.
void ShowChoices(HWND dialog) {
  const bool on = IsDlgButtonChecked(dialog, CHK_WEB_CLOCK) == BST_CHECKED;
  for (const int id : {CHK_THIS_COMPUTER_ONLY, CHK_LOCAL_NETWORK, EDIT_WEB_PORT, EDIT_WEB_PIN,
                       BTN_NEW_PIN, EDIT_WEB_ADDRESSES, BTN_OPEN_IN_BROWSER}) {
    EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE);
  }
  char addresses[2048] = "";
  char pin[16] = "";
  GetDlgItemTextA(dialog, EDIT_WEB_PIN, pin, sizeof pin);
  const std::uint16_t port = PortOf(dialog);
  if (port != 0) {
    WebClockAddresses(NetworkChosen(dialog), port, IsWebPin(pin) ? pin : "", addresses,
                      sizeof addresses);
  }
  SetDlgItemTextA(dialog, EDIT_WEB_ADDRESSES, addresses);
}

INT_PTR OnInitDialog(HWND dialog) {
  CheckDlgButton(dialog, CHK_WEB_CLOCK, options.webClock ? BST_CHECKED : BST_UNCHECKED);
  CheckRadioButton(dialog, CHK_THIS_COMPUTER_ONLY, CHK_LOCAL_NETWORK,
                   options.webNetwork ? CHK_LOCAL_NETWORK : CHK_THIS_COMPUTER_ONLY);
  SetDlgItemInt(dialog, EDIT_WEB_PORT, options.webPort, FALSE);
  SendDlgItemMessageA(dialog, EDIT_WEB_PIN, EM_LIMITTEXT, 8, 0);
  SetDlgItemTextA(dialog, EDIT_WEB_PIN, options.webPin);
  ShowChoices(dialog);
  return TRUE;
}

// The choices made the ones in force and saved; false, with the reason shown, when they cannot.
bool Apply(HWND dialog) {
  const bool on = IsDlgButtonChecked(dialog, CHK_WEB_CLOCK) == BST_CHECKED;
  const std::uint16_t port = PortOf(dialog);
  char pin[16] = "";
  GetDlgItemTextA(dialog, EDIT_WEB_PIN, pin, sizeof pin);
  char problem[256] = "";
  int field = EDIT_WEB_PORT;
  if (port == 0) {
    lstrcpynA(problem, "The port must be a number from 1 to 65535.", sizeof problem);
  } else if (!IsWebPin(pin)) {
    lstrcpynA(problem, "The PIN must be 4 to 8 digits, or empty for no control from the web.",
              sizeof problem);
    field = EDIT_WEB_PIN;
  } else if (ApplyWebClock(mainWindow, on, NetworkChosen(dialog), port, pin, problem,
                           sizeof problem)) {
    SetDlgItemTextA(dialog, STATIC_WEB_PROBLEM, "");
    return true;
  }
  SetDlgItemTextA(dialog, STATIC_WEB_PROBLEM, problem);
  SetFocus(GetDlgItem(dialog, field));
  SendDlgItemMessageA(dialog, field, EM_SETSEL, 0, -1);
  return false;
}

INT_PTR OnOpenInBrowser(HWND dialog) {
  if (!Apply(dialog)) return TRUE;
  char address[64];
  wsprintfA(address, "http://127.0.0.1:%u/", static_cast<unsigned>(options.webPort));
  ShellExecuteA(dialog, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
  return TRUE;
}

INT_PTR OnNewPin(HWND dialog) {
  char pin[7];
  if (NewWebPin(pin)) SetDlgItemTextA(dialog, EDIT_WEB_PIN, pin);
  return TRUE;
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
  switch (wParam) {
    case CHK_WEB_CLOCK:
    case CHK_THIS_COMPUTER_ONLY:
    case CHK_LOCAL_NETWORK:
    case MAKEWPARAM(EDIT_WEB_PORT, EN_CHANGE):
    case MAKEWPARAM(EDIT_WEB_PIN, EN_CHANGE): ShowChoices(dialog); return TRUE;
    case BTN_NEW_PIN: return OnNewPin(dialog);
    case BTN_OPEN_IN_BROWSER: return OnOpenInBrowser(dialog);
    case IDOK:
      if (Apply(dialog)) EndDialog(dialog, 0);
      return TRUE;
    case IDCANCEL: EndDialog(dialog, 0); return TRUE;
    default: return FALSE;
  }
}

// The reason a port cannot be had stands out from the rest.
INT_PTR OnColorStatic(HDC dc, HWND control) {
  if (GetDlgCtrlID(control) != STATIC_WEB_PROBLEM) return FALSE;
  SetTextColor(dc, RGB(0xC0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

INT_PTR CALLBACK WebClockDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, wParam);
    case WM_CTLCOLORSTATIC:
      return OnColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

void ShowWebClockDialog(HWND owner) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_WEB_CLOCK), owner, WebClockDialogProc, 0);
}

}  // namespace vantorel
