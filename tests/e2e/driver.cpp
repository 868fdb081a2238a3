#include "driver.h"

#include <psapi.h>
#include <shlobj.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace vantorel::e2e {

namespace {

std::string programPath;

constexpr char kMainClass[] = "Vantorel";
constexpr char kDialogClass[] = "#32770";
constexpr UINT kTimerId = 3;
// Timer notifications are posted in batches, two at most waiting in the program's queue with
// their marks: well below the 10,000 messages a queue holds.
constexpr unsigned kTickBatch = 4000;
constexpr DWORD kTickBatchTimeoutMs = 30000;  // a batch takes 1.5 s under Wine here
// Far from its goal, a count is driven in rounds of posted notifications, each leaving room for
// the seconds that the program's own timer adds while it is handled.
constexpr unsigned kTickRound = 20000;
constexpr unsigned kTickRoom = 100;
constexpr unsigned kMarks = 1000;

bool SameClass(HWND window, const char* name) {
  return _stricmp(ClassOf(window).c_str(), name) == 0;
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

std::string CaptionOf(HWND window) {
  // Top-level captions live with the window manager, so this does not wait for the program.
  char text[512] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(
      [](HWND window, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> windows;
  EnumChildWindows(
      parent,
      [](HWND window, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

long long SecondsOf(const SYSTEMTIME& time) {
  FILETIME file;
  if (!SystemTimeToFileTime(&time, &file)) return -1;
  ULARGE_INTEGER value;
  value.LowPart = file.dwLowDateTime;
  value.HighPart = file.dwHighDateTime;
  return static_cast<long long>(value.QuadPart / 10000000ULL);
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(std::max(size, 0)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, nullptr);
  return text;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string TempFolder() {
  char path[MAX_PATH] = "";
  GetTempPathA(sizeof path, path);
  return path;
}

// A path of the host system reaches Windows programs through Wine's drive Z:.
std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

std::string TracePath() {
  const char* path = std::getenv("VANTOREL_E2E_STDERR");
  return path ? WindowsPath(path) : std::string();
}

std::size_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<std::size_t>(data.nFileSizeLow);
}

// A copy of the driver's environment with Wine's debug channels set for the program.
std::string EnvironmentWithTrace() {
  std::string block;
  char* strings = GetEnvironmentStringsA();
  for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1) {
    if (_strnicmp(entry, "WINEDEBUG=", 10) == 0) continue;
    block += entry;
    block.push_back('\0');
  }
  FreeEnvironmentStringsA(strings);
  block += "WINEDEBUG=-all,+winmm";
  block.push_back('\0');
  block.push_back('\0');
  return block;
}

// Wine prints wide strings as L"..." with C escapes, and any character outside printable ASCII
// as a backslash and its four hexadecimal digits; the result is UTF-8.
std::string UnquoteWineString(const std::string& text) {
  std::string quoted = text;
  if (quoted.size() >= 3 && quoted[0] == 'L' && quoted[1] == '"' && quoted.back() == '"') {
    quoted = quoted.substr(2, quoted.size() - 3);
  }
  std::wstring plain;
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] != '\\' || i + 1 == quoted.size()) {
      plain.push_back(static_cast<wchar_t>(static_cast<unsigned char>(quoted[i])));
      continue;
    }
    const std::string next = quoted.substr(i + 1, 4);
    if (next.size() == 4 && next.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
      plain.push_back(static_cast<wchar_t>(std::stoul(next, nullptr, 16)));
      i += 4;
      continue;
    }
    ++i;
    switch (quoted[i]) {
      case 'n': plain.push_back(L'\n'); break;
      case 'r': plain.push_back(L'\r'); break;
      case 't': plain.push_back(L'\t'); break;
      default: plain.push_back(static_cast<wchar_t>(static_cast<unsigned char>(quoted[i])));
    }
  }
  return Utf8(plain);
}

int ColourDistance(DWORD rgb, COLORREF colour) {
  const int r = static_cast<int>((rgb >> 16) & 0xFF) - GetRValue(colour);
  const int g = static_cast<int>((rgb >> 8) & 0xFF) - GetGValue(colour);
  const int b = static_cast<int>(rgb & 0xFF) - GetBValue(colour);
  return std::abs(r) + std::abs(g) + std::abs(b);
}

}  // namespace

void SetProgramPath(const std::string& path) {
  programPath = WindowsPath(path);
}

const std::string& ProgramPath() {
  return programPath;
}

bool ProgramIsEmulated() {
  const char* emulated = std::getenv("VANTOREL_E2E_EMULATED");
  return emulated && std::string(emulated) == "1";
}

::testing::AssertionResult WaitUntil(const std::string& what, const std::function<bool()>& done,
                                     DWORD timeoutMs) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    if (done()) return ::testing::AssertionSuccess();
    if (GetTickCount64() - start > timeoutMs) {
      return ::testing::AssertionFailure()
             << "timed out after " << timeoutMs << " ms waiting for " << what;
    }
    Sleep(10);
  }
}

// --- Files ---------------------------------------------------------------------------------

