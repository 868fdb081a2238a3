// The end-to-end driver: starts the Windows program in the same Wine prefix and works it only
// through the window system, as a person would, plus the files it leaves in its data folder.
// Every wait polls with a timeout and fails with a message that names what it waited for.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace vantorel::e2e {

constexpr DWORD kTimeoutMs = 5000;

// The main window's buttons and commands.
constexpr int kStart = 3002;
constexpr int kStop = 3004;
constexpr int kReset = 3005;
constexpr int kPause = 3006;
constexpr int kCmdFont = 2004;
constexpr int kCmdTextColor = 2005;
constexpr int kCmdBackgroundColor = 2006;
constexpr int kCmdAbout = 2009;

// The program under test: set once from the command line or VANTOREL_EXE.
void SetProgramPath(const std::string& path);
const std::string& ProgramPath();
// Whether the program runs under an emulator (scripts/e2e.sh sets VANTOREL_E2E_EMULATED=1 for
// the 32-bit program under qemu), where a test whose length is set by the machine's speed alone
// would take far too long.
bool ProgramIsEmulated();

// Polls `done` every 10 ms until it holds or `timeoutMs` passes.
::testing::AssertionResult WaitUntil(const std::string& what, const std::function<bool()>& done,
                                     DWORD timeoutMs = kTimeoutMs);

// --- The data folder and its two files -------------------------------------------------------

std::string DataFolder();  // %APPDATA%\vantorel
std::string SettingsPath();
std::string LogPath();
std::string OptionsPath();  // vantorel.ini, beside the settings file
bool FileExists(const std::string& path);
std::string ReadBytes(const std::string& path);  // empty when missing
bool WriteBytes(const std::string& path, const std::string& bytes);
void RemoveDataFolder();
// The log split at its line feeds; a carriage return stays in its line, so comparisons show it.
std::vector<std::string> LogLines();
// "YYYY-MM-DD hh:mm:ss" at the start of a log line, as seconds since 1601; -1 when malformed.
long long LogTimestamp(const std::string& line);
// The log's lines without their timestamps; a line without a well-formed one is kept whole
// behind a marker so that a comparison shows it.
std::vector<std::string> LogEvents();
long long LocalNowSeconds();

// The eighteen lines of the settings file, with the program's defaults.
struct SettingsFile {
  int showStartupScreen = 1;
  int logEnabled = 1;
  int tickEnabled = 1;
  int alarmEnabled = 1;
  int buttonsLeft = 430;
  int buttonsTop = 10;
  int displayTop = 100;
  int limitHours = 0;
  int limitMinutes = 0;
  int limitSeconds = 0;
  int textColor = 0;
  int backgroundColor = 0xFFFFFF;
  int fontHeight = 320;
  int fontWeight = 700;
  int fontItalic = 0;
  std::string fontFace = "Arial";
  std::string alarmWavPath = "No file selected";
  std::string tickWavPath = "No file selected";

  std::string Text() const;
};

// The settings file's lines without their line feeds.
std::vector<std::string> SettingsFileLines();

// The settings for a quick start: the defaults with the startup screen off.
SettingsFile QuickSettings();
// Writes the settings file that the next start of the program reads.
void PrepareSettings(const SettingsFile& settings);

// "hh:mm:ss" as the display shows a count of seconds.
std::string CountText(unsigned seconds);

// --- Windows of any process --------------------------------------------------------------------

