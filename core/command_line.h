// The program's command line, read the same way by a first copy, by a second start that hands
// it to the running copy, and by the running copy that receives it from any local program.
//   vantorel [/limit T] [/show elapsed|remaining] [/warn T] [/overtime on|off] [/ontop on|off]
//            [/web on|off] [/monitor N] [/fullscreen] [/start | /pause | /stop | /reset]
//   vantorel /?
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/time_text.h"

namespace vantorel {

// The longest command line the running copy takes from another program, in bytes with its
// terminator; anything longer is ignored.
constexpr std::size_t kMaxCommandLineBytes = 1024;

enum class TimerCommand { kNone, kStart, kPause, kStop, kReset };

// An on|off switch: not given, off or on.
enum class Toggle { kNotGiven, kOff, kOn };

struct CommandLine {
  bool showUsage = false;  // /?: the usage, nothing else is done
  bool setLimit = false;   // /limit T, as hours, minutes and seconds with minutes and seconds 0-59
  std::uint32_t limitHours = 0;
  std::uint32_t limitMinutes = 0;
  std::uint32_t limitSeconds = 0;
  bool setView = false;  // /show elapsed|remaining
  CountView view = CountView::kElapsed;
  bool setWarning = false;  // /warn T, 0 for none
  std::uint32_t warningSeconds = 0;
  Toggle overtime = Toggle::kNotGiven;
  Toggle onTop = Toggle::kNotGiven;
  Toggle web = Toggle::kNotGiven;  // the web clock
  unsigned monitor = 0;            // /monitor N: 1 is the primary; 0 when not given
  bool fullScreen = false;
  TimerCommand command = TimerCommand::kNone;

  // No switch at all: the program starts (or a second start answers) as it always did.
  bool Empty() const {
    return !showUsage && !setLimit && !setView && !setWarning && overtime == Toggle::kNotGiven &&
           onTop == Toggle::kNotGiven && web == Toggle::kNotGiven && monitor == 0 && !fullScreen &&
           command == TimerCommand::kNone;
  }
};

// Room for every error ParseCommandLine gives, terminator included: an argument it names is
// cut to 40 bytes.
constexpr std::size_t kCommandLineErrorSize = 256;

// The usage as the message box and the help show it, lines ended by "\r\n".
extern const char kCommandLineUsage[];

// Reads `arguments`, the text after the program's name (as WinMain receives it), on a desktop
// of `monitorCount` monitors. Returns true and fills `command` (an empty text gives Empty());
// or returns false, leaves `command` as it was and puts into `error` one sentence that names
// what was wrong, cut to its `errorSize` bytes (kCommandLineErrorSize hold any); on success
// `error` is emptied. Either may be null. Switches start with "/" or "-", in any case and
// order, each at most once; arguments are split at spaces and tabs, and one in double quotes
// is taken without them. /? stands alone: with any other switch it is an error, so that a
// faulty line never passes as a mere request for the usage. Takes any bytes of any length and
// throws nothing.
bool ParseCommandLine(const char* arguments, unsigned monitorCount, CommandLine* command,
                      char* error, std::size_t errorSize);

// Reads the `length` bytes of a command from the web clock (the body of a request, any bytes) as
// a command line, line breaks counting as blanks. Refuses, with a sentence, what only the
// computer itself may give: /? (the usage in a message box) and /web (the web clock itself),
// as well as a zero byte and a command of kMaxCommandLineBytes or more.
bool ParseWebCommand(const char* body, std::size_t length, unsigned monitorCount,
                     CommandLine* command, char* error, std::size_t errorSize);

}  // namespace vantorel