std::string DataFolder() {
  // The wide call, so that a roaming folder too long in bytes for the program's buffer still
  // comes whole; the driver's code page is UTF-8, as the program's.
  wchar_t path[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
  return Utf8(path) + "\\vantorel";
}

std::string SettingsPath() {
  return DataFolder() + "\\vantorel.cfg";
}
std::string LogPath() {
  return DataFolder() + "\\vantorellog.txt";
}
std::string OptionsPath() {
  return DataFolder() + "\\vantorel.ini";
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  return static_cast<bool>(out);
}

void RemoveDataFolder() {
  const std::string folder = DataFolder();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA((folder + "\\" + found.cFileName).c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

namespace {

// A file's lines without their line feeds; a carriage return stays, and a last line without a
// line feed is marked, so that comparisons show both.
std::vector<std::string> LinesOf(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : bytes) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty()) lines.push_back(line + "<no line feed>");
  return lines;
}

}  // namespace

std::vector<std::string> LogLines() {
  return LinesOf(ReadBytes(LogPath()));
}

long long LogTimestamp(const std::string& line) {
  static const char kPattern[] = "dddd-dd-dd dd:dd:dd";
  if (line.size() < 19) return -1;
  for (std::size_t i = 0; i < 19; ++i) {
    const bool digit = line[i] >= '0' && line[i] <= '9';
    if (kPattern[i] == 'd' ? !digit : line[i] != kPattern[i]) return -1;
  }
  auto number = [&](std::size_t at, std::size_t length) {
    return static_cast<WORD>(std::stoi(line.substr(at, length)));
  };
  SYSTEMTIME time = {};
  time.wYear = number(0, 4);
  time.wMonth = number(5, 2);
  time.wDay = number(8, 2);
  time.wHour = number(11, 2);
  time.wMinute = number(14, 2);
  time.wSecond = number(17, 2);
  return SecondsOf(time);
}

std::vector<std::string> LogEvents() {
  std::vector<std::string> events;
  for (const std::string& line : LogLines()) {
    events.push_back(LogTimestamp(line) < 0 ? "<bad timestamp> " + line : line.substr(19));
  }
  return events;
}

long long LocalNowSeconds() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  now.wMilliseconds = 0;
  return SecondsOf(now);
}

std::string SettingsFile::Text() const {
  std::ostringstream out;
  for (int value : {showStartupScreen, logEnabled, tickEnabled, alarmEnabled, buttonsLeft,
                    buttonsTop, displayTop, limitHours, limitMinutes, limitSeconds, textColor,
                    backgroundColor, fontHeight, fontWeight, fontItalic}) {
    out << value << '\n';
  }
  out << fontFace << '\n' << alarmWavPath << '\n' << tickWavPath << '\n';
  return out.str();
}

std::vector<std::string> SettingsFileLines() {
  return LinesOf(ReadBytes(SettingsPath()));
}

SettingsFile QuickSettings() {
  SettingsFile settings;
  settings.showStartupScreen = 0;
  return settings;
}

void PrepareSettings(const SettingsFile& settings) {
  CreateDirectoryA(DataFolder().c_str(), nullptr);
  EXPECT_TRUE(WriteBytes(SettingsPath(), settings.Text())) << "cannot write " << SettingsPath();
}

std::string CountText(unsigned seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return text;
}

// --- Windows -------------------------------------------------------------------------------

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kTimeoutMs, &result)) {
    return -1;
  }
  return static_cast<LRESULT>(result);
}

std::string TextOf(HWND window) {
  char text[4096] = "";
  if (SendWithTimeout(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)) < 0) {
    return "<no answer>";
  }
  text[sizeof text - 1] = '\0';
  return text;
}

bool SetTextOf(HWND window, const std::string& text) {
  return SendWithTimeout(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) == TRUE;
}

std::string ClassOf(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

RECT ClientRectOnScreen(HWND window) {
  RECT rect = {};
  GetClientRect(window, &rect);
  MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT RectInClient(HWND child, HWND parent) {
  RECT rect = {};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::vector<int> ChildButtonIds(HWND dialog) {
  std::vector<int> ids;
  for (HWND child : ChildWindows(dialog)) {
    if (SameClass(child, "Button") && IsWindowVisible(child)) ids.push_back(GetDlgCtrlID(child));
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

HWND FindControl(HWND parent, int id, const std::string& className) {
  for (HWND child : ChildWindows(parent)) {
    if (GetDlgCtrlID(child) == id && SameClass(child, className.c_str())) return child;
  }
  return nullptr;
}

HWND FocusedWindow(DWORD thread) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

void PostKey(HWND window, UINT virtualKey) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC)) << 16;
  PostMessageA(window, WM_KEYDOWN, virtualKey, scan | 1);
  PostMessageA(window, WM_KEYUP, virtualKey, scan | 1 | (LPARAM{3} << 30));
}

std::vector<std::string> ListBoxLines(HWND list) {
  const long count = ListBoxCount(list);
  if (count < 0) return {"<no answer>"};
  std::vector<std::string> lines;
  for (WPARAM i = 0; i < static_cast<WPARAM>(count); ++i) lines.push_back(ListBoxLine(list, i));
  return lines;
}

std::string ListBoxLine(HWND list, WPARAM index) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, index, 0, SMTO_NORMAL, kTimeoutMs, &length)) {
    return "<no answer>";
  }
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(wide.data()), SMTO_NORMAL,
                      kTimeoutMs, &copied);
  wide.resize(std::min(static_cast<std::size_t>(copied), wide.size() - 1));
  return Utf8(wide);  // the program's code page, as the driver's
}

long ListBoxCount(HWND list) {
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, kTimeoutMs, &count)) return -1;
  return static_cast<long>(count);
}

std::vector<HWND> WindowsOfClass(const std::string& className) {
  std::vector<HWND> found;
  for (HWND window : TopLevelWindows()) {
    if (SameClass(window, className.c_str()) && IsWindowVisible(window)) found.push_back(window);
  }
  return found;
}

void EndProcessOf(HWND window) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, ProcessOf(window));
  if (!process) return;
  TerminateProcess(process, 255);
  WaitForSingleObject(process, kTimeoutMs);
  CloseHandle(process);
}

