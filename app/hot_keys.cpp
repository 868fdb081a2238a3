#include "app/hot_keys.h"

#include <cstdio>
#include <cstring>

#include "app/count_options.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/monitor_placement.h"
#include "resources/resource.h"

namespace vantorel {

namespace {

// Hot-key ids of this program, one a command; any from 0 to 0xBFFF will do for a program.
constexpr int kFirstHotKeyId = 1;

constexpr const char* kCommandNames[kHotKeyCommandCount] = {
    "Start/Pause", "Stop", "Reset", "Full screen", "Elapsed/remaining", "Show Vantorel"};

bool registered[kHotKeyCommandCount] = {};

// The window to the front for the one command that asks for it; the system lets the program
// that received the hot key take the foreground.
void ShowWindowInFront(HWND window) {
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
}

}  // namespace

const char* HotKeyCommandName(int command) {
  return command >= 0 && command < kHotKeyCommandCount ? kCommandNames[command] : "";
}

bool RegisterHotKeys(HWND window, const HotKey (&keys)[kHotKeyCommandCount],
                     char (&report)[kHotKeyReportSize]) {
  report[0] = '\0';
  std::size_t length = 0;
  for (int command = 0; command < kHotKeyCommandCount; ++command) {
    registered[command] = false;
    if (keys[command].Empty()) continue;
    // MOD_NOREPEAT would spare the repeats of a held key, but Windows before 7 refuses it; a
    // repeat gives the command again, as a held button key would.
    registered[command] = RegisterHotKey(window, kFirstHotKeyId + command, keys[command].modifiers,
                                         keys[command].virtualKey) != FALSE;
    if (registered[command]) continue;
    char name[kHotKeyTextSize];
    FormatHotKey(keys[command], name);
    const int written = std::snprintf(report + length, sizeof report - length, "%s%s: %s",
                                      length > 0 ? "\r\n" : "", kCommandNames[command], name);
    if (written > 0) length += static_cast<std::size_t>(written);
    if (length >= sizeof report) length = sizeof report - 1;
  }
  return report[0] == '\0';
}

void UnregisterHotKeys(HWND window) {
  for (int command = 0; command < kHotKeyCommandCount; ++command) {
    if (registered[command]) UnregisterHotKey(window, kFirstHotKeyId + command);
    registered[command] = false;
  }
}

void RegisterHotKeysAtStart(HWND window) {
  char report[kHotKeyReportSize];
  if (RegisterHotKeys(window, options.hotKeys, report)) return;
  char text[kHotKeyReportSize + 200];
  std::snprintf(text, sizeof text,
                "These hot keys are held by another program, so they do nothing for Vantorel "
                "now:\r\n\r\n%s\r\n\r\nChoose others in Settings, Hot Keys.",
                report);
  ShowMessageBox(text, "Vantorel", MB_ICONEXCLAMATION);
}

void OnHotKey(HWND window, WPARAM id) {
  const auto command = static_cast<int>(id) - kFirstHotKeyId;
  switch (command) {
    case kHotKeyStartPause:
      if (!ClickIfEnabled(window, controls.start)) ClickIfEnabled(window, controls.pause);
      return;
    case kHotKeyStop: ClickIfEnabled(window, controls.stop); return;
    case kHotKeyReset: ClickIfEnabled(window, controls.reset); return;
    case kHotKeyFullScreen: ToggleFullScreen(window); return;
    case kHotKeyView: ToggleCountView(); return;
    case kHotKeyShow: ShowWindowInFront(window); return;
    default: return;
  }
}

}  // namespace vantorel
