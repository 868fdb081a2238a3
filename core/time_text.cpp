#include "core/time_text.h"

#include <cstdio>

namespace vantorel {

char titleText[kTextBufferSize] = "";

std::uint32_t ToTotalSeconds(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds) {
  return hours * 3600u + minutes * 60u + seconds;
}

namespace {

// "hh:mm:ss" after `sign` ("" or "-").
void FormatSigned(const char* sign, std::uint32_t seconds, char (&text)[kTextBufferSize]) {
  const std::uint32_t totalMinutes = seconds / 60u;
  const std::uint32_t hours = totalMinutes / 60u;
  std::snprintf(text, sizeof text, "%s%.2d:%.2d:%.2d", sign, static_cast<int>(hours),
                static_cast<int>(totalMinutes % 60u), static_cast<int>(seconds % 60u));
}

}  // namespace

void FormatElapsed(std::uint32_t seconds, char (&text)[kTextBufferSize]) {
  FormatSigned("", seconds, text);
}

void FormatTitle(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds) {
  // Signed, as the parts are stored in the settings file.
  std::snprintf(titleText, sizeof titleText, "Vantorel: Timer Set - %.2dh:%.2dm:%.2ds",
                static_cast<int>(hours), static_cast<int>(minutes), static_cast<int>(seconds));
}

}  // namespace vantorel

namespace vantorel {

bool ParseTimeText(const char* text, std::size_t length, std::uint32_t* seconds) {
  std::uint64_t value = 0;
  std::size_t i = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
    // Saturates just above the range, so that no digit string wraps into it.
    value = value > kMaxLimitSeconds ? kMaxLimitSeconds + 1ull
                                     : value * 10 + static_cast<std::uint64_t>(text[i] - '0');
  }
  if (i == 0) return false;
  for (int fields = 1; i < length; ++fields) {
    if (fields == 3 || length - i < 3 || text[i] != ':') return false;
    const char tens = text[i + 1];
    const char ones = text[i + 2];
    if (tens < '0' || tens > '5' || ones < '0' || ones > '9') return false;
    value = value * 60 + static_cast<std::uint64_t>((tens - '0') * 10 + (ones - '0'));
    if (value > kMaxLimitSeconds) value = kMaxLimitSeconds + 1ull;
    i += 3;
  }
  *seconds = static_cast<std::uint32_t>(value);
  return true;
}

void FormatShownCount(std::uint32_t count, std::uint32_t limit, CountView view,
                      char (&text)[kTextBufferSize]) {
  if (view == CountView::kElapsed || limit == 0) {
    FormatElapsed(count, text);
  } else if (count <= limit) {
    FormatElapsed(limit - count, text);
  } else {
    FormatSigned("-", count - limit, text);
  }
}

CountColour ColourOfCount(std::uint32_t count, std::uint32_t limit, std::uint32_t warningSeconds,
                          bool overtime) {
  if (limit == 0) return CountColour::kNormal;
  if (count > limit) return overtime ? CountColour::kOver : CountColour::kNormal;
  const std::uint32_t remaining = limit - count;
  return remaining > 0 && remaining <= warningSeconds ? CountColour::kWarning
                                                      : CountColour::kNormal;
}

}  // namespace vantorel
