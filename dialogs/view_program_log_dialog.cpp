// The View Program Log dialog: the log as a list, its folder, and starting it anew.
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

void AddLogLine(const char* line, void* context) {
  SendDlgItemMessageA(static_cast<HWND>(context), LIST_LOG_ENTRIES, LB_ADDSTRING, 0,
                      reinterpret_cast<LPARAM>(line));
}

// Appends the log's lines to the list; the caller empties it first where needed.
void FillLogList(HWND dialog) {
  ReadLogLines(AddLogLine, dialog);
}

INT_PTR OnInitDialog(HWND dialog) {
  SendDlgItemMessageA(dialog, LIST_LOG_ENTRIES, LB_SETHORIZONTALEXTENT, kLogListExtent, 0);
  FillLogList(dialog);
  return TRUE;  // focus on the first tab stop, OK
}

INT_PTR OnBrowseLogFolder(HWND dialog) {
  ShellExecuteA(dialog, "explore", dataFolder, nullptr, nullptr, SW_SHOWNORMAL);
  return TRUE;
}

INT_PTR OnDeleteLog(HWND dialog) {
  if (MessageBoxA(nullptr, "Are you sure?", "Confirm deletion of Program Log",
                  MB_OKCANCEL | MB_ICONWARNING) != IDOK) {
    return TRUE;
  }
  StartNewLog();
  SendDlgItemMessageA(dialog, LIST_LOG_ENTRIES, LB_RESETCONTENT, 0, 0);
  FillLogList(dialog);
  return TRUE;
}

INT_PTR OnClose(HWND dialog) {
  EndDialog(dialog, 0);
  return TRUE;
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
    case WM_COMMAND: return OnCommand(dialog, wParam);
    case WM_CLOSE: return OnClose(dialog);
    default: return FALSE;
  }
}

}  // namespace

void ShowViewProgramLogDialog(HWND owner) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_VIEW_PROGRAM_LOG), owner, ViewProgramLogDialogProc,
                  0);
}

}  // namespace vantorel
