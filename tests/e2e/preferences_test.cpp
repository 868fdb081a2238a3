// The Preferences dialog: the values it shows, the bounds OK applies to the positions, the
// controls moving at once, the options taking effect, and the two sound-file choosers.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "driver.h"

namespace vantorel::e2e {
namespace {

using PreferencesTest = ProgramTest;

constexpr int kStartupScreenBox = 4001;
constexpr int kLogBox = 4002;
constexpr int kAlarmBox = 4003;
constexpr int kTickFile = 4004;
constexpr int kButtonsLeft = 4005;
constexpr int kButtonsTop = 4006;
constexpr int kDisplayTop = 4007;
constexpr int kAlarmFile = 4008;
constexpr int kChooseAlarm = 4009;
constexpr int kChooseTick = 4010;
constexpr int kTickBox = 4012;

HWND OpenPreferences(Program& program) {
  program.PostKey(VK_F2);
  return program.WaitForDialog("Preferences");
}

// The dialog's values in its own order: the four boxes (1 checked), the three positions, the
// tick file and the alarm file.
std::vector<std::string> Shown(HWND dialog) {
  std::vector<std::string> values;
  for (int box : {kStartupScreenBox, kLogBox, kTickBox, kAlarmBox}) {
    values.push_back(std::to_string(SendWithTimeout(GetDlgItem(dialog, box), BM_GETCHECK, 0, 0)));
  }
  for (int field : {kButtonsLeft, kButtonsTop, kDisplayTop, kTickFile, kAlarmFile}) {
    values.push_back(TextOf(GetDlgItem(dialog, field)));
  }
  return values;
}

void Check(HWND dialog, int box, bool checked) {
  SendWithTimeout(GetDlgItem(dialog, box), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

::testing::AssertionResult TypePositions(HWND dialog, const std::string& left,
                                         const std::string& top, const std::string& display) {
  if (SetTextOf(GetDlgItem(dialog, kButtonsLeft), left) &&
      SetTextOf(GetDlgItem(dialog, kButtonsTop), top) &&
      SetTextOf(GetDlgItem(dialog, kDisplayTop), display)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "cannot type into the position fields";
}

// Where the four buttons and the display stand: "Start (x,y)-(x,y), ..., display top N".
std::string Layout(const Program& program) {
  std::string text;
  for (auto [name, id] : {std::pair{"Start", kStart}, std::pair{"Pause", kPause},
                          std::pair{"Stop", kStop}, std::pair{"Reset", kReset}}) {
    const RECT rect = RectInClient(program.Button(id), program.window());
    text += std::string(name) + " (" + std::to_string(rect.left) + "," + std::to_string(rect.top) +
            ")-(" + std::to_string(rect.right) + "," + std::to_string(rect.bottom) + "), ";
  }
  return text + "display top " +
         std::to_string(RectInClient(program.display(), program.window()).top);
}

std::string ExpectedLayout(int left, int top, int displayTop) {
  std::string text;
  int x = left;
  for (const char* name : {"Start", "Pause", "Stop", "Reset"}) {
    text += std::string(name) + " (" + std::to_string(x) + "," + std::to_string(top) + ")-(" +
            std::to_string(x + 80) + "," + std::to_string(top + 40) + "), ";
    x += 90;
  }
  return text + "display top " + std::to_string(displayTop);
}

// OK, then one message per corrected position, in order, each alone until answered.
void ConfirmWithMessages(Program& program, HWND dialog, const std::vector<std::string>& expected) {
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  for (const std::string& description : expected) {
    const std::string caption = description.substr(0, description.find(" | "));
    const HWND box = program.WaitForDialog(caption);
    ASSERT_TRUE(box);
    EXPECT_EQ(DescribeMessageBox(box), description);
    EXPECT_EQ(program.Dialogs().size(), 2u) << "more than one message at a time";
    ASSERT_TRUE(Answer(box, IDOK));
  }
  ASSERT_TRUE(WaitGone(dialog));
  ASSERT_TRUE(program.Sync());
  EXPECT_TRUE(program.Dialogs().empty()) << "a message was left after the dialog closed";
}

// The count on the display, below a minute.
unsigned SecondsShown(const Program& program) {
  const std::string shown = program.DisplayText();
  for (unsigned seconds = 0; seconds < 60; ++seconds) {
    if (shown == CountText(seconds)) return seconds;
  }
  ADD_FAILURE() << "the display shows " << shown;
  return 0;
}

// The width and height of the ink of `label` drawn in `font` on a button's face, as the screen's
// ink is told from the face.
SIZE LabelInk(HFONT font, const char* label) {
  const RECT all = {0, 0, 200, 80};
  const ScreenShot drawn(all.right, all.bottom, [&](HDC canvas, int, int) {
    FillRect(canvas, &all, GetSysColorBrush(COLOR_BTNFACE));
    const HGDIOBJ old = SelectObject(canvas, font);
    SetBkMode(canvas, TRANSPARENT);
    SetTextColor(canvas, GetSysColor(COLOR_BTNTEXT));
    TextOutA(canvas, 20, 20, label, static_cast<int>(std::strlen(label)));
    SelectObject(canvas, old);
  });
  return drawn.InkSize(all, GetSysColor(COLOR_BTNFACE));
}

// The ink of a button's label on screen, inside its edges.
SIZE ShownLabelInk(HWND button) {
  RECT inner = ClientRectOnScreen(button);
  InflateRect(&inner, -4, -4);
  return ScreenShot().InkSize(inner, GetSysColor(COLOR_BTNFACE));
}

std::string Describe(SIZE size) {
  return std::to_string(size.cx) + "x" + std::to_string(size.cy);
}

std::string Correction(const std::string& caption, long value) {
  return caption + " | Maximum exceeded! Value set to " + std::to_string(value) +
         " | information | OK | no owner";
}

TEST_F(PreferencesTest, FirstRunValuesAndOnlyOkAppliesChanges) {
  // A true first run: no settings file, so the startup screen comes first.
  ASSERT_TRUE(program_.Launch());
  ASSERT_TRUE(program_.WaitForMainWindow(10000));
  ASSERT_TRUE(program_.Sync());
  const std::string defaults = ReadBytes(SettingsPath());
  ASSERT_EQ(defaults, SettingsFile().Text());

  HWND dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), program_.window());
  EXPECT_EQ(Shown(dialog), (std::vector<std::string>{"1", "1", "1", "1", "430", "10", "100",
                                                     "No file selected", "No file selected"}));
  const HWND focus = FocusedWindow(program_.thread());
  EXPECT_EQ(focus, GetDlgItem(dialog, IDOK)) << "focus on \"" << TextOf(focus) << "\"";

  // Pending changes survive Escape; the close box drops them and moves nothing.
  Check(dialog, kStartupScreenBox, false);
  Check(dialog, kTickBox, false);
  ASSERT_TRUE(TypePositions(dialog, "0", "0", "500"));
  PostKey(focus, VK_ESCAPE);
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(program_.Sync());
  ASSERT_TRUE(IsWindowVisible(dialog)) << "Escape closed the dialog";
  EXPECT_EQ(Shown(dialog), (std::vector<std::string>{"0", "1", "0", "1", "0", "0", "500",
                                                     "No file selected", "No file selected"}));
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(dialog));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(ReadBytes(SettingsPath()), defaults) << "the close box applied the changes";
  EXPECT_EQ(Layout(program_), ExpectedLayout(430, 10, 100));

  // OK stores the boxes as 1 and 0.
  dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Shown(dialog), (std::vector<std::string>{"1", "1", "1", "1", "430", "10", "100",
                                                     "No file selected", "No file selected"}));
  Check(dialog, kStartupScreenBox, false);
  Check(dialog, kTickBox, false);
  ConfirmWithMessages(program_, dialog, {});
  SettingsFile expected;
  expected.showStartupScreen = 0;
  expected.tickEnabled = 0;
  EXPECT_EQ(ReadBytes(SettingsPath()), expected.Text());
}

TEST_F(PreferencesTest, UncheckedTickSilencesTheNextSecond) {
  SettingsFile settings = QuickSettings();
  settings.limitMinutes = 1;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.Launch(true));
  ASSERT_TRUE(program_.WaitForMainWindow());
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.TickToAtLeast(2));

  const HWND dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  Check(dialog, kTickBox, false);
  // The real timer may tick while the dialog is open: every tick up to OK sounds.
  ASSERT_TRUE(program_.Sync());
  const unsigned ticksBefore = SecondsShown(program_);
  ConfirmWithMessages(program_, dialog, {});
  const unsigned ticksAtOk = SecondsShown(program_);
  EXPECT_EQ(SettingsFileLines().at(2), "0");
  ASSERT_TRUE(program_.TickToAtLeast(ticksAtOk + 3));

  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  const std::vector<SoundCall> sounds = program_.SoundCalls();
  EXPECT_GE(sounds.size(), ticksBefore) << "ticks before OK went missing";
  EXPECT_LE(sounds.size(), ticksAtOk) << "a tick sounded after OK";
  for (const SoundCall& sound : sounds) EXPECT_EQ(sound.sound, "#1f42");
}

