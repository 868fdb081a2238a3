#include "core/time_text.h"

#include <cstdio>

namespace vantorel {

char titleText[kTextBufferSize] = "";

std::uint32_t ToTotalSeconds(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds) {
  return hours * 3600u + minutes * 60u + seconds;
}

void FormatElapsed(std::uint32_t seconds, char (&text)[kTextBufferSize]) {
  const std::uint32_t totalMinutes = seconds / 60u;
  const std::uint32_t hours = totalMinutes / 60u;
  std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d", static_cast<int>(hours),
                static_cast<int>(totalMinutes % 60u), static_cast<int>(seconds % 60u));
}

void FormatTitle(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds) {
  // Signed, as the parts are stored in the settings file.
  std::snprintf(titleText, sizeof titleText, "Vantorel: Timer Set - %.2dh:%.2dm:%.2ds",
                static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(seconds));
}

}  // namespace vantorel
