#include "core/recent_limits.h"

#include "core/time_text.h"

namespace vantorel {

namespace {

bool InRange(std::uint32_t seconds) {
  return seconds >= 1 && seconds <= kMaxLimitSeconds;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// S, M:SS or H:MM:SS from `text` up to `end`, in seconds; false when malformed or out of range.
bool ReadTime(const char* text, std::size_t end, std::uint32_t* seconds) {
  std::uint32_t total = 0;
  if (!ParseTimeText(text, end, &total) || !InRange(total)) return false;
  *seconds = total;
  return true;
}

bool Listed(const RecentLimits& recent, std::uint32_t seconds) {
  for (std::size_t i = 0; i < recent.count; ++i) {
    if (recent.seconds[i] == seconds) return true;
  }
  return false;
}

// Writes the decimal digits of `value`, at least `width` of them, and moves `*at` past them.
void AppendNumber(char* text, std::size_t* at, std::uint32_t value, int width) {
  char digits[10];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 || count < width);
  while (count > 0) text[(*at)++] = digits[--count];
}

}  // namespace

void RememberLimit(RecentLimits* recent, std::uint32_t seconds) {
  if (recent == nullptr || !InRange(seconds)) return;
  if (recent->count > kRecentLimitCount) recent->count = kRecentLimitCount;
  // Where it stood, or the oldest place, which a new one pushes out when the list is full.
  std::size_t from = 0;
  while (from < recent->count && recent->seconds[from] != seconds) ++from;
  if (from == recent->count) {
    if (recent->count < kRecentLimitCount) ++recent->count;
    from = recent->count - 1;
  }
  for (; from > 0; --from) recent->seconds[from] = recent->seconds[from - 1];
  recent->seconds[0] = seconds;
}

void FormatRecentLimits(const RecentLimits& recent, char (&text)[kRecentLimitsTextSize]) {
  // Five of "99:59:59" and four commas take 44 bytes.
  std::size_t at = 0;
  const std::size_t count = recent.count < kRecentLimitCount ? recent.count : kRecentLimitCount;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t seconds = recent.seconds[i];
    if (!InRange(seconds)) continue;
    if (at > 0) text[at++] = ',';
    AppendNumber(text, &at, seconds / 3600, 1);
    text[at++] = ':';
    AppendNumber(text, &at, seconds / 60 % 60, 2);
    text[at++] = ':';
    AppendNumber(text, &at, seconds % 60, 2);
  }
  text[at] = '\0';
}

void ParseRecentLimits(const char* text, std::size_t length, RecentLimits* recent) {
  if (recent == nullptr) return;
  *recent = RecentLimits();
  if (text == nullptr) return;
  std::size_t start = 0;
  while (start < length && recent->count < kRecentLimitCount) {
    std::size_t end = start;
    while (end < length && text[end] != ',') ++end;
    std::size_t first = start;
    std::size_t last = end;
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    std::uint32_t seconds = 0;
    if (ReadTime(text + first, last - first, &seconds) && !Listed(*recent, seconds)) {
      recent->seconds[recent->count++] = seconds;
    }
    start = end + 1;
  }
}

}  // namespace vantorel
