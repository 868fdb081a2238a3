// The main window as a person meets it: first start, counting, the buttons' rules, the
// messages, a second copy, closing, signing out, the keyboard focus, the screen saver, menu and
// keys.
#include <algorithm>
#include <string>
#include <vector>

#include "driver.h"

#include <sddl.h>

namespace vantorel::e2e {
namespace {

using MainWindowTest = ProgramTest;

const std::string kStartOneMinute = " - Start Vantorel: Timer Set - 00h:01m:00s";

std::string Describe(const RECT& rect) {
  return "(" + std::to_string(rect.left) + "," + std::to_string(rect.top) + ")-(" +
         std::to_string(rect.right) + "," + std::to_string(rect.bottom) + ")";
}

std::string Describe(HMENU menu) {
  std::string text;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char label[128] = "";
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    item.dwTypeData = label;
    item.cch = sizeof label;
    GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &item);
    if (i > 0) text += ", ";
    if (item.fType & MFT_SEPARATOR) {
      text += "-";
    } else if (item.hSubMenu) {
      text += std::string(label) + " [" + Describe(item.hSubMenu) + "]";
    } else {
      text += std::string(label) + " = " + std::to_string(item.wID);
    }
  }
  return text;
}

std::string Describe(const ACCEL& entry) {
  std::string keys;
  if (entry.fVirt & FCONTROL) keys += "Ctrl+";
  if (entry.fVirt & FALT) keys += "Alt+";
  if (entry.fVirt & FSHIFT) keys += "Shift+";
  if (!(entry.fVirt & FVIRTKEY)) {
    keys += "char ";
  }
  if (entry.key >= VK_F1 && entry.key <= VK_F24) {
    keys += "F" + std::to_string(entry.key - VK_F1 + 1);
  } else {
    keys += static_cast<char>(entry.key);
  }
  return keys + " = " + std::to_string(entry.cmd);
}

// Holds the thread of `window` still for `ms`, as a busy machine or sleep would: no message and
// no timer notification reaches it meanwhile.
::testing::AssertionResult HoldWindowThread(HWND window, DWORD ms) {
  HANDLE thread =
      OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(window, nullptr));
  if (!thread) {
    return ::testing::AssertionFailure()
           << "cannot open the window's thread (error " << GetLastError() << ")";
  }
  const bool held = SuspendThread(thread) != static_cast<DWORD>(-1);
  const DWORD error = GetLastError();
  if (held) {
    Sleep(ms);
    ResumeThread(thread);
  }
  CloseHandle(thread);
  if (!held) {
    return ::testing::AssertionFailure()
           << "cannot hold the window's thread (error " << error << ")";
  }
  return ::testing::AssertionSuccess();
}

// Where the keyboard focus is: a button by its text, "<window>" for the main window itself.
std::string Focus(const Program& program) {
  const HWND focus = FocusedWindow(program.thread());
  if (focus == nullptr) return "<none>";
  return focus == program.window() ? "<window>" : TextOf(focus);
}

// Keys come through the input queue, after posted messages: their outcome is waited for.
::testing::AssertionResult Press(const Program& program, UINT key, const std::string& focus,
                                 const std::string& buttons, UINT modifier = 0) {
  auto pressed = program.PressKey(key, modifier);
  if (!pressed) return pressed;
  return WaitUntil("the focus on " + focus + " and the buttons " + buttons,
                   [&] { return Focus(program) == focus && program.ButtonStates() == buttons; })
         << "; the focus is on " << Focus(program) << ", the buttons " << program.ButtonStates();
}

std::vector<COLORREF> PixelsOf(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  const ScreenShot screen;
  std::vector<COLORREF> pixels;
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x) pixels.push_back(screen.At(x, y));
  }
  return pixels;
}

