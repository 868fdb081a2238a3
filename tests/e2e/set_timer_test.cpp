// The Set Timer dialog: what it shows, what OK applies and corrects, what Escape and the close
// box leave alone, and a limit changed under a running count.
#include <string>
#include <vector>

#include "driver.h"

namespace vantorel::e2e {
namespace {

using SetTimerTest = ProgramTest;

constexpr int kHours = 4011;
constexpr int kMinutes = 4012;
constexpr int kSeconds = 4013;

std::vector<std::string> Fields(HWND dialog) {
  return {TextOf(GetDlgItem(dialog, kHours)), TextOf(GetDlgItem(dialog, kMinutes)),
          TextOf(GetDlgItem(dialog, kSeconds))};
}

::testing::AssertionResult Type(HWND dialog, const std::string& hours, const std::string& minutes,
                                const std::string& seconds) {
  if (SetTextOf(GetDlgItem(dialog, kHours), hours) &&
      SetTextOf(GetDlgItem(dialog, kMinutes), minutes) &&
      SetTextOf(GetDlgItem(dialog, kSeconds), seconds)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "cannot type into the Set Timer fields";
}

HWND OpenSetTimer(Program& program) {
  program.PostKey(VK_F3);
  return program.WaitForDialog("Set Timer");
}

// OK, then the dialog must close without a single message.
void ConfirmQuietly(Program& program, HWND dialog) {
  ASSERT_TRUE(Answer(dialog, IDOK));
  ASSERT_TRUE(program.Sync());
  EXPECT_TRUE(program.Dialogs().empty()) << "a message followed OK";
}

TEST_F(SetTimerTest, F3ShowsTheLimitAndOnlyOkAppliesIt) {
  SettingsFile settings = QuickSettings();
  settings.tickEnabled = 0;  // thousands of ticks are posted below
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());
  const std::string before = ReadBytes(SettingsPath());

  HWND dialog = OpenSetTimer(program_);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), program_.window());
  EXPECT_EQ(Fields(dialog), (std::vector<std::string>{"0", "0", "0"}));
  const HWND focus = FocusedWindow(program_.thread());
  EXPECT_EQ(focus, GetDlgItem(dialog, IDOK)) << "focus on \"" << TextOf(focus) << "\"";

  // Pending values survive Escape, and the close box drops them.
  ASSERT_TRUE(Type(dialog, "9", "9", "9"));
  PostKey(focus, VK_ESCAPE);
  PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(program_.Sync());
  ASSERT_TRUE(IsWindowVisible(dialog)) << "Escape closed the dialog";
  EXPECT_EQ(Fields(dialog), (std::vector<std::string>{"9", "9", "9"}));
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(dialog));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:00m:00s");
  EXPECT_EQ(ReadBytes(SettingsPath()), before) << "the close box applied the values";

  dialog = OpenSetTimer(program_);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Fields(dialog), (std::vector<std::string>{"0", "0", "0"}));
  ASSERT_TRUE(Type(dialog, "1", "30", "0"));
  ConfirmQuietly(program_, dialog);
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 01h:30m:00s");
  settings.limitHours = 1;
  settings.limitMinutes = 30;
  EXPECT_EQ(ReadBytes(SettingsPath()), settings.Text());

  dialog = OpenSetTimer(program_);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Fields(dialog), (std::vector<std::string>{"1", "30", "0"}));
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(dialog));

  // The limit in force is 5,400 seconds: the count runs on at 01:29:5x and stops at 01:30:00.
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.PostTicks(5390));
  EXPECT_EQ(program_.ButtonStates(), "Start- Pause+ Stop+ Reset-") << "stopped before the limit";
  ASSERT_TRUE(program_.TickToLimit(5400));
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset+") << "not stopped at the limit";
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{" - Session Start",
                                                   " - Start Vantorel: Timer Set - 01h:30m:00s",
                                                   " - Timer limit reached."}));
}

