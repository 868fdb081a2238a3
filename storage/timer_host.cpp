#include "storage/timer_host.h"

#include "storage/options.h"
#include "storage/program_log.h"
#include "storage/settings.h"

namespace vantorel {

namespace {

class StoredHost : public TimerHost {
 public:
  // The settings' flags count as on only when they equal 1.
  TimerChoices Choices() override {
    return {settings.tickEnabled == 1,
            settings.tickWavPath,
            settings.alarmEnabled == 1,
            settings.alarmWavPath,
            settings.logEnabled == 1,
            options.overtime,
            options.view,
            options.warningSeconds};
  }

  void Log(TimerEvent event, const char* detail) override {
    WriteLogEntry(EventText(event), detail);
  }

 private:
  static const char* EventText(TimerEvent event) {
    switch (event) {
      case TimerEvent::kStart: return kLogStart;
      case TimerEvent::kPause: return kLogPaused;
      case TimerEvent::kStop: return kLogStopped;
      case TimerEvent::kReset: return kLogReset;
      case TimerEvent::kLimitReached: return kLogLimitReached;
    }
    return "";
  }
};

}  // namespace

TimerHost& StoredTimerHost() {
  static StoredHost host;
  return host;
}

}  // namespace vantorel