RECT DesktopWorkArea() {
  RECT area = {};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

::testing::AssertionResult ClickAt(POINT screenPoint) {
  return SendMouse({{screenPoint, MOUSEEVENTF_MOVE},
                    {screenPoint, MOUSEEVENTF_LEFTDOWN},
                    {screenPoint, MOUSEEVENTF_LEFTUP}});
}

std::string MessageBoxText(HWND box) {
  for (HWND child : ChildWindows(box)) {
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (SameClass(child, "Static") && (GetDlgCtrlID(child) & 0xFFFF) == 0xFFFF &&
        (style & SS_TYPEMASK) != SS_ICON) {
      return TextOf(child);
    }
  }
  return "<no text>";
}

bool IsTopmost(HWND window) {
  return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

::testing::AssertionResult WaitGone(HWND window) {
  return WaitUntil("window " + CaptionOf(window) + " to close", [&] { return !IsWindow(window); });
}

::testing::AssertionResult Answer(HWND dialog, int buttonId) {
  if (!IsWindow(dialog)) return ::testing::AssertionFailure() << "no dialog to answer";
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
  return WaitGone(dialog);
}

const char* IconName(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kHand: return "hand";
    case BoxIcon::kQuestion: return "question";
    case BoxIcon::kExclamation: return "exclamation";
    case BoxIcon::kInformation: return "information";
    case BoxIcon::kNone: break;
  }
  return "none";
}

namespace {

BoxIcon MessageBoxIconNow(HWND box) {
  HWND iconStatic = nullptr;
  for (HWND child : ChildWindows(box)) {
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (SameClass(child, "Static") && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
      iconStatic = child;
    }
  }
  if (!iconStatic) return BoxIcon::kNone;
  RECT rect;
  GetWindowRect(iconStatic, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return BoxIcon::kNone;
  const ScreenShot screen;
  const COLORREF background = screen.At(rect.left, rect.top);

  // Draw each standard icon on the same background and keep the closest.
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HBRUSH brush = CreateSolidBrush(background);
  const struct {
    BoxIcon icon;
    LPCSTR id;
  } candidates[] = {{BoxIcon::kHand, IDI_HAND},
                    {BoxIcon::kQuestion, IDI_QUESTION},
                    {BoxIcon::kExclamation, IDI_EXCLAMATION},
                    {BoxIcon::kInformation, IDI_ASTERISK}};
  BoxIcon best = BoxIcon::kNone;
  long long bestDistance = 0;
  long long blankDistance = 0;
  for (const auto& candidate : candidates) {
    const RECT all = {0, 0, width, height};
    FillRect(dc, &all, brush);
    DrawIconEx(dc, 0, 0, LoadIconA(nullptr, candidate.id), width, height, 0, nullptr, DI_NORMAL);
    GdiFlush();
    long long distance = 0;
    blankDistance = 0;
    const DWORD* drawn = static_cast<const DWORD*>(bits);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const COLORREF shown = screen.At(rect.left + x, rect.top + y);
        distance += ColourDistance(drawn[y * width + x], shown);
        blankDistance += ColourDistance((static_cast<DWORD>(GetRValue(background)) << 16) |
                                            (static_cast<DWORD>(GetGValue(background)) << 8) |
                                            GetBValue(background),
                                        shown);
      }
    }
    if (best == BoxIcon::kNone || distance < bestDistance) {
      best = candidate.icon;
      bestDistance = distance;
    }
  }
  DeleteObject(brush);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  // A static that shows nothing is no icon at all.
  return blankDistance == 0 ? BoxIcon::kNone : best;
}

}  // namespace

BoxIcon MessageBoxIcon(HWND box) {
  // A box that has just appeared may not have painted its icon yet, or only part of it, which
  // can look like another icon: the same reading twice in a row counts.
  BoxIcon icon = BoxIcon::kNone;
  BoxIcon previous = BoxIcon::kNone;
  WaitUntil("the message box's icon", [&] {
    previous = icon;
    icon = MessageBoxIconNow(box);
    return icon != BoxIcon::kNone && icon == previous;
  });
  return icon;
}

std::string DescribeMessageBox(HWND box) {
  std::string buttons;
  for (int id : ChildButtonIds(box)) {
    if (!buttons.empty()) buttons += '+';
    switch (id) {
      case IDOK: buttons += "OK"; break;
      case IDCANCEL: buttons += "Cancel"; break;
      case IDYES: buttons += "Yes"; break;
      case IDNO: buttons += "No"; break;
      default: buttons += std::to_string(id); break;
    }
  }
  std::string text = CaptionOf(box) + " | " + MessageBoxText(box) + " | " +
                     IconName(MessageBoxIcon(box)) + " | " + buttons + " | " +
                     (GetWindow(box, GW_OWNER) ? "owned" : "no owner");
  if (IsTopmost(box)) text += ", system-modal";
  return text;
}

// --- Dialog templates ---------------------------------------------------------------------

