// The Set Timer dialog: the limit as hours, minutes and seconds, applied at once on OK.
#include <cstdint>

#include "app/app.h"
#include "core/time_text.h"
#include "core/timer_engine.h"
#include "dialogs/dialogs.h"
#include "resources/resource.h"
#include "storage/settings.h"

namespace vantorel {

namespace {

// Reads one part of the limit; a value above its maximum is reported, then capped.
std::uint32_t ReadLimitPart(HWND dialog, int editId, std::uint32_t maximum, const char* text,
                            const char* caption) {
  std::uint32_t value = GetDlgItemInt(dialog, editId, nullptr, FALSE);
  if (value > maximum) {
    MessageBoxA(nullptr, text, caption, MB_ICONEXCLAMATION);
    value = maximum;
  }
  return value;
}

INT_PTR OnInitDialog(HWND dialog) {
  SetDlgItemInt(dialog, EDIT_HOURS, settings.limitHours, FALSE);
  SetDlgItemInt(dialog, EDIT_MINUTES, settings.limitMinutes, FALSE);
  SetDlgItemInt(dialog, EDIT_SECONDS, settings.limitSeconds, FALSE);
  return TRUE;  // focus on the first tab stop, OK
}

INT_PTR OnOk(HWND dialog) {
  // Each part is read, and corrected with its message, before the next one.
  const std::uint32_t hours =
      ReadLimitPart(dialog, EDIT_HOURS, 99, "Maximum value is 99 hours", "Maximum Hours Value");
  const std::uint32_t minutes = ReadLimitPart(
      dialog, EDIT_MINUTES, 59, "Maximum value is 59 minutes!", "Maximum Minutes Value");
  const std::uint32_t seconds = ReadLimitPart(
      dialog, EDIT_SECONDS, 59, "Maximum value is 59 seconds!", "Maximum Seconds Value");
  SetTimeLimit(hours, minutes, seconds);
  EndDialog(dialog, 0);
  return TRUE;
}

// Only the plain OK click (or Enter) counts; Escape's IDCANCEL is left alone.
INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
  switch (wParam) {
    case IDOK: return OnOk(dialog);
    default: return FALSE;
  }
}

INT_PTR OnClose(HWND dialog) {
  EndDialog(dialog, 0);
  return TRUE;
}

INT_PTR CALLBACK SetTimerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, wParam);
    case WM_CLOSE: return OnClose(dialog);
    default: return FALSE;
  }
}

}  // namespace

void SetTimeLimit(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds) {
  settings.limitHours = hours;
  settings.limitMinutes = minutes;
  settings.limitSeconds = seconds;
  timerEngine.SetLimit(ToTotalSeconds(hours, minutes, seconds));
  FormatTitle(hours, minutes, seconds);
  SetWindowTextA(mainWindow, titleText);
  SaveSettings();
  LoadSettings();
}

void ShowSetTimerDialog(HWND owner) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_SET_TIMER), owner, SetTimerDialogProc, 0);
}

}  // namespace vantorel
