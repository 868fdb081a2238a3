// What the timer engine takes from the rest of the program: the user's choices it acts on, and
// somewhere to log its events. core/ keeps no files, so it only declares them here; the program
// installs the host over the settings, the options and the program log (storage/timer_host.h).
#pragma once

#include <cstdint>

#include "core/time_text.h"

namespace vantorel {

// Read afresh for each step of the engine, so a change of the preferences or the options
// counts from the next one on. The paths stay valid until the settings change.
struct TimerChoices {
  bool tick;
  const char* tickSoundPath;  // NO_FILE_SENTINEL: the built-in sound
  bool alarm;
  const char* alarmSoundPath;  // NO_FILE_SENTINEL: the built-in sound
  bool log;
  bool overtime;
  CountView view;
  std::uint32_t warningSeconds;  // 0: no warning
};

enum class TimerEvent { kStart, kPause, kStop, kReset, kLimitReached };

class TimerHost {
 public:
  virtual ~TimerHost() = default;

  virtual TimerChoices Choices() = 0;
  // Writes the entry whatever the choices say; the engine asks for one only when log is on.
  virtual void Log(TimerEvent event, const char* detail) = 0;
};

// Installed once at start (or by a test) before the engine runs, like the system seam.
void InstallTimerHost(TimerHost* host);
TimerHost& TheTimerHost();

}  // namespace vantorel