TEST_F(MainWindowTest, FirstStartShowsTheIdleWindowAndWritesTheDefaults) {
  const long long launched = LocalNowSeconds();
  const ULONGLONG launchTick = GetTickCount64();
  ASSERT_TRUE(program_.Launch());
  // The startup screen, a popup without a caption, comes before the main window.
  bool startupScreenSeen = false;
  ASSERT_TRUE(WaitUntil(
      "the main window after the startup screen",
      [&] {
        for (HWND dialog : program_.Dialogs()) {
          if (!(GetWindowLongA(dialog, GWL_STYLE) & WS_CAPTION)) startupScreenSeen = true;
        }
        return static_cast<bool>(program_.WaitForMainWindow(0));
      },
      10000));
  const ULONGLONG shownAfter = GetTickCount64() - launchTick;
  EXPECT_TRUE(startupScreenSeen) << "no startup screen was seen before the main window";
  EXPECT_GE(shownAfter, 1400u) << "the main window came before the startup screen's 1.5 s";
  ASSERT_TRUE(program_.Sync());

  const HWND window = program_.window();
  const RECT workArea = DesktopWorkArea();
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:00m:00s");
  EXPECT_EQ(program_.DisplayText(), "00:00:00");
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset-");

  // The work area as it is, wherever a taskbar leaves it, and so the caption and the menu in it.
  RECT frame = {};
  GetWindowRect(window, &frame);
  EXPECT_EQ(Describe(frame), Describe(workArea));
  RECT client = ClientRectOnScreen(window);
  EXPECT_TRUE(client.top > workArea.top && client.left >= workArea.left)
      << "client area " << Describe(client) << ", work area " << Describe(workArea);
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  EXPECT_EQ(style & 0x00CA0000, 0x00CA0000) << std::hex << style;
  EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0) << std::hex << style;
  EXPECT_NE(GetMenu(window), nullptr) << "the window has no menu";

  const struct {
    int id;
    const char* text;
    int x;
  } buttons[] = {
      {kStart, "Start", 430}, {kPause, "Pause", 520}, {kStop, "Stop", 610}, {kReset, "Reset", 700}};
  for (const auto& button : buttons) {
    const HWND handle = program_.Button(button.id);
    EXPECT_EQ(TextOf(handle), button.text);
    EXPECT_EQ(Describe(RectInClient(handle, window)),
              Describe({button.x, 10, button.x + 80, 10 + 40}))
        << button.text;
  }
  const HWND display = program_.display();
  const LONG width = workArea.right - workArea.left;
  const LONG height = workArea.bottom - workArea.top;
  EXPECT_EQ(Describe(RectInClient(display, window)), Describe({0, 100, width, 100 + height}));
  const LONG displayStyle = GetWindowLongA(display, GWL_STYLE);
  EXPECT_EQ(displayStyle & (WS_CHILD | WS_VISIBLE | ES_READONLY | ES_CENTER),
            WS_CHILD | WS_VISIBLE | ES_READONLY | ES_CENTER)
      << std::hex << displayStyle;
  EXPECT_EQ(displayStyle & (WS_BORDER | ES_MULTILINE), 0) << std::hex << displayStyle;

  EXPECT_EQ(ReadBytes(SettingsPath()),
            "1\n1\n1\n1\n430\n10\n100\n0\n0\n0\n0\n16777215\n320\n700\n0\nArial\n"
            "No file selected\nNo file selected\n");
  const std::vector<std::string> log = LogLines();
  ASSERT_EQ(log.size(), 1u) << ReadBytes(LogPath());
  EXPECT_EQ(log[0].substr(log[0].size() < 19 ? 0 : 19), " - Session Start");
  const long long stamp = LogTimestamp(log[0]);
  EXPECT_NE(stamp, -1) << "not YYYY-MM-DD hh:mm:ss: " << log[0];
  // Taken after the startup screen: at least a second after the launch, and not in the future.
  EXPECT_GE(stamp, launched + 1) << log[0];
  EXPECT_LE(stamp, LocalNowSeconds()) << log[0];
}

