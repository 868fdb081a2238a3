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
  void TickAfter(std::uint32_t ms) {
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
  EXPECT_EQ((std::vector<std::string>{"timer arm 1030"}), system_.Calls("timer"));

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
  for (const std::uint32_t lastAfterMs : {1000u, 45000u}) {
    SCOPED_TRACE(lastAfterMs);
    timerEngine.Reset();
    std::filesystem::remove(LogFile());
    timerEngine.Start();
    system_.Forget();
    TickAfter(1000);
    TickAfter(1000);
    TickAfter(lastAfterMs);
    const std::vector<std::string> expected = {
        "play resource 8002", "count 00:00:01", "timer arm 1030",  "play resource 8002",
        "count 00:00:02",     "timer arm 1030", "count 00:00:03",  "timer kill",
        "enable 3002 on",     "enable 3005 on", "enable 3006 off", "enable 3004 off",
        "play resource 8001", "restore window"};
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
  system_.clockMs = 0xFFFFF000u;  // the clock's zero is not the count's, and it wraps
  timerEngine.Start();
  TickAfter(1000);
  EXPECT_EQ("00:00:01", LastCount());

  // Twelve seconds without a notification (a held thread, sleep): the next one catches up, with
  // one tick cue and the new count shown once, and the next second is armed by the clock.
  system_.Forget();
  TickAfter(12400);
  EXPECT_EQ((std::vector<std::string>{"play resource 8002", "count 00:00:13", "timer arm 630"}),
            system_.calls);

  // Notifications faster than the clock count one each, and on-time ones after them still do;
  // the timer keeps to the clock's seconds.
  Ticks(3);
  EXPECT_EQ("00:00:16", LastCount());
  EXPECT_EQ("timer arm 630", system_.calls.back());
  TickAfter(1000);
  TickAfter(1000);
  EXPECT_EQ("00:00:18", LastCount());

  // Paused time never counts, not even for a notification that comes after Pause.
  timerEngine.Pause();
  TickAfter(600000);
  EXPECT_EQ("00:00:19", LastCount());
  EXPECT_FALSE(system_.armed) << "a notification queued before Pause armed the timer again";
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

// Windows' window timer as the engine meets it there, in microseconds of real time. The clock
// (GetTickCount) moves in steps of 15.625 ms. A timer is due at the clock's reading when armed
// plus its delay, fires at the first step whose reading is past that, and its notification is
// handled up to a step later. Left armed, it re-arms from the moment it fired: this is why a
// 1000 ms timer comes every 1015.6 ms there, where Wine keeps it to the second.
class WindowsTimerModel {
 public:
  static constexpr std::int64_t kStepUs = 15625;

  struct Shown {
    std::uint32_t count;
    std::int64_t atUs;
  };

  WindowsTimerModel(RecordingSystem* system, std::uint32_t clockBaseMs)
      : system_(system), clockBaseMs_(clockBaseMs) {}

  // Real time moves on to `us`; the clock shows the last step before it.
  void MoveTo(std::int64_t us) {
    nowUs_ = us;
    system_->clockMs = Reading(us);
  }

  // While the thread is held, nothing is handled; notifications meanwhile come as one after.
  void Hold(std::int64_t fromUs, std::int64_t toUs) {
    holdFromUs_ = fromUs;
    holdToUs_ = toUs;
  }

  // After a command: a timer armed by it is due from the clock's reading now.
  void Armed() {
    if (system_->arms == arms_) return;
    arms_ = system_->arms;
    dueMs_ = std::int64_t{system_->clockMs - clockBaseMs_} + system_->armedDelayMs;
  }

  // Hands every notification until `untilUs` to the engine, noting each count it shows.
  void RunUntil(std::int64_t untilUs) {
    while (system_->armed) {
      std::int64_t firedUs = ((dueMs_ * 1000) / kStepUs + 1) * kStepUs;
      while (ReadingMs(firedUs) <= dueMs_) firedUs += kStepUs;
      if (firedUs > untilUs) return;
      dueMs_ = ReadingMs(firedUs) + system_->armedDelayMs;
      std::int64_t handledUs = firedUs + static_cast<std::int64_t>(random_() % kStepUs);
      if (handledUs >= holdFromUs_ && handledUs < holdToUs_) {
        handledUs = holdToUs_;
        while (dueMs_ < ReadingMs(holdToUs_)) dueMs_ += system_->armedDelayMs;
      }
      MoveTo(handledUs);
      timerEngine.Tick();
      shown.push_back({timerEngine.elapsedSeconds(), handledUs});
      Armed();
    }
  }

  std::int64_t nowUs() const { return nowUs_; }
  std::vector<Shown> shown;

 private:
  static std::int64_t ReadingMs(std::int64_t us) { return us / kStepUs * kStepUs / 1000; }
  std::uint32_t Reading(std::int64_t us) const {
    return clockBaseMs_ + static_cast<std::uint32_t>(ReadingMs(us));
  }

  RecordingSystem* system_;
  std::uint32_t clockBaseMs_;
  std::minstd_rand random_{20261208};
  std::int64_t nowUs_ = 0;
  std::int64_t dueMs_ = 0;
  unsigned arms_ = 0;
  std::int64_t holdFromUs_ = -1;
  std::int64_t holdToUs_ = -1;
};

TEST_F(TimerEngineTest, ShowsEverySecondOnceOnWindowsTimers) {
  constexpr std::int64_t kSecondUs = 1000000;
  // A clock that wraps in the middle of the hour.
  WindowsTimerModel windows(&system_, 0xFFFFFFFFu - 1800000);
  struct Run {
    const char* name;
    std::int64_t holdFromUs;  // 0: no hold
  };
  for (const Run run : {Run{"an hour", 0}, Run{"an hour held 10.5 s", 1800 * kSecondUs + 200000}}) {
    SCOPED_TRACE(run.name);
    timerEngine.Reset();
    timerEngine.SetLimit(3600);
    windows.shown.clear();
    windows.MoveTo(windows.nowUs() + 7 * kSecondUs + 4321);  // Start falls between two steps
    const std::int64_t startedUs = windows.nowUs();
    const std::int64_t heldUntilUs = run.holdFromUs + 10500000;
    windows.Hold(startedUs + run.holdFromUs, run.holdFromUs ? startedUs + heldUntilUs : -1);
    timerEngine.Start();
    windows.Armed();
    windows.RunUntil(startedUs + 3601 * kSecondUs);

    // Every value once, in order, each at most 50 ms after its whole second since Start and
    // never before it; after a hold, one catch-up as it ends, to the second it ends in.
    std::uint32_t expected = 1;
    unsigned catchUps = 0;
    for (const WindowsTimerModel::Shown& shown : windows.shown) {
      const std::int64_t sinceStartUs = shown.atUs - startedUs;
      if (shown.count != expected) {
        ++catchUps;
        EXPECT_EQ(sinceStartUs, heldUntilUs) << "a value other than the next at " << shown.count;
        EXPECT_EQ(shown.count, static_cast<std::uint32_t>(sinceStartUs / kSecondUs));
        expected = shown.count + 1;
        continue;
      }
      ++expected;
      const std::int64_t lateUs = sinceStartUs - std::int64_t{shown.count} * kSecondUs;
      ASSERT_GE(lateUs, 0) << shown.count << " was shown before its second";
      ASSERT_LE(lateUs, 50000) << shown.count << " was shown " << lateUs << " us after its second";
    }
    EXPECT_EQ(run.holdFromUs ? 1u : 0u, catchUps);
    EXPECT_EQ(3601u, expected) << "the count did not reach the limit";
    EXPECT_FALSE(system_.armed) << "the timer stays armed at the limit";
  }
  // Nothing stays armed after Pause, Stop or Reset either.
  for (void (TimerEngine::*command)() :
       {&TimerEngine::Pause, &TimerEngine::Stop, &TimerEngine::Reset}) {
    timerEngine.Start();
    EXPECT_TRUE(system_.armed);
    (timerEngine.*command)();
    EXPECT_FALSE(system_.armed);
  }
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

// The time remaining, warned of in its last two seconds; with overtime the limit does all it
// does otherwise, once, and the count runs on in the overtime colour until Pause, Stop or Reset.
TEST_F(TimerEngineTest, OvertimeSoundsTheLimitOnceAndCountsOn) {
  options.view = CountView::kRemaining;
  options.warningSeconds = 2;
  for (const bool overtime : {false, true}) {
    SCOPED_TRACE(overtime);
    options.overtime = overtime;
    timerEngine.Reset();
    std::filesystem::remove(LogFile());
    EXPECT_EQ("00:00:03", LastCount());
    timerEngine.Start();
    system_.Forget();
    TickAfter(1000);
    TickAfter(1000);
    TickAfter(1000);
    std::vector<std::string> expected = {
        "play resource 8002",     "count 00:00:02 warning", "timer arm 1030", "play resource 8002",
        "count 00:00:01 warning", "timer arm 1030",         "count 00:00:00"};
    const std::vector<std::string> stops = {"timer kill", "enable 3002 on", "enable 3005 on",
                                            "enable 3006 off", "enable 3004 off"};
    if (overtime) {
      expected.push_back("timer arm 1030");
    } else {
      expected.insert(expected.end(), stops.begin(), stops.end());
    }
    expected.insert(expected.end(), {"play resource 8001", "restore window"});
    EXPECT_EQ(expected, system_.calls);
    if (!overtime) continue;
    // Past the limit: ticking again, no second alarm; a late notification keeps to the clock.
    system_.Forget();
    TickAfter(1000);
    TickAfter(45000);
    EXPECT_EQ(
        (std::vector<std::string>{"play resource 8002", "count -00:00:01 over", "timer arm 1030",
                                  "play resource 8002", "count -00:00:46 over", "timer arm 1030"}),
        system_.calls);
    timerEngine.Pause();
    EXPECT_EQ("S--R", Buttons());
    EXPECT_EQ("-00:00:46 over", LastCount());
    timerEngine.Start();
    timerEngine.Stop();
    EXPECT_EQ("-00:00:46 over", LastCount());
    timerEngine.Reset();
    EXPECT_EQ("00:00:03", LastCount());
    EXPECT_EQ(
        "2009-03-05 08:55:02 - Start Vantorel: Timer Set - 00h:00m:03s\n"
        "2009-03-05 08:55:02 - Timer limit reached.\n"
        "2009-03-05 08:55:02 - Timer paused.\n"
        "2009-03-05 08:55:02 - Start Vantorel: Timer Set - 00h:00m:03s\n"
        "2009-03-05 08:55:02 - Timer stopped.\n"
        "2009-03-05 08:55:02 - Timer reset.\n",
        LogText());
  }
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

// Another host: the engine takes every choice from it and hands it every log entry, and touches
// neither the settings, the options nor the log file itself.
TEST_F(TimerEngineTest, TakesItsChoicesFromTheHostAndLogsThroughIt) {
  class Host : public TimerHost {
   public:
    explicit Host(RecordingSystem* system) : system_(system) {}
    TimerChoices Choices() override { return choices; }
    void Log(TimerEvent event, const char* detail) override {
      static const char* const kEvents[] = {"start", "pause", "stop", "reset", "limit"};
      system_->calls.push_back(std::string("log ") + kEvents[static_cast<int>(event)] + " [" +
                               detail + "]");
    }
    TimerChoices choices{true, "tick.wav", true, "alarm.wav", true, true, CountView::kRemaining, 1};

   private:
    RecordingSystem* system_;
  } host(&system_);
  InstallTimerHost(&host);
  settings.tickEnabled = settings.alarmEnabled = settings.logEnabled = 0;

  timerEngine.Start();
  TickAfter(1000);
  TickAfter(1000);
  TickAfter(1000);
  host.choices.tick = host.choices.log = false;
  TickAfter(1000);
  timerEngine.Pause();
  EXPECT_EQ((std::vector<std::string>{"play tick.wav", "play tick.wav", "play alarm.wav"}),
            system_.Calls("play"));
  EXPECT_EQ((std::vector<std::string>{"count 00:00:03", "count 00:00:02", "count 00:00:01 warning",
                                      "count 00:00:00", "count -00:00:01 over"}),
            system_.Calls("count"));
  EXPECT_EQ(
      (std::vector<std::string>{"log start [Vantorel: Timer Set - 00h:00m:03s]", "log limit []"}),
      system_.Calls("log"));
  EXPECT_FALSE(std::filesystem::exists(LogFile()));
}

}  // namespace
}  // namespace vantorel::testing
