#include "web/clock_state.h"

#include <cstring>
#include <initializer_list>

namespace vantorel::web {

const char kEventStreamStart[] = "retry: 2000\n\n";

namespace {

class Writer {
 public:
  Writer(char* out, std::size_t size) : out_(out), size_(size) {}

  void Put(char c) {
    if (length_ + 1 < size_) {
      out_[length_++] = c;
    } else {
      full_ = true;
    }
  }
  void Put(const char* text) {
    while (*text != '\0') Put(*text++);
  }
  void Number(std::uint32_t value) {
    char digits[10];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (count > 0) Put(digits[--count]);
  }
  void Colour(std::uint32_t colorref) {
    static const char kHex[] = "0123456789ABCDEF";
    Put('"');
    Put('#');
    for (const int shift : {0, 8, 16}) {
      const std::uint32_t channel = colorref >> shift & 0xFF;
      Put(kHex[channel >> 4]);
      Put(kHex[channel & 0xF]);
    }
    Put('"');
  }
  void Text(const char* text);
  void Field(const char* name) {
    if (fields_++ > 0) Put(',');
    Put('"');
    Put(name);
    Put("\":");
  }
  void Bool(bool value) { Put(value ? "true" : "false"); }

  std::size_t Finish() {
    if (full_) return 0;
    out_[length_] = '\0';
    return length_;
  }

 private:
  void Escape(unsigned c) {
    static const char kHex[] = "0123456789abcdef";
    Put("\\u00");
    Put(kHex[c >> 4]);
    Put(kHex[c & 0xF]);
  }
  char* out_;
  std::size_t size_;
  std::size_t length_ = 0;
  int fields_ = 0;
  bool full_ = false;
};

// The length of the well-formed UTF-8 character at `text`, or 0 when it is none: a stray
// continuation byte, a cut or overlong sequence, a surrogate, or beyond U+10FFFF.
std::size_t Utf8Length(const unsigned char* text) {
  const unsigned c = text[0];
  std::size_t length = 0;
  unsigned minimum = 0;
  unsigned value = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2, minimum = 0x80, value = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3, minimum = 0x800, value = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4, minimum = 0x10000, value = c & 0x07;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((text[i] & 0xC0) != 0x80) return 0;  // the terminator stops here too
    value = value << 6 | (text[i] & 0x3Fu);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

// A JSON string: quotes, backslashes and control bytes escaped, UTF-8 kept, anything else
// replaced, so that the answer is always valid JSON in valid UTF-8.
void Writer::Text(const char* text) {
  Put('"');
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  while (*bytes != 0) {
    const unsigned c = *bytes;
    if (c == '"' || c == '\\') {
      Put('\\');
      Put(static_cast<char>(c));
      ++bytes;
    } else if (c < 0x20 || c == 0x7F) {
      Escape(c);
      ++bytes;
    } else if (c < 0x80) {
      Put(static_cast<char>(c));
      ++bytes;
    } else if (const std::size_t length = Utf8Length(bytes)) {
      for (std::size_t i = 0; i < length; ++i) Put(static_cast<char>(bytes[i]));
      bytes += length;
    } else {
      Put("\\ufffd");
      ++bytes;
    }
  }
  Put('"');
}

const char* PhaseName(TimerPhase phase) {
  switch (phase) {
    case TimerPhase::kRunning: return "running";
    case TimerPhase::kPaused: return "paused";
    case TimerPhase::kStopped: return "stopped";
    case TimerPhase::kIdle: break;
  }
  return "idle";
}

const char* ColourName(CountColour colour) {
  switch (colour) {
    case CountColour::kWarning: return "warning";
    case CountColour::kOver: return "over";
    case CountColour::kNormal: break;
  }
  return "normal";
}

}  // namespace

std::size_t WriteClockJson(const ClockState& state, char* out, std::size_t size) {
  if (size == 0) return 0;
  Writer json(out, size);
  json.Put('{');
  json.Field("text");
  json.Text(state.text);
  json.Field("state");
  json.Text(PhaseName(state.phase));
  json.Field("elapsed");
  json.Number(state.elapsed);
  json.Field("limit");
  json.Number(state.limit);
  json.Field("view");
  json.Text(state.view == CountView::kRemaining ? "remaining" : "elapsed");
  json.Field("colour");
  json.Text(ColourName(state.colour));
  json.Field("ink");
  json.Colour(state.ink);
  json.Field("background");
  json.Colour(state.background);
  json.Field("title");
  json.Text(state.title);
  json.Field("font");
  json.Text(state.font);
  json.Field("buttons");
  json.Put("{\"start\":");
  json.Bool(state.start);
  json.Put(",\"pause\":");
  json.Bool(state.pause);
  json.Put(",\"stop\":");
  json.Bool(state.stop);
  json.Put(",\"reset\":");
  json.Bool(state.reset);
  json.Put("}}");
  return json.Finish();
}

std::size_t FrameEvent(const char* json, std::size_t length, char* out, std::size_t size) {
  static const char kData[] = "data: ";
  const std::size_t total = sizeof kData - 1 + length + 2;
  if (total + 1 > size || std::memchr(json, '\n', length) != nullptr ||
      std::memchr(json, '\r', length) != nullptr) {
    return 0;
  }
  std::memcpy(out, kData, sizeof kData - 1);
  std::memcpy(out + sizeof kData - 1, json, length);
  std::memcpy(out + total - 2, "\n\n", 3);
  return total;
}

}  // namespace vantorel::web