TEST_F(PreferencesTest, PositionsAreBoundedInOrderAndTheControlsMoveAtOnce) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());
  // The bounds stand on the work area's size, wherever a taskbar puts its origin.
  const RECT workArea = DesktopWorkArea();
  const long maxLeft = workArea.right - workArea.left - 360;
  const long maxDisplayTop = workArea.bottom - workArea.top - 350;
  ASSERT_GE(maxDisplayTop, 245) << "the work area is too small for this test";

  // With the display's top at 100 the buttons' top may be 55.
  HWND dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(TypePositions(dialog, "400", "55", "100"));
  ConfirmWithMessages(program_, dialog, {});
  EXPECT_EQ(Layout(program_), ExpectedLayout(400, 55, 100));

  // 56 is too low for the display's top in force, even with a new one lower down in the same OK.
  dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(TypePositions(dialog, "1000", "56", std::to_string(maxDisplayTop + 1)));
  ConfirmWithMessages(program_, dialog,
                      {Correction("Buttons position from left", maxLeft),
                       Correction("Buttons position from top", 55),
                       Correction("Timer display position from top", maxDisplayTop)});
  EXPECT_EQ(Layout(program_),
            ExpectedLayout(static_cast<int>(maxLeft), 55, static_cast<int>(maxDisplayTop)));
  EXPECT_EQ(RectInClient(program_.Button(kReset), program_.window()).left,
            workArea.right - workArea.left - 90);
  std::vector<std::string> lines = SettingsFileLines();
  lines.resize(18);
  EXPECT_EQ(
      std::vector<std::string>(lines.begin() + 4, lines.begin() + 7),
      (std::vector<std::string>{std::to_string(maxLeft), "55", std::to_string(maxDisplayTop)}));

  // The display lower down now lets the buttons go lower too.
  dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(TypePositions(dialog, "0", "200", std::to_string(maxDisplayTop)));
  ConfirmWithMessages(program_, dialog, {});
  EXPECT_EQ(Layout(program_), ExpectedLayout(0, 200, static_cast<int>(maxDisplayTop)));
}