TEST_F(SetTimerTest, PartsAboveTheirMaximumAreCorrectedOneMessageAtATime) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());

  HWND dialog = OpenSetTimer(program_);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(Type(dialog, "150", "75", "80"));
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  const struct {
    const char* caption;
    const char* description;
    const char* next;
  } messages[] = {
      {"Maximum Hours Value",
       "Maximum Hours Value | Maximum value is 99 hours | exclamation | OK | no owner",
       "Maximum Minutes Value"},
      {"Maximum Minutes Value",
       "Maximum Minutes Value | Maximum value is 59 minutes! | exclamation | OK | no owner",
       "Maximum Seconds Value"},
      {"Maximum Seconds Value",
       "Maximum Seconds Value | Maximum value is 59 seconds! | exclamation | OK | no owner",
       nullptr},
  };
  for (const auto& message : messages) {
    const HWND box = program_.WaitForDialog(message.caption);
    ASSERT_TRUE(box);
    EXPECT_EQ(DescribeMessageBox(box), message.description);
    // Each message waits for its answer before the next part is read.
    Sleep(200);
    if (message.next) {
      EXPECT_FALSE(program_.FindDialog(message.next)) << "before the answer";
    }
    EXPECT_TRUE(IsWindow(dialog)) << "the dialog closed before its messages were answered";
    ASSERT_TRUE(Answer(box, IDOK));
  }
  ASSERT_TRUE(WaitGone(dialog));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 99h:59m:59s");
  std::vector<std::string> lines = SettingsFileLines();
  lines.resize(18);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 7, lines.begin() + 10),
            (std::vector<std::string>{"99", "59", "59"}));

  // The largest values pass as shown; Enter on the focused OK confirms them.
  dialog = OpenSetTimer(program_);
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Fields(dialog), (std::vector<std::string>{"99", "59", "59"}));
  PostKey(FocusedWindow(program_.thread()), VK_RETURN);
  ASSERT_TRUE(WaitGone(dialog));
  ASSERT_TRUE(program_.Sync());
  EXPECT_TRUE(program_.Dialogs().empty()) << "99:59:59 was reported";
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 99h:59m:59s");

  // Empty fields and a number beyond 32 bits read as 0, without a message.
  dialog = OpenSetTimer(program_);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(Type(dialog, "", "5", "4294967296"));
  ConfirmQuietly(program_, dialog);
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:05m:00s");
  lines = SettingsFileLines();
  lines.resize(18);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 7, lines.begin() + 10),
            (std::vector<std::string>{"0", "5", "0"}));
}

TEST_F(SetTimerTest, StartWithoutALimitOpensTheDialogAndLeavesTheCountAtRest) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(program_.Click(kStart));
  const HWND box = program_.WaitForDialog("Error! Timer not set.");
  ASSERT_TRUE(box);
  ASSERT_TRUE(Answer(box, IDOK));
  const HWND dialog = program_.WaitForDialog("Set Timer");
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(Type(dialog, "0", "0", "5"));
  ConfirmQuietly(program_, dialog);
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:00m:05s");
  EXPECT_EQ(program_.DisplayText(), "00:00:00");
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset-");
  Sleep(1100);
  EXPECT_EQ(program_.DisplayText(), "00:00:00") << "the count started from the dialog";
  EXPECT_EQ(LogEvents(), std::vector<std::string>{" - Session Start"});

  // The next Start counts to the new limit.
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.TickToLimit(5));
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset+");
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{" - Session Start",
                                                   " - Start Vantorel: Timer Set - 00h:00m:05s",
                                                   " - Timer limit reached."}));
}

TEST_F(SetTimerTest, ANewLimitActsOnTheRunningCount) {
  SettingsFile settings = QuickSettings();
  settings.limitMinutes = 5;
  settings.tickEnabled = 0;  // so that the trace holds only alarms
  PrepareSettings(settings);
  ASSERT_TRUE(program_.Launch(true));
  ASSERT_TRUE(program_.WaitForMainWindow());
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.TickToAtLeast(120));

  // Lowered below the count: the count goes on, also while the dialog is open.
  HWND dialog = OpenSetTimer(program_);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(program_.TickToAtLeast(125));
  ASSERT_TRUE(Type(dialog, "0", "1", "0"));
  ConfirmQuietly(program_, dialog);
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:01m:00s");
  ASSERT_TRUE(program_.TickToAtLeast(130));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.ButtonStates(), "Start- Pause+ Stop+ Reset-") << "stopped past the limit";

  // Raised above it: the count stops there, with the alarm.
  dialog = OpenSetTimer(program_);
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(Type(dialog, "0", "3", "0"));
  ConfirmQuietly(program_, dialog);
  ASSERT_TRUE(program_.TickToAtLeast(170));
  EXPECT_EQ(program_.ButtonStates(), "Start- Pause+ Stop+ Reset-");
  ASSERT_TRUE(program_.TickToLimit(180));
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset+") << "not stopped at 00:03:00";
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{" - Session Start",
                                                   " - Start Vantorel: Timer Set - 00h:05m:00s",
                                                   " - Timer limit reached."}));
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  const std::vector<SoundCall> sounds = program_.SoundCalls();
  ASSERT_EQ(sounds.size(), 1u) << "one alarm, at the raised limit";
  EXPECT_EQ(sounds[0].sound, "#1f41");
}

}  // namespace
}  // namespace vantorel::e2e
