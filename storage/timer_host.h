// The timer engine's host over the stored choices: the settings' cue and log flags and sound
// paths, the options' view, warning and overtime, and the program log.
#pragma once

#include "core/timer_host.h"

namespace vantorel {

TimerHost& StoredTimerHost();

}  // namespace vantorel
