// The Hot Keys dialog: a key field a command. OK registers the keys chosen; one that Windows
// refuses, because another program holds it, is named and not saved, and the dialog stays open.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "app/app.h"
#include "app/hot_keys.h"
#include "app/message_box.h"
#include "dialogs/dialogs.h"
#include "resources/resource.h"
#include "storage/options.h"

namespace vantorel {

namespace {

constexpr int kFirstField = HOTKEY_START_PAUSE;

// The hot-key control's modifier bits (HOTKEYF_) and RegisterHotKey's (MOD_) differ.
WPARAM ToField(const HotKey& key) {
  unsigned flags = 0;
  if (key.modifiers & kHotKeyShift) flags |= HOTKEYF_SHIFT;
  if (key.modifiers & kHotKeyControl) flags |= HOTKEYF_CONTROL;
  if (key.modifiers & kHotKeyAlt) flags |= HOTKEYF_ALT;
  return MAKEWORD(key.virtualKey, flags);
}

// The key a field shows. The control knows no Win key: a key of the options file with Win
// that the user left as it was keeps it.
HotKey FromField(HWND dialog, int command) {
  const auto value =
      static_cast<WORD>(SendDlgItemMessageA(dialog, kFirstField + command, HKM_GETHOTKEY, 0, 0));
  HotKey key;
  key.virtualKey = LOBYTE(value);
  const unsigned flags = HIBYTE(value);
  if (flags & HOTKEYF_SHIFT) key.modifiers |= kHotKeyShift;
  if (flags & HOTKEYF_CONTROL) key.modifiers |= kHotKeyControl;
  if (flags & HOTKEYF_ALT) key.modifiers |= kHotKeyAlt;
  const HotKey& before = options.hotKeys[command];
  if ((before.modifiers & kHotKeyWin) != 0 && ToField(before) == ToField(key)) return before;
  // A key that the options file cannot name could not be read back: it is no key.
  if (HotKeyName(key.virtualKey) == nullptr) key = HotKey{};
  return key;
}

INT_PTR OnInitDialog(HWND dialog) {
  for (int command = 0; command < kHotKeyCommandCount; ++command) {
    SendDlgItemMessageA(dialog, kFirstField + command, HKM_SETHOTKEY,
                        ToField(options.hotKeys[command]), 0);
  }
  return TRUE;
}

// A key chosen for two commands is no other program's to hold: it is named as such.
bool ChosenTwice(const HotKey (&chosen)[kHotKeyCommandCount]) {
  for (int first = 0; first < kHotKeyCommandCount; ++first) {
    for (int second = first + 1; second < kHotKeyCommandCount; ++second) {
      if (chosen[first].Empty() || chosen[first] != chosen[second]) continue;
      char name[kHotKeyTextSize];
      FormatHotKey(chosen[first], name);
      char text[200];
      std::snprintf(text, sizeof text, "%s is chosen for both %s and %s.", name,
                    HotKeyCommandName(first), HotKeyCommandName(second));
      ShowMessageBox(text, "Hot Keys", MB_ICONEXCLAMATION);
      return true;
    }
  }
  return false;
}

INT_PTR OnOk(HWND dialog) {
  HotKey chosen[kHotKeyCommandCount];
  for (int command = 0; command < kHotKeyCommandCount; ++command) {
    chosen[command] = FromField(dialog, command);
  }
  if (ChosenTwice(chosen)) return TRUE;
  UnregisterHotKeys(mainWindow);
  char report[kHotKeyReportSize];
  if (!RegisterHotKeys(mainWindow, chosen, report)) {
    // The keys in force stay as they were until every key chosen can be had.
    UnregisterHotKeys(mainWindow);
    char ignored[kHotKeyReportSize];
    RegisterHotKeys(mainWindow, options.hotKeys, ignored);
    char text[kHotKeyReportSize + 200];
    std::snprintf(text, sizeof text,
                  "Windows refused these keys, because another program holds them:\r\n\r\n%s"
                  "\r\n\r\nChoose other keys, or clear them with Backspace.",
                  report);
    ShowMessageBox(text, "Hot Keys", MB_ICONEXCLAMATION);
    return TRUE;
  }
  for (int command = 0; command < kHotKeyCommandCount; ++command) {
    options.hotKeys[command] = chosen[command];
  }
  SaveOptions();
  LoadOptions();
  EndDialog(dialog, 0);
  return TRUE;
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
  switch (wParam) {
    case IDOK: return OnOk(dialog);
    case IDCANCEL: EndDialog(dialog, 0); return TRUE;
    default: return FALSE;
  }
}

INT_PTR CALLBACK HotKeysDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, wParam);
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

void ShowHotKeysDialog(HWND owner) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_HOT_KEYS), owner, HotKeysDialogProc, 0);
}

}  // namespace vantorel
