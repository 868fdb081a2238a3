// The View Program Log dialog: the log as a list, its deletion, a missing log, and a long log
// listed while the count runs, without what is written behind the open dialog.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "driver.h"

namespace vantorel::e2e {
namespace {

using ViewLogTest = ProgramTest;

constexpr int kList = 4002;
constexpr int kDeleteLog = 4004;

const std::string kNewLog = " - New log started.";

HWND OpenViewLog(Program& program) {
  program.PostKey(VK_F4);
  return program.WaitForDialog("View Program Log");
}

// A log left by earlier sessions, with a line wider than the list.
void PrepareLog() {
  CreateDirectoryA(DataFolder().c_str(), nullptr);
  std::string wide = "2026-03-01 09:15:02 - Start Vantorel: Timer Set - 00h:01m:00s";
  wide += std::string(160, '.') + "end";
  ASSERT_TRUE(WriteBytes(LogPath(), "2026-03-01 09:15:00 - Session Start\n" + wide +
                                        "\n2026-03-01 09:16:02 - Timer limit reached.\n"));
}

// The log file holds exactly one line, the new start, written just now.
void ExpectNewLog(long long since) {
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 1u) << ReadBytes(LogPath());
  ASSERT_GE(lines[0].size(), 19u);
  EXPECT_EQ(lines[0].substr(19), kNewLog);
  EXPECT_GE(LogTimestamp(lines[0]), since) << lines[0];
  EXPECT_LE(LogTimestamp(lines[0]), LocalNowSeconds()) << lines[0];
}

TEST_F(ViewLogTest, ListsTheLogInFileOrderAndOnlyOkOrTheCloseBoxEndIt) {
  PrepareSettings(QuickSettings());
  PrepareLog();
  ASSERT_TRUE(program_.LaunchAndWait());
  const std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 4u) << "the program added no session start";

  const HWND dialog = OpenViewLog(program_);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), program_.window());
  const HWND list = GetDlgItem(dialog, kList);
  EXPECT_EQ(ListBoxLines(list), lines);
  EXPECT_EQ(SendWithTimeout(list, LB_GETTOPINDEX, 0, 0), 0) << "the oldest line is not on top";
  EXPECT_EQ(SendWithTimeout(list, LB_GETHORIZONTALEXTENT, 0, 0), 2048);
  const HWND focus = FocusedWindow(program_.thread());
  EXPECT_EQ(focus, GetDlgItem(dialog, IDOK)) << "focus on \"" << TextOf(focus) << "\"";

  PostKey(focus, VK_ESCAPE);
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(program_.Sync());
  EXPECT_TRUE(IsWindowVisible(dialog)) << "Escape closed the dialog";
  ASSERT_TRUE(Answer(dialog, IDOK));

  const HWND again = OpenViewLog(program_);
  ASSERT_TRUE(again);
  EXPECT_EQ(ListBoxLines(GetDlgItem(again, kList)), lines);
  PostMessageA(again, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(again));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(LogLines(), lines) << "looking at the log changed it";
}

TEST_F(ViewLogTest, DeleteAsksFirstAndStartsANewLogWhetherLoggingIsOnOrOff) {
  for (int logEnabled : {1, 0}) {
    SCOPED_TRACE(logEnabled ? "logging on" : "logging off");
    SettingsFile settings = QuickSettings();
    settings.logEnabled = logEnabled;
    PrepareSettings(settings);
    PrepareLog();
    ASSERT_TRUE(program_.LaunchAndWait());
    const std::string before = ReadBytes(LogPath());

    const HWND dialog = OpenViewLog(program_);
    ASSERT_TRUE(dialog);
    const HWND list = GetDlgItem(dialog, kList);
    const std::vector<std::string> shown = ListBoxLines(list);
    EXPECT_EQ(shown.size(), logEnabled ? 4u : 3u);

    PostMessageA(dialog, WM_COMMAND, kDeleteLog, 0);
    HWND box = program_.WaitForDialog("Confirm deletion of Program Log");
    ASSERT_TRUE(box);
    EXPECT_EQ(DescribeMessageBox(box),
              "Confirm deletion of Program Log | Are you sure? | exclamation | OK+Cancel | "
              "no owner");
    ASSERT_TRUE(Answer(box, IDCANCEL));
    ASSERT_TRUE(program_.Sync());
    EXPECT_EQ(ReadBytes(LogPath()), before) << "Cancel deleted the log";
    EXPECT_EQ(ListBoxLines(list), shown);

    const long long asked = LocalNowSeconds();
    PostMessageA(dialog, WM_COMMAND, kDeleteLog, 0);
    box = program_.WaitForDialog("Confirm deletion of Program Log");
    ASSERT_TRUE(box);
    ASSERT_TRUE(Answer(box, IDOK));
    ASSERT_TRUE(program_.Sync());
    ExpectNewLog(asked);
    EXPECT_EQ(ListBoxLines(list), LogLines());
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the deletion closed the dialog";
    ASSERT_TRUE(Answer(dialog, IDOK));
  }
}

