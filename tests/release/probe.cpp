// Looks at and pokes the windows of other programs for tests/release/run.sh, which runs it
// under Wine. Texts are read with the wide messages, which cross processes intact, and printed
// as UTF-8. Clicks are posted, so a program that sits in a modal loop never blocks the probe.
//
//   probe windows                       every visible top-level window, one a line:
//                                       handle, class, process image name, title (tab-separated)
//   probe wait CLASS TITLE MS           waits for a visible top-level window of that class and
//                                       title and prints its handle ("*" matches any text,
//                                       "text*" any text that starts so)
//   probe dialog TITLE CONTROL MS       waits for a visible dialog of that title that has the
//                                       control; prints its handle and its message text
//   probe text WINDOW CONTROL           prints the text of a dialog's control
//   probe post WINDOW MESSAGE WPARAM    posts a message (numbers in decimal or 0x hex)
//   probe gone WINDOW MS                waits until the window no longer exists
//   probe run COMMAND_LINE MS           runs the command line as it is (wine would quote an
//                                       argument such as "_?=C:\Program Files\x"), waits for
//                                       its end and prints its exit code
//
// Exit code 0 on success, 1 on a timeout or a missing window, 2 on wrong use.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr int kMessageTextId = 0xFFFF;  // the static control of a message box's text
constexpr DWORD kPollMs = 50;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &result[0], size,
                      nullptr, nullptr);
  return result;
}

std::wstring WindowText(HWND window) {
  wchar_t buffer[1024] = {};
  DWORD_PTR copied = 0;
  if (SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                          2000, &copied) == 0) {
    return std::wstring();
  }
  return std::wstring(buffer);
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256] = {};
  GetClassNameW(window, buffer, 256);
  return std::wstring(buffer);
}

std::wstring ProcessName(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return L"?";
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  BOOL found = QueryFullProcessImageNameW(process, 0, path, &size);
  CloseHandle(process);
  if (!found) return L"?";
  const wchar_t* name = std::wcsrchr(path, L'\\');
  return name != nullptr ? std::wstring(name + 1) : std::wstring(path);
}

// "*" matches anything, "text*" anything that starts with text, anything else itself.
bool Matches(const std::wstring& pattern, const std::wstring& value) {
  if (!pattern.empty() && pattern.back() == L'*') {
    return value.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
  }
  return pattern == value;
}

HWND ParseWindow(const wchar_t* text) {
  return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::wcstoll(text, nullptr, 0)));
}

long long ParseNumber(const wchar_t* text) {
  return std::wcstoll(text, nullptr, 0);
}

struct Search {
  std::wstring className;
  std::wstring title;
  int controlId;  // 0: any window; otherwise the window must have this control
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  if (!IsWindowVisible(window)) return TRUE;
  if (!Matches(search->className, ClassName(window))) return TRUE;
  if (!Matches(search->title, WindowText(window))) return TRUE;
  if (search->controlId != 0 && GetDlgItem(window, search->controlId) == nullptr) return TRUE;
  search->found = window;
  return FALSE;
}

HWND WaitForWindow(Search search, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    search.found = nullptr;
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) return search.found;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

void PrintLine(const std::wstring& line) {
  std::printf("%s\n", Utf8(line).c_str());
}

std::wstring Handle(HWND window) {
  wchar_t buffer[32] = {};
  std::swprintf(buffer, 32, L"0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
  return std::wstring(buffer);
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM) {
  if (IsWindowVisible(window)) {
    PrintLine(Handle(window) + L"\t" + ClassName(window) + L"\t" + ProcessName(window) + L"\t" +
              WindowText(window));
  }
  return TRUE;
}

int ListWindows() {
  EnumWindows(PrintWindow, 0);
  return 0;
}

int Wait(const wchar_t* className, const wchar_t* title, const wchar_t* timeout) {
  HWND window =
      WaitForWindow({className, title, 0, nullptr}, static_cast<DWORD>(ParseNumber(timeout)));
  if (window == nullptr) return 1;
  PrintLine(Handle(window));
  return 0;
}

int WaitForDialog(const wchar_t* title, const wchar_t* control, const wchar_t* timeout) {
  HWND window = WaitForWindow({L"#32770", title, static_cast<int>(ParseNumber(control)), nullptr},
                              static_cast<DWORD>(ParseNumber(timeout)));
  if (window == nullptr) return 1;
  HWND text = GetDlgItem(window, kMessageTextId);
  PrintLine(Handle(window) + L"\t" + (text != nullptr ? WindowText(text) : std::wstring()));
  return 0;
}

int PrintControlText(const wchar_t* window, const wchar_t* control) {
  HWND item = GetDlgItem(ParseWindow(window), static_cast<int>(ParseNumber(control)));
  if (item == nullptr) return 1;
  PrintLine(WindowText(item));
  return 0;
}

int Post(const wchar_t* window, const wchar_t* message, const wchar_t* wParam) {
  return PostMessageW(ParseWindow(window), static_cast<UINT>(ParseNumber(message)),
                      static_cast<WPARAM>(ParseNumber(wParam)), 0)
             ? 0
             : 1;
}

int WaitUntilGone(const wchar_t* window, const wchar_t* timeout) {
  HWND handle = ParseWindow(window);
  DWORD limit = static_cast<DWORD>(ParseNumber(timeout));
  DWORD start = GetTickCount();
  while (IsWindow(handle)) {
    if (GetTickCount() - start > limit) return 1;
    Sleep(kPollMs);
  }
  return 0;
}

int Run(const wchar_t* commandLine, const wchar_t* timeout) {
  std::wstring line = commandLine;  // CreateProcessW may write into it
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "probe: cannot start %s\n", Utf8(line).c_str());
    return 1;
  }
  CloseHandle(process.hThread);
  DWORD exitCode = 0;
  bool ended = WaitForSingleObject(process.hProcess, static_cast<DWORD>(ParseNumber(timeout))) ==
                   WAIT_OBJECT_0 &&
               GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  if (!ended) return 1;
  std::printf("%lu\n", exitCode);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: probe windows | wait CLASS TITLE MS | dialog TITLE CONTROL MS |"
               " text WINDOW CONTROL | post WINDOW MESSAGE WPARAM | gone WINDOW MS |"
               " run COMMAND_LINE MS\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  std::wstring command = argv[1];
  if (command == L"windows" && argc == 2) return ListWindows();
  if (command == L"wait" && argc == 5) return Wait(argv[2], argv[3], argv[4]);
  if (command == L"dialog" && argc == 5) return WaitForDialog(argv[2], argv[3], argv[4]);
  if (command == L"text" && argc == 4) return PrintControlText(argv[2], argv[3]);
  if (command == L"post" && argc == 5) return Post(argv[2], argv[3], argv[4]);
  if (command == L"gone" && argc == 4) return WaitUntilGone(argv[2], argv[3]);
  if (command == L"run" && argc == 4) return Run(argv[2], argv[3]);
  return Usage();
}
