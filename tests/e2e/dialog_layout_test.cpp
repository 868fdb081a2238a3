// The dialogs as the dialog manager builds them from the executable's templates: frame,
// caption and size, and every control's id, class, text, style and place, in creation order.
#include <cstdio>
#include <string>
#include <vector>

#include "driver.h"

namespace vantorel::e2e {
namespace {

using DialogLayoutTest = ProgramTest;

struct Control {
  int id;
  const char* className;
  const char* text;  // as shown once the dialog has filled its controls
  DWORD style;
  int x, y, width, height;  // dialog units
};

std::string Describe(int id, const std::string& className, const std::string& text, DWORD style,
                     const RECT& rect) {
  char line[512];
  std::snprintf(line, sizeof line, "%d %s \"%s\" %08lX (%ld,%ld)-(%ld,%ld)", id, className.c_str(),
                text.c_str(), static_cast<unsigned long>(style), rect.left, rect.top, rect.right,
                rect.bottom);
  return line;
}

// A list box without LBS_NOINTEGRALHEIGHT cuts its height to whole lines, again at each change
// of its font and scroll bars: it may come out shorter than its template by less than two
// lines, and then shows only whole lines. Gives the template's rectangle with the live bottom
// when that holds.
RECT WholeLines(HWND list, RECT rect) {
  const long line = static_cast<long>(SendWithTimeout(list, LB_GETITEMHEIGHT, 0, 0));
  const RECT live = RectInClient(list, GetParent(list));
  RECT client = {};
  GetClientRect(list, &client);
  const long shorter = rect.bottom - live.bottom;
  if (line > 0 && shorter >= 0 && shorter < 2 * line && client.bottom % line == 0) {
    rect.bottom = live.bottom;
  }
  return rect;
}

// Compares the live dialog with its template's table: the frame, then one line per control.
void ExpectLayout(HWND dialog, int templateId, const std::string& caption, int width, int height,
                  const std::vector<Control>& table) {
  SCOPED_TRACE(caption);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(TextOf(dialog), caption);
  // A top-level window always clips its siblings, whatever its template asks.
  const DWORD style =
      static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)) & ~static_cast<DWORD>(WS_CLIPSIBLINGS);
  EXPECT_EQ(style, 0x90C808CCu) << std::hex << style;
  RECT client = {};
  GetClientRect(dialog, &client);
  const RECT size = DialogUnitsToPixels(templateId, 0, 0, width, height);
  EXPECT_EQ(client.right, size.right) << "width";
  EXPECT_EQ(client.bottom, size.bottom) << "height";
  // Centred on the work area.
  RECT frame = {};
  GetWindowRect(dialog, &frame);
  const RECT area = DesktopWorkArea();
  EXPECT_NEAR((frame.left + frame.right) / 2, (area.left + area.right) / 2, 2);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, (area.top + area.bottom) / 2, 2);

  std::vector<std::string> expected;
  for (const Control& control : table) {
    RECT rect =
        DialogUnitsToPixels(templateId, control.x, control.y, control.width, control.height);
    if (std::string(control.className) == "ListBox") {
      rect = WholeLines(GetDlgItem(dialog, control.id), rect);
    }
    expected.push_back(Describe(control.id, control.className, control.text, control.style, rect));
  }
  std::vector<std::string> live;
  for (const LiveControl& control : LiveControls(dialog)) {
    live.push_back(
        Describe(control.id, control.className, control.text, control.style, control.rect));
  }
  EXPECT_EQ(live, expected);
}

