// The window on two monitors: it covers the work area of the monitor it lands on, however it got
// there, and full screen covers that monitor whole. scripts/e2e.sh --desktop two-monitors (or
// two-monitors-projector-primary) lays out a laptop's 1280x1024 screen and a projector's 1024x768
// right of it under a taskbar 40 pixels high; on one monitor these tests are skipped.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver.h"

namespace vantorel::e2e {
namespace {

class MonitorsTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (HasFatalFailure()) return;
    monitors_ = Monitors();
    if (monitors_.size() < 2) {
      GTEST_SKIP() << "one monitor; scripts/e2e.sh --desktop two-monitors lays out two";
    }
  }

  // The monitor the window is on first, and another one.
  const Monitor& Start() const { return monitors_[monitors_[0].primary ? 0 : 1]; }
  const Monitor& Other() const { return monitors_[monitors_[0].primary ? 1 : 0]; }
  // The larger monitor: the laptop, whose resolution the tests change.
  const Monitor& Laptop() const {
    return *std::max_element(monitors_.begin(), monitors_.end(), [](const auto& a, const auto& b) {
      return a.whole.right - a.whole.left < b.whole.right - b.whole.left;
    });
  }

  std::vector<Monitor> monitors_;
};

// The display's count whole inside its visible part, as many runs of ink as its text has
// characters (so a display not yet redrawn fails), centred on `area` within 12 pixels.
::testing::AssertionResult DigitsWholeAndCentred(const Program& program, const RECT& area) {
  const ScreenShot screen;
  RECT display = {};
  GetWindowRect(program.display(), &display);
  const RECT client = ClientRectOnScreen(program.window());
  IntersectRect(&display, &display, &client);
  const COLORREF white = RGB(255, 255, 255);
  const int runs = screen.InkRuns(display, white);
  const auto columns = screen.InkColumns(display, white);
  const auto rows = screen.InkRows(display, white);
  const RECT ink = {columns.first, rows.first, columns.second, rows.second};
  const std::string text = program.DisplayText();
  const long centre = (ink.left + ink.right) / 2;
  const long areaCentre = (area.left + area.right) / 2;
  const bool inside = runs > 0 && ink.left > display.left && ink.right < display.right - 1 &&
                      ink.bottom < display.bottom - 1;
  ::testing::AssertionResult result =
      inside && runs == static_cast<int>(text.size()) && std::abs(centre - areaCentre) <= 12
          ? ::testing::AssertionSuccess()
          : ::testing::AssertionFailure();
  return result << "\"" << text << "\" shows " << runs << " characters, ink "
                << (runs > 0 ? RectText(ink) : "none") << " in the display's visible "
                << RectText(display) << ", centred at " << centre << " (the area's centre "
                << areaCentre << ")";
}

