// The help command: the compiled help file, opened through the shell.
#include <cstring>

#include "app/app.h"
#include "dialogs/dialogs.h"

#include <shellapi.h>

namespace vantorel {

namespace {

constexpr char kHelpFile[] = "vantorelhelp.chm";

bool OpenWithShell(const char* file) {
  const HINSTANCE result = ShellExecuteA(mainWindow, "open", file, "", "", SW_SHOWMAXIMIZED);
  // The shell's result is an error code when it is 32 or less.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

// The help file beside the executable; false when that path cannot be formed.
bool HelpFileBesideProgram(char (&path)[MAX_PATH]) {
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;  // failed, or the path was cut
  char* name = std::strrchr(path, '\\');
  char* slash = std::strrchr(path, '/');
  if (slash != nullptr && (name == nullptr || slash > name)) name = slash;
  if (name == nullptr) return false;
  ++name;
  const std::size_t room = static_cast<std::size_t>(path + MAX_PATH - name);
  if (sizeof kHelpFile > room) return false;
  std::memcpy(name, kHelpFile, sizeof kHelpFile);
  return true;
}

}  // namespace

void OpenHelpContents() {
  // The current directory comes first; it need not be the program's folder (a sound file
  // chosen in Preferences moves it), so the program's own folder is the fallback.
  if (OpenWithShell(kHelpFile)) return;
  char besideProgram[MAX_PATH];
  if (HelpFileBesideProgram(besideProgram) && OpenWithShell(besideProgram)) return;
  MessageBoxA(nullptr, "Unable to open the program's help file", "Error!", MB_OK | MB_ICONHAND);
}

}  // namespace vantorel
