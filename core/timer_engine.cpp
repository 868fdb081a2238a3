#include "core/timer_engine.h"

#include "core/sound_cues.h"
#include "core/time_text.h"
#include "core/timer_host.h"
#include "platform/system.h"
#include "resources/resource.h"

namespace vantorel {

namespace {

// How long after each whole second its notification is due. The system's clock moves in steps
// of about 16 ms and its timers keep to those steps, so a notification due exactly on the
// second could read the clock a step short of it.
constexpr std::uint32_t kNotifyAfterSecondMs = 30;

}  // namespace

TimerEngine timerEngine;

void TimerEngine::ShowIdle() {
  phase_ = TimerPhase::kIdle;
  EnableButtons(true, false, false, false);
  elapsedSeconds_ = 0;
  ShowCount();
}

void TimerEngine::Start() {
  if (limitTotalSeconds_ == 0) {
    TheSystem().ShowMessage("Please set the timer.", "Error! Timer not set.", kMbIconHand);
    // The user presses Start again once a limit is set; the count stays at rest.
    TheSystem().OpenSetTimerDialog();
    return;
  }
  phase_ = TimerPhase::kRunning;
  elapsedSeconds_ = pausedAt_ > 0 ? pausedAt_ : 0;
  ShowCount();
  StartClock();
  ArmForNextSecond();
  EnableButtons(false, true, true, false);
  Log(TimerEvent::kStart, titleText);
}

void TimerEngine::Pause() {
  phase_ = TimerPhase::kPaused;
  pausedAt_ = elapsedSeconds_;
  clockRunning_ = false;
  TheSystem().KillSecondTimer();
  EnableButtons(true, false, false, true);
  Log(TimerEvent::kPause, "");
}

void TimerEngine::Stop() {
  phase_ = TimerPhase::kStopped;
  pausedAt_ = 0;
  clockRunning_ = false;
  TheSystem().KillSecondTimer();
  EnableButtons(true, false, false, true);
  Log(TimerEvent::kStop, "");
}

void TimerEngine::Reset() {
  phase_ = TimerPhase::kIdle;
  clockRunning_ = false;
  TheSystem().KillSecondTimer();
  EnableButtons(true, false, false, false);
  elapsedSeconds_ = 0;
  pausedAt_ = 0;
  ShowCount();
  Log(TimerEvent::kReset, "");
}

void TimerEngine::Tick() {
  const std::uint32_t before = elapsedSeconds_;
  elapsedSeconds_ = NextCount();
  // Crossed from below, not "at least": a count already past a lowered limit runs on.
  if (before < limitTotalSeconds_ && elapsedSeconds_ >= limitTotalSeconds_) {
    ReachLimit();
    return;
  }
  const TimerChoices choices = TheTimerHost().Choices();
  if (choices.tick) PlayCue(IDW_TICK, choices.tickSoundPath);
  ShowCount();
  // A notification after Pause or Stop, already queued when the timer was killed, arms nothing.
  if (clockRunning_) ArmForNextSecond();
}

// The alarm, the window back and the log entry, once; the count stops on the limit, or with
// overtime chosen runs on with Pause and Stop as they were.
void TimerEngine::ReachLimit() {
  ShowCount();
  const TimerChoices choices = TheTimerHost().Choices();
  if (choices.overtime) {
    if (clockRunning_) ArmForNextSecond();
  } else {
    phase_ = TimerPhase::kStopped;
    clockRunning_ = false;
    TheSystem().KillSecondTimer();
    EnableButtons(true, false, false, true);
  }
  if (choices.alarm) PlayCue(IDW_ALARM, choices.alarmSoundPath);
  TheSystem().RestoreMainWindow();
  Log(TimerEvent::kLimitReached, "");
}

void TimerEngine::StartClock() {
  clockRunning_ = true;
  clockStartCount_ = elapsedSeconds_;
  clockStartMs_ = TheSystem().MonotonicMilliseconds();
}

// One second a notification, as the timer's period; more when the clock has measured more since
// Start, because notifications come late on a busy machine and not at all while the thread is
// held or the computer sleeps. Notifications faster than the clock still count one each.
std::uint32_t TimerEngine::NextCount() const {
  const std::uint32_t next = elapsedSeconds_ + 1;
  if (!clockRunning_) return next;
  const std::uint64_t measured = clockStartCount_ + MillisecondsSinceStart() / 1000;
  if (measured <= next) return next;
  // A catch-up stops on the limit rather than jumping past it and never stopping; one that runs
  // on past the limit anyway keeps to the clock.
  if (!TheTimerHost().Choices().overtime && elapsedSeconds_ < limitTotalSeconds_ &&
      measured > limitTotalSeconds_) {
    return limitTotalSeconds_;
  }
  return static_cast<std::uint32_t>(measured);
}

// Each second's notification is armed on its own, for just after the next whole second since
// Start by the clock. A periodic timer falls behind the clock where the system re-arms it from
// the moment it fired (a clock step late each time on Windows), and catching up then skips.
void TimerEngine::ArmForNextSecond() const {
  const std::uint32_t leftOfSecond = 1000 - MillisecondsSinceStart() % 1000;
  TheSystem().ArmSecondTimer(leftOfSecond + kNotifyAfterSecondMs);
}

// The clock wraps after 49.7 days; an unsigned difference is right across the wrap.
std::uint32_t TimerEngine::MillisecondsSinceStart() const {
  return TheSystem().MonotonicMilliseconds() - clockStartMs_;
}

void TimerEngine::ShowCount() {
  const TimerChoices choices = TheTimerHost().Choices();
  char text[kTextBufferSize];
  FormatShownCount(elapsedSeconds_, limitTotalSeconds_, choices.view, text);
  TheSystem().ShowCount(text, ColourOfCount(elapsedSeconds_, limitTotalSeconds_,
                                            choices.warningSeconds, choices.overtime));
}

void TimerEngine::EnableButtons(bool start, bool pause, bool stop, bool reset) {
  const struct {
    int id;
    bool enabled;
  } buttons[] = {{BTN_START, start}, {BTN_PAUSE, pause}, {BTN_STOP, stop}, {BTN_RESET, reset}};
  // Those that come on first, so that a button switching itself off can hand the keyboard
  // focus to one that is already on.
  for (const auto& button : buttons) {
    if (button.enabled) TheSystem().EnableButton(button.id, true);
  }
  for (const auto& button : buttons) {
    if (!button.enabled) TheSystem().EnableButton(button.id, false);
  }
}

void TimerEngine::Log(TimerEvent event, const char* detail) {
  if (TheTimerHost().Choices().log) TheTimerHost().Log(event, detail);
}

}  // namespace vantorel
