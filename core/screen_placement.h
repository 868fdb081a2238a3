// Where the window stands among the monitors, and where its controls stand in it: the rules,
// apart from the calls that read the monitors. The window always covers one monitor's work
// area (or the whole monitor, in full screen) and takes it anew when that changes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantorel {

// A rectangle of the virtual screen, in pixels; right and bottom lie just outside it.
struct ScreenRect {
  long left = 0;
  long top = 0;
  long right = 0;
  long bottom = 0;

  long Width() const { return right - left; }
  long Height() const { return bottom - top; }
  bool operator==(const ScreenRect& other) const {
    return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
  }
  bool operator!=(const ScreenRect& other) const { return !(*this == other); }
};

struct MonitorRects {
  ScreenRect monitor;  // the whole monitor
  ScreenRect work;     // without the taskbar
  bool primary = false;
};

// The area the window covers on a monitor: its work area, or all of it in full screen.
inline const ScreenRect& CoveredArea(const MonitorRects& monitor, bool fullScreen) {
  return fullScreen ? monitor.monitor : monitor.work;
}

// The largest positions the Preferences accept on an area of this size: the row of buttons
// whole at the right, the display's digits whole at the bottom. Never below 0.
long MaxButtonsLeft(long areaWidth);
long MaxDisplayTop(long areaHeight);

// Where the buttons and the display are drawn on an area of this size: where the settings put
// them when it has room for that, else at the nearest position inside it. The settings keep
// their positions, so a larger area shows them where stored again.
struct ControlPositions {
  long buttonsLeft = 0;
  long buttonsTop = 0;
  long displayTop = 0;
};
ControlPositions PositionsWithin(std::uint32_t buttonsLeft, std::uint32_t buttonsTop,
                                 std::uint32_t displayTop, long areaWidth, long areaHeight);

// The most monitors the program numbers; a desktop of more is taken as the first so many that
// the system lists.
constexpr std::size_t kMaxMonitors = 16;

// The monitors in the order in which people number them: the primary first, then the others
// from left to right, then top to bottom, those alike as listed. Puts into `order` the indexes
// of the `count` entries of `monitors`.
void MonitorOrder(const MonitorRects* monitors, std::size_t count, std::size_t* order);

// When the window takes the area of the monitor it is on anew: once per change, never while
// it is minimised and never during a drag. `monitor` identifies the monitor the window lies on
// now, 0 when it lies on none; `area` is what the window would cover on that monitor, or on
// the nearest one.
class WindowFit {
 public:
  // The window has just taken `area` of `monitor`.
  void Fitted(std::uintptr_t monitor, const ScreenRect& area);

  // A drag by the caption (or the keyboard's Move) begins and ends; moves in between are the
  // user's, and only the end counts.
  void MoveLoopStarted() { inMoveLoop_ = true; }
  bool MoveLoopEnded(std::uintptr_t monitor, const ScreenRect& area);

  // The window was moved, sized, minimised or restored, by the user, Windows or another
  // program. A move within the same monitor is left where it landed.
  bool Moved(bool minimised, std::uintptr_t monitor, const ScreenRect& area);

  // The displays or the taskbar changed: the window fits anew at once where that changed its
  // monitor or the area it would cover there, or once it is restored.
  bool DisplaysChanged(bool minimised, std::uintptr_t monitor, const ScreenRect& area);

  bool inMoveLoop() const { return inMoveLoop_; }

 private:
  bool Differs(std::uintptr_t monitor, const ScreenRect& area) const {
    return monitor != monitor_ || area != area_;
  }

  std::uintptr_t monitor_ = 0;
  ScreenRect area_;
  bool inMoveLoop_ = false;
  bool minimised_ = false;
  bool pending_ = false;  // a change came while the window was minimised
};

}  // namespace vantorel
