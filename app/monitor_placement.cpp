#include "app/monitor_placement.h"

#include <cstddef>
#include <cstdint>

#include "app/app.h"
#include "app/appearance.h"
#include "app/main_window.h"
#include "app/window_state.h"
#include "core/screen_placement.h"

namespace vantorel {

namespace {

// The frame of the normal window; in full screen a bare popup takes its place.
constexpr DWORD kFrameStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

void SetFrameStyle(HWND window, DWORD remove, DWORD add) {
  const auto style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
  SetWindowLongA(window, GWL_STYLE, static_cast<LONG>((style & ~remove) | add));
}

WindowFit windowFit;
bool fullScreen = false;
// The menu bar while full screen has taken it off the window; a process that ends in full
// screen leaves it to the system.
HMENU menuAway = nullptr;
// While full screen changes the frame and the menu bar, which move the window too: the fit
// that follows is the only one.
bool changingFrame = false;

ScreenRect ToScreenRect(const RECT& rect) {
  return {rect.left, rect.top, rect.right, rect.bottom};
}

MonitorRects ReadMonitor(HMONITOR monitor) {
  MONITORINFO info = {};
  info.cbSize = sizeof info;
  MonitorRects rects;
  if (GetMonitorInfoA(monitor, &info)) {
    rects.monitor = ToScreenRect(info.rcMonitor);
    rects.work = ToScreenRect(info.rcWork);
    rects.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
  }
  return rects;
}

// The monitor the system names for the window: the one it mostly lies on, else the nearest,
// so a window left where a monitor was removed lands on one that remains.
HMONITOR MonitorOf(HWND window) {
  return MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
}

ScreenRect AreaOn(HMONITOR monitor) {
  return CoveredArea(ReadMonitor(monitor), fullScreen);
}

std::uintptr_t Id(HMONITOR monitor) {
  return reinterpret_cast<std::uintptr_t>(monitor);
}

// The monitor the window lies on, 0 when none: one left off every monitor fits anew, also on
// the monitor it came from.
std::uintptr_t LyingOn(HWND window) {
  return Id(MonitorFromWindow(window, MONITOR_DEFAULTTONULL));
}

// The window over the area it covers on `monitor`, its controls and digits fitted to it.
// Recorded first, so the move this makes is not taken for another one.
void FitTo(HWND window, HMONITOR monitor) {
  const ScreenRect area = AreaOn(monitor);
  windowFit.Fitted(Id(monitor), area);
  workArea = {area.left, area.top, area.right, area.bottom};
  SetWindowPos(window, nullptr, area.left, area.top, area.Width(), area.Height(),
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  MoveControls();
  InstallDisplayFont(controls.display);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  // A new frame or monitor may have put another topmost window over it; and the next start
  // comes back here.
  ApplyOnTop(window);
  RememberPlace(window);
}

struct Monitors {
  HMONITOR handles[kMaxMonitors];
  MonitorRects rects[kMaxMonitors];
  std::size_t count = 0;
};

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  auto* monitors = reinterpret_cast<Monitors*>(list);
  monitors->handles[monitors->count] = monitor;
  monitors->rects[monitors->count] = ReadMonitor(monitor);
  // No more than there is room for: the enumeration ends with the last.
  return ++monitors->count < kMaxMonitors ? TRUE : FALSE;
}

Monitors AllMonitors() {
  Monitors monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

}  // namespace

void TakeStartArea() {
  const HMONITOR primary = MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
  const ScreenRect area = AreaOn(primary);
  windowFit.Fitted(Id(primary), area);
  workArea = {area.left, area.top, area.right, area.bottom};
}

void OnEnterSizeMove() {
  windowFit.MoveLoopStarted();
}

void OnExitSizeMove(HWND window) {
  const HMONITOR monitor = MonitorOf(window);
  if (windowFit.MoveLoopEnded(LyingOn(window), AreaOn(monitor))) FitTo(window, monitor);
}

void OnWindowPosChanged(HWND window) {
  // Each step of a drag lands here too; only its end counts.
  if (windowFit.inMoveLoop() || changingFrame) return;
  const bool minimised = IsIconic(window) != FALSE;
  const HMONITOR monitor = MonitorOf(window);
  if (windowFit.Moved(minimised, LyingOn(window), minimised ? ScreenRect{} : AreaOn(monitor))) {
    FitTo(window, monitor);
  }
}

void OnDisplaysChanged(HWND window) {
  const bool minimised = IsIconic(window) != FALSE;
  const HMONITOR monitor = MonitorOf(window);
  if (windowFit.DisplaysChanged(minimised, LyingOn(window),
                                minimised ? ScreenRect{} : AreaOn(monitor))) {
    FitTo(window, monitor);
  }
}

bool IsFullScreen() {
  return fullScreen;
}

void ToggleFullScreen(HWND window) {
  if (fullScreen) {
    LeaveFullScreen(window);
    return;
  }
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  const HMONITOR monitor = MonitorOf(window);
  fullScreen = true;
  changingFrame = true;
  menuAway = GetMenu(window);
  SetMenu(window, nullptr);
  SetFrameStyle(window, kFrameStyle, WS_POPUP);
  changingFrame = false;
  FitTo(window, monitor);
}

void LeaveFullScreen(HWND window) {
  if (!fullScreen) return;
  const HMONITOR monitor = MonitorOf(window);
  fullScreen = false;
  changingFrame = true;
  SetFrameStyle(window, WS_POPUP, kFrameStyle);
  SetMenu(window, menuAway);
  menuAway = nullptr;
  changingFrame = false;
  FitTo(window, monitor);
}

unsigned MonitorCount() {
  return static_cast<unsigned>(AllMonitors().count);
}

void FitToMonitor(HWND window, HMONITOR monitor) {
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  FitTo(window, monitor);
}

bool MoveToMonitor(HWND window, unsigned number) {
  const Monitors monitors = AllMonitors();
  std::size_t order[kMaxMonitors];
  MonitorOrder(monitors.rects, monitors.count, order);
  if (number == 0 || number > monitors.count) return false;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  FitTo(window, monitors.handles[order[number - 1]]);
  return true;
}

}  // namespace vantorel
