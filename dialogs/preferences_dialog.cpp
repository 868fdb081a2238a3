// The Preferences dialog: the four options, the positions of the buttons and the display,
// and the two sound files.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "app/message_box.h"
#include "app/app.h"
#include "app/main_window.h"
#include "core/screen_placement.h"
#include "dialogs/dialogs.h"
#include "resources/resource.h"
#include "storage/settings.h"

#include "app/on_demand.h"

namespace vantorel {

namespace {

// The record's size without the members later systems appended: 76 bytes on 32-bit Windows,
// the same layout with 64-bit pointers on 64-bit Windows.
constexpr DWORD kOpenFileNameVersion4Size =
    static_cast<DWORD>(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR));
#ifndef _WIN64
static_assert(kOpenFileNameVersion4Size == 76, "version-4 OPENFILENAMEA is 76 bytes");
#endif

// One entry; the literal's own terminator makes the closing pair.
constexpr char kWavFilter[] = "WAV Files\0*.wav\0";

// Room for any path the chooser gives, at up to three bytes for each of its MAX_PATH characters
// in UTF-8, so that one too long for the field arrives whole and is refused, not cut.
constexpr std::size_t kChosenSize = 3 * MAX_PATH + 1;

// Lets the user pick one existing WAV file into `path`, whose content is the initial name.
// Returns 1 when a file was chosen, 0 when the user cancelled, the chooser failed, or the
// chosen path does not fit the field: a cut path would name a different file.
// The chooser is owned by the Preferences dialog, so that the dialog cannot close under it (the
// choice would never be saved) and its closing does not enable the main window under a dialog
// still open. The current directory stays where it was: Windows keeps the folder it names open,
// and OFN_NOCHANGEDIR alone does not keep it for an open-file chooser there.
int ChooseWavFile(HWND owner, const char* filter, char (&path)[kPathSize]) {
  char currentDirectory[kChosenSize];
  const DWORD directoryLength = GetCurrentDirectoryA(sizeof currentDirectory, currentDirectory);
  const bool directoryKnown = directoryLength > 0 && directoryLength < sizeof currentDirectory;
  char chosen[kChosenSize];
  // Filled beforehand, so a chooser that cuts the path without a terminator shows it.
  std::memset(chosen, '?', sizeof chosen);
  std::memcpy(chosen, path, std::strlen(path) + 1);
  OPENFILENAMEA chooser = {};
  chooser.lStructSize = kOpenFileNameVersion4Size;
  chooser.hwndOwner = owner;
  chooser.lpstrFilter = filter;
  chooser.nFilterIndex = 1;
  chooser.lpstrFile = chosen;
  chooser.nMaxFile = sizeof chosen;
  chooser.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER |
                  OFN_LONGNAMES | OFN_NOCHANGEDIR;
  const BOOL picked = GetOpenFileNameOnDemand(&chooser);
  if (directoryKnown) SetCurrentDirectoryA(currentDirectory);
  if (picked == 0) return 0;
  const void* end = std::memchr(chosen, '\0', sizeof chosen);
  if (end == nullptr) return 0;
  const auto length = static_cast<std::size_t>(static_cast<const char*>(end) - chosen);
  if (length >= sizeof path) return 0;
  std::memcpy(path, chosen, length + 1);
  return 1;
}

// A bound below zero (a tiny work area, a display near the top) leaves only 0.
std::uint32_t PositionMaximum(std::int64_t bound) {
  return bound < 0 ? 0 : static_cast<std::uint32_t>(bound);
}

// Reads one position into `field`; a value above `maximum` is capped and then reported, so
// the field already holds the corrected value while the message shows.
void ReadPosition(HWND dialog, int editId, std::uint32_t maximum, const char* caption,
                  std::uint32_t& field) {
  field = GetDlgItemInt(dialog, editId, nullptr, FALSE);
  if (field <= maximum) return;
  field = maximum;
  char text[kPathSize];
  wsprintfA(text, "Maximum exceeded! Value set to %u", field);
  ShowMessageBox(text, caption, MB_ICONINFORMATION);
}

void SetCheck(HWND dialog, int boxId, std::int32_t flag) {
  SendDlgItemMessageA(dialog, boxId, BM_SETCHECK, flag == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::int32_t GetCheck(HWND dialog, int boxId) {
  return SendDlgItemMessageA(dialog, boxId, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

// The file an edit shows into `field`. The control keeps its text in UTF-16, so the text can
// come back longer than it went in (a byte that is no character of the code page returns as a
// replacement character); one too long for the field leaves the field as it is, not cut.
void ReadFileField(HWND dialog, int editId, char (&field)[kPathSize]) {
  char shown[kChosenSize] = "";
  const UINT length = GetDlgItemTextA(dialog, editId, shown, sizeof shown);
  if (length < sizeof field) std::memcpy(field, shown, length + 1);
}

INT_PTR OnInitDialog(HWND dialog) {
  SetCheck(dialog, CHK_STARTUP_SCREEN, settings.showStartupScreen);
  SetCheck(dialog, CHK_PROGRAM_LOG, settings.logEnabled);
  SetCheck(dialog, CHK_TICK, settings.tickEnabled);
  SetCheck(dialog, CHK_ALARM, settings.alarmEnabled);
  SetDlgItemInt(dialog, EDIT_BUTTONS_LEFT, settings.buttonsLeft, FALSE);
  SetDlgItemInt(dialog, EDIT_BUTTONS_TOP, settings.buttonsTop, FALSE);
  SetDlgItemInt(dialog, EDIT_DISPLAY_TOP, settings.displayTop, FALSE);
  SetDlgItemTextA(dialog, EDIT_ALARM_FILE, settings.alarmWavPath);
  SetDlgItemTextA(dialog, EDIT_TICK_FILE, settings.tickWavPath);
  return TRUE;  // focus on the first tab stop, OK
}

// A chosen file is in the record at once; a cancelled choice only shows "No file selected",
// which OK then stores.
INT_PTR OnChooseFile(HWND dialog, int editId, char (&path)[kPathSize]) {
  if (ChooseWavFile(dialog, kWavFilter, path) == 1) {
    SetDlgItemTextA(dialog, editId, path);
  } else {
    SetDlgItemTextA(dialog, editId, NO_FILE_SENTINEL);
  }
  return TRUE;
}

INT_PTR OnOk(HWND dialog) {
  settings.showStartupScreen = GetCheck(dialog, CHK_STARTUP_SCREEN);
  settings.logEnabled = GetCheck(dialog, CHK_PROGRAM_LOG);
  settings.tickEnabled = GetCheck(dialog, CHK_TICK);
  settings.alarmEnabled = GetCheck(dialog, CHK_ALARM);

  // The buttons' bound uses the display's top in force before this OK: the new one is read
  // after it.
  ReadPosition(dialog, EDIT_BUTTONS_LEFT, PositionMaximum(MaxButtonsLeft(WorkAreaWidth())),
               "Buttons position from left", settings.buttonsLeft);
  ReadPosition(dialog, EDIT_BUTTONS_TOP, PositionMaximum(std::int64_t{settings.displayTop} - 45),
               "Buttons position from top", settings.buttonsTop);
  ReadPosition(dialog, EDIT_DISPLAY_TOP, PositionMaximum(MaxDisplayTop(WorkAreaHeight())),
               "Timer display position from top", settings.displayTop);

  ReadFileField(dialog, EDIT_ALARM_FILE, settings.alarmWavPath);
  ReadFileField(dialog, EDIT_TICK_FILE, settings.tickWavPath);

  DeriveButtonPositions();
  MoveControls();
  SaveSettings();
  LoadSettings();
  EndDialog(dialog, 0);
  return TRUE;
}

INT_PTR OnClose(HWND dialog) {
  EndDialog(dialog, 0);
  return TRUE;
}

// Matched on the whole wParam; Escape's IDCANCEL is left alone, so the dialog stays open.
INT_PTR OnCommand(HWND dialog, WPARAM wParam) {
  switch (wParam) {
    case BTN_CHOOSE_TICK: return OnChooseFile(dialog, EDIT_TICK_FILE, settings.tickWavPath);
    case BTN_CHOOSE_ALARM: return OnChooseFile(dialog, EDIT_ALARM_FILE, settings.alarmWavPath);
    case IDOK: return OnOk(dialog);
    default: return FALSE;
  }
}

INT_PTR CALLBACK PreferencesDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND: return OnCommand(dialog, wParam);
    case WM_CLOSE: return OnClose(dialog);
    default: return FALSE;
  }
}

}  // namespace

void ShowPreferencesDialog(HWND owner) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(DLG_PREFERENCES), owner, PreferencesDialogProc, 0);
}

}  // namespace vantorel
