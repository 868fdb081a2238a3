// The help command: the compiled help file, opened through the shell.
#include <cstring>

#include "app/message_box.h"
#include "app/app.h"
#include "dialogs/dialogs.h"

#include <shellapi.h>
#include <shlwapi.h>

namespace vantorel {

namespace {

constexpr char kHelpFile[] = "vantorelhelp.chm";

// The most bytes one character takes in the process's code page (UTF-8: four).
constexpr DWORD kMaxCharacterBytes = 4;

bool IsAscii(const char* text) {
  for (; *text != '\0'; ++text) {
    if (static_cast<unsigned char>(*text) >= 0x80) return false;
  }
  return true;
}

// The help viewer reads its file's path from a command line in the system's code page, not the
// program's, so a path with other characters reaches it garbled: it opens nothing while the
// shell reports success. So when the file that the shell would find for `file` (a bare name
// is searched for as the shell searches) has such a path, the shell is given its short form,
// which is ASCII where the volume keeps short names; otherwise `file` as it is.
const char* PathForViewer(const char* file, char (&shortPath)[MAX_PATH]) {
  char found[MAX_PATH];
  const DWORD foundLength = SearchPathA(nullptr, file, nullptr, MAX_PATH, found, nullptr);
  if (foundLength == 0 || foundLength + kMaxCharacterBytes >= MAX_PATH || IsAscii(found)) {
    return file;
  }
  const DWORD shortLength = GetShortPathNameA(found, shortPath, MAX_PATH);
  if (shortLength == 0 || shortLength >= MAX_PATH || !IsAscii(shortPath)) return file;
  return shortPath;
}

bool OpenWithShell(const char* file) {
  char shortPath[MAX_PATH];
  const HINSTANCE result =
      ShellExecuteA(mainWindow, "open", PathForViewer(file, shortPath), "", "", SW_SHOWMAXIMIZED);
  // The shell's result is an error code when it is 32 or less.
  return reinterpret_cast<INT_PTR>(result) > 32;
}

// The help file beside the executable; false when that path cannot be formed whole.
bool HelpFileBesideProgram(char (&path)[MAX_PATH]) {
  // Room to spare: the call may cut a path that needs more bytes than the buffer holds at a
  // character and still report success, so only a path that ends more than a character's bytes
  // before the buffer's end is known to be whole.
  char program[2 * MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, program, sizeof program);
  if (length == 0 || length + kMaxCharacterBytes >= sizeof program) return false;
  const std::size_t folderLength = static_cast<std::size_t>(PathFindFileNameA(program) - program);
  if (folderLength == 0 || folderLength + sizeof kHelpFile > MAX_PATH) return false;
  std::memcpy(path, program, folderLength);
  std::memcpy(path + folderLength, kHelpFile, sizeof kHelpFile);
  return true;
}

}  // namespace

void OpenHelpContents() {
  // The program's own folder comes first: a file of the same name in the current directory,
  // which can be any folder (a download folder the program was started from), is not the
  // program's help. The bare name, searched for by the shell, is the fallback.
  char besideProgram[MAX_PATH];
  if (HelpFileBesideProgram(besideProgram) && OpenWithShell(besideProgram)) return;
  if (OpenWithShell(kHelpFile)) return;
  ShowMessageBox("Unable to open the program's help file", "Error!", MB_OK | MB_ICONHAND);
}

}  // namespace vantorel