RECT DialogUnitsToPixels(int templateId, int x, int y, int width, int height) {
  RECT pixels = {-1, -1, -1, -1};
  HMODULE executable = LoadLibraryExA(programPath.c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!executable) return pixels;
  HRSRC found = FindResourceA(executable, MAKEINTRESOURCEA(templateId), RT_DIALOG);
  const void* data = found ? LockResource(LoadResource(executable, found)) : nullptr;
  if (data) {
    // An extended template: version, signature, help id, extended style, then the style.
    std::vector<char> copy(static_cast<const char*>(data),
                           static_cast<const char*>(data) + SizeofResource(executable, found));
    DWORD style = 0;
    std::memcpy(&style, copy.data() + 12, sizeof style);
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    std::memcpy(copy.data() + 12, &style, sizeof style);
    HWND hidden = CreateDialogIndirectParamA(
        GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    RECT corner = {x, y, width, height};
    if (hidden && MapDialogRect(hidden, &corner)) {
      pixels = {corner.left, corner.top, corner.left + corner.right, corner.top + corner.bottom};
    }
    if (hidden) DestroyWindow(hidden);
  }
  FreeLibrary(executable);
  return pixels;
}

std::vector<LiveControl> LiveControls(HWND dialog) {
  std::vector<LiveControl> controls;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    LiveControl control;
    control.id = GetDlgCtrlID(child) & 0xFFFF;
    control.className = ClassOf(child);
    control.text = TextOf(child);
    control.style = static_cast<DWORD>(GetWindowLongA(child, GWL_STYLE));
    // The dialog manager draws a border asked for by the template as a sunken client edge.
    if (GetWindowLongA(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) control.style |= WS_BORDER;
    control.rect = RectInClient(child, dialog);
    controls.push_back(control);
  }
  return controls;
}

namespace {

::testing::AssertionResult TypeFileName(HWND chooser, const std::string& text) {
  // The name box of the system's file-open dialog: cmb13 (1148), or edt1 (1152) in older ones.
  HWND name = FindControl(chooser, 1148, "Edit");
  if (!name) name = FindControl(chooser, 1152, "Edit");
  if (!name) return ::testing::AssertionFailure() << "the file dialog has no file name box";
  if (!SetTextOf(name, text)) {
    return ::testing::AssertionFailure() << "cannot type into the file dialog's name box";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace

::testing::AssertionResult BrowseInFileDialog(HWND chooser, const std::string& folder) {
  auto typed = TypeFileName(chooser, folder);
  if (!typed) return typed;
  // Sent, not posted: the dialog shows the folder when the call returns.
  if (SendWithTimeout(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(chooser, IDOK))) < 0) {
    return ::testing::AssertionFailure() << "the file dialog did not answer";
  }
  if (!IsWindow(chooser)) return ::testing::AssertionFailure() << "the file dialog closed";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ChooseInFileDialog(HWND chooser, const std::string& path) {
  auto typed = TypeFileName(chooser, path);
  if (!typed) return typed;
  return Answer(chooser, IDOK);
}

// --- Screen --------------------------------------------------------------------------------

ScreenShot::ScreenShot()
    : ScreenShot(GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN),
                 [](HDC canvas, int width, int height) {
                   HDC screen = GetDC(nullptr);
                   BitBlt(canvas, 0, 0, width, height, screen, GetSystemMetrics(SM_XVIRTUALSCREEN),
                          GetSystemMetrics(SM_YVIRTUALSCREEN), SRCCOPY);
                   ReleaseDC(nullptr, screen);
                 }) {
  left_ = GetSystemMetrics(SM_XVIRTUALSCREEN);
  top_ = GetSystemMetrics(SM_YVIRTUALSCREEN);
}

ScreenShot::ScreenShot(int width, int height, const std::function<void(HDC, int, int)>& draw)
    : width_(width), height_(height) {
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC screen = GetDC(nullptr);
  HDC canvas = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(canvas, bitmap);
  draw(canvas, width_, height_);
  GdiFlush();
  std::memcpy(pixels_.data(), bits, pixels_.size() * sizeof(DWORD));
  SelectObject(canvas, old);
  DeleteObject(bitmap);
  DeleteDC(canvas);
  ReleaseDC(nullptr, screen);
}

SIZE ScreenShot::InkSize(const RECT& area, COLORREF background) const {
  const auto rows = InkRows(area, background);
  const auto columns = InkColumns(area, background);
  if (rows.first < 0) return {0, 0};
  return {columns.second - columns.first + 1, rows.second - rows.first + 1};
}

COLORREF ScreenShot::At(int x, int y) const {
  x -= left_;
  y -= top_;
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  const DWORD rgb = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                            static_cast<std::size_t>(x)];
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int ScreenShot::Count(const RECT& area, COLORREF colour) const {
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) count += At(x, y) == colour ? 1 : 0;
  }
  return count;
}

namespace {

bool IsInk(COLORREF shown, COLORREF background) {
  if (shown == CLR_INVALID) return false;
  const DWORD rgb = (static_cast<DWORD>(GetRValue(background)) << 16) |
                    (static_cast<DWORD>(GetGValue(background)) << 8) | GetBValue(background);
  return ColourDistance(rgb, shown) > 96;
}

}  // namespace

std::pair<int, int> ScreenShot::InkRows(const RECT& area, COLORREF background) const {
  int first = -1;
  int last = -1;
  bool found = false;  // left of or above the primary, coordinates are negative
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (IsInk(At(x, y), background)) {
        if (!found) first = y;
        found = true;
        last = y;
        break;
      }
    }
  }
  return {first, last};
}

std::pair<int, int> ScreenShot::InkColumns(const RECT& area, COLORREF background) const {
  int first = -1;
  int last = -1;
  bool found = false;  // left of or above the primary, coordinates are negative
  for (int x = area.left; x < area.right; ++x) {
    for (int y = area.top; y < area.bottom; ++y) {
      if (IsInk(At(x, y), background)) {
        if (!found) first = x;
        found = true;
        last = x;
        break;
      }
    }
  }
  return {first, last};
}

int ScreenShot::InkRuns(const RECT& area, COLORREF background) const {
  int runs = 0;
  bool inRun = false;
  for (int x = area.left; x < area.right; ++x) {
    bool ink = false;
    for (int y = area.top; y < area.bottom && !ink; ++y) ink = IsInk(At(x, y), background);
    if (ink && !inRun) ++runs;
    inRun = ink;
  }
  return runs;
}

bool ScreenShot::SaveBmp(const std::string& path) const {
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width_;
  header.biHeight = -height_;
  header.biPlanes = 1;
  header.biBitCount = 32;
  const DWORD dataSize = static_cast<DWORD>(pixels_.size() * sizeof(DWORD));
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + dataSize;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(reinterpret_cast<const char*>(pixels_.data()), static_cast<std::streamsize>(dataSize));
  return static_cast<bool>(out);
}

// --- Registry, WAV -------------------------------------------------------------------------

