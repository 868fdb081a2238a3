// The options that the eighteen-line settings file has no line for, in a second file beside it,
// vantorel.ini: "name=value" lines that a person can read and edit. The settings file stays as
// it is, so older copies of the program and anything else that reads it still work.
#pragma once

#include <cstdint>

#include "core/hot_key_text.h"
#include "core/recent_limits.h"
#include "core/remembered_monitor.h"
#include "core/time_text.h"
#include "storage/data_folder.h"

namespace vantorel {

// A strong amber and a strong red: each reads on the default white and on black.
constexpr std::uint32_t kDefaultWarningColor = 0x000070D0;   // COLORREF of #D07000
constexpr std::uint32_t kDefaultOvertimeColor = 0x000000E0;  // COLORREF of #E00000

// The web clock's port when none is chosen: above the well-known ports, and seldom taken.
constexpr std::uint16_t kDefaultWebPort = 8642;

// The commands a global hot key can give, in the order of their lines.
enum HotKeyCommand {
  kHotKeyStartPause,
  kHotKeyStop,
  kHotKeyReset,
  kHotKeyFullScreen,
  kHotKeyView,
  kHotKeyShow,
  kHotKeyCommandCount
};

// With every member at its default the program does what it did before these options.
struct Options {
  CountView view = CountView::kElapsed;
  std::uint32_t warningSeconds = 0;  // 0: no warning
  bool overtime = false;             // the count runs on past the limit
  std::uint32_t warningColor = kDefaultWarningColor;
  std::uint32_t overtimeColor = kDefaultOvertimeColor;
  bool onTop = false;
  // Where the window was left: the monitor (no device name: the primary's work area) and
  // whether it covered it whole.
  MonitorName windowMonitor;
  bool windowFullScreen = false;
  HotKey hotKeys[kHotKeyCommandCount];  // empty: none registered
  RecentLimits recentLimits;
  // The web clock: the count served to browsers, on this computer only (127.0.0.1) or, with
  // webNetwork, on every IPv4 interface.
  bool webClock = false;
  std::uint16_t webPort = kDefaultWebPort;  // 1-65535
  bool webNetwork = false;
  char webPin[9] = "";  // for control from a phone: empty (none), or 4 to 8 ASCII digits
};

extern Options options;
extern char optionsPath[kPathSize];  // empty when the data folder leaves no room for the name

// The file's path in the data folder, which InitSettingsPath has formed.
void InitOptionsPath();

// Fills `options` from the file. A missing file gives the defaults; a line that is malformed,
// out of range, too long or not text gives its option the default. Nothing is written.
void LoadOptions();

// Rewrites the file whole from `options`, keeping every line it does not know where it stood.
// While there is no file and every option is at its default, none is made. A failure leaves
// the old file as it was, gives false and is reported, but for what the program keeps by itself
// (the window's place, the recent limits), whose loss is not worth a message of its own.
enum class Report { kFailure, kNothing };
bool SaveOptions(Report report = Report::kFailure);

}  // namespace vantorel