TEST_F(MainWindowTest, LimitReachedByTheRealTimerRestoresTheMinimisedWindow) {
  SettingsFile settings = QuickSettings();
  settings.limitSeconds = 3;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());
  const HWND window = program_.window();
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:00m:03s");

  PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil("the window to be minimised", [&] { return IsIconic(window) != 0; }));
  const ULONGLONG started = GetTickCount64();
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.ButtonStates(), "Start- Pause+ Stop+ Reset-");

  std::vector<std::string> shown;
  ASSERT_TRUE(WaitUntil(
      "the count to reach 00:00:03",
      [&] {
        const std::string text = program_.DisplayText();
        if (shown.empty() || shown.back() != text) shown.push_back(text);
        return text == "00:00:03";
      },
      10000));
  const ULONGLONG took = GetTickCount64() - started;
  EXPECT_EQ(shown, (std::vector<std::string>{"00:00:00", "00:00:01", "00:00:02", "00:00:03"}));
  EXPECT_GE(took, 2900u) << "three ticks of a 1000 ms timer came too fast";
  ASSERT_TRUE(program_.Sync());
  EXPECT_FALSE(IsIconic(window)) << "the window was not restored at the limit";
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset+");
  // The timer is gone: the count stays.
  Sleep(1200);
  EXPECT_EQ(program_.DisplayText(), "00:00:03");
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{" - Session Start",
                                                   " - Start Vantorel: Timer Set - 00h:00m:03s",
                                                   " - Timer limit reached."}));
}

// Thirty seconds of the real timer: on time, then with each notification handled late (held
// over the moment it is due, as on a busy machine), then after ten seconds in which the
// program's thread is held still. Every second shows once, just after it is due since Start,
// never before; the hold costs one catch-up to the clock as it ends.
TEST_F(MainWindowTest, EverySecondShowsOnceOnTimeAndAHoldCatchesUpOnce) {
  SettingsFile settings = QuickSettings();
  settings.limitHours = 99;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(program_.Sync());
  const ULONGLONG started = GetTickCount64();  // the program starts counting after this
  ASSERT_TRUE(program_.Click(kStart));

  // Each change of the count, with the last poll before it and the poll that saw it, in
  // milliseconds since `started`.
  struct Change {
    unsigned count;
    ULONGLONG after;
    ULONGLONG by;
  };
  std::vector<Change> changes;
  ULONGLONG lastPoll = 0;
  auto watchUntil = [&](ULONGLONG until) -> ::testing::AssertionResult {
    for (ULONGLONG now = GetTickCount64() - started; now < until;
         now = GetTickCount64() - started) {
      unsigned count = 0;
      auto read = program_.ShownCount(&count);
      if (!read) return read;
      const ULONGLONG polled = GetTickCount64() - started;
      if (count != (changes.empty() ? 0 : changes.back().count)) {
        changes.push_back({count, lastPoll, polled});
      }
      lastPoll = polled;
      Sleep(1);
    }
    return ::testing::AssertionSuccess();
  };
  auto holdFor = [&](DWORD ms) {
    auto held = HoldWindowThread(program_.window(), ms);
    lastPoll = GetTickCount64() - started;
    return held;
  };

  constexpr unsigned kFirstLate = 9;
  constexpr unsigned kLastLate = 14;
  ASSERT_TRUE(watchUntil(kFirstLate * 1000 - 500));
  for (unsigned second = kFirstLate; second <= kLastLate; ++second) {
    ASSERT_TRUE(watchUntil(second * 1000 + 20));
    ASSERT_TRUE(holdFor(60));
  }
  ASSERT_TRUE(watchUntil(15500));
  ASSERT_TRUE(holdFor(10000));
  const ULONGLONG released = lastPoll;
  ASSERT_TRUE(watchUntil(30500));

  // Under an emulator the program handles each notification more slowly.
  const ULONGLONG slack = ProgramIsEmulated() ? 100 : 0;
  unsigned expected = 1;
  unsigned catchUps = 0;
  ULONGLONG latest[2] = {};  // the latest change after its second: on time, handled late
  for (const Change& change : changes) {
    SCOPED_TRACE(CountText(change.count) + " seen between " + std::to_string(change.after) +
                 " and " + std::to_string(change.by) + " ms after Start");
    const ULONGLONG due = change.count * 1000ull;
    if (change.count != expected) {
      ++catchUps;
      EXPECT_GE(change.by, released) << "a second was skipped before the hold ended";
      EXPECT_LE(change.by, released + 300 + slack) << "the count caught up late after the hold";
      EXPECT_NEAR(static_cast<double>(change.count), static_cast<double>(change.by) / 1000.0, 1.0);
    } else {
      const bool late = change.count >= kFirstLate && change.count <= kLastLate;
      if (change.by >= due) latest[late] = std::max(latest[late], change.by - due);
      EXPECT_GE(change.by, due) << "shown before its second";
      EXPECT_LE(change.by, due + (late ? 150 : 100) + slack) << "shown late";
    }
    expected = change.count + 1;
  }
  std::printf("latest change after its second: %llu ms, %llu ms with notifications held\n",
              latest[0], latest[1]);
  EXPECT_EQ(catchUps, 1u) << "the hold did not cost exactly one catch-up";
  EXPECT_GE(expected, 31u) << "the count fell behind";
}

