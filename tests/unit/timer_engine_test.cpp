#include "fixture.h"

namespace vantorel::testing {
namespace {

class TimerEngineTest : public ProcessTest {
 protected:
  void SetUp() override {
    ProcessTest::SetUp();
    InitSettingsPath();
    LoadSettings();
    InitLogPath();
    FormatTitle(0, 0, 3);
    timerEngine.SetLimit(3);
    timerEngine.ShowIdle();
    system_.Forget();
  }

  // "SPSR" for the enabled state of Start, Pause, Stop and Reset; "-" where off.
  std::string Buttons() const {
    std::string state = "????";
    const char letters[] = "SPSR";
    const int order[] = {3002, 3006, 3004, 3005};
    for (const std::string& call : system_.Calls("enable ")) {
      const int id = std::stoi(call.substr(7, 4));
      for (std::size_t i = 0; i < 4; ++i) {
        if (order[i] == id) state[i] = call.back() == 'n' ? letters[i] : '-';
      }
    }
    return state;
  }

  std::string LastCount() const {
    const auto counts = system_.Calls("count ");
    return counts.empty() ? "" : counts.back().substr(6);
  }

  void Ticks(int count) {
    for (int i = 0; i < count; ++i) timerEngine.Tick();
  }

  // A notification `ms` after the one before, by the monotonic clock.
  void TickAfter(std::uint64_t ms) {
    system_.clockMs += ms;
    timerEngine.Tick();
  }

