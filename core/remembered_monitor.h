// The monitor the window comes back to at the next start, and the text its place is kept as in
// the options file. Monitors are told apart by their device names, which survive a change of
// resolution or arrangement, and by their whole rectangles when a name has changed.
#pragma once

#include <cstddef>

#include "core/screen_placement.h"

namespace vantorel {

constexpr std::size_t kMonitorDeviceSize = 32;  // CCHDEVICENAME, terminator included

struct MonitorName {
  char device[kMonitorDeviceSize] = "";  // e.g. "\\.\DISPLAY2"
  ScreenRect rect;                       // the whole monitor (rcMonitor)
};

// Of the `count` monitors there now, the index of the one the window comes back to: the one
// with the remembered device name (ASCII letter case aside, as Windows compares them); else
// the one whose whole rectangle equals the remembered one; else -1, and the program starts on
// the primary monitor. An empty remembered name matches by rectangle only; a remembered
// rectangle without area (as the all-zero one of a place never saved) matches nothing.
int ChooseRememberedMonitor(const MonitorName& remembered, const MonitorName* names,
                            std::size_t count);

constexpr std::size_t kScreenRectTextSize = 48;

// Reads "left,top,right,bottom": decimal integers, "-" for a negative one, blanks around each,
// each within +-1,000,000, with right > left and bottom > top. False for anything else, and
// *rect is left as it was. Takes any bytes.
bool ParseScreenRect(const char* text, std::size_t length, ScreenRect* rect);

// Writes "1280,0,2304,768"; "" for a rectangle that ParseScreenRect would refuse, so that only
// readable places reach the options file.
void FormatScreenRect(const ScreenRect& rect, char (&text)[kScreenRectTextSize]);

}  // namespace vantorel
