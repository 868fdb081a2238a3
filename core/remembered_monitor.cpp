#include "core/remembered_monitor.h"

#include <climits>
#include <cstdio>

namespace vantorel {

namespace {

constexpr long kLargestCoordinate = 1000000;

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Within the field even when a name fills it without a terminator.
bool SameDevice(const char (&first)[kMonitorDeviceSize], const char (&second)[kMonitorDeviceSize]) {
  for (std::size_t i = 0; i < kMonitorDeviceSize; ++i) {
    if (Lower(first[i]) != Lower(second[i])) return false;
    if (first[i] == '\0') return true;
  }
  return true;
}

// Compared, never subtracted: a rectangle may hold any values.
bool HasArea(const ScreenRect& rect) {
  return rect.right > rect.left && rect.bottom > rect.top;
}

bool Readable(const ScreenRect& rect) {
  const long values[] = {rect.left, rect.top, rect.right, rect.bottom};
  for (const long value : values) {
    if (value < -kLargestCoordinate || value > kLargestCoordinate) return false;
  }
  return HasArea(rect);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// One number of the text from `*at` up to `end`, with the blanks around it; `*at` is left on
// what follows it.
bool ReadCoordinate(const char* text, std::size_t end, std::size_t* at, long* value) {
  std::size_t i = *at;
  while (i < end && IsBlank(text[i])) ++i;
  const bool negative = i < end && text[i] == '-';
  if (negative) ++i;
  const std::size_t digits = i;
  long magnitude = 0;
  for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) {
    // Saturated just above the limit, so that no digit string wraps into range.
    if (magnitude <= kLargestCoordinate) magnitude = magnitude * 10 + (text[i] - '0');
  }
  if (i == digits || magnitude > kLargestCoordinate) return false;
  while (i < end && IsBlank(text[i])) ++i;
  *value = negative ? -magnitude : magnitude;
  *at = i;
  return true;
}

}  // namespace

int ChooseRememberedMonitor(const MonitorName& remembered, const MonitorName* names,
                            std::size_t count) {
  if (names == nullptr) return -1;
  // Only as many as an index can name.
  if (count > static_cast<std::size_t>(INT_MAX)) count = static_cast<std::size_t>(INT_MAX);
  if (remembered.device[0] != '\0') {
    for (std::size_t i = 0; i < count; ++i) {
      if (SameDevice(remembered.device, names[i].device)) return static_cast<int>(i);
    }
  }
  if (HasArea(remembered.rect)) {
    for (std::size_t i = 0; i < count; ++i) {
      if (names[i].rect == remembered.rect) return static_cast<int>(i);
    }
  }
  return -1;
}

bool ParseScreenRect(const char* text, std::size_t length, ScreenRect* rect) {
  if (text == nullptr) return false;
  long values[4] = {};
  std::size_t at = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    if (i > 0) {
      if (at == length || text[at] != ',') return false;
      ++at;
    }
    if (!ReadCoordinate(text, length, &at, &values[i])) return false;
  }
  const ScreenRect read = {values[0], values[1], values[2], values[3]};
  if (at != length || !HasArea(read)) return false;
  *rect = read;
  return true;
}

void FormatScreenRect(const ScreenRect& rect, char (&text)[kScreenRectTextSize]) {
  text[0] = '\0';
  if (!Readable(rect)) return;
  std::snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", rect.left, rect.top, rect.right, rect.bottom);
}

}  // namespace vantorel
