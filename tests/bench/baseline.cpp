// The yardstick for the benchmark: the least a Win32 program must do to show a count the way
// the timer does. A full-work-area window with a read-only, centred edit child in the same
// 320-pixel bold Arial, a 1000 ms timer started by the same command id as the timer's Start
// button, and one SetWindowTextA per timer notification. Nothing else: no settings, no log,
// no menu, no buttons, no brushes of its own.
#include <windows.h>

#include <cstdio>

namespace vantorel {
namespace {

constexpr char kClassName[] = "VantorelBaseline";
constexpr int kStartCommand = 3002;  // the timer's Start button, so the bench drives both alike
constexpr UINT_PTR kTimerId = 3;
constexpr UINT kTimerPeriodMs = 1000;

HINSTANCE instance;
HWND display;
HFONT displayFont;
unsigned elapsedSeconds;

void ShowCount() {
  char text[16];
  std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u", elapsedSeconds / 3600,
                elapsedSeconds / 60 % 60, elapsedSeconds % 60);
  SetWindowTextA(display, text);
}

LRESULT OnCreate(HWND window) {
  RECT workArea{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  display = CreateWindowExA(0, "edit", "", WS_CHILD | WS_VISIBLE | ES_READONLY | ES_CENTER, 0, 100,
                            workArea.right, workArea.bottom, window, nullptr, instance, nullptr);
  displayFont =
      CreateFontA(320, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial");
  SendMessageA(display, WM_SETFONT, reinterpret_cast<WPARAM>(displayFont), FALSE);
  ShowCount();
  return 0;
}

LRESULT OnCommand(HWND window, WPARAM wParam) {
  if (LOWORD(wParam) == kStartCommand) {
    elapsedSeconds = 0;
    ShowCount();
    SetTimer(window, kTimerId, kTimerPeriodMs, nullptr);
  }
  return 0;
}

LRESULT OnTimer() {
  ++elapsedSeconds;
  ShowCount();
  return 0;
}

LRESULT OnDestroy(HWND window) {
  KillTimer(window, kTimerId);
  DeleteObject(displayFont);
  PostQuitMessage(0);
  return 0;
}

LRESULT CALLBACK BaselineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_COMMAND: return OnCommand(window, wParam);
    case WM_TIMER: return OnTimer();
    case WM_DESTROY: return OnDestroy(window);
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

int Run() {
  instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = BaselineWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassA(&windowClass)) {
    MessageBoxA(nullptr, "Cannot register the window class.", kClassName, MB_ICONHAND);
    return 1;
  }
  RECT workArea{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
  HWND window =
      CreateWindowExA(0, kClassName, kClassName, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                      workArea.right, workArea.bottom, nullptr, nullptr, instance, nullptr);
  if (!window) {
    MessageBoxA(nullptr, "Cannot create the window.", kClassName, MB_ICONHAND);
    return 1;
  }
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace
}  // namespace vantorel

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return vantorel::Run();
}
