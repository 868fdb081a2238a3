// Process entry: one copy only, the main window over the work area, the message loop.
#include <windows.h>
#include <commctrl.h>

#include "app/app.h"
#include "app/main_window.h"
#include "app/win32_system.h"
#include "resources/resource.h"

namespace vantorel {

HINSTANCE instance = nullptr;
HICON appIcon = nullptr;
HWND mainWindow = nullptr;
RECT workArea = {};

namespace {

constexpr char kInstanceMutex[] = "VantorelInstanceIsRunning";

bool AnotherCopyRuns() {
  // Held, never released: the end of the process frees it for the next start.
  CreateMutexA(nullptr, TRUE, kInstanceMutex);
  return GetLastError() == ERROR_ALREADY_EXISTS;
}

void HandOverToRunningCopy() {
  MessageBoxA(nullptr, "An instance of this program is already running.", "Attention",
              MB_SYSTEMMODAL | MB_ICONINFORMATION);
  SetForegroundWindow(FindWindowA(kMainWindowClass, nullptr));
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

int RunMessageLoop(HACCEL accelerators) {
  MSG message = {};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(mainWindow, accelerators, &message)) continue;
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

int Run() {
  instance = GetModuleHandleA(nullptr);
  if (AnotherCopyRuns()) {
    HandOverToRunningCopy();
    return 0;
  }
  InstallSystem(&Win32System());
  // The manifest asks for version 6 of the common controls; loading them makes it count.
  INITCOMMONCONTROLSEX commonControls = {sizeof commonControls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&commonControls);
  if (!RegisterMainWindowClass()) {
    ReportStartupFailure();
    return 0;
  }
  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_ACCELERATORS));
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
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
  return RunMessageLoop(accelerators);
}

}  // namespace vantorel

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ExitProcess(static_cast<UINT>(vantorel::Run()));
}
