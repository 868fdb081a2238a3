// Time arithmetic and the texts built from it: the display's h:m:s count and the caption.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/system.h"

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

// The largest limit, 99:59:59.
constexpr std::uint32_t kMaxLimitSeconds = 359999;

// Reads a time as people write one: S, M:SS or H:MM:SS, the first field of any length (90 is
// 00:01:30), the others two digits 00-59. False for anything else; a huge first field gives a
// value above kMaxLimitSeconds, never one that wrapped into range.
bool ParseTimeText(const char* text, std::size_t length, std::uint32_t* seconds);

// What the display shows: the time elapsed, or the time remaining to the limit.
enum class CountView { kElapsed, kRemaining };

// The display's text for `count` seconds against `limit` (0: none). The remaining view shows
// limit - count, and past the limit the time beyond it after a "-"; with no limit it shows the
// count, as the elapsed view does.
void FormatShownCount(std::uint32_t count, std::uint32_t limit, CountView view,
                      char (&text)[kTextBufferSize]);

// The colour of that count: the warning colour while the time remaining is more than 0 and at
// most `warningSeconds` (0: no warning), the overtime colour past the limit when the count goes
// on past it by choice; otherwise the text colour, also past a limit lowered below the count.
CountColour ColourOfCount(std::uint32_t count, std::uint32_t limit, std::uint32_t warningSeconds,
                          bool overtime);

}  // namespace vantorel
