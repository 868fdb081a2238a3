// Where the count stands and what is within reach: the time remaining (F5), the warning before
// the limit and overtime after it from their dialog, and global hot keys, including one that
// another program holds.
#include <string>
#include <vector>

#include "driver.h"

#include <commctrl.h>

namespace vantorel::e2e {
namespace {

using CountOptionsTest = ProgramTest;

constexpr int kCmdWarningOvertime = 2014;
constexpr int kCmdHotKeys = 2016;
constexpr int kEditWarningSeconds = 4003;
constexpr int kCheckOvertime = 4006;
constexpr int kHotKeyStop = 4002;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kAmber = RGB(0xD0, 0x70, 0x00);
constexpr COLORREF kRed = RGB(0xE0, 0x00, 0x00);
const std::string kRunning = "Start- Pause+ Stop+ Reset-";
const std::string kHalted = "Start+ Pause- Stop- Reset+";

// The colour the digits are drawn in: the one of the three with most pixels in the display.
std::string DigitColour(const Program& program) {
  const RECT client = ClientRectOnScreen(program.window());
  RECT display = {};
  GetWindowRect(program.display(), &display);
  IntersectRect(&display, &display, &client);
  const ScreenShot screen;
  const int black = screen.Count(display, kBlack);
  const int amber = screen.Count(display, kAmber);
  const int red = screen.Count(display, kRed);
  if (black < 1000 && amber < 1000 && red < 1000) return "none";
  return black > amber && black > red ? "black" : amber > red ? "amber" : "red";
}

// The display's text and colour once they are `text` (or start with it) and `colour`.
::testing::AssertionResult Shows(const Program& program, const std::string& text,
                                 const std::string& colour) {
  std::string shown;
  auto seen = WaitUntil("the display to show " + text + " in " + colour, [&] {
    shown = program.DisplayText() + " in " + DigitColour(program);
    return program.DisplayText().rfind(text, 0) == 0 && DigitColour(program) == colour;
  });
  return seen << "; it shows " << shown;
}

// Keys pressed through the input queue, to whichever program has the keyboard.
::testing::AssertionResult SendKeys(const std::vector<WORD>& keys) {
  std::vector<INPUT> inputs;
  for (bool up : {false, true}) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
      INPUT input = {};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = keys[up ? keys.size() - 1 - i : i];
      input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
      inputs.push_back(input);
    }
  }
  const auto count = static_cast<UINT>(inputs.size());
  if (SendInput(count, inputs.data(), sizeof(INPUT)) == count) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "SendInput refused the keys";
}

TEST_F(CountOptionsTest, RemainingViewWarnsThenCountsOnIntoOvertime) {
  SettingsFile settings = QuickSettings();
  settings.limitMinutes = 1;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(Shows(program_, "00:00:00", "black"));

  // The dialog's OK applies and saves: a warning for the last 50 seconds, overtime on.
  program_.Command(kCmdWarningOvertime);
  const HWND dialog = program_.WaitForDialog("Warning and Overtime");
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(SetTextOf(GetDlgItem(dialog, kEditWarningSeconds), "50"));
  SendWithTimeout(GetDlgItem(dialog, kCheckOvertime), BM_CLICK, 0, 0);
  ASSERT_TRUE(Answer(dialog, IDOK));
  const std::string options = ReadBytes(OptionsPath());
  for (const char* line :
       {"count.view=elapsed\n", "count.warning=00:00:50\n", "count.overtime=on\n"}) {
    EXPECT_NE(options.find(line), std::string::npos) << line << " not in\n" << options;
  }

  // Into the warning, and F5 flips the view while counting; the count goes on.
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.TickToAtLeast(12));
  ASSERT_TRUE(Shows(program_, "00:00:1", "amber"));
  ASSERT_TRUE(program_.PressKey(VK_F5));
  ASSERT_TRUE(Shows(program_, "00:00:4", "amber")) << "F5 while counting";
  ASSERT_TRUE(program_.PressKey(VK_F5));
  ASSERT_TRUE(Shows(program_, "00:00:", "amber")) << "F5 back";

  // The limit sounds and logs once, and the count runs on in the overtime colour.
  ASSERT_TRUE(program_.TickToLimit(60));
  EXPECT_EQ(program_.ButtonStates(), kRunning) << "the count stopped at the limit";
  ASSERT_TRUE(program_.TickToAtLeast(62));
  ASSERT_TRUE(Shows(program_, "00:01:0", "red"));
  ASSERT_TRUE(program_.PressKey(VK_F5));
  ASSERT_TRUE(Shows(program_, "-00:00:0", "red"));

  // Stopped, it keeps the colour of the count it shows; Reset shows the whole limit again.
  ASSERT_TRUE(program_.Click(kStop));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.ButtonStates(), kHalted);
  ASSERT_TRUE(Shows(program_, "-00:00:0", "red")) << "stopped past the limit";
  ASSERT_TRUE(program_.Click(kReset));
  ASSERT_TRUE(Shows(program_, "00:01:00", "black")) << "Reset";
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{
                             " - Session Start", " - Start Vantorel: Timer Set - 00h:01m:00s",
                             " - Timer limit reached.", " - Timer stopped.", " - Timer reset."}));

  // Remembered over a restart; the eighteen lines are as they were.
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  EXPECT_EQ(ReadBytes(SettingsPath()), settings.Text());
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(Shows(program_, "00:01:00", "black")) << "the time remaining after a restart";
}

