// The count as the web clock tells it: one JSON object, for GET /state and for each server-sent
// event of GET /events.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/time_text.h"
#include "core/timer_engine.h"
#include "platform/system.h"

namespace vantorel::web {

struct ClockState {
  const char* text = "";  // the display's text, exactly
  TimerPhase phase = TimerPhase::kIdle;
  std::uint32_t elapsed = 0;
  std::uint32_t limit = 0;  // 0: none
  CountView view = CountView::kElapsed;
  CountColour colour = CountColour::kNormal;
  std::uint32_t ink = 0;  // COLORREF the digits are drawn in now
  std::uint32_t background = 0xFFFFFF;
  const char* title = "";  // UTF-8, any bytes: what is not UTF-8 becomes U+FFFD
  const char* font = "";
  bool start = false;
  bool pause = false;
  bool stop = false;
  bool reset = false;
};

// Room for any state: each byte of the three texts may take six as an escape.
constexpr std::size_t kMaxClockJsonBytes = 2048;

// Writes the state as one line of JSON (no line break in it) and returns its length; 0 when it
// does not fit in `size` bytes, terminator included.
std::size_t WriteClockJson(const ClockState& state, char* out, std::size_t size);

// The opening of an event stream: how long a browser waits before it connects again.
extern const char kEventStreamStart[];

// One server-sent event carrying `json`, which holds no line break: "data: <json>\n\n". Returns
// its length; 0 when it does not fit.
std::size_t FrameEvent(const char* json, std::size_t length, char* out, std::size_t size);

}  // namespace vantorel::web
