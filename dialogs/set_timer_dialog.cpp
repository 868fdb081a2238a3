// The Set Timer dialog: the limit as hours, minutes and seconds, applied at once on OK.
#include <cstdint>

#include "app/message_box.h"
#include "app/app.h"
#include "core/time_text.h"
#include "core/timer_engine.h"
#include "dialogs/dialogs.h"
#include "resources/resource.h"
#include "storage/options.h"
#include "storage/settings.h"

namespace vantorel {

namespace {

// Reads one part of a time; a value above its maximum is reported, then capped.
std::uint32_t ReadTimePart(HWND dialog, int editId, std::uint32_t maximum, const char* text,
                           const char* caption) {
  std::uint32_t value = GetDlgItemInt(dialog, editId, nullptr, FALSE);
  if (value > maximum) {
    ShowMessageBox(text, caption, MB_ICONEXCLAMATION);
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
  const TimeParts limit = ReadTimeParts(dialog, EDIT_HOURS, EDIT_MINUTES, EDIT_SECONDS);
  SetTimeLimit(limit.hours, limit.minutes, limit.seconds);
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

TimeParts ReadTimeParts(HWND dialog, int hoursId, int minutesId, int secondsId) {
  // Each part is read, and corrected with its message, before the next one.
  TimeParts parts;
  parts.hours =
      ReadTimePart(dialog, hoursId, 99, "Maximum value is 99 hours", "Maximum Hours Value");
  parts.minutes =
      ReadTimePart(dialog, minutesId, 59, "Maximum value is 59 minutes!", "Maximum Minutes Value");
  parts.seconds =
      ReadTimePart(dialog, secondsId, 59, "Maximum value is 59 seconds!", "Maximum Seconds Value");
  return parts;
}

void SetTimeLimit(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds) {
  settings.limitHours = hours;
  settings.limitMinutes = minutes;
  settings.limitSeconds = seconds;
  timerEngine.SetLimit(ToTotalSeconds(hours, minutes, seconds));
  // The time remaining and its colour follow the new limit at once.
  timerEngine.Refresh();
  FormatTitle(hours, minutes, seconds);
  SetWindowTextA(mainWindow, titleText);
  SaveSettings();
  LoadSettings();
  RememberLimit(&options.recentLimits, ToTotalSeconds(hours, minutes, seconds));
  SaveOptions(Report::kNothing);
  LoadOptions();
}

void SetRecentLimit(std::size_t index) {
  if (index >= options.recentLimits.count) return;
  const std::uint32_t limit = options.recentLimits.seconds[index];
  SetTimeLimit(limit / 3600, limit / 60 % 60, limit % 60);
}

void ShowSetTimerDialog(HWND owner) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_SET_TIMER), owner, SetTimerDialogProc, 0);
}

}  // namespace vantorel