TEST_F(MainWindowTest, ButtonsFollowTheCountingRulesAndAreLogged) {
  SettingsFile settings = QuickSettings();
  settings.limitMinutes = 1;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());

  // Start from idle, pause at 10, the count stands still, resume from 10.
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.DisplayText(), "00:00:00");
  EXPECT_EQ(program_.ButtonStates(), "Start- Pause+ Stop+ Reset-");
  // The program's own timer may add a second at any moment, so the count is read back.
  ASSERT_TRUE(program_.TickToAtLeast(10));
  ASSERT_TRUE(program_.Click(kPause));
  ASSERT_TRUE(program_.Sync());
  const std::string pausedAt = program_.DisplayText();
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset+");
  Sleep(1100);
  EXPECT_EQ(program_.DisplayText(), pausedAt) << "the count went on while paused";
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.DisplayText(), pausedAt) << "Start did not resume from the pause";
  EXPECT_EQ(program_.ButtonStates(), "Start- Pause+ Stop+ Reset-");

  // Stop at 20 keeps the count on screen; the next Start begins at 0.
  ASSERT_TRUE(program_.TickToAtLeast(20));
  ASSERT_TRUE(program_.Click(kStop));
  ASSERT_TRUE(program_.Sync());
  const std::string stoppedAt = program_.DisplayText();
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset+");
  Sleep(1100);
  EXPECT_EQ(program_.DisplayText(), stoppedAt) << "the count went on after Stop";
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.DisplayText(), "00:00:00") << "Start after Stop did not begin at 0";

  // Reset while paused: 00:00:00 and only Start.
  ASSERT_TRUE(program_.TickToAtLeast(5));
  ASSERT_TRUE(program_.Click(kPause));
  ASSERT_TRUE(program_.Click(kReset));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.DisplayText(), "00:00:00");
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset-");

  // Pause at 30, resume, reach the limit: Start then resumes from the pause point.
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.TickToAtLeast(30));
  ASSERT_TRUE(program_.Click(kPause));
  ASSERT_TRUE(program_.Sync());
  const std::string pausedLater = program_.DisplayText();
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.TickToLimit(60));
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset+") << "at the limit";
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.DisplayText(), pausedLater) << "Start after the limit ignored the pause";
  ASSERT_TRUE(program_.Click(kStop));
  ASSERT_TRUE(program_.Sync());

  EXPECT_EQ(LogEvents(),
            (std::vector<std::string>{
                " - Session Start", kStartOneMinute, " - Timer paused.", kStartOneMinute,
                " - Timer stopped.", kStartOneMinute, " - Timer paused.", " - Timer reset.",
                kStartOneMinute, " - Timer paused.", kStartOneMinute, " - Timer limit reached.",
                kStartOneMinute, " - Timer stopped."}));
}

