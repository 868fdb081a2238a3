// The command line: a first start applies it once its window shows, a second start hands it to
// the running copy and ends once it is applied, a faulty one is refused before anything happens,
// and the running copy takes it from any local program only when it is well formed.
#include <algorithm>
#include <string>
#include <vector>

#include "driver.h"

namespace vantorel::e2e {
namespace {

using CommandLineTest = ProgramTest;

constexpr ULONG_PTR kCommandLineTag = 0x566E746C;
constexpr int kCmdPreferences = 2007;
constexpr int kPreferencesButtonsLeft = 4005;
constexpr int kCmdTimeLimit = 2003;
constexpr int kCmdRecentLimit = 2020;
constexpr int kEditHours = 4011;
const std::string kRunning = "Start- Pause+ Stop+ Reset-";
const std::string kHalted = "Start+ Pause- Stop- Reset+";
const std::string kIdle = "Start+ Pause- Stop- Reset-";
const std::string kUsageStart =
    "Usage:\r\n  vantorel [/limit T] [/show elapsed|remaining] [/warn T] [/overtime on|off]\r\n"
    "           [/ontop on|off] [/web on|off] [/monitor N] [/fullscreen]\r\n"
    "           [/start | /pause | /stop | /reset]\r\n";

// Windows of the program's main class made by process `pid`, hidden ones too.
int MainWindowsOf(DWORD pid) {
  int count = 0;
  for (HWND window = FindWindowExA(nullptr, nullptr, "Vantorel", nullptr); window != nullptr;
       window = FindWindowExA(nullptr, window, "Vantorel", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid) ++count;
  }
  return count;
}

// A start that answers with a message box: its description, then (once answered) the exit code.
struct Answered {
  std::string box = "<no message>";
  std::string text;
  DWORD exitCode = 999;
  int mainWindows = 0;  // made by that start while its message showed
};

Answered StartAndAnswer(const std::string& arguments, const std::string& caption = "Vantorel",
                        DWORD timeoutMs = kTimeoutMs) {
  Answered answered;
  Program start;
  if (!start.Launch(false, arguments)) return answered;
  const HWND box = start.WaitForDialog(caption, timeoutMs);
  if (box == nullptr) return answered;
  answered.box = DescribeMessageBox(box);
  answered.text = MessageBoxText(box);
  answered.mainWindows = MainWindowsOf(start.pid());
  if (Answer(box, IDOK)) start.WaitForExit(&answered.exitCode);
  return answered;
}

std::string Refusal(const std::string& sentence, const std::string& usage) {
  return "Vantorel | " + sentence + "\r\n\r\n" + usage + " | exclamation | OK | no owner";
}

LRESULT SendCommandLine(HWND window, ULONG_PTR tag, const std::string& bytes) {
  COPYDATASTRUCT data = {tag, static_cast<DWORD>(bytes.size()),
                         bytes.empty() ? nullptr : const_cast<char*>(bytes.data())};
  return SendWithTimeout(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

TEST_F(CommandLineTest, FirstStartSetsTheLimitAndCountsToTheAlarm) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.Launch(true, "/limit 0:00:05 /start"));
  ASSERT_TRUE(program_.WaitForMainWindow());
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:00m:05s");
  EXPECT_EQ(program_.ButtonStates(), kRunning);
  SettingsFile expected = QuickSettings();
  expected.limitSeconds = 5;
  EXPECT_EQ(ReadBytes(SettingsPath()), expected.Text());

  ASSERT_TRUE(program_.TickToLimit(5));
  EXPECT_EQ(program_.ButtonStates(), kHalted) << "the limit was not reached";
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  // Four built-in ticks, then the built-in alarm.
  std::string played;
  for (const SoundCall& call : program_.SoundCalls()) played += call.sound + " ";
  EXPECT_EQ(played, "#1f42 #1f42 #1f42 #1f42 #1f41 ");
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{" - Session Start",
                                                   " - Start Vantorel: Timer Set - 00h:00m:05s",
                                                   " - Timer limit reached.", " - Session End"}));
}

