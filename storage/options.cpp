#include "storage/options.h"

#include <cstdio>
#include <cstring>

#include "platform/system.h"

namespace vantorel {

Options options;
char optionsPath[kPathSize] = "";

namespace {

constexpr char kOptionsName[] = "/vantorel.ini";
constexpr char kTemporaryName[] = "/vantorel.ini.new";
constexpr char kHeader[] =
    "# Vantorel's options, one name=value a line; lines it does not know are kept.\n";

// A line longer than this is no option's: its option keeps the default.
constexpr std::size_t kLineSize = 512;
// The longest name looked up; a longer one is nobody's.
constexpr std::size_t kNameSize = 40;
constexpr std::size_t kValueSize = 96;

enum Option {
  kView,
  kWarning,
  kOvertime,
  kWarningColor,
  kOvertimeColor,
  kOnTop,
  kWindowMonitor,
  kWindowRect,
  kWindowFullScreen,
  kFirstHotKey,
  kRecentLimits = kFirstHotKey + kHotKeyCommandCount,
  kWebClock,
  kWebPort,
  kWebNetwork,
  kWebPin,
  kOptionCount
};

constexpr const char* kNames[kOptionCount] = {
    "count.view",        "count.warning",     "count.overtime", "color.warning",
    "color.overtime",    "window.ontop",      "window.monitor", "window.rect",
    "window.fullscreen", "hotkey.startpause", "hotkey.stop",    "hotkey.reset",
    "hotkey.fullscreen", "hotkey.view",       "hotkey.show",    "limits.recent",
    "web.clock",         "web.port",          "web.network",    "web.pin"};

// The file read in blocks: a file of any size is read in one pass, a byte at a time.
class ByteReader {
 public:
  explicit ByteReader(std::FILE* file) : file_(file) {}
  int Get() {
    if (next_ == end_) {
      end_ = std::fread(block_, 1, sizeof block_, file_);
      next_ = 0;
      if (end_ == 0) return EOF;
    }
    return block_[next_++];
  }

