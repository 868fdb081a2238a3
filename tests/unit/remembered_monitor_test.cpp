// The monitor the window comes back to after the monitors changed between two runs, and the
// text its place is kept as.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/remembered_monitor.h"

namespace vantorel {
namespace {

MonitorName Named(const char* device, const ScreenRect& rect) {
  MonitorName name;
  std::strncpy(name.device, device, sizeof name.device - 1);
  name.rect = rect;
  return name;
}

const ScreenRect kLaptop = {0, 0, 1280, 1024};
const ScreenRect kRight = {1280, 0, 2304, 768};
const ScreenRect kLeft = {-1024, 0, 0, 768};

TEST(RememberedMonitorTest, TheSameNameWinsThenTheSameRectangle) {
  const MonitorName now[] = {Named("\\\\.\\DISPLAY1", kLaptop), Named("\\\\.\\DISPLAY2", kLeft),
                             Named("", {})};
  const struct {
    MonitorName remembered;
    int chosen;
  } cases[] = {
      {Named("\\\\.\\display2", kRight), 1},   // moved to the other side
      {Named("\\\\.\\DISPLAY7", kLaptop), 0},  // renamed, where it was
      {Named("\\\\.\\DISPLAY1", kLeft), 0},    // the name wins over the rectangle
      {Named("", kLeft), 1},
      {Named("\\\\.\\DISPLAY3", kRight), -1},  // gone
      {Named("\\\\.\\DISPLAY22", {}), -1},
      {Named("", {}), -1},  // never saved: not the monitor without name or area
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseRememberedMonitor(c.remembered, now, 3), c.chosen) << c.remembered.device;
  }
  EXPECT_EQ(ChooseRememberedMonitor(now[0], nullptr, 0), -1);
  // Names that fill the whole field, without a terminator.
  MonitorName full;
  std::memset(full.device, 'X', sizeof full.device);
  MonitorName other = full;
  other.device[kMonitorDeviceSize - 1] = 'x';
  EXPECT_EQ(ChooseRememberedMonitor(full, &other, 1), 0);
  other.device[kMonitorDeviceSize - 1] = 'Y';
  EXPECT_EQ(ChooseRememberedMonitor(full, &other, 1), -1);
}

TEST(RememberedMonitorTest, PlacesReadAsWrittenAndNothingElse) {
  const struct {
    const char* text;
    ScreenRect rect;
  } readable[] = {{"1280,0,2304,768", kRight},
                  {" -1024 ,\t0, 0 , 768 ", kLeft},
                  {"-1000000,-1000000,1000000,1000000", {-1000000, -1000000, 1000000, 1000000}}};
  const char* const unreadable[] = {"0,0,1000001,1",
                                    "0,0,18446744073709551617,1",
                                    "0,0,0,768",
                                    "10,0,5,768",
                                    "0,0,1280",
                                    "0,0,1280,1024,",
                                    "+1,0,1280,1024",
                                    "--1,0,1280,1024",
                                    "1 2,0,1280,1024",
                                    "0,,1280,1024",
                                    ""};
  for (const auto& c : readable) {
    ScreenRect rect;
    EXPECT_TRUE(ParseScreenRect(c.text, std::strlen(c.text), &rect)) << c.text;
    EXPECT_EQ(rect, c.rect) << c.text;
  }
  for (const char* text : unreadable) {
    ScreenRect rect = kLaptop;
    const std::vector<char> bytes(text, text + std::strlen(text));  // no terminator
    EXPECT_FALSE(ParseScreenRect(bytes.data(), bytes.size(), &rect)) << text;
    EXPECT_EQ(rect, kLaptop) << text;
  }
  char text[kScreenRectTextSize];
  FormatScreenRect(kLeft, text);
  EXPECT_STREQ(text, "-1024,0,0,768");
  FormatScreenRect({0, 0, 1000001, 1}, text);
  EXPECT_STREQ(text, "");
}

}  // namespace
}  // namespace vantorel