// The startup screen holds the window back; a command handed over meanwhile comes after the
// first start's own.
TEST_F(CommandLineTest, ACommandHandedOverDuringTheStartupScreenIsAppliedAfterIt) {
  ASSERT_TRUE(program_.Launch(false, "/limit 0:00:05"));
  ASSERT_TRUE(WaitUntil("the startup screen", [&] { return !program_.Dialogs().empty(); }));
  ASSERT_TRUE(HandOver("/start"));
  ASSERT_TRUE(program_.WaitForMainWindow(10000));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:00m:05s");
  EXPECT_EQ(program_.ButtonStates(), kRunning);
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{" - Session Start",
                                                   " - Start Vantorel: Timer Set - 00h:00m:05s"}));
}

// Each second start ends once the running copy has done what it asks: its state is read at once.
TEST_F(CommandLineTest, SecondStartsWorkTheRunningCopyAsItsButtonsAndDialogWould) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());

  // Start without a limit asks for one: the second start does not wait for that answer.
  ASSERT_TRUE(HandOver("/start"));
  const HWND notSet = program_.WaitForDialog("Error! Timer not set.");
  ASSERT_TRUE(notSet);
  ASSERT_TRUE(Answer(notSet, IDOK));
  const HWND setTimer = program_.WaitForDialog("Set Timer");
  ASSERT_TRUE(setTimer);
  PostMessageA(setTimer, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(setTimer));

  ASSERT_TRUE(HandOver("/limit 90"));
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:01m:30s");
  SettingsFile expected = QuickSettings();
  expected.limitMinutes = 1;
  expected.limitSeconds = 30;
  EXPECT_EQ(ReadBytes(SettingsPath()), expected.Text());

  // The buttons and the count, read at once.
  auto now = [&] { return program_.ButtonStates() + " " + program_.DisplayText(); };
  ASSERT_TRUE(HandOver("/start"));
  EXPECT_EQ(now(), kRunning + " 00:00:00") << "/start";
  ASSERT_TRUE(program_.TickToAtLeast(10));
  ASSERT_TRUE(HandOver("-PAUSE"));
  const std::string paused = now();
  EXPECT_EQ(paused.substr(0, kHalted.size()), kHalted) << "-PAUSE";
  ASSERT_TRUE(HandOver("/Start"));
  EXPECT_EQ(now(), kRunning + paused.substr(kHalted.size())) << "/Start did not resume";
  ASSERT_TRUE(program_.TickToAtLeast(20));
  ASSERT_TRUE(HandOver("/stop"));
  const std::string stopped = now();
  const std::string logStopped = ReadBytes(LogPath());
  EXPECT_EQ(stopped.substr(0, kHalted.size()), kHalted) << "/stop";
  // Pause is disabled now: nothing happens and nothing is logged, as for a click on it.
  ASSERT_TRUE(HandOver("/pause"));
  EXPECT_EQ(now(), stopped) << "/pause of a stopped count";
  EXPECT_EQ(ReadBytes(LogPath()), logStopped) << "/pause of a stopped count";
  ASSERT_TRUE(HandOver("/reset"));
  EXPECT_EQ(now(), kIdle + " 00:00:00") << "/reset";

  ASSERT_TRUE(HandOver("-Limit 1:30:00"));
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 01h:30m:00s");
  expected.limitHours = 1;
  expected.limitMinutes = 30;
  expected.limitSeconds = 0;
  EXPECT_EQ(ReadBytes(SettingsPath()), expected.Text());

  // With Preferences open: applied at once, and the dialog stays open and answers.
  program_.Command(kCmdPreferences);
  const HWND preferences = program_.WaitForDialog("Preferences");
  ASSERT_TRUE(preferences);
  ASSERT_TRUE(HandOver("/start"));
  EXPECT_EQ(program_.ButtonStates(), kRunning) << "/start with Preferences open";
  EXPECT_TRUE(IsWindowVisible(preferences)) << "Preferences closed";
  EXPECT_EQ(TextOf(GetDlgItem(preferences, kPreferencesButtonsLeft)), "430")
      << "Preferences does not answer";
  PostMessageA(preferences, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(preferences));
  EXPECT_TRUE(program_.Dialogs().empty());

  EXPECT_EQ(LogEvents(), (std::vector<std::string>{
                             " - Session Start", " - Start Vantorel: Timer Set - 00h:01m:30s",
                             " - Timer paused.", " - Start Vantorel: Timer Set - 00h:01m:30s",
                             " - Timer stopped.", " - Timer reset.",
                             " - Start Vantorel: Timer Set - 01h:30m:00s"}));
}