TEST_F(MainWindowTest, StartWithoutALimitAsksForOneAndStaysAtRest) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(program_.Click(kStart));
  const HWND box = program_.WaitForDialog("Error! Timer not set.");
  ASSERT_TRUE(box);
  EXPECT_EQ(MessageBoxText(box), "Please set the timer.");
  EXPECT_EQ(ChildButtonIds(box), std::vector<int>{IDOK});
  EXPECT_STREQ(IconName(MessageBoxIcon(box)), "hand");
  EXPECT_FALSE(IsTopmost(box)) << "the message is system-modal; it should not be";
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr) << "the message has an owner window";
  ASSERT_TRUE(Answer(box, IDOK));

  const HWND setTimer = program_.WaitForDialog("Set Timer");
  ASSERT_TRUE(setTimer);
  EXPECT_EQ(GetWindow(setTimer, GW_OWNER), program_.window());
  PostMessageA(setTimer, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(setTimer));
  ASSERT_TRUE(program_.Sync());

  EXPECT_EQ(program_.DisplayText(), "00:00:00");
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset-");
  Sleep(1100);
  EXPECT_EQ(program_.DisplayText(), "00:00:00") << "a timer runs without a limit";
  EXPECT_EQ(LogEvents(), std::vector<std::string>{" - Session Start"});
}

// The message of a second copy, answered; then that copy has ended with code 0.
void ExpectSecondCopyStepsAside() {
  Program second;
  ASSERT_TRUE(second.Launch());
  const HWND box = second.WaitForDialog("Attention");
  ASSERT_TRUE(box);
  EXPECT_EQ(MessageBoxText(box), "An instance of this program is already running.");
  EXPECT_EQ(ChildButtonIds(box), std::vector<int>{IDOK});
  EXPECT_STREQ(IconName(MessageBoxIcon(box)), "information");
  EXPECT_TRUE(IsTopmost(box)) << "the message is not system-modal";
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
  EXPECT_TRUE(WindowsOfClass("Vantorel").size() <= 1) << "the second copy made a window of its own";
  ASSERT_TRUE(Answer(box, IDOK));
  DWORD exitCode = 1;
  ASSERT_TRUE(second.WaitForExit(&exitCode));
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(MainWindowTest, SecondCopyStepsAsideRestoresTheFirstAndLeavesItAlone) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());
  const HWND window = program_.window();
  PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil("the window to be minimised", [&] { return IsIconic(window) != 0; }));
  const std::string settingsBefore = ReadBytes(SettingsPath());
  const std::string logBefore = ReadBytes(LogPath());

  ExpectSecondCopyStepsAside();
  ASSERT_TRUE(program_.Running());
  ASSERT_TRUE(program_.Sync());
  EXPECT_FALSE(IsIconic(window)) << "the first copy was left minimised";
  EXPECT_EQ(GetForegroundWindow(), window) << "the first copy was not brought forward";
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(program_.DisplayText(), "00:00:00");
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:00m:00s");
  EXPECT_EQ(ReadBytes(SettingsPath()), settingsBefore);
  EXPECT_EQ(ReadBytes(LogPath()), logBefore) << "the second copy wrote to the log";

  // A copy that runs elevated or as another user holds a mutex this one may not open, as a
  // mutex whose security denies everyone stages it here.
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  PSECURITY_DESCRIPTOR denied = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "D:(D;;GA;;;WD)", SDDL_REVISION_1, &denied, nullptr));
  SECURITY_ATTRIBUTES security = {sizeof security, denied, FALSE};
  const HANDLE mutex = CreateMutexA(&security, FALSE, "VantorelInstanceIsRunning");
  LocalFree(denied);
  ASSERT_TRUE(mutex) << "cannot create the mutex (error " << GetLastError() << ")";
  EXPECT_EQ(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, "VantorelInstanceIsRunning"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "the mutex can be opened";
  const std::string logAfterClose = ReadBytes(LogPath());
  ExpectSecondCopyStepsAside();
  CloseHandle(mutex);
  EXPECT_TRUE(WindowsOfClass("Vantorel").empty());
  EXPECT_EQ(ReadBytes(LogPath()), logAfterClose) << "the copy that could not open the mutex ran";
}

