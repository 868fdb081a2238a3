// Time arithmetic and the texts built from it: the display's h:m:s count and the caption.
#pragma once

#include <cstdint>

namespace vantorel {

constexpr int kTextBufferSize = 80;

// The caption, "Vantorel: Timer Set - 00h:00m:00s" for the limit in force. Rebuilt only by
// FormatTitle; the log's Start entry quotes it.
extern char titleText[kTextBufferSize];

std::uint32_t ToTotalSeconds(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds);

// Writes "hh:mm:ss" (hours not capped, so 360000 seconds give "100:00:00") into `text`.
void FormatElapsed(std::uint32_t seconds, char (&text)[kTextBufferSize]);

// Fills titleText from the three parts of the limit.
void FormatTitle(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds);

}  // namespace vantorel