TEST_F(CommandLineTest, FaultyLinesAreRefusedAndChangeNothing) {
  // With no copy running: /? alone shows the usage, a faulty line its fault; neither makes a
  // window or the data folder.
  const Answered usage = StartAndAnswer("/?");
  const std::string& usageLines = usage.text;
  EXPECT_EQ(usage.box, "Vantorel | " + usageLines + " | information | OK | no owner");
  EXPECT_EQ(usageLines.substr(0, kUsageStart.size()), kUsageStart);
  EXPECT_EQ(usage.exitCode, 0u);
  const Answered alone = StartAndAnswer("/start /bogus");
  EXPECT_EQ(alone.box, Refusal("Unknown switch \"/bogus\".", usageLines));
  EXPECT_EQ(alone.exitCode, 2u);
  EXPECT_EQ(usage.mainWindows + alone.mainWindows, 0);
  EXPECT_FALSE(FileExists(DataFolder())) << "a refused start made the data folder";

  // With a copy counting: each refused start leaves it, its settings and its log alone.
  ASSERT_TRUE(StartCounting(program_));
  const ULONGLONG started = GetTickCount64();
  const std::string settingsBefore = ReadBytes(SettingsPath());
  const std::string logBefore = ReadBytes(LogPath());
  const int monitors = GetSystemMetrics(SM_CMONITORS);
  const std::string outOfRange = "\" is out of range: it must lie between 1 second and 99:59:59.";
  const struct {
    const char* arguments;
    std::string sentence;
  } faulty[] = {
      {"/bogus", "Unknown switch \"/bogus\"."},
      {"/start -STOP",
       "Only one of /start, /pause, /stop and /reset may be given: \"-STOP\" follows \"/start\"."},
      {"/limit 100:00:00", "The time \"100:00:00" + outOfRange},
      {"/monitor 9", "There is no monitor 9: this computer has " + std::to_string(monitors) +
                         (monitors == 1 ? " monitor." : " monitors.")},
      {"/? /start", "\"/?\" must be given on its own, not with \"/start\"."},
      {"/show sideways /start", "\"sideways\" is not elapsed or remaining."},
      {"/warn 100:00:00", "The time \"100:00:00" + outOfRange.substr(0, outOfRange.size() - 1) +
                              ", or be 0 for no warning."},
      {"/overtime /start", "\"/overtime\" needs on or off."},
  };
  // Each fault is the parser's to find; here: the message, the exit code and nothing changed.
  for (const auto& line : faulty) {
    const Answered refused = StartAndAnswer(line.arguments);
    EXPECT_EQ(refused.box, Refusal(line.sentence, usageLines)) << line.arguments;
    EXPECT_EQ(refused.exitCode, 2u) << line.arguments;
    EXPECT_EQ(refused.mainWindows, 0) << line.arguments;
  }
  unsigned count = 0;
  ASSERT_TRUE(program_.ShownCount(&count));
  const ULONGLONG elapsed = GetTickCount64() - started;
  EXPECT_NEAR(static_cast<double>(count), static_cast<double>(elapsed) / 1000.0, 1.0)
      << "the count did not go on second for second: " << CountText(count) << " after " << elapsed
      << " ms";
  EXPECT_EQ(program_.ButtonStates(), kRunning);
  EXPECT_TRUE(program_.Dialogs().empty()) << "the running copy shows a dialog";
  EXPECT_EQ(ReadBytes(SettingsPath()), settingsBefore);
  EXPECT_EQ(ReadBytes(LogPath()), logBefore);
  EXPECT_FALSE(FileExists(OptionsPath())) << ReadBytes(OptionsPath());

  // A running copy that does not answer within 5 s, held still as by a long piece of work:
  // the second start gives up and says so.
  const HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, program_.thread());
  ASSERT_NE(SuspendThread(thread), static_cast<DWORD>(-1)) << "cannot hold the running copy";
  const Answered unreached = StartAndAnswer("/pause", "Vantorel", 10000);
  ResumeThread(thread);
  CloseHandle(thread);
  EXPECT_EQ(unreached.box,
            "Vantorel | Vantorel is running, but it could not be reached or did not answer within "
            "5 seconds: the command line may not have been applied. | hand | OK | no owner");
  EXPECT_EQ(unreached.exitCode, 1u);
}