TEST_F(PreferencesTest, ABoundBelowZeroLeavesOnlyZero) {
  SettingsFile settings = QuickSettings();
  settings.displayTop = 30;  // the buttons' top may be at most 30 - 45: less than nothing
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());

  HWND dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(TypePositions(dialog, "430", "5", "30"));
  ConfirmWithMessages(program_, dialog, {Correction("Buttons position from top", 0)});
  EXPECT_EQ(Layout(program_), ExpectedLayout(430, 0, 30));
  EXPECT_EQ(SettingsFileLines().at(5), "0");

  dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  ConfirmWithMessages(program_, dialog, {});  // 0 itself passes
}

// The display at the very top, over the buttons' row: the buttons stay in sight, in the font
// dialogs use rather than the old bitmap System font, and each takes a click at its centre.
TEST_F(PreferencesTest, DisplayAtTheTopLeavesTheButtonsInSightAndUsable) {
  SettingsFile settings = QuickSettings();
  settings.limitMinutes = 1;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());
  const HWND dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(TypePositions(dialog, "430", "10", "0"));
  ConfirmWithMessages(program_, dialog, {});
  EXPECT_EQ(Layout(program_), ExpectedLayout(430, 10, 0));

  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  HFONT messageFont = CreateFontIndirectA(&metrics.lfMessageFont);
  const auto systemFont = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  for (auto [id, label] : {std::pair{kStart, "Start"}, std::pair{kPause, "Pause"},
                           std::pair{kStop, "Stop"}, std::pair{kReset, "Reset"}}) {
    const SIZE wanted = LabelInk(messageFont, label);
    const SIZE system = LabelInk(systemFont, label);
    ASSERT_GT(std::abs(wanted.cx - system.cx) + std::abs(wanted.cy - system.cy), 2)
        << label << ": the message font (" << metrics.lfMessageFont.lfFaceName
        << ") and the System font draw it alike here";
    SIZE shown = {};
    EXPECT_TRUE(WaitUntil("the label of " + std::string(label) + " in the message font",
                          [&] {
                            shown = ShownLabelInk(program_.Button(id));
                            return std::abs(shown.cx - wanted.cx) <= 1 &&
                                   std::abs(shown.cy - wanted.cy) <= 1;
                          }))
        << label << ": ink " << Describe(shown) << " on screen, " << Describe(wanted)
        << " in the message font, " << Describe(system) << " in the System font";
  }
  DeleteObject(messageFont);

  for (auto [id, after] : {std::pair{kStart, "Start- Pause+ Stop+ Reset-"},
                           std::pair{kPause, "Start+ Pause- Stop- Reset+"},
                           std::pair{kStart, "Start- Pause+ Stop+ Reset-"},
                           std::pair{kStop, "Start+ Pause- Stop- Reset+"},
                           std::pair{kReset, "Start+ Pause- Stop- Reset-"}}) {
    const RECT button = ClientRectOnScreen(program_.Button(id));
    ASSERT_TRUE(ClickAt({(button.left + button.right) / 2, (button.top + button.bottom) / 2}));
    EXPECT_TRUE(WaitUntil("the click on " + TextOf(program_.Button(id)) + " to count", [&] {
      return program_.ButtonStates() == after;
    })) << program_.ButtonStates();
  }
}

