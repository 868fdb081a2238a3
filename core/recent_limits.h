// The last few different time limits, newest first, for choosing one again, and the text they
// are kept as in the options file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantorel {

constexpr std::size_t kRecentLimitCount = 5;

struct RecentLimits {
  std::uint32_t seconds[kRecentLimitCount] = {};  // newest first
  std::size_t count = 0;
};

// A limit of 1 s to 99:59:59 was set: it moves to the front, and a repeat is moved, never
// listed twice; a sixth different one drops the oldest. 0 and longer limits are ignored.
void RememberLimit(RecentLimits* recent, std::uint32_t seconds);

constexpr std::size_t kRecentLimitsTextSize = 64;

// "0:05:00,1:30:00": each limit as H:MM:SS, newest first, joined by ","; "" when there is none.
void FormatRecentLimits(const RecentLimits& recent, char (&text)[kRecentLimitsTextSize]);

// Reads the first `length` bytes of `text` into *recent, which starts empty: entries joined
// by ",", each S, M:SS or H:MM:SS (the first field may exceed 59, the others are two digits
// 00-59) from 1 s to 99:59:59, blanks around it allowed. Unreadable entries, repeats and those
// after the fifth kept are skipped; the rest stay in order. Takes any bytes.
void ParseRecentLimits(const char* text, std::size_t length, RecentLimits* recent);

}  // namespace vantorel