// SendMessageTimeoutA, so that a program stuck in a modal loop cannot hang the driver; -1 when
// the program did not answer in time.
LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
std::string TextOf(HWND window);  // WM_GETTEXT, which works across processes for edits too
bool SetTextOf(HWND window, const std::string& text);  // WM_SETTEXT, as typing would leave it
std::string ClassOf(HWND window);
RECT ClientRectOnScreen(HWND window);
RECT RectInClient(HWND child, HWND parent);  // the child's window rectangle in parent's client
std::vector<int> ChildButtonIds(HWND dialog);
// The first window among all descendants of `parent` with this id and class.
HWND FindControl(HWND parent, int id, const std::string& className);
// The thread's keyboard focus, from GetGUIThreadInfo; null when it has none.
HWND FocusedWindow(DWORD thread);
// A key pressed and released, posted to `window` as the input queue would post it; a modal
// dialog's loop then treats it as the dialog manager does (Escape, Enter).
void PostKey(HWND window, UINT virtualKey);
// The lines of a list box, read with the wide messages (the ANSI ones come back in UTF-16
// across processes).
std::vector<std::string> ListBoxLines(HWND list);
// One line of a list box, the same way; "<no answer>" when the program did not answer.
std::string ListBoxLine(HWND list, WPARAM index);
// LB_GETCOUNT; -1 when the program did not answer.
long ListBoxCount(HWND list);
// Visible top-level windows of this class, of any process.
std::vector<HWND> WindowsOfClass(const std::string& className);
// Ends the process that owns `window` and waits for it; for helpers the program started.
void EndProcessOf(HWND window);
// The desktop work area, which the program reads at start.
RECT DesktopWorkArea();
std::string MessageBoxText(HWND box);  // its text: the static with id 0xFFFF
bool IsTopmost(HWND window);           // system-modal message boxes stay on top
// A left click at a point of the screen through the system's input queue, which gives it to the
// window it finds under that point, as a person's click.
::testing::AssertionResult ClickAt(POINT screenPoint);
// Clicks a dialog's button by posting its notification, then waits for the dialog to go away.
::testing::AssertionResult Answer(HWND dialog, int buttonId);
::testing::AssertionResult WaitGone(HWND window);

enum class BoxIcon { kNone, kHand, kQuestion, kExclamation, kInformation };
const char* IconName(BoxIcon icon);
// Which standard icon a message box shows, by comparing its pixels with the standard icons.
BoxIcon MessageBoxIcon(HWND box);
// A message box as a person meets it, for one comparison:
//   "caption | text | icon | buttons | owner", then ", system-modal" when it stays on top;
// for example "Error! | Unable to open the program's help file | hand | OK | no owner".
std::string DescribeMessageBox(HWND box);

// --- Dialog templates -----------------------------------------------------------------------

// A rectangle given in the dialog units of the program's dialog template `templateId`
// (x, y, width, height), in pixels of that dialog's client area: MapDialogRect on a hidden copy
// of the template made in the driver, because MapDialogRect does not work across processes.
// Left and top, width and height are mapped separately, as the dialog manager places controls.
RECT DialogUnitsToPixels(int templateId, int x, int y, int width, int height);

// A control of a live dialog as the dialog manager built it.
struct LiveControl {
  int id = 0;  // the low word of the control id, as a template stores it
  std::string className;
  std::string text;
  DWORD style = 0;  // with WS_BORDER put back where the dialog manager made it a client edge
  RECT rect = {};   // in the dialog's client area, pixels
};
// The direct children of a dialog in creation order, which is the template's order.
std::vector<LiveControl> LiveControls(HWND dialog);

// Types `path` into a file-open dialog's name box and confirms it, then waits for the dialog
// to close.
::testing::AssertionResult ChooseInFileDialog(HWND chooser, const std::string& path);
// Opens `folder` in a file-open dialog, as a person browsing to it; the dialog stays open.
::testing::AssertionResult BrowseInFileDialog(HWND chooser, const std::string& folder);

// --- Screen pixels ----------------------------------------------------------------------------

class ScreenShot {
 public:
  // The whole virtual screen, now: every monitor. Points and areas below are in screen
  // coordinates, which are negative on a monitor left of or above the primary.
  ScreenShot();
  // What `draw` puts on a blank canvas of that size, at 0,0.
  ScreenShot(int width, int height, const std::function<void(HDC, int, int)>& draw);
  COLORREF At(int x, int y) const;
  int width() const { return width_; }
  int height() const { return height_; }
  int Count(const RECT& area, COLORREF colour) const;
  // Rows of `area` holding a pixel other than `background`: first and last, -1 when none.
  std::pair<int, int> InkRows(const RECT& area, COLORREF background) const;
  std::pair<int, int> InkColumns(const RECT& area, COLORREF background) const;
  // Separate runs of columns with ink: one for each character of a count, whose characters
  // stand apart.
  int InkRuns(const RECT& area, COLORREF background) const;
  SIZE InkSize(const RECT& area, COLORREF background) const;  // 0x0 when there is none
  bool SaveBmp(const std::string& path) const;

 private:
  int left_ = 0;  // the screen point of the first pixel
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::vector<DWORD> pixels_;  // top-down 0x00RRGGBB
};

// --- The screen saver ---------------------------------------------------------------------------
// Wine records the last switch in the registry, and a process asking whether the screen saver is
// on gets that record when there is one, else the X display's own state. A switch also goes to
// the display, but only when that process next talks to the display: a program killed while it
// holds the screen saver off can leave the display's screen saver off.

