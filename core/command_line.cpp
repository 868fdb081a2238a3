#include "core/command_line.h"

#include <initializer_list>
#include <string_view>

namespace vantorel {

const char kCommandLineUsage[] =
    "Usage:\r\n"
    "  vantorel [/limit T] [/show elapsed|remaining] [/warn T] [/overtime on|off]\r\n"
    "           [/ontop on|off] [/web on|off] [/monitor N] [/fullscreen]\r\n"
    "           [/start | /pause | /stop | /reset]\r\n"
    "  vantorel /?\r\n"
    "\r\n"
    "/limit T       Sets the time limit: S, M:SS or H:MM:SS, up to 99:59:59.\r\n"
    "/show elapsed|remaining\r\n"
    "               Shows the time elapsed or the time remaining to the limit.\r\n"
    "/warn T        Shows the digits in the warning color for the last T before the\r\n"
    "               limit; 0 for no warning.\r\n"
    "/overtime on|off\r\n"
    "               Counts on past the limit, or stops at it.\r\n"
    "/ontop on|off  Keeps the window above other windows, or not.\r\n"
    "/web on|off    Serves the count to browsers (the web clock), or stops.\r\n"
    "/monitor N     Moves the window onto monitor N (1 is the primary).\r\n"
    "/fullscreen    Shows the count full screen.\r\n"
    "/start, /pause, /stop, /reset\r\n"
    "               Presses that button of the running timer.\r\n"
    "/?             Shows this text; give it on its own.\r\n"
    "Switches may also start with \"-\"; case does not matter.\r\n";

namespace {

// An argument named in an error is cut to this many bytes: the text may come from any program.
constexpr std::size_t kMaxShownBytes = 40;

// In the order of Lookup's names; the four timer commands last.
enum class Switch {
  kUsage,
  kLimit,
  kShow,
  kWarn,
  kOvertime,
  kOnTop,
  kWeb,
  kMonitor,
  kFullScreen,
  kStart,
  kPause,
  kStop,
  kReset,
  kCount
};

enum class Read { kEnd, kArgument, kFault };

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// ASCII only: std::tolower is undefined for the negative chars that high bytes give.
char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool IsSwitch(std::string_view text) {
  return !text.empty() && (text[0] == '/' || text[0] == '-');
}

// A part of `text`, clamped to it: string_view's own substr reports a start past the end by
// throwing, which would bring the exception machinery into the program.
std::string_view Part(std::string_view text, std::size_t start,
                      std::size_t count = std::string_view::npos) {
  if (start > text.size()) start = text.size();
  const std::size_t left = text.size() - start;
  return std::string_view(text.data() + start, count < left ? count : left);
}

// One piece of an error: a text as it is, or an argument fit for a message box, in quotes or
// not.
struct Piece {
  enum class Kind { kText, kCut, kShown };
  Piece(const char* piece) : text(piece) {}
  Piece(std::string_view piece, Kind shown = Kind::kText) : text(piece), kind(shown) {}
  std::string_view text;
  Kind kind = Kind::kText;
};

Piece Cut(std::string_view argument) {
  return {argument, Piece::Kind::kCut};
}

Piece Shown(std::string_view argument) {
  return {argument, Piece::Kind::kShown};
}

// `number` in decimal, written into `digits`.
std::string_view Decimal(unsigned number, char (&digits)[20]) {
  std::size_t start = sizeof digits;
  do {
    digits[--start] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  return std::string_view(digits + start, sizeof digits - start);
}

// An error as it is put together, in a buffer of fixed size whose end cuts it.
class ErrorText {
 public:
  void Set(std::initializer_list<Piece> pieces);
  const char* text() const { return text_; }

 private:
  void Put(char c) {
    if (length_ + 1 < sizeof text_) text_[length_++] = c;
  }

  char text_[kCommandLineErrorSize] = "";
  std::size_t length_ = 0;
};

// An argument shows its control bytes as '?' and, when long, is cut, never inside a UTF-8
// character (the code page the manifest asks for; under another the cut may merely come up to
// three bytes early).
void ErrorText::Set(std::initializer_list<Piece> pieces) {
  length_ = 0;
  for (const Piece& piece : pieces) {
    const std::string_view text = piece.text;
    const bool argument = piece.kind != Piece::Kind::kText;
    std::size_t length = text.size();
    if (argument && length > kMaxShownBytes) {
      length = kMaxShownBytes;
      while (length > 0 && kMaxShownBytes - length < 3 && IsContinuation(text[length])) --length;
    }
    if (piece.kind == Piece::Kind::kShown) Put('"');
    for (std::size_t i = 0; i < length; ++i) {
      const char c = text[i];
      Put(argument && (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') ? '?' : c);
    }
    if (length < text.size()) {
      for (const char c : std::string_view("...")) Put(c);
    }
    if (piece.kind == Piece::Kind::kShown) Put('"');
  }
  text_[length_] = '\0';
}

// Takes the next argument from `rest`, without the quotes around it. A quoted one may hold blanks;
// a quote anywhere else is refused rather than guessed at.
Read NextArgument(std::string_view* rest, std::string_view* argument, ErrorText* fault) {
  std::size_t start = 0;
  while (start < rest->size() && IsBlank((*rest)[start])) ++start;
  if (start == rest->size()) return Read::kEnd;
  const std::string_view text = Part(*rest, start);
  std::size_t end = 0;
  if (text[0] == '"') {
    end = text.find('"', 1);
    if (end == std::string_view::npos) {
      fault->Set({"The argument ", Shown(text), " has no closing quote."});
      return Read::kFault;
    }
    *argument = Part(text, 1, end - 1);
    ++end;
  } else {
    while (end < text.size() && !IsBlank(text[end]) && text[end] != '"') ++end;
    *argument = Part(text, 0, end);
  }
  if (end < text.size() && !IsBlank(text[end])) {
    while (end < text.size() && !IsBlank(text[end])) ++end;
    fault->Set({"The argument ", Shown(Part(text, 0, end)),
                " has a quote inside it: quotes may only enclose a whole argument."});
    return Read::kFault;
  }
  *rest = Part(text, end);
  return Read::kArgument;
}

// The switch that `text` (with its "/" or "-") names; kCount for none.
Switch Lookup(std::string_view text) {
  static constexpr std::string_view kNames[] = {
      "?",       "limit",      "show",  "warn",  "overtime", "ontop", "web",
      "monitor", "fullscreen", "start", "pause", "stop",     "reset"};
  const std::string_view name = Part(text, 1);
  for (std::size_t i = 0; i < sizeof kNames / sizeof kNames[0]; ++i) {
    if (kNames[i].size() != name.size()) continue;
    std::size_t same = 0;
    while (same < name.size() && Lower(name[same]) == kNames[i][same]) ++same;
    if (same == name.size()) return static_cast<Switch>(i);
  }
  return Switch::kCount;
}

// Reads a run of digits, saturating just above `cap` so that no digit string wraps into range.
// False when `text` is empty or holds anything else.
bool ReadNumber(std::string_view text, std::uint64_t cap, std::uint64_t* value) {
  if (text.empty()) return false;
  *value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return false;
    *value = *value > cap ? cap + 1 : *value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return true;
}

// S, M:SS or H:MM:SS in seconds; false when malformed. The result is not yet checked against
// the range.
bool ReadTime(std::string_view text, std::uint32_t* seconds) {
  return ParseTimeText(text.data(), text.size(), seconds);
}

bool SameWord(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Lower(text[i]) != word[i]) return false;
  }
  return true;
}

class Parser {
 public:
  explicit Parser(unsigned monitorCount) : monitorCount_(monitorCount) {}

  bool Parse(std::string_view rest) {
    std::string_view argument;
    for (;;) {
      const Read read = NextArgument(&rest, &argument, &error_);
      if (read == Read::kEnd) return true;
      if (read == Read::kFault || !Take(argument, &rest)) return false;
    }
  }

  const CommandLine& result() const { return result_; }
  const char* error() const { return error_.text(); }

 private:
  bool Fail(std::initializer_list<Piece> pieces) {
    error_.Set(pieces);
    return false;
  }

  bool Take(std::string_view argument, std::string_view* rest) {
    if (!IsSwitch(argument)) {
      return Fail(
          {"Unexpected argument ", Shown(argument), ": switches start with \"/\" or \"-\"."});
    }
    const Switch which = Lookup(argument);
    if (which == Switch::kCount) return Fail({"Unknown switch ", Shown(argument), "."});
    const std::size_t index = static_cast<std::size_t>(which);
    if (!seen_[index].empty()) {
      return Fail({"The switch ", Shown(argument), " is given twice."});
    }
    if (which >= Switch::kStart && result_.command != TimerCommand::kNone) {
      return Fail({"Only one of /start, /pause, /stop and /reset may be given: ", Shown(argument),
                   " follows ", Shown(timerText_), "."});
    }
    // /? stands alone, so that a faulty line never passes as a request for the usage.
    const std::string_view usage = seen_[static_cast<std::size_t>(Switch::kUsage)];
    if (which == Switch::kUsage ? !firstOther_.empty() : !usage.empty()) {
      return Fail({Shown(which == Switch::kUsage ? argument : usage),
                   " must be given on its own, not with ",
                   Shown(which == Switch::kUsage ? firstOther_ : argument), "."});
    }
    seen_[index] = argument;
    if (which != Switch::kUsage && firstOther_.empty()) firstOther_ = argument;

    switch (which) {
      case Switch::kUsage: result_.showUsage = true; return true;
      case Switch::kLimit: return TakeLimit(argument, rest);
      case Switch::kShow: return TakeView(argument, rest);
      case Switch::kWarn: return TakeWarning(argument, rest);
      case Switch::kOvertime: return TakeToggle(argument, rest, &result_.overtime);
      case Switch::kOnTop: return TakeToggle(argument, rest, &result_.onTop);
      case Switch::kWeb: return TakeToggle(argument, rest, &result_.web);
      case Switch::kMonitor: return TakeMonitor(argument, rest);
      case Switch::kFullScreen: result_.fullScreen = true; return true;
      case Switch::kStart: result_.command = TimerCommand::kStart; break;
      case Switch::kPause: result_.command = TimerCommand::kPause; break;
      case Switch::kStop: result_.command = TimerCommand::kStop; break;
      default: result_.command = TimerCommand::kReset; break;
    }
    timerText_ = argument;
    return true;
  }

  // The argument after a switch: kEnd when there is none or it is a switch itself ("-5" is a
  // faulty value, not a switch).
  Read TakeValue(std::string_view* rest, std::string_view* value) {
    std::string_view after = *rest;
    const Read read = NextArgument(&after, value, &error_);
    if (read != Read::kArgument) return read;
    if (IsSwitch(*value) && (value->size() < 2 || !IsDigit((*value)[1]))) return Read::kEnd;
    *rest = after;
    return Read::kArgument;
  }

  // One of two words after the switch: `*second` is false for the first, true for the other.
  bool TakeChoice(std::string_view name, std::string_view* rest, const char* first,
                  const char* other, bool* second) {
    std::string_view value;
    const Read read = TakeValue(rest, &value);
    if (read == Read::kFault) return false;
    if (read == Read::kEnd) return Fail({Shown(name), " needs ", first, " or ", other, "."});
    *second = SameWord(value, other);
    if (*second || SameWord(value, first)) return true;
    return Fail({Shown(value), " is not ", first, " or ", other, "."});
  }

  bool TakeView(std::string_view name, std::string_view* rest) {
    bool remaining = false;
    if (!TakeChoice(name, rest, "elapsed", "remaining", &remaining)) return false;
    result_.setView = true;
    result_.view = remaining ? CountView::kRemaining : CountView::kElapsed;
    return true;
  }

  bool TakeToggle(std::string_view name, std::string_view* rest, Toggle* toggle) {
    bool off = false;
    if (!TakeChoice(name, rest, "on", "off", &off)) return false;
    *toggle = off ? Toggle::kOff : Toggle::kOn;
    return true;
  }

  // A time after the switch, from 1 second to 99:59:59; 0 too where it means `zero` ("no
  // warning"), which the messages then name.
  bool TakeTime(std::string_view name, std::string_view* rest, const char* zero,
                std::uint32_t* seconds) {
    std::string_view value;
    const Read read = TakeValue(rest, &value);
    if (read == Read::kFault) return false;
    const char* const orZero = zero != nullptr ? ", or 0 for " : "";
    const char* const orBeZero = zero != nullptr ? ", or be 0 for " : "";
    if (zero == nullptr) zero = "";
    if (read == Read::kEnd) {
      return Fail({Shown(name), " needs a time: S, M:SS or H:MM:SS", orZero, zero, "."});
    }
    if (!ReadTime(value, seconds)) {
      return Fail({Shown(value),
                   " is not a time: S, M:SS or H:MM:SS, with two digits 00-59 for minutes and "
                   "seconds."});
    }
    if ((*seconds < 1 && *orZero == '\0') || *seconds > kMaxLimitSeconds) {
      return Fail({"The time ", Shown(value),
                   " is out of range: it must lie between 1 second and 99:59:59", orBeZero, zero,
                   "."});
    }
    return true;
  }

  bool TakeWarning(std::string_view name, std::string_view* rest) {
    if (!TakeTime(name, rest, "no warning", &result_.warningSeconds)) return false;
    result_.setWarning = true;
    return true;
  }

  bool TakeLimit(std::string_view name, std::string_view* rest) {
    std::uint32_t seconds = 0;
    if (!TakeTime(name, rest, nullptr, &seconds)) return false;
    result_.setLimit = true;
    result_.limitHours = seconds / 3600;
    result_.limitMinutes = seconds / 60 % 60;
    result_.limitSeconds = seconds % 60;
    return true;
  }

  bool TakeMonitor(std::string_view name, std::string_view* rest) {
    std::string_view value;
    std::uint64_t number = 0;
    const Read read = TakeValue(rest, &value);
    if (read == Read::kFault) return false;
    if (read == Read::kEnd) {
      return Fail({Shown(name), " needs the number of a monitor, counted from 1."});
    }
    if (!ReadNumber(value, monitorCount_, &number)) {
      return Fail({Shown(value), " is not a monitor number: monitors are counted from 1."});
    }
    if (number == 0) {
      return Fail({"There is no monitor ", Cut(value), ": monitors are counted from 1."});
    }
    if (number > monitorCount_) {
      char digits[20];
      return Fail({"There is no monitor ", Cut(value), ": this computer has ",
                   Decimal(monitorCount_, digits),
                   monitorCount_ == 1 ? " monitor." : " monitors."});
    }
    result_.monitor = static_cast<unsigned>(number);
    return true;
  }

  const unsigned monitorCount_;
  ErrorText error_;
  CommandLine result_;
  std::string_view seen_[static_cast<std::size_t>(Switch::kCount)];  // each as given
  std::string_view firstOther_;  // the first switch other than /?
  std::string_view timerText_;
};

// An error into the caller's buffer, cut to its size; none when there is no buffer.
void CopyError(const char* text, char* error, std::size_t errorSize) {
  if (error == nullptr || errorSize == 0) return;
  std::size_t length = 0;
  for (; text[length] != '\0' && length + 1 < errorSize; ++length) error[length] = text[length];
  error[length] = '\0';
}

}  // namespace

bool ParseCommandLine(const char* arguments, unsigned monitorCount, CommandLine* command,
                      char* error, std::size_t errorSize) {
  Parser parser(monitorCount);
  const bool parsed = parser.Parse(arguments != nullptr ? arguments : "");
  if (parsed && command != nullptr) *command = parser.result();
  CopyError(parsed ? "" : parser.error(), error, errorSize);
  return parsed;
}

bool ParseWebCommand(const char* body, std::size_t length, unsigned monitorCount,
                     CommandLine* command, char* error, std::size_t errorSize) {
  const char* refusal = nullptr;
  char text[kMaxCommandLineBytes];
  if (length >= sizeof text) refusal = "The command is too long.";
  for (std::size_t i = 0; refusal == nullptr && i < length; ++i) {
    if (body[i] == '\0') refusal = "The command holds a zero byte.";
    text[i] = body[i] == '\r' || body[i] == '\n' ? ' ' : body[i];
  }
  CommandLine read;
  if (refusal == nullptr) {
    text[length] = '\0';
    if (!ParseCommandLine(text, monitorCount, &read, error, errorSize)) return false;
    if (read.showUsage) refusal = "/? is no command: give the switches to apply, such as /start.";
    if (read.web != Toggle::kNotGiven) {
      refusal = "/web is given on the computer itself, not from the web clock.";
    }
  }
  if (refusal != nullptr) {
    CopyError(refusal, error, errorSize);
    return false;
  }
  if (command != nullptr) *command = read;
  return true;
}

}  // namespace vantorel