 private:
  std::FILE* file_;
  unsigned char block_[4096];
  std::size_t next_ = 0;
  std::size_t end_ = 0;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// ASCII only: the names and words of the file are ASCII, and high bytes stay as they are.
char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWord(const char* text, std::size_t length, const char* word) {
  if (std::strlen(word) != length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (Lower(text[i]) != word[i]) return false;
  }
  return true;
}

void Trim(const char** text, std::size_t* length) {
  while (*length > 0 && IsBlank(**text)) ++*text, --*length;
  while (*length > 0 && IsBlank((*text)[*length - 1])) --*length;
}

Option Lookup(const char* name, std::size_t length) {
  Trim(&name, &length);
  for (int which = 0; which < kOptionCount; ++which) {
    if (SameWord(name, length, kNames[which])) return static_cast<Option>(which);
  }
  return kOptionCount;
}

bool ReadSwitch(const char* value, std::size_t length, bool* on) {
  if (SameWord(value, length, "on")) {
    *on = true;
  } else if (SameWord(value, length, "off")) {
    *on = false;
  } else {
    return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// "#RRGGBB", as people write colours, into a COLORREF (0x00BBGGRR).
bool ReadColour(const char* value, std::size_t length, std::uint32_t* colour) {
  if (length != 7 || value[0] != '#') return false;
  std::uint32_t rgb = 0;
  for (std::size_t i = 1; i < 7; ++i) {
    const int digit = HexDigit(value[i]);
    if (digit < 0) return false;
    rgb = rgb << 4 | static_cast<std::uint32_t>(digit);
  }
  *colour = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
  return true;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Digits only, 1-65535. The value saturates above the range, so that no digit string wraps
// into it.
bool ReadPort(const char* value, std::size_t length, std::uint16_t* port) {
  if (length == 0) return false;
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < length; ++i) {
    if (!IsDigit(value[i])) return false;
    number = number > 65535 ? 65536 : number * 10 + static_cast<std::uint32_t>(value[i] - '0');
  }
  if (number < 1 || number > 65535) return false;
  *port = static_cast<std::uint16_t>(number);
  return true;
}

// Empty, or 4 to 8 digits.
bool ReadPin(const char* value, std::size_t length, char (&pin)[9]) {
  if (length != 0 && (length < 4 || length >= sizeof pin)) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (!IsDigit(value[i])) return false;
  }
  std::memcpy(pin, value, length);
  pin[length] = '\0';
  return true;
}

void FormatSwitch(bool on, char (&text)[kValueSize]) {
  std::snprintf(text, sizeof text, "%s", on ? "on" : "off");
}

void FormatColour(std::uint32_t colour, char (&text)[kValueSize]) {
  std::snprintf(text, sizeof text, "#%02X%02X%02X", static_cast<unsigned>(colour & 0xFF),
                static_cast<unsigned>(colour >> 8 & 0xFF),
                static_cast<unsigned>(colour >> 16 & 0xFF));
}

// One option's value into `o`; false when it is not a value of that option.
bool ReadOption(Option which, const char* value, std::size_t length, Options* o) {
  switch (which) {
    case kView:
      if (SameWord(value, length, "elapsed")) {
        o->view = CountView::kElapsed;
      } else if (SameWord(value, length, "remaining")) {
        o->view = CountView::kRemaining;
      } else {
        return false;
      }
      return true;
    case kWarning: {
      std::uint32_t seconds = 0;
      if (!ParseTimeText(value, length, &seconds) || seconds > kMaxLimitSeconds) return false;
      o->warningSeconds = seconds;
      return true;
    }
    case kOvertime: return ReadSwitch(value, length, &o->overtime);
    case kWarningColor: return ReadColour(value, length, &o->warningColor);
    case kOvertimeColor: return ReadColour(value, length, &o->overtimeColor);
    case kOnTop: return ReadSwitch(value, length, &o->onTop);
    case kWindowMonitor:
      if (length >= sizeof o->windowMonitor.device) return false;
      std::memcpy(o->windowMonitor.device, value, length);
      o->windowMonitor.device[length] = '\0';
      return true;
    case kWindowRect:
      if (length == 0) {
        o->windowMonitor.rect = ScreenRect{};
        return true;
      }
      return ParseScreenRect(value, length, &o->windowMonitor.rect);
    case kWindowFullScreen: return ReadSwitch(value, length, &o->windowFullScreen);
    case kRecentLimits: ParseRecentLimits(value, length, &o->recentLimits); return true;
    case kWebClock: return ReadSwitch(value, length, &o->webClock);
    case kWebPort: return ReadPort(value, length, &o->webPort);
    case kWebNetwork: return ReadSwitch(value, length, &o->webNetwork);
    case kWebPin: return ReadPin(value, length, o->webPin);
    case kOptionCount: break;
    default: {
      // An empty or unreadable key is no key.
      HotKey& key = o->hotKeys[which - kFirstHotKey];
      key = HotKey{};
      return length == 0 || ParseHotKey(value, length, &key);
    }
  }
  return false;
}

void FormatOption(Option which, const Options& o, char (&text)[kValueSize]) {
  switch (which) {
    case kView:
      std::snprintf(text, sizeof text, "%s",
                    o.view == CountView::kRemaining ? "remaining" : "elapsed");
      return;
    case kWarning:
      if (o.warningSeconds == 0) {
        std::snprintf(text, sizeof text, "0");
      } else {
        char time[kTextBufferSize];
        FormatElapsed(o.warningSeconds, time);
        std::snprintf(text, sizeof text, "%s", time);
      }
      return;
    case kOvertime: FormatSwitch(o.overtime, text); return;
    case kWarningColor: FormatColour(o.warningColor, text); return;
    case kOvertimeColor: FormatColour(o.overtimeColor, text); return;
    case kOnTop: FormatSwitch(o.onTop, text); return;
    case kWindowMonitor: std::snprintf(text, sizeof text, "%s", o.windowMonitor.device); return;
    case kWindowRect: {
      char rect[kScreenRectTextSize];
      FormatScreenRect(o.windowMonitor.rect, rect);
      std::snprintf(text, sizeof text, "%s", rect);
      return;
    }
    case kWindowFullScreen: FormatSwitch(o.windowFullScreen, text); return;
    case kRecentLimits: {
      char limits[kRecentLimitsTextSize];
      FormatRecentLimits(o.recentLimits, limits);
      std::snprintf(text, sizeof text, "%s", limits);
      return;
    }
    case kWebClock: FormatSwitch(o.webClock, text); return;
    case kWebPort: std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(o.webPort)); return;
    case kWebNetwork: FormatSwitch(o.webNetwork, text); return;
    case kWebPin: std::snprintf(text, sizeof text, "%s", o.webPin); return;
    case kOptionCount: break;
    default: {
      char key[kHotKeyTextSize];
      FormatHotKey(o.hotKeys[which - kFirstHotKey], key);
      std::snprintf(text, sizeof text, "%s", key);
      return;
    }
  }
  text[0] = '\0';
}

// The option back to its default, as a bad line leaves it.
void ResetOption(Option which, Options* o) {
  const Options defaults;
  char text[kValueSize];
  FormatOption(which, defaults, text);
  ReadOption(which, text, std::strlen(text), o);
}

bool IsText(const char* line, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if ((c < 0x20 && c != '\t') || c == 0x7F) return false;
  }
  return true;
}

// One line of the file: its name looked up and its value read. The last line of a name counts.
void TakeLine(const char* line, std::size_t length, bool tooLong, Options* o) {
  const void* equals = std::memchr(line, '=', length);
  if (equals == nullptr) return;
  const auto nameLength = static_cast<std::size_t>(static_cast<const char*>(equals) - line);
  const Option which = Lookup(line, nameLength);
  if (which == kOptionCount) return;
  const char* value = line + nameLength + 1;
  std::size_t valueLength = length - nameLength - 1;
  Trim(&value, &valueLength);
  if (tooLong || !IsText(line, length) || !ReadOption(which, value, valueLength, o)) {
    ResetOption(which, o);
  }
}

void ReadOptionsFile(std::FILE* file, Options* o) {
  ByteReader reader(file);
  char line[kLineSize];
  for (;;) {
    std::size_t length = 0;
    bool tooLong = false;
    int c = reader.Get();
    if (c == EOF) return;
    for (; c != EOF && c != '\n'; c = reader.Get()) {
      if (length < sizeof line) {
        line[length++] = static_cast<char>(c);
      } else {
        tooLong = true;
      }
    }
    if (length > 0 && line[length - 1] == '\r' && !tooLong) --length;
    TakeLine(line, length, tooLong, o);
    if (c == EOF) return;
  }
}

bool WriteLine(std::FILE* file, Option which, const Options& o) {
  char value[kValueSize];
  FormatOption(which, o, value);
  return std::fprintf(file, "%s=%s\n", kNames[which], value) >= 0;
}

// Copies the old file to `out` line by line: a line of a known name becomes that option's line
// now (its first one; later ones of the same name go), every other line stays byte for byte,
// however long. Marks in `written` the options written.
bool RewriteKnownLines(std::FILE* old, std::FILE* out, const Options& o,
                       bool (&written)[kOptionCount]) {
  ByteReader reader(old);
  bool ok = true;
  int last = '\n';
  for (;;) {
    char head[kNameSize];
    std::size_t length = 0;
    int c = reader.Get();
    while (c != EOF && c != '\n' && c != '=' && length < sizeof head) {
      head[length++] = static_cast<char>(c);
      c = reader.Get();
    }
    if (c == EOF && length == 0) break;
    const Option which = c == '=' ? Lookup(head, length) : kOptionCount;
    if (which != kOptionCount) {
      while (c != EOF && c != '\n') c = reader.Get();
      if (!written[which]) ok = WriteLine(out, which, o) && ok;
      written[which] = true;
      last = '\n';
    } else {
      ok = std::fwrite(head, 1, length, out) == length && ok;
      for (; c != EOF; c = reader.Get()) {
        ok = std::fputc(c, out) != EOF && ok;
        if (c == '\n') break;
      }
      last = c == '\n' || length == 0 ? '\n' : head[length - 1];
    }
    if (c == EOF) break;
  }
  // Options added after a last line without its line end start on a line of their own.
  if (last != '\n') ok = std::fputc('\n', out) != EOF && ok;
  return ok;
}

bool AllDefaults(const Options& o) {
  const Options defaults;
  for (int which = 0; which < kOptionCount; ++which) {
    char now[kValueSize];
    char before[kValueSize];
    FormatOption(static_cast<Option>(which), o, now);
    FormatOption(static_cast<Option>(which), defaults, before);
    if (std::strcmp(now, before) != 0) return false;
  }
  return true;
}

void ReportWriteFailure() {
  TheSystem().ShowMessage("Cannot write to user preferences file!",
                          "An unexpected error has occurred!", kMbSystemModal | kMbIconHand);
}

}  // namespace

void InitOptionsPath() {
  JoinPath(optionsPath, dataFolder, kOptionsName);
}

void LoadOptions() {
  options = Options{};
  std::FILE* file = optionsPath[0] != '\0' ? std::fopen(optionsPath, "rb") : nullptr;
  if (file == nullptr) return;
  ReadOptionsFile(file, &options);
  std::fclose(file);
}

bool SaveOptions(Report report) {
  std::FILE* old = optionsPath[0] != '\0' ? std::fopen(optionsPath, "rb") : nullptr;
  if (old == nullptr && AllDefaults(options)) return true;
  char temporaryPath[kPathSize];
  std::FILE* out = optionsPath[0] != '\0' && JoinPath(temporaryPath, dataFolder, kTemporaryName)
                       ? std::fopen(temporaryPath, "wb")
                       : nullptr;
  if (out == nullptr) {
    if (old != nullptr) std::fclose(old);
    if (report == Report::kFailure) ReportWriteFailure();
    return false;
  }
  // Written to a scratch file that then replaces the old one in one step, as the settings are.
  bool written[kOptionCount] = {};
  bool ok = true;
  if (old != nullptr) {
    ok = RewriteKnownLines(old, out, options, written);
    std::fclose(old);
  } else {
    ok = std::fputs(kHeader, out) >= 0;
  }
  for (int which = 0; which < kOptionCount; ++which) {
    if (!written[which]) ok = WriteLine(out, static_cast<Option>(which), options) && ok;
  }
  ok = std::fflush(out) == 0 && ok;
  const bool closed = std::fclose(out) == 0;
  if (!ok || !closed || !TheSystem().ReplaceFileWith(temporaryPath, optionsPath)) {
    TheSystem().RemoveFile(temporaryPath);
    if (report == Report::kFailure) ReportWriteFailure();
    return false;
  }
  return true;
}

}  // namespace vantorel
