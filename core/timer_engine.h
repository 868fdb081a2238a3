// The counter of elapsed seconds with its Start, Pause, Stop and Reset commands and its
// once-a-second tick. Everything it does outside itself goes through the system seam, the
// sound cues and the timer host (the user's choices and the log). A tick counts one second, or
// more when the clock says that notifications came late or not at all; each second's
// notification is armed by the clock. With overtime chosen, the limit sounds its alarm and the
// count runs on past it.
#pragma once

#include <cstdint>

#include "core/timer_host.h"

namespace vantorel {

// Where the count is: at rest from the start or a Reset (only Start enabled), counting, paused,
// or stopped by Stop or at the limit.
enum class TimerPhase { kIdle, kRunning, kPaused, kStopped };

class TimerEngine {
 public:
  // The engine as the program starts: count 0 shown, only Start enabled.
  void ShowIdle();

  void SetLimit(std::uint32_t totalSeconds) { limitTotalSeconds_ = totalSeconds; }
  // Shows the count anew, as the options now want it shown: after a new limit, view or warning.
  void Refresh() { ShowCount(); }
  void Start();
  void Pause();
  void Stop();
  void Reset();
  void Tick();

  std::uint32_t elapsedSeconds() const { return elapsedSeconds_; }
  std::uint32_t pausedAt() const { return pausedAt_; }
  std::uint32_t limitTotalSeconds() const { return limitTotalSeconds_; }
  TimerPhase phase() const { return phase_; }

 private:
  void ReachLimit();
  void StartClock();
  std::uint32_t NextCount() const;
  void ArmForNextSecond() const;
  std::uint32_t MillisecondsSinceStart() const;
  void ShowCount();
  void EnableButtons(bool start, bool pause, bool stop, bool reset);
  void Log(TimerEvent event, const char* detail);

  std::uint32_t elapsedSeconds_ = 0;
  std::uint32_t pausedAt_ = 0;
  std::uint32_t limitTotalSeconds_ = 0;
  TimerPhase phase_ = TimerPhase::kIdle;
  // The count and the clock's reading at the last Start; the clock only counts while running.
  bool clockRunning_ = false;
  std::uint32_t clockStartCount_ = 0;
  std::uint32_t clockStartMs_ = 0;
};

extern TimerEngine timerEngine;

}  // namespace vantorel