TEST_F(CommandLineTest, RunningCopyTakesOnlyWellFormedCommandLinesFromOtherPrograms) {
  ASSERT_TRUE(StartCounting(program_));
  const std::string caption = program_.Caption();
  const std::string settingsBefore = ReadBytes(SettingsPath());
  const std::string logBefore = ReadBytes(LogPath());

  const std::string line = "/limit 0:00:07 /pause";
  const struct {
    const char* what;
    ULONG_PTR tag;
    std::string bytes;
  } malformed[] = {
      {"another tag", kCommandLineTag + 1, line + '\0'},
      {"no terminator", kCommandLineTag, line},
      {"1025 bytes", kCommandLineTag, std::string(1024 - line.size(), ' ') + line + '\0'},
      {"two commands", kCommandLineTag, line + " /stop" + '\0'},
  };
  for (const auto& data : malformed) {
    EXPECT_EQ(SendCommandLine(program_.window(), data.tag, data.bytes), FALSE) << data.what;
  }
  EXPECT_EQ(program_.ButtonStates(), kRunning);
  EXPECT_EQ(program_.Caption(), caption);
  EXPECT_EQ(ReadBytes(SettingsPath()), settingsBefore);
  EXPECT_EQ(ReadBytes(LogPath()), logBefore);

  // 1024 bytes with the terminator: taken.
  const std::string longest = std::string(1023 - line.size(), ' ') + line + '\0';
  EXPECT_EQ(SendCommandLine(program_.window(), kCommandLineTag, longest), TRUE);
  EXPECT_EQ(program_.ButtonStates(), kHalted);
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:00m:07s");
  EXPECT_TRUE(program_.Dialogs().empty());
}