::testing::AssertionResult CoversNow(const Program& program, const std::string& device,
                                     bool fullScreen) {
  const HWND window = program.window();
  const Monitor monitor = MonitorOf(window);
  const RECT area = fullScreen ? monitor.whole : monitor.work;
  RECT frame = {};
  GetWindowRect(window, &frame);
  const bool caption = (GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
  const bool menu = GetMenu(window) != nullptr;
  const std::string figures =
      "window " + RectText(frame) + " on " + monitor.device + " (expected " + device + "), whose " +
      (fullScreen ? "whole area" : "work area") + " is " + RectText(area) +
      (caption ? ", a caption" : ", no caption") + (menu ? ", a menu" : ", no menu");
  if (!EqualRect(&frame, &area) || monitor.device != device || caption == fullScreen ||
      menu == fullScreen) {
    return ::testing::AssertionFailure() << figures;
  }
  const auto digits = DigitsWholeAndCentred(program, area);
  return (digits ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
         << figures << "; " << digits.message();
}

// The window on the monitor `device` covers its work area with caption and menu or, in full
// screen, all of it without them, and shows the digits whole and centred there.
::testing::AssertionResult Covers(const Program& program, const std::string& device,
                                  bool fullScreen = false) {
  ::testing::AssertionResult last = ::testing::AssertionFailure();
  if (WaitUntil("the window to cover its monitor", [&] {
        last = CoversNow(program, device, fullScreen);
        return static_cast<bool>(last);
      })) {
    return last;
  }
  return ::testing::AssertionFailure() << "after 5 s: " << last.message();
}

// Puts the window's top left at `point`, as another program would.
void MoveWindowTo(const Program& program, POINT point) {
  SetWindowPos(program.window(), nullptr, point.x, point.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

POINT InsideOf(const Monitor& monitor) {
  return {monitor.work.left + 40, monitor.work.top + 30};
}

// Moves the window onto `monitor` unless it is there already (where a move would stay put).
void MoveOnto(const Program& program, const Monitor& monitor) {
  if (MonitorOf(program.window()).device != monitor.device) {
    MoveWindowTo(program, InsideOf(monitor));
  }
}

// Drags the window by its caption until its top left is at `point`.
::testing::AssertionResult DragWindowTo(const Program& program, POINT point) {
  RECT frame = {};
  GetWindowRect(program.window(), &frame);
  const POINT grip = {frame.left + 150, frame.top + GetSystemMetrics(SM_CYFIXEDFRAME) +
                                            GetSystemMetrics(SM_CYCAPTION) / 2};
  const LRESULT hit =
      SendWithTimeout(program.window(), WM_NCHITTEST, 0, MAKELPARAM(grip.x, grip.y));
  if (hit != HTCAPTION) {
    return ::testing::AssertionFailure()
           << "no caption at " << grip.x << "," << grip.y << " of the window " << RectText(frame)
           << " (hit " << hit << ")";
  }
  return DragMouse(grip, {grip.x + point.x - frame.left, grip.y + point.y - frame.top});
}

// Puts a monitor's resolution back at the end of a test, a failed one too.
class ResolutionKept {
 public:
  explicit ResolutionKept(const std::string& device)
      : device_(device), size_(DisplayMode(device)) {}
  ~ResolutionKept() {
    const SIZE now = DisplayMode(device_);
    if (now.cx != size_.cx || now.cy != size_.cy) {
      ChangeDisplayMode(device_, size_.cx, size_.cy);
    }
  }
  const SIZE& size() const { return size_; }

 private:
  std::string device_;
  SIZE size_;
};

TEST_F(MonitorsTest, WindowCoversTheWorkAreaOfTheMonitorItLandsOn) {
  ASSERT_TRUE(StartCounting(program_));
  const ULONGLONG started = GetTickCount64();
  EXPECT_TRUE(Covers(program_, Start().device)) << "at start";

  // A drag by the caption counts once the button is released.
  ASSERT_TRUE(DragWindowTo(program_, InsideOf(Other())));
  EXPECT_TRUE(Covers(program_, Other().device)) << "dragged onto the other monitor";

  // Another program moves it.
  MoveWindowTo(program_, InsideOf(Start()));
  EXPECT_TRUE(Covers(program_, Start().device)) << "moved back";
  MoveWindowTo(program_, InsideOf(Other()));
  EXPECT_TRUE(Covers(program_, Other().device)) << "moved onto the other monitor";

  // Within the same monitor it stays where it lands.
  RECT before = {};
  GetWindowRect(program_.window(), &before);
  MoveWindowTo(program_, {before.left + 30, before.top + 20});
  ASSERT_TRUE(program_.Sync());
  Sleep(300);
  RECT after = {};
  GetWindowRect(program_.window(), &after);
  OffsetRect(&before, 30, 20);
  EXPECT_EQ(RectText(after), RectText(before)) << "moved within the monitor";

  // Below the shorter monitor, where no monitor is: onto the nearest.
  const Monitor& shorter = std::min(Start(), Other(), [](const Monitor& a, const Monitor& b) {
    return a.whole.bottom - a.whole.top < b.whole.bottom - b.whole.top;
  });
  const POINT nowhere = {shorter.whole.left + 100, shorter.whole.bottom + 50};
  RECT landing = {};
  GetWindowRect(program_.window(), &landing);
  OffsetRect(&landing, nowhere.x - landing.left, nowhere.y - landing.top);
  const Monitor nearest = NearestMonitor(landing);
  MoveWindowTo(program_, nowhere);
  EXPECT_TRUE(Covers(program_, nearest.device)) << "moved to " << RectText(landing);

  // The laptop at a projector's resolution and back.
  const std::string laptop = Laptop().device;
  ResolutionKept resolution(laptop);
  MoveOnto(program_, Laptop());
  EXPECT_TRUE(Covers(program_, laptop)) << "moved onto the laptop";
  ASSERT_EQ(ChangeDisplayMode(laptop, 1024, 768), DISP_CHANGE_SUCCESSFUL);
  EXPECT_TRUE(Covers(program_, laptop)) << "the laptop at 1024x768";
  // Back while the window is minimised: it fits once restored.
  const HWND window = program_.window();
  PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil("the window minimised", [&] { return IsIconic(window) != FALSE; }));
  ASSERT_EQ(ChangeDisplayMode(laptop, resolution.size().cx, resolution.size().cy),
            DISP_CHANGE_SUCCESSFUL);
  PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(Covers(program_, laptop))
      << "restored, the laptop back at " << resolution.size().cx << "x" << resolution.size().cy;

  // The count went on through all of it, and goes on.
  unsigned shown = 0;
  ASSERT_TRUE(program_.ShownCount(&shown));
  const auto elapsed = static_cast<unsigned>((GetTickCount64() - started) / 1000);
  EXPECT_GE(shown + 2, elapsed) << "the count stalled";
  const std::string last = program_.DisplayText();
  EXPECT_TRUE(WaitUntil(
      "the count to go on", [&] { return program_.DisplayText() != last; }, 2500));
}

TEST_F(MonitorsTest, FullScreenCoversTheMonitorItIsOnAndLeavesTheSettingsAlone) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(program_.Sync());
  const std::string settings = ReadBytes(SettingsPath());
  for (const Monitor* monitor : {&Start(), &Other()}) {
    MoveOnto(program_, *monitor);
    ASSERT_TRUE(Covers(program_, monitor->device)) << "moved onto " << monitor->device;
    ASSERT_TRUE(program_.PressKey(VK_F11));
    EXPECT_TRUE(Covers(program_, monitor->device, true)) << "F11 on " << monitor->device;
    if (monitor->device == Laptop().device) {
      ResolutionKept resolution(monitor->device);
      ASSERT_EQ(ChangeDisplayMode(monitor->device, 1024, 768), DISP_CHANGE_SUCCESSFUL);
      EXPECT_TRUE(Covers(program_, monitor->device, true)) << "full screen at 1024x768";
      ASSERT_EQ(ChangeDisplayMode(monitor->device, resolution.size().cx, resolution.size().cy),
                DISP_CHANGE_SUCCESSFUL);
      EXPECT_TRUE(Covers(program_, monitor->device, true)) << "full screen at the resolution again";
    }
    // The menu's keys work on without the menu.
    ASSERT_TRUE(program_.PressKey(VK_F3));
    const HWND setTimer = program_.WaitForDialog("Set Timer");
    ASSERT_TRUE(setTimer) << "F3 in full screen";
    PostMessageA(setTimer, WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitGone(setTimer));
    ASSERT_TRUE(program_.PressKey(VK_ESCAPE));
    EXPECT_TRUE(Covers(program_, monitor->device)) << "Escape on " << monitor->device;
  }

  // A double-click on the digits, and F11 again.
  RECT display = {};
  GetWindowRect(program_.display(), &display);
  const RECT client = ClientRectOnScreen(program_.window());
  IntersectRect(&display, &display, &client);
  ASSERT_TRUE(DoubleClickAt({(display.left + display.right) / 2, display.top + 40}));
  EXPECT_TRUE(Covers(program_, Other().device, true)) << "double-click";
  ASSERT_TRUE(program_.PressKey(VK_F11));
  EXPECT_TRUE(Covers(program_, Other().device)) << "F11 in full screen";

  // Ended in full screen, the next run comes back so, on that monitor; the settings file is as
  // it was, the options file names the monitor.
  ASSERT_TRUE(program_.PressKey(VK_F11));
  ASSERT_TRUE(Covers(program_, Other().device, true));
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  EXPECT_EQ(ReadBytes(SettingsPath()), settings) << "full screen changed the settings file";
  const RECT& whole = Other().whole;
  const std::string rect = std::to_string(whole.left) + "," + std::to_string(whole.top) + "," +
                           std::to_string(whole.right) + "," + std::to_string(whole.bottom);
  const std::string options = ReadBytes(OptionsPath());
  EXPECT_NE(options.find("window.monitor=" + Other().device + "\nwindow.rect=" + rect +
                         "\nwindow.fullscreen=on\n"),
            std::string::npos)
      << options;
  ASSERT_TRUE(program_.LaunchAndWait());
  EXPECT_TRUE(Covers(program_, Other().device, true)) << "the next run";
  ASSERT_TRUE(program_.Close(&exitCode));

  // Wine removes no monitor, so the file stands in for one gone: a name and a rectangle that no
  // monitor has start the window on the primary's work area with its frame; a name gone but the
  // rectangle there (a monitor renumbered by a new driver) finds it by the rectangle.
  const struct {
    std::string lines;
    const Monitor* expected;
    bool fullScreen;
  } remembered[] = {
      {"window.monitor=\\\\.\\DISPLAY9\nwindow.rect=9000,0,9800,600\nwindow.fullscreen=on\n",
       &Start(), false},
      {"window.monitor=\\\\.\\DISPLAY9\nwindow.rect=" + rect + "\nwindow.fullscreen=off\n",
       &Other(), false},
  };
  for (const auto& place : remembered) {
    ASSERT_TRUE(WriteBytes(OptionsPath(), place.lines));
    ASSERT_TRUE(program_.LaunchAndWait());
    EXPECT_TRUE(Covers(program_, place.expected->device, place.fullScreen)) << place.lines;
    ASSERT_TRUE(program_.Close(&exitCode));
  }
}

// Where the controls are drawn on an area of this size for the positions stored: the nearest
// place inside it where the stored one does not fit.
std::string ExpectedLayout(const RECT& area, long left, long top, long displayTop) {
  const long maxDisplayTop = std::max(0L, area.bottom - area.top - 350);
  left = std::min(left, std::max(0L, area.right - area.left - 360));
  top = std::min(top, std::max(0L, maxDisplayTop - 45));
  displayTop = std::min(displayTop, maxDisplayTop);
  return "buttons at " + std::to_string(left) + "," + std::to_string(top) + ", display at 0," +
         std::to_string(displayTop) + " " + std::to_string(area.right - area.left) + " wide";
}

std::string ShownLayout(const Program& program) {
  const RECT start = RectInClient(program.Button(kStart), program.window());
  const RECT display = RectInClient(program.display(), program.window());
  std::string shown = "buttons at " + std::to_string(start.left) + "," + std::to_string(start.top) +
                      ", display at " + std::to_string(display.left) + "," +
                      std::to_string(display.top) + " " +
                      std::to_string(display.right - display.left) + " wide";
  RECT client = {};
  GetClientRect(program.window(), &client);
  for (int id : {kStart, kPause, kStop, kReset}) {
    const RECT button = RectInClient(program.Button(id), program.window());
    RECT inside = {};
    IntersectRect(&inside, &button, &client);
    if (!EqualRect(&inside, &button))
      shown += "; button " + TextOf(program.Button(id)) + " " + RectText(button) + " outside " +
               RectText(client);
  }
  return shown;
}

TEST_F(MonitorsTest, ControlsStoredForTheLaptopStayInSightOnTheProjector) {
  SettingsFile settings = QuickSettings();
  settings.buttonsLeft = 920;
  settings.buttonsTop = 500;
  settings.displayTop = 600;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());
  for (const Monitor* monitor : {&Start(), &Other(), &Start()}) {
    MoveOnto(program_, *monitor);
    ASSERT_TRUE(Covers(program_, monitor->device)) << "moved onto " << monitor->device;
    EXPECT_EQ(ShownLayout(program_), ExpectedLayout(monitor->work, 920, 500, 600))
        << "on " << monitor->device << ", work area " << RectText(monitor->work);
  }
  // Full screen on the smaller monitor: the controls within the whole of it.
  const Monitor& projector = Laptop().device == Start().device ? Other() : Start();
  MoveOnto(program_, projector);
  ASSERT_TRUE(Covers(program_, projector.device));
  ASSERT_TRUE(program_.PressKey(VK_F11));
  EXPECT_TRUE(Covers(program_, projector.device, true));
  EXPECT_EQ(ShownLayout(program_), ExpectedLayout(projector.whole, 920, 500, 600))
      << "full screen on " << projector.device;
  ASSERT_TRUE(program_.PressKey(VK_F11));
  EXPECT_TRUE(Covers(program_, projector.device));
  const std::vector<std::string> lines = SettingsFileLines();
  ASSERT_GE(lines.size(), 7u);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.begin() + 7),
            (std::vector<std::string>{"920", "500", "600"}));
}

}  // namespace
}  // namespace vantorel::e2e