TEST_F(CountOptionsTest, HotKeysWorkForWhicheverProgramHasTheKeyboard) {
  // Another program holds Ctrl+Alt+F10 before the timer starts: this one.
  ASSERT_TRUE(RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, VK_F10));
  SettingsFile settings = QuickSettings();
  settings.limitHours = 1;
  PrepareSettings(settings);
  ASSERT_TRUE(
      WriteBytes(OptionsPath(), "hotkey.startpause=Ctrl+Alt+F9\nhotkey.stop=ctrl + alt + f10\n"));
  ASSERT_TRUE(program_.Launch());
  const HWND taken = program_.WaitForDialog("Vantorel");
  ASSERT_TRUE(taken) << "no word of the key that another program holds";
  EXPECT_EQ(DescribeMessageBox(taken),
            "Vantorel | These hot keys are held by another program, so they do nothing for "
            "Vantorel now:\r\n\r\nStop: Ctrl+Alt+F10\r\n\r\nChoose others in Settings, Hot Keys. "
            "| exclamation | OK | no owner");
  ASSERT_TRUE(Answer(taken, IDOK));
  ASSERT_TRUE(program_.WaitForMainWindow());

  // This program has the keyboard; the key starts and pauses the count, and it keeps it.
  const HWND other =
      CreateWindowExA(0, "STATIC", "another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                      300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(other);
  SetForegroundWindow(other);
  ASSERT_TRUE(
      WaitUntil("the other window in front", [&] { return GetForegroundWindow() == other; }));
  ASSERT_TRUE(SendKeys({VK_CONTROL, VK_MENU, VK_F9}));
  EXPECT_TRUE(WaitUntil("the count to start", [&] { return program_.ButtonStates() == kRunning; }));
  ASSERT_TRUE(SendKeys({VK_CONTROL, VK_MENU, VK_F9}));
  EXPECT_TRUE(WaitUntil("the count to pause", [&] { return program_.ButtonStates() == kHalted; }));
  EXPECT_EQ(GetForegroundWindow(), other) << "the hot key took the keyboard";
  DestroyWindow(other);

  // The dialog names the key that Windows refuses and stays open; another one is saved.
  program_.Command(kCmdHotKeys);
  const HWND dialog = program_.WaitForDialog("Hot Keys");
  ASSERT_TRUE(dialog);
  const HWND stopKey = GetDlgItem(dialog, kHotKeyStop);
  EXPECT_EQ(SendWithTimeout(stopKey, HKM_GETHOTKEY, 0, 0),
            MAKEWORD(VK_F10, HOTKEYF_CONTROL | HOTKEYF_ALT));
  // OK, then the message over the dialog, which stays open.
  auto AnswerRefusal = [&](const std::string& text) -> ::testing::AssertionResult {
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    HWND box = nullptr;
    auto shown = WaitUntil("the refusal", [&] {
      for (HWND window : program_.Dialogs()) {
        if (window != dialog && TextOf(window) == "Hot Keys") box = window;
      }
      return box != nullptr;
    });
    if (!shown) return shown;
    const std::string said = MessageBoxText(box);
    auto answered = Answer(box, IDOK);
    if (!answered) return answered;
    if (said != text || !IsWindowVisible(dialog)) {
      return ::testing::AssertionFailure()
             << "\"" << said << "\", the dialog " << (IsWindowVisible(dialog) ? "open" : "closed");
    }
    return ::testing::AssertionSuccess();
  };
  ASSERT_TRUE(
      AnswerRefusal("Windows refused these keys, because another program holds them:\r\n\r\nStop: "
                    "Ctrl+Alt+F10\r\n\r\nChoose other keys, or clear them with Backspace."));
  // One key for two commands is named as such, and nothing is saved either.
  SendWithTimeout(stopKey, HKM_SETHOTKEY, MAKEWORD(VK_F9, HOTKEYF_CONTROL | HOTKEYF_ALT), 0);
  ASSERT_TRUE(AnswerRefusal("Ctrl+Alt+F9 is chosen for both Start/Pause and Stop."));
  SendWithTimeout(stopKey, HKM_SETHOTKEY, MAKEWORD(VK_F11, HOTKEYF_CONTROL | HOTKEYF_SHIFT), 0);
  ASSERT_TRUE(Answer(dialog, IDOK));
  const std::string options = ReadBytes(OptionsPath());
  EXPECT_NE(options.find("hotkey.startpause=Ctrl+Alt+F9\nhotkey.stop=Ctrl+Shift+F11\n"),
            std::string::npos)
      << options;
  UnregisterHotKey(nullptr, 1);

  // Given up at exit: another program can have the keys then.
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  EXPECT_TRUE(RegisterHotKey(nullptr, 2, MOD_CONTROL | MOD_ALT, VK_F9));
  UnregisterHotKey(nullptr, 2);
}

}  // namespace
}  // namespace vantorel::e2e