TEST_F(PreferencesTest, SoundFilesComeFromTheSystemFileDialog) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());
  const std::string wav = WriteTestWav("vantorel-e2e-chosen.wav");
  auto line = [](std::size_t index) {
    std::vector<std::string> lines = SettingsFileLines();
    lines.resize(18);
    return lines[index];
  };

  // Cancelled at once: nothing chosen.
  HWND dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  PostMessageA(dialog, WM_COMMAND, kChooseTick, 0);
  HWND chooser = program_.WaitForDialog("Open");
  ASSERT_TRUE(chooser);
  EXPECT_EQ(GetWindow(chooser, GW_OWNER), dialog) << "not owned by the Preferences dialog";
  ASSERT_TRUE(Answer(chooser, IDCANCEL));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(TextOf(GetDlgItem(dialog, kTickFile)), "No file selected");

  // While a file is chosen neither Preferences nor the main window takes input; afterwards only
  // Preferences does. The chosen file shows at once and OK saves it.
  PostMessageA(dialog, WM_COMMAND, kChooseTick, 0);
  chooser = program_.WaitForDialog("Open");
  ASSERT_TRUE(chooser);
  EXPECT_FALSE(IsWindowEnabled(dialog)) << "Preferences can be closed under the chooser";
  EXPECT_FALSE(IsWindowEnabled(program_.window()));
  ASSERT_TRUE(ChooseInFileDialog(chooser, wav));
  ASSERT_TRUE(program_.Sync());
  EXPECT_TRUE(IsWindowEnabled(dialog));
  EXPECT_FALSE(IsWindowEnabled(program_.window())) << "the main window works under Preferences";
  EXPECT_EQ(TextOf(GetDlgItem(dialog, kTickFile)), wav);
  ConfirmWithMessages(program_, dialog, {});
  EXPECT_EQ(line(17), wav);
  EXPECT_TRUE(IsWindowEnabled(program_.window()));

  // Cancelling the chooser, then OK, goes back to the built-in sound.
  dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, kTickFile)), wav);
  PostMessageA(dialog, WM_COMMAND, kChooseTick, 0);
  chooser = program_.WaitForDialog("Open");
  ASSERT_TRUE(chooser);
  ASSERT_TRUE(Answer(chooser, IDCANCEL));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(TextOf(GetDlgItem(dialog, kTickFile)), "No file selected");
  ConfirmWithMessages(program_, dialog, {});
  EXPECT_EQ(line(17), "No file selected");

  // A file chosen and then the close box: chosen all the same, saved by the next save.
  dialog = OpenPreferences(program_);
  ASSERT_TRUE(dialog);
  PostMessageA(dialog, WM_COMMAND, kChooseAlarm, 0);
  chooser = program_.WaitForDialog("Open");
  ASSERT_TRUE(chooser);
  ASSERT_TRUE(ChooseInFileDialog(chooser, wav));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(TextOf(GetDlgItem(dialog, kAlarmFile)), wav);
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(dialog));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(line(16), "No file selected") << "the close box saved";
  program_.PostKey(VK_F3);
  const HWND setTimer = program_.WaitForDialog("Set Timer");
  ASSERT_TRUE(setTimer);
  ASSERT_TRUE(Answer(setTimer, IDOK));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(line(16), wav) << "the chosen alarm was not saved with the limit";
  EXPECT_EQ(line(17), "No file selected");
  DeleteFileA(wav.c_str());
}

}  // namespace
}  // namespace vantorel::e2e