TEST_F(DialogLayoutTest, LiveDialogsMatchTheirTemplates) {
  PrepareSettings(QuickSettings());
  // A list box shows its scroll bars, and their style bits, only when it has something to
  // scroll: a log longer than the list shows both.
  std::string log;
  for (int i = 10; i < 50; ++i)
    log += "2026-03-01 09:15:" + std::to_string(i) + " - Session Start\n";
  ASSERT_TRUE(WriteBytes(LogPath(), log));
  ASSERT_TRUE(program_.LaunchAndWait());

  program_.PostKey(VK_F3);
  HWND dialog = program_.WaitForDialog("Set Timer");
  ExpectLayout(dialog, 1002, "Set Timer", 97, 92,
               {
                   {1, "Button", "OK", 0x50010000, 40, 69, 40, 14},
                   {0xFFFF, "Static", "Hours", 0x50020000, 7, 8, 32, 8},
                   {0xFFFF, "Static", "Minutes", 0x50020000, 7, 28, 32, 8},
                   {0xFFFF, "Static", "Seconds", 0x50020000, 7, 48, 32, 8},
                   {4011, "Edit", "0", 0x50812080, 42, 6, 40, 14},
                   {4012, "Edit", "0", 0x50812080, 42, 26, 40, 14},
                   {4013, "Edit", "0", 0x50812080, 42, 47, 40, 14},
               });
  ASSERT_TRUE(Answer(dialog, IDOK));

  program_.PostKey(VK_F4);
  dialog = program_.WaitForDialog("View Program Log");
  ExpectLayout(dialog, 1005, "View Program Log", 266, 255,
               {
                   {1, "Button", "OK", 0x50010000, 212, 228, 45, 15},
                   {4001, "Static", "Log Entries", 0x50020000, 5, 5, 40, 8},
                   {4002, "ListBox", "", 0x50B10041, 4, 17, 254, 208},
                   {4003, "Button", "Browse log folder...", 0x50010000, 5, 228, 70, 15},
                   {4004, "Button", "Delete log", 0x50010000, 95, 228, 45, 15},
               });
  ASSERT_TRUE(Answer(dialog, IDOK));

  program_.PostKey(VK_F2);
  dialog = program_.WaitForDialog("Preferences");
  const char* alarmLabel =
      "Alarm .wav file (Program will use internal default sound if no file is selected.)";
  const char* tickLabel =
      "Ticking .wav file (Program will use internal default sound if no file is selected.)";
  ExpectLayout(
      dialog, 1003, "Preferences", 299, 181,
      {
          {1, "Button", "OK", 0x50010000, 244, 156, 45, 15},
          {4005, "Edit", "430", 0x50810080, 92, 29, 40, 12},
          {4006, "Edit", "10", 0x50810080, 245, 29, 40, 12},
          {4007, "Edit", "100", 0x50810080, 245, 48, 40, 12},
          {4008, "Edit", "No file selected", 0x50810880, 9, 132, 260, 12},
          {4009, "Button", "...", 0x50010000, 270, 131, 20, 15},
          {0xFFFF, "Static", "Buttons position from left", 0x50020000, 10, 31, 83, 8},
          {0xFFFF, "Static", "Buttons position from top", 0x50020000, 160, 30, 84, 8},
          {0xFFFF, "Static", "Timer display position from top", 0x50020000, 143, 49, 100, 8},
          {0xFFFF, "Static", alarmLabel, 0x50020000, 10, 121, 278, 8},
          {4001, "Button", "Display program's startup screen", 0x50010003, 10, 10, 123, 10},
          {4002, "Button", "Enable program log", 0x50010003, 161, 11, 87, 10},
          {4003, "Button", "Enable Alarm", 0x50010003, 10, 106, 65, 10},
          {4004, "Edit", "No file selected", 0x50810880, 8, 86, 260, 12},
          {4010, "Button", "...", 0x50010000, 269, 85, 20, 15},
          {4011, "Static", tickLabel, 0x50020000, 9, 75, 278, 8},
          {4012, "Button", "Enable timer ticking sound", 0x50010003, 9, 60, 106, 10},
      });
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(dialog));

  program_.Command(kCmdAbout);
  dialog = program_.WaitForDialog("About this program");
  ExpectLayout(
      dialog, 1004, "About this program", 210, 98,
      {
          {4001, "Static", "", 0x50000203, 3, 3, 32, 32},
          {0xFFFF, "Static", "Vantorel version 1.1", 0x50020000, 37, 9, 87, 8},
          {4002, "Static", "Copyright (c) 2026 the Vantorel developers", 0x50020000, 37, 19, 169,
           8},
          {0xFFFF, "Edit",
           "To download the latest version of this program, please visit "
           "https://vantorel.example.com/",
           0x50801844, 6, 38, 198, 28},
          {4003, "Button", "Visit https://vantorel.example.com/", 0x50010000, 5, 75, 147, 15},
          {1, "Button", "OK", 0x50010000, 156, 75, 45, 15},
      });
  ASSERT_TRUE(Answer(dialog, IDOK));
}

}  // namespace
}  // namespace vantorel::e2e