std::string WineScreenSaveRecord();  // "" when there is none
void ClearWineScreenSaveRecord();
// Switches the display's screen saver and clears the record, so a program starting next finds
// the screen saver in this state.
void SwitchDisplayScreenSaver(bool on);

// --- Files of the driver's own -----------------------------------------------------------------

std::string TempPath(const std::string& name);      // in the temp folder of the prefix
std::string FolderOf(const std::string& path);      // without the last name and its backslash
std::string WriteTestWav(const std::string& name);  // a short WAV file; returns its path

// --- Folders named in any script -----------------------------------------------------------------
// The driver has UTF-8 as its ANSI code page, as the program has, so its texts and paths are the
// same UTF-8 bytes that the program hands to the system.

// A folder name that mixes the Latin, Chinese and Greek scripts.
constexpr char kManyScripts[] = "Zoë 张伟 Ελένη";

// Creates `folder` and any missing folders above it; true when it exists afterwards.
bool CreateFolders(const std::string& folder);
// Deletes `folder` with everything in it.
void RemoveTree(const std::string& folder);

// Moves the current user's roaming application-data folder (the shell folder AppData, which
// holds the program's data folder) to `folder`, created here, for as long as it lives; then
// puts the registry value back as it was, also after a failed test.
class MovedRoamingFolder {
 public:
  explicit MovedRoamingFolder(const std::string& folder);
  MovedRoamingFolder(const MovedRoamingFolder&) = delete;
  MovedRoamingFolder& operator=(const MovedRoamingFolder&) = delete;
  ~MovedRoamingFolder();
  bool moved() const { return moved_; }

 private:
  bool moved_ = false;
  bool hadValue_ = false;
  DWORD savedType_ = REG_NONE;
  std::vector<BYTE> saved_;
};

// --- The program ------------------------------------------------------------------------------

struct SoundCall {
  std::string sound;  // "#1f42" for a resource id, otherwise the name as given
  unsigned flags = 0;
};

class Program {
 public:
  Program() = default;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program();

  // Starts the program; with traceSound its PlaySound calls are recorded through Wine's trace,
  // which goes to the driver's standard error: a file named by VANTOREL_E2E_STDERR. `arguments`
  // follow the program's name on its command line.
  ::testing::AssertionResult Launch(bool traceSound = false, const std::string& arguments = "");
  // Starts another copy of the program, or the program itself, in this working directory
  // (empty: the driver's own).
  ::testing::AssertionResult LaunchFrom(const std::string& program,
                                        const std::string& workingDirectory);
  // Waits until its main window is visible with the display and the four buttons.
  ::testing::AssertionResult WaitForMainWindow(DWORD timeoutMs = kTimeoutMs);
  ::testing::AssertionResult LaunchAndWait() {
    auto launched = Launch();
    return launched ? WaitForMainWindow() : launched;
  }

  bool Running() const;
  DWORD pid() const { return pid_; }
  DWORD thread() const { return threadId_; }
  HANDLE process() const { return process_; }
  HWND window() const { return window_; }
  HWND display() const { return display_; }
  HWND Button(int id) const { return GetDlgItem(window_, id); }

  std::string Caption() const { return TextOf(window_); }
  std::string DisplayText() const { return TextOf(display_); }
  // "Start+ Pause- Stop- Reset-": + enabled, - disabled.
  std::string ButtonStates() const;

  // Waits until every message posted to the program so far has been handled.
  ::testing::AssertionResult Sync();
  // A click on an enabled button; a disabled one cannot be clicked, so that fails.
  ::testing::AssertionResult Click(int buttonId);
  void Command(int id) const;
  void PostKey(UINT virtualKey) const { e2e::PostKey(window_, virtualKey); }
  // A key, with a modifier held (VK_MENU, VK_SHIFT) or none (0), through the input queue to
  // the program's window in the foreground: the only way the program sees a modifier held.
  // Input comes after posted messages, so Sync() does not wait for it; wait for its outcome.
  ::testing::AssertionResult PressKey(UINT virtualKey, UINT modifier = 0) const;
  ::testing::AssertionResult PressAltKey(UINT virtualKey) const {
    return PressKey(virtualKey, VK_MENU);
  }
  // Posts timer notifications, in batches the message queue can hold, and waits until the
  // program has handled them.
  ::testing::AssertionResult PostTicks(unsigned count);
  // The count the display shows, in seconds.
  ::testing::AssertionResult ShownCount(unsigned* count) const;
  // Posted notifications until the display shows `count` or more: in rounds while it is far from
  // it, leaving room for the seconds of the program's own timer, then one at a time. That timer
  // may add a second between two of them, so the count can pass `count` by one.
  ::testing::AssertionResult TickToAtLeast(unsigned count);
  // Counts to a running count's limit: posted notifications up to a second before it, then the
  // program's own timer for the last second (up to a second's wait), so that no posted
  // notification can arrive after the count stopped.
  ::testing::AssertionResult TickToLimit(unsigned limit);

