// Process entry: one copy only, the main window over the work area, the message loop.
#include <windows.h>
#include <commctrl.h>

#include "app/app.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "app/hot_keys.h"
#include "app/monitor_placement.h"
#include "app/web_clock.h"
#include "app/win32_system.h"
#include "app/window_state.h"
#include "resources/resource.h"
#include "storage/timer_host.h"

namespace vantorel {

HINSTANCE instance = nullptr;
HICON appIcon = nullptr;
HWND mainWindow = nullptr;
RECT workArea = {};

namespace {

constexpr char kInstanceMutex[] = "VantorelInstanceIsRunning";

bool AnotherCopyRuns() {
  // Held, never released: the end of the process frees it for the next start.
  const HANDLE mutex = CreateMutexA(nullptr, TRUE, kInstanceMutex);
  const DWORD error = GetLastError();
  // A copy running as another user or elevated made a mutex this one may not open: it runs all
  // the same, and two copies would write the same files.
  if (mutex == nullptr) return error == ERROR_ACCESS_DENIED;
  return error == ERROR_ALREADY_EXISTS;
}

void HandOverToRunningCopy() {
  MessageBoxA(nullptr, "An instance of this program is already running.", "Attention",
              MB_SYSTEMMODAL | MB_ICONINFORMATION);
  const HWND runningCopy = FindWindowA(kMainWindowClass, nullptr);
  // Brought to the front, a minimised window would stay on the taskbar.
  if (runningCopy != nullptr && IsIconic(runningCopy)) ShowWindow(runningCopy, SW_RESTORE);
  SetForegroundWindow(runningCopy);
}

bool RegisterMainWindowClass() {
  appIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP_ICON));
  WNDCLASSA windowClass = {};
  windowClass.style = 0;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = appIcon;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  // Replaced by the background colour as soon as the window exists.
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN_MENU);
  windowClass.lpszClassName = kMainWindowClass;
  return RegisterClassA(&windowClass) != 0;
}

// The keys with which the dialog manager moves among the buttons (Tab, Shift+Tab) and presses
// the focused one (Enter; Space the button handles itself). Only these go to it: it would turn
// any other key-down into a character, and the arrows would lead into the display.
bool IsDialogKey(const MSG& message) {
  return message.message == WM_KEYDOWN && (message.wParam == VK_TAB || message.wParam == VK_RETURN);
}

bool IsRepeat(const MSG& message) {
  return (message.lParam & (LPARAM{1} << 30)) != 0;
}

// F11 toggles full screen and Escape leaves it, for the window and its buttons alike. Not
// accelerators: the table holds the menu's keys only.
UINT FullScreenCommand(const MSG& message) {
  if (message.message != WM_KEYDOWN || IsRepeat(message)) return 0;
  if (message.hwnd != mainWindow && GetParent(message.hwnd) != mainWindow) return 0;
  if (message.wParam == VK_F11) return CMD_FULL_SCREEN;
  if (message.wParam == VK_ESCAPE && IsFullScreen()) return CMD_LEAVE_FULL_SCREEN;
  return 0;
}

int RunMessageLoop(HACCEL accelerators) {
  MSG message = {};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(mainWindow, accelerators, &message)) continue;
    if (const UINT command = FullScreenCommand(message)) {
      SendMessageA(mainWindow, WM_COMMAND, command, 0);
      continue;
    }
    if (IsDialogKey(message)) {
      // A held Enter presses once: the focus moves on to the next button as the first press
      // disables its own.
      if (message.wParam == VK_RETURN && IsRepeat(message)) continue;
      if (IsDialogMessageA(mainWindow, &message)) {
        // Windows hides focus rectangles until the keyboard is used.
        SendMessageA(mainWindow, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        continue;
      }
    }
    // Key-down messages are not turned into characters.
    if (message.message != WM_KEYDOWN) TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

void ReportStartupFailure() {
  MessageBoxA(nullptr, "Vantorel startup failed!", nullptr, MB_ICONHAND);
}

}  // namespace

int Run(const char* arguments) {
  instance = GetModuleHandleA(nullptr);
  // A faulty command line changes nothing anywhere: it is read before anything else.
  CommandLine command;
  if (!ReadCommandLine(arguments, &command)) return kExitBadCommandLine;
  if (command.showUsage) {
    ShowCommandLineUsage();
    return kExitDone;
  }
  if (AnotherCopyRuns()) {
    if (!command.Empty()) return HandToRunningCopy(arguments);
    HandOverToRunningCopy();
    return kExitDone;
  }
  InstallSystem(&Win32System());
  InstallTimerHost(&StoredTimerHost());
  // The manifest asks for version 6 of the common controls; loading them makes it count.
  INITCOMMONCONTROLSEX commonControls = {sizeof commonControls,
                                         ICC_STANDARD_CLASSES | ICC_HOTKEY_CLASS};
  InitCommonControlsEx(&commonControls);
  if (!RegisterMainWindowClass()) {
    ReportStartupFailure();
    return 0;
  }
  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_ACCELERATORS));
  TakeStartArea();
  // The window covers the work area wherever a taskbar leaves it, so its caption and menu stay
  // in sight. It clips its children: erasing its background leaves the digits standing.
  mainWindow = CreateWindowExA(0, kMainWindowClass, "Vantorel",
                               WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                               workArea.left, workArea.top, WorkAreaWidth(), WorkAreaHeight(),
                               nullptr, nullptr, instance, nullptr);
  if (mainWindow == nullptr) {
    ReportStartupFailure();
    return 0;
  }
  ShowWindow(mainWindow, SW_SHOW);
  UpdateWindow(mainWindow);
  // Where it was left, then what the command line asks, which goes before it.
  RestorePlace(mainWindow);
  RegisterHotKeysAtStart(mainWindow);
  ReportWebClockAtStart();
  ApplyCommandLine(mainWindow, command);
  return RunMessageLoop(accelerators);
}

}  // namespace vantorel

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
  ExitProcess(static_cast<UINT>(vantorel::Run(arguments)));
}