  std::string LogText() const { return ReadWholeFile(LogFile()); }
};

TEST_F(TimerEngineTest, ButtonsAndCountThroughEveryCommand) {
  timerEngine.ShowIdle();
  EXPECT_EQ("S---", Buttons());
  EXPECT_EQ("00:00:00", LastCount());

  timerEngine.Start();
  EXPECT_EQ("-PS-", Buttons());
  EXPECT_EQ(1u, system_.Calls("timer start").size());

  timerEngine.Pause();
  EXPECT_EQ("S--R", Buttons());
  timerEngine.Start();
  timerEngine.Stop();
  EXPECT_EQ("S--R", Buttons());
  timerEngine.Reset();
  EXPECT_EQ("S---", Buttons());
  EXPECT_EQ("00:00:00", LastCount());

  timerEngine.Start();
  Ticks(3);
  EXPECT_EQ("S--R", Buttons());  // limit reached
  EXPECT_EQ("00:00:03", LastCount());
}

TEST_F(TimerEngineTest, CountsToTheLimitThenStopsRestoresAndSoundsTheAlarm) {
  // The last notification on time, or so late that the clock has passed the limit: either way
  // the count stops on it, as an ordinary last tick does.
  for (const std::uint64_t lastAfterMs : {1000u, 45000u}) {
    SCOPED_TRACE(lastAfterMs);
    timerEngine.Reset();
    std::filesystem::remove(LogFile());
    timerEngine.Start();
    system_.Forget();
    TickAfter(1000);
    TickAfter(1000);
    TickAfter(lastAfterMs);
    const std::vector<std::string> expected = {
        "play resource 8002", "count 00:00:01",  "play resource 8002", "count 00:00:02",
        "count 00:00:03",     "timer kill",      "enable 3002 on",     "enable 3005 on",
        "enable 3006 off",    "enable 3004 off", "play resource 8001", "restore window"};
    EXPECT_EQ(expected, system_.calls);
    EXPECT_EQ(3u, timerEngine.elapsedSeconds());
    EXPECT_EQ(
        "2009-03-05 08:55:02 - Start Vantorel: Timer Set - 00h:00m:03s\n"
        "2009-03-05 08:55:02 - Timer limit reached.\n",
        LogText());
  }
}

TEST_F(TimerEngineTest, CountKeepsToTheClockWhileItRuns) {
  timerEngine.SetLimit(3600);
  system_.clockMs = 5000000;  // the clock's zero is not the count's
  timerEngine.Start();
  TickAfter(1000);
  EXPECT_EQ("00:00:01", LastCount());

  // Twelve seconds without a notification (a held thread, sleep): the next one catches up, with
  // one tick cue and the new count shown once.
  system_.Forget();
  TickAfter(12400);
  EXPECT_EQ((std::vector<std::string>{"play resource 8002", "count 00:00:13"}), system_.calls);

  // Notifications faster than the clock count one each, and on-time ones after them still do.
  Ticks(3);
  EXPECT_EQ("00:00:16", LastCount());
  TickAfter(1000);
  TickAfter(1000);
  EXPECT_EQ("00:00:18", LastCount());

  // Paused time never counts, not even for a notification that comes after Pause.
  timerEngine.Pause();
  TickAfter(600000);
  EXPECT_EQ("00:00:19", LastCount());
  timerEngine.Start();
  TickAfter(1000);
  EXPECT_EQ("00:00:19", LastCount());

  // Nor does stopped time: Start begins at 0 on the clock's reading then.
  timerEngine.Stop();
  system_.clockMs += 600000;
  timerEngine.Start();
  TickAfter(1000);
  EXPECT_EQ("00:00:01", LastCount());
}

TEST_F(TimerEngineTest, ResumeRulesForPauseStopAndFinished) {
  timerEngine.SetLimit(60);
  timerEngine.Start();
  Ticks(10);
  timerEngine.Pause();
  EXPECT_EQ(10u, timerEngine.pausedAt());
  timerEngine.Start();
  EXPECT_EQ("00:00:10", LastCount());
  Ticks(10);
  timerEngine.Stop();
  EXPECT_EQ("00:00:20", LastCount());  // the display keeps what was reached
  timerEngine.Start();
  EXPECT_EQ("00:00:00", LastCount());

  // Finished after a pause: Start resumes from the pause point, which it never clears.
  Ticks(30);
  timerEngine.Pause();
  timerEngine.Start();
  Ticks(30);
  EXPECT_EQ("00:01:00", LastCount());
  EXPECT_EQ("S--R", Buttons());
  timerEngine.Start();
  EXPECT_EQ("00:00:30", LastCount());

  // Finished without a pause since the last Stop: Start begins at 0.
  timerEngine.Stop();
  timerEngine.Start();
  Ticks(60);
  timerEngine.Start();
  EXPECT_EQ("00:00:00", LastCount());

  // Reset while paused clears the pause point.
  Ticks(5);
  timerEngine.Pause();
  timerEngine.Reset();
  EXPECT_EQ(0u, timerEngine.pausedAt());
  EXPECT_EQ("S---", Buttons());
}

TEST_F(TimerEngineTest, LimitIsTestedByEquality) {
  timerEngine.SetLimit(120);
  timerEngine.Start();
  Ticks(120);
  EXPECT_EQ("S--R", Buttons());

  // Lowered below a running count (before it reached the old limit): the count runs on past
  // it, and so does a catch-up, which never goes back to the limit.
  timerEngine.Reset();
  timerEngine.Start();
  Ticks(90);
  timerEngine.SetLimit(60);
  system_.Forget();
  Ticks(129);
  TickAfter(240000);
  EXPECT_EQ(240u, timerEngine.elapsedSeconds());
  EXPECT_TRUE(system_.Calls("timer kill").empty());
  EXPECT_TRUE(system_.Calls("play resource 8001").empty());

  // Raised above it: the count stops when it gets there.
  timerEngine.SetLimit(300);
  Ticks(60);
  EXPECT_EQ(1u, system_.Calls("timer kill").size());
  EXPECT_EQ(1u, system_.Calls("play resource 8001").size());
}

TEST_F(TimerEngineTest, StartWithoutLimitAsksForOneAndDoesNotCount) {
  timerEngine.SetLimit(0);
  timerEngine.Start();
  const std::vector<std::string> expected = {
      "message 0x10 [Error! Timer not set.] Please set the timer.", "set timer dialog"};
  EXPECT_EQ(expected, system_.calls);
  EXPECT_FALSE(std::filesystem::exists(LogFile()));
}

TEST_F(TimerEngineTest, CuesFollowTheirFlagsAndPaths) {
  timerEngine.Start();
  settings.tickEnabled = 2;  // only the value 1 counts as on
  settings.alarmEnabled = 0;
  Ticks(3);
  EXPECT_TRUE(system_.Calls("play").empty());

  std::strcpy(settings.tickWavPath, "C:\\sounds\\tick.wav");
  std::strcpy(settings.alarmWavPath, "no file selected");  // the sentinel is case-sensitive
  settings.tickEnabled = 1;
  settings.alarmEnabled = 1;
  timerEngine.Reset();
  timerEngine.Start();
  Ticks(3);
  const std::vector<std::string> expected = {"play C:\\sounds\\tick.wav",
                                             "play C:\\sounds\\tick.wav", "play no file selected"};
  EXPECT_EQ(expected, system_.Calls("play"));
}

TEST_F(TimerEngineTest, LogEntriesFollowLogEnabledAndQuoteTheTitle) {
  timerEngine.SetLimit(60);
  timerEngine.Start();
  Ticks(7);
  timerEngine.Pause();
  timerEngine.Start();
  timerEngine.Stop();
  timerEngine.Reset();
  timerEngine.SetLimit(2);
  timerEngine.Start();
  Ticks(2);
  EXPECT_EQ(
      "2009-03-05 08:55:02 - Start Vantorel: Timer Set - 00h:00m:03s\n"
      "2009-03-05 08:55:02 - Timer paused.\n"
      "2009-03-05 08:55:02 - Start Vantorel: Timer Set - 00h:00m:03s\n"
      "2009-03-05 08:55:02 - Timer stopped.\n"
      "2009-03-05 08:55:02 - Timer reset.\n"
      "2009-03-05 08:55:02 - Start Vantorel: Timer Set - 00h:00m:03s\n"
      "2009-03-05 08:55:02 - Timer limit reached.\n",
      LogText());

  std::filesystem::remove(LogFile());
  settings.logEnabled = 2;
  timerEngine.Start();
  timerEngine.Pause();
  timerEngine.Stop();
  timerEngine.Reset();
  EXPECT_FALSE(std::filesystem::exists(LogFile()));
}

}  // namespace
}  // namespace vantorel::testing
