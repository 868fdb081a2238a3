#include "app/win32_system.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>

#include "app/on_demand.h"
#include <shlobj.h>
#include <shlwapi.h>

#include "app/app.h"
#include "app/appearance.h"
#include "app/message_box.h"
#include "app/main_window.h"
#include "app/web_clock.h"
#include "dialogs/dialogs.h"
#include "resources/resource.h"

namespace vantorel {

namespace {

constexpr UINT_PTR kSecondTimerId = 3;
constexpr char kDataFolderName[] = "vantorel";

class RealSystem final : public System {
 public:
  // The colour first: the new text repaints the display in it.
  void ShowCount(const char* text, CountColour colour) override {
    SetCountColour(colour);
    SetWindowTextA(controls.display, text);
    WebClockStateChanged();
  }

  void EnableButton(int buttonId, bool enabled) override {
    const HWND button = ButtonById(buttonId);
    // A disabled button keeps the focus but takes no keys, which then reach nothing: the focus
    // goes on to the next enabled button, or to the window when there is none.
    if (!enabled && button != nullptr && GetFocus() == button) {
      const HWND next = GetNextDlgTabItem(mainWindow, button, FALSE);
      SetFocus(next != nullptr && next != button ? next : mainWindow);
    }
    EnableWindow(button, enabled ? TRUE : FALSE);
    WebClockStateChanged();
  }

  // SetTimer on the identifier of a running timer replaces it, so there is only ever one.
  void ArmSecondTimer(std::uint32_t delayMs) override {
    secondTimer_ = SetTimer(mainWindow, kSecondTimerId, delayMs, nullptr);
  }

  void KillSecondTimer() override { KillTimer(mainWindow, secondTimer_); }

  void OpenSetTimerDialog() override { ShowSetTimerDialog(mainWindow); }

  void RestoreMainWindow() override { ShowWindow(mainWindow, SW_RESTORE); }

  void PlaySoundFile(const char* path) override { PlaySoundOnDemand(path, nullptr, SND_ASYNC); }

  void PlaySoundResource(int resourceId) override {
    PlaySoundOnDemand(MAKEINTRESOURCEA(resourceId), instance, SND_RESOURCE | SND_ASYNC);
  }

  int ShowMessage(const char* text, const char* caption, unsigned flags) override {
    return ShowMessageBox(text, caption, flags);
  }

  LocalTime Now() override {
    SYSTEMTIME time;
    GetLocalTime(&time);
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
  }

  // GetTickCount64 would spare the wrap, but Windows XP does not have it.
  std::uint32_t MonotonicMilliseconds() override { return GetTickCount(); }

  unsigned AnsiCodePage() override { return GetACP(); }

  bool FormDataFolder(char* buffer, std::size_t size) override {
    // The shell's calls write up to MAX_PATH bytes, so only such a buffer will do.
    if (size < MAX_PATH) return false;
    // A roaming folder whose path has fewer than MAX_PATH characters may still need more than
    // MAX_PATH bytes (up to three a character in UTF-8); the shell then cuts it, on Wine without
    // a terminator, which a buffer filled beforehand shows. A cut path is at least
    // MAX_PATH - 4 bytes long, too long for the name appended below, so it is refused there.
    std::memset(buffer, '?', MAX_PATH);
    if (!SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_APPDATA, FALSE)) return false;
    const void* end = std::memchr(buffer, '\0', MAX_PATH);
    if (end == nullptr) return false;
    const auto length = static_cast<std::size_t>(static_cast<const char*>(end) - buffer);
    if (length + sizeof kDataFolderName >= MAX_PATH) return false;  // with its backslash
    if (!PathAppendA(buffer, kDataFolderName)) return false;
    CreateDirectoryA(buffer, nullptr);
    return true;
  }

  bool RemoveFile(const char* path) override { return DeleteFileA(path) != FALSE; }

  bool ReplaceFileWith(const char* source, const char* target) override {
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }

 private:
  static HWND ButtonById(int buttonId) {
    switch (buttonId) {
      case BTN_START: return controls.start;
      case BTN_PAUSE: return controls.pause;
      case BTN_STOP: return controls.stop;
      case BTN_RESET: return controls.reset;
      default: return nullptr;
    }
  }

  UINT_PTR secondTimer_ = 0;
};

}  // namespace

System& Win32System() {
  static RealSystem system;
  return system;
}

}  // namespace vantorel
