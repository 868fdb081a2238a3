#include "core/screen_placement.h"

#include <algorithm>

namespace vantorel {

namespace {

// The row of four buttons with the room the Preferences leave beside it, and the digits'
// height at the default font.
constexpr long kButtonRowRoom = 360;
constexpr long kDisplayRoom = 350;
// The buttons stand at least this far above the display.
constexpr long kButtonsAboveDisplay = 45;

long AtMost(std::uint32_t stored, long maximum) {
  return static_cast<long>(std::min<std::int64_t>(stored, maximum));
}

bool NumberedBefore(const MonitorRects& first, const MonitorRects& second) {
  if (first.primary != second.primary) return first.primary;
  if (first.monitor.left != second.monitor.left) return first.monitor.left < second.monitor.left;
  return first.monitor.top < second.monitor.top;
}

}  // namespace

long MaxButtonsLeft(long areaWidth) {
  return std::max(0L, areaWidth - kButtonRowRoom);
}

long MaxDisplayTop(long areaHeight) {
  return std::max(0L, areaHeight - kDisplayRoom);
}

ControlPositions PositionsWithin(std::uint32_t buttonsLeft, std::uint32_t buttonsTop,
                                 std::uint32_t displayTop, long areaWidth, long areaHeight) {
  ControlPositions positions;
  positions.buttonsLeft = AtMost(buttonsLeft, MaxButtonsLeft(areaWidth));
  positions.displayTop = AtMost(displayTop, MaxDisplayTop(areaHeight));
  // Only what a display at the lowest place the area allows would push out: buttons above a
  // display drawn higher than stored keep their own place.
  positions.buttonsTop =
      AtMost(buttonsTop, std::max(0L, MaxDisplayTop(areaHeight) - kButtonsAboveDisplay));
  return positions;
}

void MonitorOrder(const MonitorRects* monitors, std::size_t count, std::size_t* order) {
  // An insertion sort: a few monitors at most, and one that ties with an earlier one stays
  // after it.
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t at = i;
    while (at > 0 && NumberedBefore(monitors[i], monitors[order[at - 1]])) {
      order[at] = order[at - 1];
      --at;
    }
    order[at] = i;
  }
}

void WindowFit::Fitted(std::uintptr_t monitor, const ScreenRect& area) {
  monitor_ = monitor;
  area_ = area;
  pending_ = false;
}

bool WindowFit::MoveLoopEnded(std::uintptr_t monitor, const ScreenRect& area) {
  inMoveLoop_ = false;
  return !minimised_ && Differs(monitor, area);
}

bool WindowFit::Moved(bool minimised, std::uintptr_t monitor, const ScreenRect& area) {
  const bool restored = minimised_ && !minimised;
  minimised_ = minimised;
  if (minimised || inMoveLoop_) return false;
  return (restored && pending_) || Differs(monitor, area);
}

bool WindowFit::DisplaysChanged(bool minimised, std::uintptr_t monitor, const ScreenRect& area) {
  minimised_ = minimised;
  if (minimised) pending_ = true;
  // Windows may already have moved the window off a monitor that was removed, and it fitted
  // itself then: one fit for one change.
  return !minimised && Differs(monitor, area);
}

}  // namespace vantorel
