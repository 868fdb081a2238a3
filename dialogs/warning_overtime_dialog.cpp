// The Warning and Overtime dialog: how long before the limit the digits warn, whether the count
// runs on past the limit, and the two colours; applied and saved on OK.
#include <cstdint>

#include "app/app.h"
#include "app/appearance.h"
#include "app/count_options.h"
#include "dialogs/dialogs.h"
#include "resources/resource.h"
#include "storage/options.h"

namespace vantorel {

namespace {

// The colours as picked in this dialog, with the brushes that show them, until OK.
struct Sample {
  int staticId;
  COLORREF colour;
  HBRUSH brush;
};
Sample samples[2] = {};

void ShowSample(HWND dialog, Sample* sample, COLORREF colour) {
  if (sample->brush != nullptr) DeleteObject(sample->brush);
  sample->colour = colour;
  sample->brush = CreateSolidBrush(colour);
  InvalidateRect(GetDlgItem(dialog, sample->staticId), nullptr, TRUE);
}

INT_PTR OnInitDialog(HWND dialog) {
  const std::uint32_t warning = options.warningSeconds;
  SetDlgItemInt(dialog, EDIT_WARNING_HOURS, warning / 3600, FALSE);
  SetDlgItemInt(dialog, EDIT_WARNING_MINUTES, warning / 60 % 60, FALSE);
  SetDlgItemInt(dialog, EDIT_WARNING_SECONDS, warning % 60, FALSE);
  CheckDlgButton(dialog, CHK_OVERTIME, options.overtime ? BST_CHECKED : BST_UNCHECKED);
  samples[0] = {STATIC_WARNING_SAMPLE, 0, nullptr};
  samples[1] = {STATIC_OVERTIME_SAMPLE, 0, nullptr};
  ShowSample(dialog, &samples[0], options.warningColor);
  ShowSample(dialog, &samples[1], options.overtimeColor);
  return TRUE;  // focus on the first tab stop, the hours
}

INT_PTR OnPickColour(HWND dialog, Sample* sample) {
  COLORREF colour = sample->colour;
  if (PickColour(dialog, &colour)) ShowSample(dialog, sample, colour);
  return TRUE;
}

INT_PTR OnOk(HWND dialog) {
  const TimeParts warning =
      ReadTimeParts(dialog, EDIT_WARNING_HOURS, EDIT_WARNING_MINUTES, EDIT_WARNING_SECONDS);
  options.warningSeconds = warning.hours * 3600 + warning.minutes * 60 + warning.seconds;
  options.overtime = IsDlgButtonChecked(dialog, CHK_OVERTIME) == BST_CHECKED;
  options.warningColor = samples[0].colour;
  options.overtimeColor = samples[1].colour;
  ApplyCountOptions();
  EndDialog(dialog, 0);
  return TRUE;
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
  switch (wParam) {
    case BTN_WARNING_COLOR: return OnPickColour(dialog, &samples[0]);
    case BTN_OVERTIME_COLOR: return OnPickColour(dialog, &samples[1]);
    case IDOK: return OnOk(dialog);
    case IDCANCEL: EndDialog(dialog, 0); return TRUE;
    default: return FALSE;
  }
}

INT_PTR OnColorStatic(HDC dc, HWND control) {
  for (const Sample& sample : samples) {
    if (GetDlgCtrlID(control) == sample.staticId && sample.brush != nullptr) {
      SetBkColor(dc, sample.colour);
      return reinterpret_cast<INT_PTR>(sample.brush);
    }
  }
  return FALSE;
}

INT_PTR OnDestroy() {
  for (Sample& sample : samples) {
    if (sample.brush != nullptr) DeleteObject(sample.brush);
    sample.brush = nullptr;
  }
  return TRUE;
}

INT_PTR CALLBACK WarningOvertimeDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, wParam);
    case WM_CTLCOLORSTATIC:
      return OnColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    case WM_DESTROY: return OnDestroy();
    default: return FALSE;
  }
}

}  // namespace

void ShowWarningOvertimeDialog(HWND owner) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_WARNING_OVERTIME), owner,
                  WarningOvertimeDialogProc, 0);
}

}  // namespace vantorel
