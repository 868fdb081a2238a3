#include "core/timer_host.h"

#include <cstdlib>

namespace vantorel {

namespace {
TimerHost* installed = nullptr;
}

void InstallTimerHost(TimerHost* host) {
  installed = host;
}

TimerHost& TheTimerHost() {
  // Running the engine before the host is installed is a programming error.
  if (installed == nullptr) std::abort();
  return *installed;
}

}  // namespace vantorel