// The switches of how the count is shown and of the window on top: applied before the timer
// command, saved as the menu and the dialog save them, kept over a restart; the limits set
// meanwhile listed in the menu.
TEST_F(CommandLineTest, NewSwitchesAreAppliedSavedAndKept) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(
      program_.Launch(false, "/ontop on /show remaining /warn 0:00:30 /overtime on /limit 1:00"));
  ASSERT_TRUE(program_.WaitForMainWindow());
  ASSERT_TRUE(program_.Sync());
  const HWND window = program_.window();
  EXPECT_TRUE(IsTopmost(window));
  EXPECT_EQ(program_.DisplayText(), "00:01:00");
  SettingsFile expected = QuickSettings();
  expected.limitMinutes = 1;
  EXPECT_EQ(ReadBytes(SettingsPath()), expected.Text()) << "the eighteen lines changed";
  const std::string options = ReadBytes(OptionsPath());
  for (const char* line : {"count.view=remaining\n", "count.warning=00:00:30\n",
                           "count.overtime=on\n", "window.ontop=on\n", "limits.recent=0:01:00\n"}) {
    EXPECT_NE(options.find(line), std::string::npos) << line << " not in\n" << options;
  }

  // On top through full screen and back, and a message above it.
  ASSERT_TRUE(program_.PressKey(VK_F11));
  ASSERT_TRUE(WaitUntil("full screen", [&] { return GetMenu(window) == nullptr; }));
  EXPECT_TRUE(IsTopmost(window)) << "full screen";
  ASSERT_TRUE(program_.PressKey(VK_F11));
  ASSERT_TRUE(WaitUntil("the frame back", [&] { return GetMenu(window) != nullptr; }));
  EXPECT_TRUE(IsTopmost(window)) << "back from full screen";
  // Windows can leave it below others at an unlock, which Wine never sends: staged here.
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ASSERT_FALSE(IsTopmost(window));
  SendMessageA(window, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
  EXPECT_TRUE(IsTopmost(window)) << "after the session was unlocked";
  program_.Command(kCmdTimeLimit);
  const HWND setTimer = program_.WaitForDialog("Set Timer");
  ASSERT_TRUE(setTimer);
  ASSERT_TRUE(SetTextOf(GetDlgItem(setTimer, kEditHours), "100"));
  PostMessageA(setTimer, WM_COMMAND, IDOK, 0);
  const HWND tooMany = program_.WaitForDialog("Maximum Hours Value");
  ASSERT_TRUE(tooMany);
  EXPECT_TRUE(IsTopmost(tooMany)) << "a message hidden behind the window kept on top";
  ASSERT_TRUE(Answer(tooMany, IDOK));
  ASSERT_TRUE(WaitGone(setTimer));

  // Limits set meanwhile, the newest first; a click on one sets it as Set Timer's OK does.
  ASSERT_TRUE(HandOver("/limit 90"));
  ASSERT_TRUE(HandOver("/limit 1:00"));
  program_.Command(kCmdRecentLimit + 1);
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:01m:30s");
  EXPECT_NE(ReadBytes(OptionsPath()).find("limits.recent=0:01:30,0:01:00,99:01:00\n"),
            std::string::npos)
      << ReadBytes(OptionsPath());
  expected.limitMinutes = 1;
  expected.limitSeconds = 30;
  EXPECT_EQ(ReadBytes(SettingsPath()), expected.Text());

  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  ASSERT_TRUE(program_.LaunchAndWait());
  EXPECT_TRUE(IsTopmost(program_.window())) << "after a restart";
  EXPECT_EQ(program_.DisplayText(), "00:01:30") << "the time remaining after a restart";
  ASSERT_TRUE(HandOver("/ontop off /show elapsed"));
  EXPECT_FALSE(IsTopmost(program_.window()));
  EXPECT_EQ(program_.DisplayText(), "00:00:00");
  EXPECT_NE(ReadBytes(OptionsPath()).find("window.ontop=off\n"), std::string::npos);
}

// Full screen on the monitor named, counted with the primary first, then left to right; one
// past the last is refused.
TEST_F(CommandLineTest, FullScreenCoversTheMonitorNamed) {
  std::vector<Monitor> monitors = Monitors();
  ASSERT_FALSE(monitors.empty());
  std::stable_sort(monitors.begin(), monitors.end(), [](const Monitor& a, const Monitor& b) {
    return a.primary != b.primary ? a.primary : a.whole.left < b.whole.left;
  });
  const std::string count = std::to_string(monitors.size());
  const Answered refused = StartAndAnswer("/monitor " + std::to_string(monitors.size() + 1));
  EXPECT_EQ(refused.box.substr(0, refused.box.find("\r\n")),
            "Vantorel | There is no monitor " + std::to_string(monitors.size() + 1) +
                ": this computer has " + count +
                (monitors.size() == 1 ? " monitor." : " monitors."));
  EXPECT_EQ(refused.exitCode, 2u);

  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.Launch(false, "/monitor " + count + " /fullscreen"));
  ASSERT_TRUE(program_.WaitForMainWindow());
  ASSERT_TRUE(program_.Sync());
  const HWND window = program_.window();
  auto expectFullScreenOn = [&](const Monitor& monitor, const char* step) {
    RECT frame = {};
    GetWindowRect(window, &frame);
    EXPECT_EQ(RectText(frame), RectText(monitor.whole)) << step;
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION, 0) << step << ": a caption";
    EXPECT_EQ(GetMenu(window), nullptr) << step << ": a menu";
  };
  expectFullScreenOn(monitors.back(), "the first start");
  ASSERT_TRUE(HandOver("/monitor 1"));
  expectFullScreenOn(monitors.front(), "/monitor 1");
  // On already: /fullscreen keeps it on rather than switching it.
  ASSERT_TRUE(HandOver("/fullscreen"));
  expectFullScreenOn(monitors.front(), "/fullscreen again");
  if (monitors.size() < 2) {
    GTEST_SKIP() << "one monitor: scripts/e2e.sh --desktop two-monitors lays out two";
  }
}

}  // namespace
}  // namespace vantorel::e2e
