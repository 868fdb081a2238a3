// The View Program Log dialog: the log as a list, its folder, and starting it anew.
//
// A log of months holds hundreds of thousands of lines, and listing them takes seconds. So the
// list is filled in slices of a few milliseconds: the first before the dialog shows (a short log
// is then complete), the rest from a timer of the dialog's, with the log closed in between.
// Between two slices the modal loop handles input, paints and the main window's second timer,
// which would lose every second that the thread spent blocked; a timer, unlike a self-posted
// message, waits behind all of those.
#include "app/message_box.h"
#include "app/app.h"
#include "dialogs/dialogs.h"
#include "resources/resource.h"
#include "storage/data_folder.h"
#include "storage/program_log.h"

#include <shellapi.h>

namespace vantorel {

namespace {

// Lets the list scroll sideways over the longest line the log can hold.
constexpr WPARAM kLogListExtent = 2048;

// The timer that drives the fill; ids are per window, and this is the dialog's only timer.
constexpr UINT_PTR kFillTimerId = 1;
constexpr UINT kFillPeriodMs = USER_TIMER_MINIMUM;
// How long one slice may add lines, and how many it adds between two looks at the clock.
constexpr LONGLONG kSliceMicroseconds = 20000;
constexpr unsigned kLinesPerClockLook = 64;
// The shortest entry the program writes, line feed included: the log's size divided by it
// bounds the number of lines, for LB_INITSTORAGE.
constexpr long kShortestEntry = 34;

// The fill in progress. The dialog is modal, so there is never more than one.
struct LogFill {
  HWND list = nullptr;  // the list box, sent to directly: SendDlgItemMessageA looks it up each time
  LogLineReader log;    // not done while lines are left to add
};

LogFill fill;

LONGLONG Microseconds() {
  static LARGE_INTEGER frequency = {};
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart / frequency.QuadPart * 1000000 +
         now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

// Adds lines for up to a slice's time, with the list's redrawing off: each line added to a
// list that redraws costs a scroll bar update, and on screen a repaint. Lines below the
// visible ones need no repaint, only the scroll bar that WM_SETREDRAW TRUE brings up to date.
void AddSlice() {
  const LONGLONG start = Microseconds();
  const LRESULT firstNew = SendMessageA(fill.list, LB_GETCOUNT, 0, 0);
  SendMessageA(fill.list, WM_SETREDRAW, FALSE, 0);
  unsigned added = 0;
  for (const char* line; (line = fill.log.Next()) != nullptr;) {
    const LRESULT index = SendMessageA(fill.list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
    if (index == LB_ERR || index == LB_ERRSPACE) {
      fill.log.Stop();  // the list holds no more
      break;
    }
    if (++added % kLinesPerClockLook == 0 && Microseconds() - start >= kSliceMicroseconds) break;
  }
  SendMessageA(fill.list, WM_SETREDRAW, TRUE, 0);
  RECT client = {};
  GetClientRect(fill.list, &client);
  const LRESULT itemHeight = SendMessageA(fill.list, LB_GETITEMHEIGHT, 0, 0);
  const LRESULT top = SendMessageA(fill.list, LB_GETTOPINDEX, 0, 0);
  if (itemHeight <= 0 || firstNew <= top + client.bottom / itemHeight) {
    InvalidateRect(fill.list, nullptr, TRUE);
  }
  fill.log.Pause();
}

void StopFill(HWND dialog) {
  KillTimer(dialog, kFillTimerId);
  fill.log.Stop();
}

// Opens the log as it is now and lists its first slice; a timer adds the rest. A log that
// cannot be read is reported once and leaves the list empty.
void StartFill(HWND dialog) {
  StopFill(dialog);
  if (!fill.log.Start()) return;
  if (fill.log.size() > 0) {
    const WPARAM items = static_cast<WPARAM>(fill.log.size() / kShortestEntry + 1);
    SendMessageA(fill.list, LB_INITSTORAGE, items, static_cast<LPARAM>(fill.log.size()));
  }
  AddSlice();
  if (!fill.log.Done()) SetTimer(dialog, kFillTimerId, kFillPeriodMs, nullptr);
}

INT_PTR OnInitDialog(HWND dialog) {
  fill.list = GetDlgItem(dialog, LIST_LOG_ENTRIES);
  SendMessageA(fill.list, LB_SETHORIZONTALEXTENT, kLogListExtent, 0);
  StartFill(dialog);
  return TRUE;  // focus on the first tab stop, OK
}

INT_PTR OnTimer(HWND dialog, WPARAM timerId) {
  if (timerId != kFillTimerId) return FALSE;
  AddSlice();
  if (fill.log.Done()) StopFill(dialog);
  return TRUE;
}

INT_PTR OnBrowseLogFolder(HWND dialog) {
  ShellExecuteA(dialog, "explore", dataFolder, nullptr, nullptr, SW_SHOWNORMAL);
  return TRUE;
}

INT_PTR OnDeleteLog(HWND dialog) {
  if (ShowMessageBox("Are you sure?", "Confirm deletion of Program Log",
                     MB_OKCANCEL | MB_ICONWARNING) != IDOK) {
    return TRUE;
  }
  StopFill(dialog);
  StartNewLog();
  SendMessageA(fill.list, LB_RESETCONTENT, 0, 0);
  StartFill(dialog);
  return TRUE;
}

INT_PTR OnClose(HWND dialog) {
  StopFill(dialog);
  EndDialog(dialog, 0);
  return TRUE;
}

// The dialog also goes when its owner does, without OK or the close box.
INT_PTR OnDestroy(HWND dialog) {
  StopFill(dialog);
  fill.list = nullptr;
  return FALSE;
}

// Matched on the whole wParam, so the list's notifications and Escape's IDCANCEL match nothing.
INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
  switch (wParam) {
    case BTN_BROWSE_LOG_FOLDER: return OnBrowseLogFolder(dialog);
    case BTN_DELETE_LOG: return OnDeleteLog(dialog);
    case IDOK: return OnClose(dialog);
    default: return FALSE;
  }
}

INT_PTR CALLBACK ViewProgramLogDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_TIMER: return OnTimer(dialog, wParam);
    case WM_COMMAND: return OnCommand(dialog, wParam);
    case WM_CLOSE: return OnClose(dialog);
    case WM_DESTROY: return OnDestroy(dialog);
    default: return FALSE;
  }
}

}  // namespace

void ShowViewProgramLogDialog(HWND owner) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_VIEW_PROGRAM_LOG), owner, ViewProgramLogDialogProc,
                  0);
}

}  // namespace vantorel