namespace {

constexpr char kTemporaryDesktopKey[] =
    "Software\\Wine\\Temporary System Parameters\\Control Panel\\Desktop";

}  // namespace

std::string WineScreenSaveRecord() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kTemporaryDesktopKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return "";
  }
  char value[64] = "";
  DWORD size = sizeof value - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key, "ScreenSaveActive", nullptr, &type, reinterpret_cast<BYTE*>(value),
                       &size) != ERROR_SUCCESS) {
    value[0] = '\0';
  }
  RegCloseKey(key);
  return value;
}

void ClearWineScreenSaveRecord() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kTemporaryDesktopKey, 0, KEY_SET_VALUE, &key) ==
      ERROR_SUCCESS) {
    RegDeleteValueA(key, "ScreenSaveActive");
    RegCloseKey(key);
  }
}

void SwitchDisplayScreenSaver(bool on) {
  SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, on ? TRUE : FALSE, nullptr, 0);
  // The switch waits in the connection to the display until something asks the display a
  // question: reading the screen does.
  ScreenShot();
  ClearWineScreenSaveRecord();
}

std::string TempPath(const std::string& name) {
  return TempFolder() + name;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string WriteTestWav(const std::string& name) {
  // 0.1 s of an 8-bit, 8 kHz square wave: enough for the sound service to accept it.
  const std::string path = TempPath(name);
  std::string samples(800, '\0');
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = (i / 8) % 2 ? '\x40' : '\xC0';
  auto le32 = [](std::string& out, unsigned value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
  };
  auto le16 = [](std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value));
    out.push_back(static_cast<char>(value >> 8));
  };
  std::string wav = "RIFF";
  le32(wav, static_cast<unsigned>(36 + samples.size()));
  wav += "WAVEfmt ";
  le32(wav, 16);
  le16(wav, 1);     // PCM
  le16(wav, 1);     // mono
  le32(wav, 8000);  // samples per second
  le32(wav, 8000);  // bytes per second
  le16(wav, 1);     // block align
  le16(wav, 8);     // bits per sample
  wav += "data";
  le32(wav, static_cast<unsigned>(samples.size()));
  wav += samples;
  WriteBytes(path, wav);
  return path;
}

// --- Folders named in any script ----------------------------------------------------------

bool CreateFolders(const std::string& folder) {
  SHCreateDirectoryExW(nullptr, Wide(folder).c_str(), nullptr);
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(folder + "\\" + name);
      } else {
        DeleteFileA((folder + "\\" + name).c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

namespace {

constexpr wchar_t kUserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kRoamingValue[] = L"AppData";

}  // namespace

MovedRoamingFolder::MovedRoamingFolder(const std::string& folder) {
  if (!CreateFolders(folder)) return;
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                    &key) != ERROR_SUCCESS) {
    return;
  }
  DWORD size = 0;
  hadValue_ =
      RegQueryValueExW(key, kRoamingValue, nullptr, &savedType_, nullptr, &size) == ERROR_SUCCESS;
  if (hadValue_) {
    saved_.resize(size);
    hadValue_ = RegQueryValueExW(key, kRoamingValue, nullptr, &savedType_, saved_.data(), &size) ==
                ERROR_SUCCESS;
    saved_.resize(size);
  }
  const std::wstring value = Wide(folder);
  moved_ =
      RegSetValueExW(key, kRoamingValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  RegCloseKey(key);
}

MovedRoamingFolder::~MovedRoamingFolder() {
  if (!moved_) return;
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot put the roaming folder back";
    return;
  }
  const LSTATUS status = hadValue_
                             ? RegSetValueExW(key, kRoamingValue, 0, savedType_, saved_.data(),
                                              static_cast<DWORD>(saved_.size()))
                             : RegDeleteValueW(key, kRoamingValue);
  if (status != ERROR_SUCCESS) ADD_FAILURE() << "cannot put the roaming folder back";
  RegCloseKey(key);
}

// --- Program -------------------------------------------------------------------------------

Program::~Program() {
  Kill();
}

::testing::AssertionResult Program::Launch(bool traceSound, const std::string& arguments) {
  return Start(programPath, "", traceSound, arguments);
}

::testing::AssertionResult Program::LaunchFrom(const std::string& program,
                                               const std::string& workingDirectory) {
  return Start(program, workingDirectory, false);
}

::testing::AssertionResult Program::Start(const std::string& program, const std::string& folder,
                                          bool traceSound, const std::string& arguments) {
  Kill();
  // Wine gives a new process the unix standard error of its parent, whatever the handles in
  // STARTUPINFO say; so the program's trace lands where the driver's standard error goes.
  if (traceSound && TracePath().empty()) {
    return ::testing::AssertionFailure()
           << "the sound trace needs the driver's standard error in a file named by "
              "VANTOREL_E2E_STDERR, as scripts/e2e.sh arranges";
  }
  traceStart_ = traceSound ? FileSize(TracePath()) : 0;
  traced_ = traceSound;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string environment = traceSound ? EnvironmentWithTrace() : std::string();
  std::string commandLine = "\"" + program + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                      traceSound ? static_cast<void*>(environment.data()) : nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return ::testing::AssertionFailure()
           << "cannot start " << program << " (error " << GetLastError() << ")";
  }
  process_ = info.hProcess;
  thread_ = info.hThread;
  pid_ = info.dwProcessId;
  threadId_ = info.dwThreadId;
  window_ = nullptr;
  display_ = nullptr;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult Program::WaitForMainWindow(DWORD timeoutMs) {
  auto ready = WaitUntil(
      "the main window of the program to show with its display and buttons",
      [&] {
        if (!Running()) return true;
        for (HWND window : TopLevelWindows()) {
          if (ProcessOf(window) == pid_ && SameClass(window, kMainClass) &&
              IsWindowVisible(window)) {
            window_ = window;
            display_ = FindWindowExA(window, nullptr, "Edit", nullptr);
            return display_ && Button(kStart) && Button(kPause) && Button(kStop) && Button(kReset);
          }
        }
        return false;
      },
      timeoutMs);
  if (!Running()) return ::testing::AssertionFailure() << "the program ended before its window";
  return ready;
}

