#include "app/on_demand.h"

#include <mmsystem.h>
#include <wtsapi32.h>

#include <cstring>

namespace vantorel {

namespace {

// Loads the library from the system folder only, never from the current directory (which
// can be any folder the program was started from), and keeps it for the rest of the run.
HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + std::strlen(name) >= MAX_PATH) return nullptr;
  path[length] = '\\';
  std::strcpy(path + length + 1, name);
  return LoadLibraryA(path);
}

template <typename Function>
Function Find(const char* library, const char* name) {
  // Through void (*)(), the one function type that converts to any other without a warning.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(SystemFunction(library, name)));
}

}  // namespace

FARPROC SystemFunction(const char* library, const char* name) {
  HMODULE module = LoadSystemLibrary(library);
  return module != nullptr ? GetProcAddress(module, name) : nullptr;
}

BOOL ChooseFontOnDemand(CHOOSEFONTA* chooser) {
  static const auto function = Find<decltype(&ChooseFontA)>("comdlg32.dll", "ChooseFontA");
  return function != nullptr && function(chooser);
}

BOOL ChooseColorOnDemand(CHOOSECOLORA* chooser) {
  static const auto function = Find<decltype(&ChooseColorA)>("comdlg32.dll", "ChooseColorA");
  return function != nullptr && function(chooser);
}

BOOL GetOpenFileNameOnDemand(OPENFILENAMEA* chooser) {
  static const auto function =
      Find<decltype(&GetOpenFileNameA)>("comdlg32.dll", "GetOpenFileNameA");
  return function != nullptr && function(chooser);
}

BOOL PlaySoundOnDemand(LPCSTR sound, HMODULE module, DWORD flags) {
  static const auto function = Find<decltype(&PlaySoundA)>("winmm.dll", "PlaySoundA");
  return function != nullptr && function(sound, module, flags);
}

BOOL WTSRegisterSessionNotificationOnDemand(HWND window, DWORD flags) {
  static const auto function = Find<decltype(&WTSRegisterSessionNotification)>(
      "wtsapi32.dll", "WTSRegisterSessionNotification");
  return function != nullptr && function(window, flags);
}

BOOL WTSUnRegisterSessionNotificationOnDemand(HWND window) {
  static const auto function = Find<decltype(&WTSUnRegisterSessionNotification)>(
      "wtsapi32.dll", "WTSUnRegisterSessionNotification");
  return function != nullptr && function(window);
}

}  // namespace vantorel