TEST_F(MainWindowTest, AltXWhileCountingEndsTheSession) {
  SettingsFile settings = QuickSettings();
  settings.limitMinutes = 1;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.TickToAtLeast(5));
  ASSERT_TRUE(program_.PressAltKey('X'));
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.WaitForExit(&exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(LogEvents(),
            (std::vector<std::string>{" - Session Start", kStartOneMinute, " - Session End"}));
}

TEST_F(MainWindowTest, MenuKeysAndTheKeyboardAloneReachEveryCommandAndButton) {
  // The menu and keys that the executable carries.
  HMODULE executable = LoadLibraryExA(ProgramPath().c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_TRUE(executable) << "cannot read the resources of " << ProgramPath();
  HMENU menu = LoadMenuA(executable, MAKEINTRESOURCEA(2001));
  ASSERT_TRUE(menu) << "no menu 2001";
  EXPECT_EQ(Describe(menu),
            "Program [Exit\tAlt+X = 2002], "
            "Settings [Time Limit...\tF3 = 2003, Font... = 2004, Text Color... = 2005, "
            "Background Color... = 2006, -, View Program Log...\tF4 = 2010, "
            "Preferences\tF2 = 2007, -, Time Remaining\tF5 = 2013, Warning and Overtime... = 2014, "
            "Always on Top = 2015, Hot Keys... = 2016, Recent Limits [(none yet) = 2020], -, "
            "Web Clock... = 2017], "
            "Help [Contents\tF1 = 2008, About... = 2009]");
  DestroyMenu(menu);
  HACCEL accelerators = LoadAcceleratorsA(executable, MAKEINTRESOURCEA(3001));
  ASSERT_TRUE(accelerators) << "no accelerator table 3001";
  std::vector<ACCEL> entries(
      static_cast<std::size_t>(CopyAcceleratorTableA(accelerators, nullptr, 0)));
  CopyAcceleratorTableA(accelerators, entries.data(), static_cast<int>(entries.size()));
  std::vector<std::string> keys;
  for (const ACCEL& entry : entries) keys.push_back(Describe(entry));
  std::sort(keys.begin(), keys.end());
  EXPECT_EQ(keys, (std::vector<std::string>{"Alt+X = 2002", "F1 = 2008", "F2 = 2007", "F3 = 2003",
                                            "F4 = 2010", "F5 = 2013"}));
  FreeLibrary(executable);

  SettingsFile settings = QuickSettings();
  settings.limitMinutes = 1;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());
  const HWND start = program_.Button(kStart);
  ASSERT_TRUE(program_.Sync());
  const std::vector<COLORREF> startUnfocused = PixelsOf(start);

  // Enter and Escape with no button focused do nothing; Tab finds Start, with a focus rectangle.
  const std::string idle = "Start+ Pause- Stop- Reset-";
  ASSERT_TRUE(Press(program_, VK_RETURN, "<window>", idle));
  ASSERT_TRUE(Press(program_, VK_ESCAPE, "<window>", idle));
  ASSERT_TRUE(Press(program_, VK_TAB, "Start", idle));
  EXPECT_TRUE(
      WaitUntil("a focus rectangle on Start", [&] { return PixelsOf(start) != startUnfocused; }));

  // Space starts; Start, now disabled, hands the focus on. Tab and Shift+Tab skip it.
  const std::string running = "Start- Pause+ Stop+ Reset-";
  const std::string halted = "Start+ Pause- Stop- Reset+";
  ASSERT_TRUE(Press(program_, VK_SPACE, "Pause", running));
  ASSERT_TRUE(Press(program_, VK_TAB, "Stop", running));
  ASSERT_TRUE(Press(program_, VK_TAB, "Pause", running));
  ASSERT_TRUE(Press(program_, VK_TAB, "Stop", running, VK_SHIFT));
  ASSERT_TRUE(Press(program_, VK_TAB, "Pause", running, VK_SHIFT));
  ASSERT_TRUE(Press(program_, VK_SPACE, "Reset", halted));
  // Enter presses the focused button too; Escape does nothing.
  ASSERT_TRUE(Press(program_, VK_TAB, "Start", halted));
  ASSERT_TRUE(Press(program_, VK_RETURN, "Pause", running));
  ASSERT_TRUE(Press(program_, VK_ESCAPE, "Pause", running));
  ASSERT_TRUE(Press(program_, VK_TAB, "Stop", running));
  ASSERT_TRUE(Press(program_, VK_RETURN, "Reset", halted));
  ASSERT_TRUE(Press(program_, VK_SPACE, "Start", idle));
  EXPECT_EQ(LogEvents(),
            (std::vector<std::string>{" - Session Start", kStartOneMinute, " - Timer paused.",
                                      kStartOneMinute, " - Timer stopped.", " - Timer reset."}));

  // F3 with the focus on a button opens Set Timer; F3 again while it is open does nothing.
  ASSERT_TRUE(program_.PressKey(VK_F3));
  const HWND setTimer = program_.WaitForDialog("Set Timer");
  ASSERT_TRUE(setTimer);
  EXPECT_EQ(GetWindow(setTimer, GW_OWNER), program_.window());
  program_.PostKey(VK_F3);
  ASSERT_TRUE(program_.Sync());
  Sleep(200);
  EXPECT_EQ(program_.Dialogs().size(), 1u) << "F3 worked while a dialog was open";
  PostMessageA(setTimer, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(setTimer));
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(MainWindowTest, DisplayNeverKeepsTheFocus) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());
  const HWND display = program_.display();
  for (int attempt = 0; attempt < 3; ++attempt) {
    PostMessageA(display, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40 + attempt * 300, 60));
    PostMessageA(display, WM_LBUTTONUP, 0, MAKELPARAM(40 + attempt * 300, 60));
    ASSERT_TRUE(program_.Sync());
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetGUIThreadInfo(program_.thread(), &info));
    EXPECT_EQ(info.hwndFocus, program_.window()) << "click " << attempt;
    EXPECT_NE(info.hwndCaret, display) << "click " << attempt;
  }
}