bool Program::Running() const {
  return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::string Program::ButtonStates() const {
  std::string states;
  for (auto [name, id] : {std::pair{"Start", kStart}, std::pair{"Pause", kPause},
                          std::pair{"Stop", kStop}, std::pair{"Reset", kReset}}) {
    if (!states.empty()) states += ' ';
    states += name;
    states += IsWindowEnabled(Button(id)) ? '+' : '-';
  }
  return states;
}

LRESULT Program::PostMark() {
  // A posted message to the display is handled in order with everything posted before it, and
  // the text limit it sets is visible, harmless and not touched by anything else.
  const LRESULT mark = 1000000 + static_cast<LRESULT>(++syncMark_ % kMarks);
  PostMessageA(display_, EM_SETLIMITTEXT, static_cast<WPARAM>(mark), 0);
  return mark;
}

::testing::AssertionResult Program::WaitForMark(LRESULT mark, DWORD timeoutMs) {
  // The marks count up and wrap around: one less than half the circle ahead is reached already.
  return WaitUntil(
      "the program to handle the messages posted to it",
      [&] {
        const LRESULT shown = SendWithTimeout(display_, EM_GETLIMITTEXT, 0, 0);
        return shown >= 1000000 && (shown - mark + kMarks) % kMarks < kMarks / 2;
      },
      timeoutMs);
}

::testing::AssertionResult Program::Sync() {
  if (!display_) return ::testing::AssertionFailure() << "no display to synchronise with";
  return WaitForMark(PostMark());
}

::testing::AssertionResult Program::Click(int buttonId) {
  // A person sees the outcome of what came before, then clicks.
  auto synced = Sync();
  if (!synced) return synced;
  HWND button = Button(buttonId);
  if (!IsWindowEnabled(button)) {
    return ::testing::AssertionFailure()
           << "button \"" << TextOf(button) << "\" is disabled (" << ButtonStates() << ")";
  }
  PostMessageA(window_, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  return ::testing::AssertionSuccess();
}

void Program::Command(int id) const {
  PostMessageA(window_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

::testing::AssertionResult Program::PressKey(UINT virtualKey, UINT modifier) const {
  // The program's own dialogs are in the foreground while they are open.
  const HWND foreground = GetForegroundWindow();
  DWORD foregroundProcess = 0;
  GetWindowThreadProcessId(foreground, &foregroundProcess);
  if (foregroundProcess != pid_) {
    SetForegroundWindow(window_);
    auto brought = WaitUntil("the main window to come to the foreground",
                             [&] { return GetForegroundWindow() == window_; });
    if (!brought) return brought;
  }
  INPUT keys[4] = {};
  const WORD codes[4] = {static_cast<WORD>(modifier), static_cast<WORD>(virtualKey),
                         static_cast<WORD>(virtualKey), static_cast<WORD>(modifier)};
  UINT count = 0;
  for (int i = 0; i < 4; ++i) {
    if (codes[i] == 0) continue;
    keys[count].type = INPUT_KEYBOARD;
    keys[count].ki.wVk = codes[i];
    keys[count].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    ++count;
  }
  if (SendInput(count, keys, sizeof(INPUT)) != count) {
    return ::testing::AssertionFailure() << "SendInput refused the keys";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult Program::PostTicks(unsigned count) {
  if (!display_) return ::testing::AssertionFailure() << "no display to synchronise with";
  // The program handles one batch while the next waits behind it, so it never runs out of work
  // until the last; a queue that runs dry would repaint the display each time.
  LRESULT waiting = 0;
  while (count > 0) {
    const unsigned batch = std::min(count, kTickBatch);
    for (unsigned i = 0; i < batch; ++i) {
      if (!PostMessageA(window_, WM_TIMER, kTimerId, 0)) {
        return ::testing::AssertionFailure()
               << "cannot post a timer notification (error " << GetLastError() << ")";
      }
    }
    count -= batch;
    const LRESULT mark = PostMark();
    if (waiting != 0) {
      auto handled = WaitForMark(waiting, kTickBatchTimeoutMs);
      if (!handled) return handled;
    }
    waiting = mark;
  }
  return waiting != 0 ? WaitForMark(waiting, kTickBatchTimeoutMs) : ::testing::AssertionSuccess();
}

::testing::AssertionResult Program::ShownCount(unsigned* count) const {
  const std::string shown = DisplayText();
  unsigned hours = 0;
  unsigned minutes = 0;
  unsigned seconds = 0;
  if (std::sscanf(shown.c_str(), "%u:%2u:%2u", &hours, &minutes, &seconds) != 3) {
    return ::testing::AssertionFailure() << "the display shows " << shown;
  }
  *count = hours * 3600 + minutes * 60 + seconds;
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult Program::TickToAtLeast(unsigned count) {
  unsigned shown = 0;
  for (unsigned rounds = 0; rounds <= count / kTickRound + 2; ++rounds) {
    auto read = ShownCount(&shown);
    if (!read) return read;
    if (shown + kTickRoom * 2 >= count) break;
    auto posted = PostTicks(std::min(count - shown - kTickRoom, kTickRound));
    if (!posted) return posted;
  }
  for (unsigned step = 0; step <= count + 1; ++step) {
    auto read = ShownCount(&shown);
    if (!read) return read;
    if (shown >= count) return ::testing::AssertionSuccess();
    PostMessageA(window_, WM_TIMER, kTimerId, 0);
    auto synced = Sync();
    if (!synced) return synced;
  }
  return ::testing::AssertionFailure()
         << "the display never reached " << CountText(count) << "; it shows " << DisplayText();
}

::testing::AssertionResult Program::TickToLimit(unsigned limit) {
  if (limit > 1) {
    auto before = TickToAtLeast(limit - 1);
    if (!before) return before;
  }
  const std::string wanted = CountText(limit);
  auto reached = WaitUntil(
      "the program's timer to count to " + wanted, [&] { return DisplayText() == wanted; }, 2500);
  if (!reached) return reached << "; the display shows " << DisplayText();
  return Sync();
}

std::vector<HWND> Program::Dialogs() const {
  std::vector<HWND> dialogs;
  for (HWND window : TopLevelWindows()) {
    if (ProcessOf(window) == pid_ && SameClass(window, kDialogClass) && IsWindowVisible(window)) {
      dialogs.push_back(window);
    }
  }
  return dialogs;
}

HWND Program::FindDialog(const std::string& caption) const {
  for (HWND dialog : Dialogs()) {
    if (CaptionOf(dialog) == caption) return dialog;
  }
  return nullptr;
}

HWND Program::WaitForDialog(const std::string& caption, DWORD timeoutMs) const {
  HWND found = nullptr;
  auto shown = WaitUntil(
      "a dialog \"" + caption + "\"", [&] { return (found = FindDialog(caption)) != nullptr; },
      timeoutMs);
  if (!shown) {
    std::string open;
    for (HWND dialog : Dialogs()) open += " \"" + CaptionOf(dialog) + "\"";
    ADD_FAILURE() << shown.message() << "; open dialogs:" << (open.empty() ? " none" : open);
  }
  return found;
}

::testing::AssertionResult Program::WaitForExit(DWORD* exitCode, DWORD timeoutMs) {
  if (!process_) return ::testing::AssertionFailure() << "the program was never started";
  if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
    return ::testing::AssertionFailure() << "the program did not end within " << timeoutMs << " ms";
  }
  GetExitCodeProcess(process_, exitCode);
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult Program::Close(DWORD* exitCode) {
  PostMessageA(window_, WM_CLOSE, 0, 0);
  return WaitForExit(exitCode);
}

void Program::Kill() {
  if (Running()) {
    TerminateProcess(process_, 255);
    WaitForSingleObject(process_, kTimeoutMs);
  }
  Release();
}

void Program::Release() {
  if (process_) CloseHandle(process_);
  if (thread_) CloseHandle(thread_);
  process_ = thread_ = nullptr;
}

std::vector<SoundCall> Program::SoundCalls() const {
  // Wine traces each call as
  //   MULTIMEDIA_PlaySound pszSound='<pointer or id>' hmod=... fdwSound=<hex flags>
  // and then, from the thread that plays it, SoundName=#<id> or SoundName=L"<name>".
  std::vector<SoundCall> calls;
  std::vector<std::string> names;
  if (!traced_) return calls;
  std::istringstream trace(ReadBytes(TracePath()).substr(traceStart_));
  std::string line;
  while (std::getline(trace, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t call = line.find("MULTIMEDIA_PlaySound pszSound='");
    if (call != std::string::npos) {
      SoundCall sound;
      const unsigned long long pointer = std::strtoull(
          line.c_str() + call + std::strlen("MULTIMEDIA_PlaySound pszSound='"), nullptr, 16);
      const std::size_t flags = line.find("fdwSound=");
      if (flags != std::string::npos) {
        sound.flags = static_cast<unsigned>(std::strtoul(line.c_str() + flags + 9, nullptr, 16));
      }
      if (pointer < 0x10000) {
        char id[16];
        std::snprintf(id, sizeof id, "#%llx", pointer);
        sound.sound = id;
      }
      calls.push_back(sound);
      continue;
    }
    const std::size_t name = line.find(":proc_PlaySound SoundName=");
    if (name != std::string::npos) {
      std::string text = line.substr(name + std::strlen(":proc_PlaySound SoundName="));
      const std::size_t end = text.rfind(" !");
      if (end != std::string::npos) text.resize(end);
      if (text.empty() || text[0] != '#') names.push_back(UnquoteWineString(text));
    }
  }
  std::size_t next = 0;
  for (SoundCall& call : calls) {
    if (call.sound.empty()) call.sound = next < names.size() ? names[next++] : "<untraced name>";
  }
  return calls;
}

int Program::GdiObjectCount() const {
  // Wine keeps every process's GDI handle table in that process's memory and publishes it in
  // the PEB, as Windows does; an entry in use has a non-zero type.
  struct Entry {
    ULONGLONG object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    ULONGLONG user;
  };
  static_assert(sizeof(Entry) == 24, "GDI handle table entry");
  constexpr std::size_t kEntries = 0x10000;
  // The table's address is in the 64-bit PEB, which a 32-bit program on 64-bit Windows has as
  // well (Wine's ProcessWow64Information answers another process's 32-bit PEB with a flag).
  constexpr std::size_t kTableOffsetInPeb = 0xF8;
  PROCESS_BASIC_INFORMATION basic = {};
  ULONG length = 0;
  if (NtQueryInformationProcess(process_, ProcessBasicInformation, &basic, sizeof basic, &length) !=
      0) {
    return -1;
  }
  const char* peb = reinterpret_cast<const char*>(basic.PebBaseAddress);
  void* table = nullptr;
  SIZE_T read = 0;
  if (!ReadProcessMemory(process_, peb + kTableOffsetInPeb, &table, sizeof table, &read)) {
    return -1;
  }
  if (!table) return -1;
  std::vector<Entry> entries(kEntries);
  if (!ReadProcessMemory(process_, table, entries.data(), entries.size() * sizeof(Entry), &read)) {
    return -1;
  }
  return static_cast<int>(
      std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return e.type != 0; }));
}

SIZE_T Program::WorkingSet() const {
  // Wine answers for another process from the server, which reads the process's resident size
  // from the host system.
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!process_ || !GetProcessMemoryInfo(process_, &counters, sizeof counters)) return 0;
  return counters.WorkingSetSize;
}

// --- Fixture -------------------------------------------------------------------------------

void ProgramTest::SetUp() {
  for (HWND window : TopLevelWindows()) {
    ASSERT_FALSE(SameClass(window, kMainClass))
        << "a copy of the program is already running (process " << ProcessOf(window) << ")";
  }
  RemoveDataFolder();
  ASSERT_FALSE(FileExists(DataFolder())) << "cannot clear " << DataFolder();
}

void ProgramTest::TearDown() {
  program_.Kill();
  if (HasFailure()) {
    // A long log shows only its end.
    constexpr std::size_t kLogShown = 4000;
    std::string log = ReadBytes(LogPath());
    if (log.size() > kLogShown) {
      const std::size_t cut = log.find('\n', log.size() - kLogShown);
      log = "[" + std::to_string(cut + 1) + " bytes before]\n" + log.substr(cut + 1);
    }
    std::printf("--- %s\n%s--- %s\n%s---\n", SettingsPath().c_str(),
                ReadBytes(SettingsPath()).c_str(), LogPath().c_str(), log.c_str());
  }
  RemoveDataFolder();
}

::testing::AssertionResult StartCounting(Program& program) {
  SettingsFile settings = QuickSettings();
  settings.limitHours = 1;
  PrepareSettings(settings);
  auto started = program.LaunchAndWait();
  if (started) started = program.Click(kStart);
  return started ? program.Sync() : started;
}

::testing::AssertionResult HandOver(const std::string& arguments) {
  Program second;
  auto launched = second.Launch(false, arguments);
  if (!launched) return launched;
  DWORD exitCode = 0;
  if (!second.WaitForExit(&exitCode, 10000)) {
    std::string shown;
    for (HWND box : second.Dialogs()) shown += " [" + DescribeMessageBox(box) + "]";
    return ::testing::AssertionFailure()
           << "the start with \"" << arguments << "\" did not end within 10 s; it shows"
           << (shown.empty() ? " nothing" : shown);
  }
  if (exitCode != 0) {
    return ::testing::AssertionFailure()
           << "the start with \"" << arguments << "\" ended with code " << exitCode;
  }
  return ::testing::AssertionSuccess();
}

// --- Monitors ----------------------------------------------------------------------------------

namespace {

Monitor ReadMonitor(HMONITOR handle) {
  MONITORINFOEXA info = {};
  info.cbSize = sizeof info;
  Monitor monitor;
  monitor.handle = handle;
  if (GetMonitorInfoA(handle, &info)) {
    monitor.device = info.szDevice;
    monitor.whole = info.rcMonitor;
    monitor.work = info.rcWork;
    monitor.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
  }
  return monitor;
}

}  // namespace

std::vector<Monitor> Monitors() {
  std::vector<Monitor> monitors;
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR handle, HDC, LPRECT, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<Monitor>*>(list)->push_back(ReadMonitor(handle));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

Monitor MonitorOf(HWND window) {
  return ReadMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

Monitor NearestMonitor(const RECT& rect) {
  return ReadMonitor(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST));
}

std::string RectText(const RECT& rect) {
  return "(" + std::to_string(rect.left) + "," + std::to_string(rect.top) + ")-(" +
         std::to_string(rect.right) + "," + std::to_string(rect.bottom) + ")";
}

::testing::AssertionResult SendMouse(const std::vector<MouseEvent>& events, DWORD pauseMs) {
  // Absolute positions run from 0 to 65535 across the virtual screen.
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  for (const MouseEvent& event : events) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(event.at.x - left, 65535, width - 1);
    input.mi.dy = MulDiv(event.at.y - top, 65535, height - 1);
    input.mi.dwFlags =
        event.flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
    if (SendInput(1, &input, sizeof input) != 1) {
      return ::testing::AssertionFailure()
             << "SendInput refused the mouse at " << event.at.x << "," << event.at.y;
    }
    if (pauseMs) Sleep(pauseMs);
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult DoubleClickAt(POINT screenPoint) {
  return SendMouse({{screenPoint, MOUSEEVENTF_LEFTDOWN},
                    {screenPoint, MOUSEEVENTF_LEFTUP},
                    {screenPoint, MOUSEEVENTF_LEFTDOWN},
                    {screenPoint, MOUSEEVENTF_LEFTUP}});
}

::testing::AssertionResult DragMouse(POINT from, POINT to) {
  constexpr int kSteps = 10;
  std::vector<MouseEvent> events = {{from, 0}, {from, MOUSEEVENTF_LEFTDOWN}};
  for (int step = 1; step <= kSteps; ++step) {
    events.push_back(
        {{from.x + (to.x - from.x) * step / kSteps, from.y + (to.y - from.y) * step / kSteps}, 0});
  }
  events.push_back({to, MOUSEEVENTF_LEFTUP});
  // Paced as a hand moves, so that the window's move loop sees each step.
  return SendMouse(events, 30);
}

LONG ChangeDisplayMode(const std::string& device, int width, int height) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  mode.dmPelsWidth = static_cast<DWORD>(width);
  mode.dmPelsHeight = static_cast<DWORD>(height);
  mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
  return ChangeDisplaySettingsExA(device.c_str(), &mode, nullptr, 0, nullptr);
}

SIZE DisplayMode(const std::string& device) {
  DEVMODEA mode = {};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsA(device.c_str(), ENUM_CURRENT_SETTINGS, &mode)) return {0, 0};
  return {static_cast<LONG>(mode.dmPelsWidth), static_cast<LONG>(mode.dmPelsHeight)};
}

}  // namespace vantorel::e2e
