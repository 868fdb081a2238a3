// Where the window and its controls stand among the monitors, and when the window fits itself
// anew: the events as Windows sends them, including those Wine never sends (a monitor removed,
// a taskbar moved under a minimised window).
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "core/screen_placement.h"

namespace vantorel {
namespace {

// A laptop with a taskbar along the top and a projector to its right.
const MonitorRects kLaptop = {{0, 0, 1280, 1024}, {0, 40, 1280, 1024}, true};
const MonitorRects kProjector = {{1280, 0, 2304, 768}, {1280, 40, 2304, 768}, false};
constexpr std::uintptr_t kLaptopId = 1;
constexpr std::uintptr_t kProjectorId = 2;

TEST(ScreenPlacementTest, ControlsKeepTheirPlaceWhereTheAreaHasRoomAndComeInsideWhereNot) {
  const struct {
    std::uint32_t left, top, display;
    long width, height;
    long placedLeft, placedTop, placedDisplay;
  } cases[] = {
      {430, 10, 100, 1280, 984, 430, 10, 100},    // the defaults on the laptop: as stored
      {920, 589, 634, 1280, 984, 920, 589, 634},  // the largest the Preferences accept there
      {920, 589, 634, 1024, 728, 664, 333, 378},  // the same on the projector
      {920, 10, 100, 1024, 728, 664, 10, 100},    // only what does not fit moves
      {5000, 5000, 5000, 300, 300, 0, 0, 0},      // an area smaller than the controls
      {0xFFFFFFFFu, 0, 0xFFFFFFFFu, 1280, 984, 920, 0, 634},
  };
  for (const auto& c : cases) {
    const ControlPositions placed = PositionsWithin(c.left, c.top, c.display, c.width, c.height);
    EXPECT_EQ(placed.buttonsLeft, c.placedLeft) << c.left << " on " << c.width;
    EXPECT_EQ(placed.buttonsTop, c.placedTop) << c.top << " on " << c.height;
    EXPECT_EQ(placed.displayTop, c.placedDisplay) << c.display << " on " << c.height;
  }
}

TEST(ScreenPlacementTest, MonitorsAreNumberedFromThePrimaryThenLeftToRightThenTopToBottom) {
  const MonitorRects left = {{-1024, 0, 0, 768}, {-1024, 0, 0, 768}, false};
  const MonitorRects above = {{1280, -768, 2304, 0}, {1280, -768, 2304, 0}, false};
  // A second monitor where the first one on the left is (a copy of it) comes after it.
  const MonitorRects monitors[] = {kProjector, left, kLaptop, above, left};
  std::size_t order[5] = {9, 9, 9, 9, 9};
  MonitorOrder(monitors, 5, order);
  EXPECT_EQ(std::vector<std::size_t>(order, order + 5), (std::vector<std::size_t>{2, 1, 4, 3, 0}));
  MonitorOrder(monitors, 0, order);
  EXPECT_EQ(order[0], 2u) << "no monitors, yet an order was written";
  EXPECT_EQ(CoveredArea(kProjector, false), kProjector.work);
  EXPECT_EQ(CoveredArea(kProjector, true), kProjector.monitor);
}

// The messages Windows sends as things happen, and how often the window fits itself.
TEST(ScreenPlacementTest, WindowFitsOncePerChangeNeverDuringADragNorWhileMinimised) {
  WindowFit fit;
  fit.Fitted(kLaptopId, kLaptop.work);
  // A drag onto the projector: every step is a move, only the end of the loop fits.
  fit.MoveLoopStarted();
  EXPECT_FALSE(fit.Moved(false, kLaptopId, kLaptop.work));
  EXPECT_FALSE(fit.Moved(false, kProjectorId, kProjector.work));
  EXPECT_TRUE(fit.MoveLoopEnded(kProjectorId, kProjector.work));
  fit.Fitted(kProjectorId, kProjector.work);
  // The fit's own move, and a drag that ends on the same monitor, leave the window be.
  EXPECT_FALSE(fit.Moved(false, kProjectorId, kProjector.work));
  fit.MoveLoopStarted();
  EXPECT_FALSE(fit.MoveLoopEnded(kProjectorId, kProjector.work));
  // Win+Shift+Left, or another program, puts it back on the laptop: it fits as it lands.
  EXPECT_TRUE(fit.Moved(false, kLaptopId, kLaptop.work));
  fit.Fitted(kLaptopId, kLaptop.work);
  // Put where no monitor is, nearest the one it came from: it fits there again.
  EXPECT_TRUE(fit.Moved(false, 0, kLaptop.work));
  fit.Fitted(kLaptopId, kLaptop.work);
  // A taskbar moved to the left of the laptop changes its work area under the window.
  const ScreenRect taskbarLeft = {60, 0, 1280, 1024};
  EXPECT_TRUE(fit.DisplaysChanged(false, kLaptopId, taskbarLeft));
  fit.Fitted(kLaptopId, taskbarLeft);
  // A change that leaves the window's monitor and area as they were (another monitor's, a
  // colour depth) leaves the window be.
  EXPECT_FALSE(fit.DisplaysChanged(false, kLaptopId, taskbarLeft));
  // The projector unplugged while the window is minimised: nothing until it is restored, then
  // one fit, also where the monitor and its area look as before.
  EXPECT_FALSE(fit.Moved(true, kLaptopId, {}));
  EXPECT_FALSE(fit.DisplaysChanged(true, kLaptopId, {}));
  EXPECT_FALSE(fit.Moved(true, kLaptopId, {}));
  EXPECT_TRUE(fit.Moved(false, kLaptopId, taskbarLeft));
  fit.Fitted(kLaptopId, taskbarLeft);
  EXPECT_FALSE(fit.Moved(false, kLaptopId, taskbarLeft));
  // The monitor the window was on is removed: Windows names the nearest that remains, and the
  // window fits there once, whether Windows moved it first or not.
  fit.Fitted(kProjectorId, kProjector.work);
  EXPECT_TRUE(fit.DisplaysChanged(false, kLaptopId, kLaptop.work));
  fit.Fitted(kProjectorId, kProjector.work);
  EXPECT_TRUE(fit.Moved(false, kLaptopId, kLaptop.work));
  fit.Fitted(kLaptopId, kLaptop.work);
  EXPECT_FALSE(fit.DisplaysChanged(false, kLaptopId, kLaptop.work));
}

}  // namespace
}  // namespace vantorel