TEST_F(MainWindowTest, ScreenSaverAndSessionEndComeBackAtExitAndAtSignOut) {
  // On at start: off while the program runs, on again after it.
  SwitchDisplayScreenSaver(true);
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());
  EXPECT_EQ(WineScreenSaveRecord(), "0") << "the screen saver was not switched off";
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  EXPECT_EQ(WineScreenSaveRecord(), "1") << "the screen saver was not switched back on";

  // Signing out: Windows may end the process after WM_ENDSESSION without destroying the window.
  // A session end that was called off changes nothing.
  SwitchDisplayScreenSaver(true);
  ASSERT_TRUE(program_.LaunchAndWait());
  const std::vector<std::string> started = {" - Session Start", " - Session End",
                                            " - Session Start"};
  EXPECT_EQ(SendWithTimeout(program_.window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  SendWithTimeout(program_.window(), WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
  EXPECT_EQ(LogEvents(), started);
  EXPECT_EQ(WineScreenSaveRecord(), "0");
  EXPECT_EQ(SendWithTimeout(program_.window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
  SendWithTimeout(program_.window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  program_.Kill();
  std::vector<std::string> ended = started;
  ended.push_back(" - Session End");
  EXPECT_EQ(LogEvents(), ended);
  EXPECT_EQ(WineScreenSaveRecord(), "1") << "the screen saver was not switched back on";

  // Off at start: the program leaves it alone. A window destroyed after the session's end
  // does not log it twice.
  SwitchDisplayScreenSaver(false);
  ASSERT_TRUE(program_.LaunchAndWait());
  EXPECT_EQ(WineScreenSaveRecord(), "") << "the program switched the screen saver";
  SendWithTimeout(program_.window(), WM_ENDSESSION, TRUE, 0);
  ASSERT_TRUE(program_.Close(&exitCode));
  EXPECT_EQ(WineScreenSaveRecord(), "") << "the program switched the screen saver at exit";
  ended.push_back(" - Session Start");
  ended.push_back(" - Session End");
  EXPECT_EQ(LogEvents(), ended);
  SwitchDisplayScreenSaver(true);
}

}  // namespace
}  // namespace vantorel::e2e
