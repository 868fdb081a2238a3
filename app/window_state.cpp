#include "app/window_state.h"

#include <wtsapi32.h>

#include <cstring>

#include "app/monitor_placement.h"
#include "app/on_demand.h"
#include "core/remembered_monitor.h"
#include "storage/options.h"

namespace vantorel {

namespace {

struct NamedMonitors {
  HMONITOR handles[kMaxMonitors];
  MonitorName names[kMaxMonitors];
  std::size_t count = 0;
};

MonitorName NameOf(HMONITOR monitor, bool* primary) {
  MONITORINFOEXA info = {};
  info.cbSize = sizeof info;
  MonitorName name;
  *primary = false;
  if (!GetMonitorInfoA(monitor, &info)) return name;
  std::memcpy(name.device, info.szDevice, sizeof name.device);
  name.device[sizeof name.device - 1] = '\0';
  name.rect = {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right,
               info.rcMonitor.bottom};
  *primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
  return name;
}

BOOL CALLBACK AddNamedMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  auto* monitors = reinterpret_cast<NamedMonitors*>(list);
  if (monitors->count == kMaxMonitors) return FALSE;
  bool primary = false;
  monitors->handles[monitors->count] = monitor;
  monitors->names[monitors->count] = NameOf(monitor, &primary);
  ++monitors->count;
  return TRUE;
}

// The session library is loaded only once the window is kept on top, not at every start.
bool watchingSessions = false;

void WatchSessions(HWND window) {
  if (watchingSessions) return;
  watchingSessions =
      WTSRegisterSessionNotificationOnDemand(window, NOTIFY_FOR_THIS_SESSION) != FALSE;
}

bool SamePlace(const MonitorName& a, const MonitorName& b) {
  return std::strcmp(a.device, b.device) == 0 && a.rect == b.rect;
}

}  // namespace

void ApplyOnTop(HWND window) {
  if (!options.onTop) return;
  WatchSessions(window);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void OnSessionChange(HWND window, WPARAM change) {
  if (change == WTS_SESSION_UNLOCK || change == WTS_CONSOLE_CONNECT ||
      change == WTS_REMOTE_CONNECT) {
    ApplyOnTop(window);
  }
}

void StopWatchingSessions(HWND window) {
  if (watchingSessions) WTSUnRegisterSessionNotificationOnDemand(window);
  watchingSessions = false;
}

void SetOnTop(HWND window, bool on) {
  options.onTop = on;
  SaveOptions();
  LoadOptions();
  // What the reload left: a failed save keeps the window as the file has it.
  if (options.onTop) WatchSessions(window);
  SetWindowPos(window, options.onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void ToggleOnTop(HWND window) {
  SetOnTop(window, !options.onTop);
}

void RestorePlace(HWND window) {
  if (options.windowMonitor.device[0] == '\0' && !options.windowFullScreen) return;
  NamedMonitors monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddNamedMonitor, reinterpret_cast<LPARAM>(&monitors));
  const int chosen = ChooseRememberedMonitor(options.windowMonitor, monitors.names, monitors.count);
  if (chosen < 0) return;
  // Read before the move, which remembers the window where it lands, not yet in full screen.
  const bool fullScreen = options.windowFullScreen;
  FitToMonitor(window, monitors.handles[static_cast<std::size_t>(chosen)]);
  if (fullScreen && !IsFullScreen()) ToggleFullScreen(window);
}

void RememberPlace(HWND window) {
  bool primary = false;
  MonitorName place = NameOf(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &primary);
  const bool fullScreen = IsFullScreen();
  // The primary's work area with the frame is where the window starts anyway: nothing to keep.
  if (primary && !fullScreen) place = MonitorName{};
  if (SamePlace(place, options.windowMonitor) && fullScreen == options.windowFullScreen) return;
  options.windowMonitor = place;
  options.windowFullScreen = fullScreen;
  SaveOptions(Report::kNothing);
}

}  // namespace vantorel