TEST_F(ViewLogTest, MissingLogIsReportedOnceAndTheListStaysEmpty) {
  SettingsFile settings = QuickSettings();
  settings.logEnabled = 0;  // so that nothing writes the log
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_FALSE(FileExists(LogPath()));

  program_.PostKey(VK_F4);
  const HWND box = program_.WaitForDialog("An unexpected error has occurred!");
  ASSERT_TRUE(box);
  EXPECT_EQ(DescribeMessageBox(box),
            "An unexpected error has occurred! | Cannot read program log! | hand | OK | no owner, "
            "system-modal");
  ASSERT_TRUE(Answer(box, IDOK));
  const HWND dialog = program_.WaitForDialog("View Program Log");
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(program_.Sync());
  Sleep(200);
  EXPECT_EQ(program_.Dialogs(), std::vector<HWND>{dialog}) << "more than one message";
  EXPECT_EQ(ListBoxLines(GetDlgItem(dialog, kList)), std::vector<std::string>{});
  ASSERT_TRUE(Answer(dialog, IDOK));
  EXPECT_FALSE(FileExists(LogPath()));
}

// Months of use: a log of 200,000 lines, about 8 MB, each line different.
constexpr unsigned kLongLogLines = 200000;

void PrepareLongLog() {
  CreateDirectoryA(DataFolder().c_str(), nullptr);
  static const char* const kEvents[] = {
      " - Session Start", " - Timer reset.",         " - Start Vantorel: Timer Set - 00h:25m:00s",
      " - Timer paused.", " - Timer limit reached.", " - Session End"};
  std::string log;
  log.reserve(kLongLogLines * 42);
  char line[96];
  for (unsigned i = 0; i < kLongLogLines; ++i) {
    std::snprintf(line, sizeof line, "2026-01-%.2u %.2u:%.2u:%.2u%s\n", 1 + i / 86400,
                  i / 3600 % 24, i / 60 % 60, i % 60, kEvents[i % 6]);
    log += line;
  }
  ASSERT_TRUE(WriteBytes(LogPath(), log));
}

// Waits until the list holds `count` lines, then compares a spread of them, the first and the
// last few included, with `lines`: reading all of them across processes would take minutes.
::testing::AssertionResult ListsInOrder(HWND list, const std::vector<std::string>& lines) {
  const long expected = static_cast<long>(lines.size());
  long count = 0;
  auto filled = WaitUntil(
      "the list to hold " + std::to_string(expected) + " lines",
      [&] { return (count = ListBoxCount(list)) >= expected || count < 0; }, 60000);
  if (!filled) return filled << "; it holds " << count;
  if (count != expected) {
    return ::testing::AssertionFailure()
           << "the list holds " << count << " lines, not " << expected;
  }
  std::vector<std::size_t> samples;
  for (std::size_t i = 0; i < lines.size(); i += 997) samples.push_back(i);
  for (std::size_t i = lines.size() < 5 ? 0 : lines.size() - 5; i < lines.size(); ++i) {
    samples.push_back(i);
  }
  for (std::size_t i : samples) {
    const std::string shown = ListBoxLine(list, i);
    if (shown != lines[i]) {
      return ::testing::AssertionFailure()
             << "line " << i << " shows \"" << shown << "\", not \"" << lines[i] << "\"";
    }
  }
  return ::testing::AssertionSuccess();
}

// The list is filled while the dialog is open, and the main window's count runs meanwhile;
// only what the log held when the dialog opened is listed, whoever writes after that.
TEST_F(ViewLogTest, LongLogIsListedWhileTheCountRunsAndNothingWrittenBehindIt) {
  SettingsFile settings = QuickSettings();
  settings.limitMinutes = 1;
  PrepareSettings(settings);
  PrepareLongLog();
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(program_.Click(kStart));
  const ULONGLONG started = GetTickCount64();
  ASSERT_TRUE(program_.Sync());
  const std::vector<std::string> snapshot = LogLines();
  ASSERT_EQ(snapshot.size(), kLongLogLines + 2) << "no session start and start entries";

  const ULONGLONG pressed = GetTickCount64();
  const HWND dialog = OpenViewLog(program_);
  ASSERT_TRUE(dialog);
  // Under a second on a quiet machine (scripts/benchmark.sh); a synchronous fill took 3-13 s.
  EXPECT_LT(GetTickCount64() - pressed, 2000u) << "F4 with " << snapshot.size() << " log lines";
  const HWND list = GetDlgItem(dialog, kList);
  {
    std::ofstream log(LogPath(), std::ios::binary | std::ios::app);
    log << "2026-12-31 23:59:59 - written by another program\n";
  }
  EXPECT_TRUE(ListsInOrder(list, snapshot));
  const ULONGLONG listed = GetTickCount64();
  unsigned shown = 0;
  ASSERT_TRUE(program_.ShownCount(&shown));
  const unsigned wallClock = static_cast<unsigned>((listed - started) / 1000);
  std::printf("%zu lines listed %llu ms after Start; the count shows %u s\n", snapshot.size(),
              listed - started, shown);
  EXPECT_GE(shown + 1, wallClock) << "the count fell behind the clock while the list filled";
  EXPECT_LE(shown, wallClock + 1);

  ASSERT_TRUE(program_.TickToLimit(60));
  ASSERT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset+") << "not stopped at the limit";
  const std::vector<std::string> logged = LogLines();
  ASSERT_EQ(logged.size(), snapshot.size() + 2);
  EXPECT_EQ(logged.back().substr(19), " - Timer limit reached.");
  EXPECT_EQ(ListBoxCount(list), static_cast<long>(snapshot.size())) << "the open list changed";
  ASSERT_TRUE(Answer(dialog, IDOK));

  const HWND again = OpenViewLog(program_);
  ASSERT_TRUE(again);
  EXPECT_TRUE(ListsInOrder(GetDlgItem(again, kList), logged));
  ASSERT_TRUE(Answer(again, IDOK));
}

}  // namespace
}  // namespace vantorel::e2e