  // A visible top-level "#32770" window of this process with this caption.
  HWND FindDialog(const std::string& caption) const;
  HWND WaitForDialog(const std::string& caption, DWORD timeoutMs = kTimeoutMs) const;
  std::vector<HWND> Dialogs() const;  // every visible "#32770" of the process

  ::testing::AssertionResult WaitForExit(DWORD* exitCode, DWORD timeoutMs = kTimeoutMs);
  ::testing::AssertionResult Close(DWORD* exitCode);  // WM_CLOSE, then the exit
  void Kill();

  // The PlaySound calls in the trace (only with traceSound), read once the process has ended.
  std::vector<SoundCall> SoundCalls() const;
  // Live GDI objects of the process, read from the handle table Wine keeps in its memory.
  int GdiObjectCount() const;
  // The process's working set in bytes; 0 when it cannot be read.
  SIZE_T WorkingSet() const;

 private:
  ::testing::AssertionResult Start(const std::string& program, const std::string& folder,
                                   bool traceSound, const std::string& arguments = "");
  // Posts a numbered mark behind the messages posted so far; WaitForMark waits until the program
  // has handled it.
  LRESULT PostMark();
  ::testing::AssertionResult WaitForMark(LRESULT mark, DWORD timeoutMs = kTimeoutMs);
  void Release();

  HANDLE process_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD pid_ = 0;
  DWORD threadId_ = 0;
  HWND window_ = nullptr;
  HWND display_ = nullptr;
  unsigned syncMark_ = 0;
  bool traced_ = false;
  std::size_t traceStart_ = 0;
};

// Each test starts with no copy running and no data folder.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  Program program_;
};

// Starts `program` on quick settings with a limit of an hour and presses Start.
::testing::AssertionResult StartCounting(Program& program);
// Another start with `arguments`, handed to the running copy, that must end by itself with code 0,
// showing nothing.
::testing::AssertionResult HandOver(const std::string& arguments);

// --- Monitors ---------------------------------------------------------------------------------
// Points and rectangles of the virtual screen: a monitor left of or above the primary lies at
// negative coordinates.

struct Monitor {
  HMONITOR handle = nullptr;
  std::string device;  // "\\.\DISPLAY1": the name its display settings go by
  RECT whole = {};     // rcMonitor
  RECT work = {};      // rcWork: without the taskbar
  bool primary = false;
};
std::vector<Monitor> Monitors();  // as EnumDisplayMonitors lists them
// The monitor the system names for a window: the one it mostly lies on, else the nearest.
Monitor MonitorOf(HWND window);
Monitor NearestMonitor(const RECT& rect);
std::string RectText(const RECT& rect);  // "(left,top)-(right,bottom)"

// Mouse input through the system's input queue, at points of the virtual screen.
struct MouseEvent {
  POINT at = {};
  DWORD flags = 0;  // MOUSEEVENTF_LEFTDOWN... (the move to `at` is always there)
};
::testing::AssertionResult SendMouse(const std::vector<MouseEvent>& events, DWORD pauseMs = 0);
::testing::AssertionResult DoubleClickAt(POINT screenPoint);
// The left button pressed at `from`, moved in steps to `to` and released there, as a hand drags
// a window by its caption.
::testing::AssertionResult DragMouse(POINT from, POINT to);

// Switches a monitor to another resolution, as the display settings would, from this process:
// every window gets WM_DISPLAYCHANGE. Returns what ChangeDisplaySettingsExA returned.
LONG ChangeDisplayMode(const std::string& device, int width, int height);
SIZE DisplayMode(const std::string& device);  // the resolution now; 0x0 when unknown

}  // namespace vantorel::e2e
