#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/command_line.h"

namespace vantorel {
namespace {

// A result in a few words, e.g. "limit 0:01:30 monitor 2 full start"; "" for Empty().
std::string Describe(const CommandLine& line) {
  static const char* const kCommands[] = {"", " start", " pause", " stop", " reset"};
  std::ostringstream text;
  if (line.showUsage) text << " usage";
  if (line.setLimit) {
    text << " limit " << line.limitHours << ':' << line.limitMinutes / 10 << line.limitMinutes % 10
         << ':' << line.limitSeconds / 10 << line.limitSeconds % 10;
  }
  static const char* const kToggles[] = {"", "off", "on"};
  if (line.setView) text << (line.view == CountView::kRemaining ? " remaining" : " elapsed");
  if (line.setWarning) text << " warn " << line.warningSeconds;
  if (line.overtime != Toggle::kNotGiven) {
    text << " overtime " << kToggles[static_cast<int>(line.overtime)];
  }
  if (line.onTop != Toggle::kNotGiven) text << " ontop " << kToggles[static_cast<int>(line.onTop)];
  if (line.web != Toggle::kNotGiven) text << " web " << kToggles[static_cast<int>(line.web)];
  if (line.monitor != 0) text << " monitor " << line.monitor;
  if (line.fullScreen) text << " full";
  text << kCommands[static_cast<int>(line.command)];
  return text.str().empty() ? "" : text.str().substr(1);
}

// A filled result, to show that a rejected line leaves it alone.
const char kUntouched[] = "limit 0:07:00 monitor 9";
CommandLine Untouched() {
  CommandLine line;
  line.setLimit = true;
  line.limitMinutes = 7;
  line.monitor = 9;
  return line;
}

// Faulty lines (2 monitors) whose error quotes their last argument.
const char* const kBadLines[] = {"/foo",
                                 "start",
                                 "/limit 5 7",
                                 "/limit 5 /LIMIT",
                                 "/start -start",
                                 "/stop /Pause",
                                 "/limit",
                                 "/monitor abc",
                                 "/monitor -1",
                                 "/? /?",
                                 "/limit 5 -?",
                                 "/limit 0:00",
                                 "/limit 360000",
                                 "/limit 1:60",
                                 "/limit 1:005",
                                 "/limit :30",
                                 "/limit 1::00",
                                 "/limit 1:00:00:00",
                                 "/limit +5",
                                 "/limit \xff",
                                 "/show sideways",
                                 "-SHOW",
                                 "/warn 100:00:00",
                                 "/warn 1:60",
                                 "/warn",
                                 "/overtime yes",
                                 "/ontop",
                                 "/ontop on -ONTOP",
                                 "/web",
                                 "/web on /ontop off -Web",
                                 "/show remaining /show"};
// Faulty lines (2 monitors) with the whole of their error. 2^64 + 1 must not wrap to 1.
const char* const kBadLinesAndErrors[][2] = {
    {"/limit 18446744073709551617",
     "The time \"18446744073709551617\" is out of range: it must lie between 1 second and "
     "99:59:59."},
    {"/limit /start", "\"/limit\" needs a time: S, M:SS or H:MM:SS."},
    {"/warn /start", "\"/warn\" needs a time: S, M:SS or H:MM:SS, or 0 for no warning."},
    {"/limit 0", "The time \"0\" is out of range: it must lie between 1 second and 99:59:59."},
    {"/ontop maybe", "\"maybe\" is not on or off."},
    {"/web 8642", "\"8642\" is not on or off."},
    {"/web /start", "\"/web\" needs on or off."},
    {"/monitor 0", "There is no monitor 0: monitors are counted from 1."},
    {"/monitor 18446744073709551617",
     "There is no monitor 18446744073709551617: this computer has 2 monitors."},
    {"\"/limit 5", "The argument \"\"/limit 5\" has no closing quote."},
    {"/limit\"5\"",
     "The argument \"/limit\"5\"\" has a quote inside it: quotes may only enclose a whole "
     "argument."},
    // Cut to 40 bytes, back to the start of the character that the cut would split.
    {"/xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\xe2\x82\xacyz",
     "Unknown switch \"/xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...\"."}};

void RandomCase(std::string* text, std::mt19937& random) {
  for (char& c : *text) {
    if (random() % 2 == 0 && std::isalpha(static_cast<unsigned char>(c))) c ^= 0x20;
  }
}

// The result of `text` in a few words; `error` is cleared on success, one sentence otherwise.
std::string Parsed(const std::string& text, unsigned monitorCount, std::string* error) {
  CommandLine line = Untouched();
  char buffer[kCommandLineErrorSize] = "stale";
  const bool accepted = ParseCommandLine(text.c_str(), monitorCount, &line, buffer, sizeof buffer);
  *error = buffer;
  EXPECT_TRUE(accepted ? error->empty() : *error != "stale" && error->back() == '.')
      << text << ": " << *error;
  return Describe(line);
}

TEST(CommandLine, GoodLinesOnThreeMonitors) {
  std::string error;
  // Each time, "=", and the limit it gives.
  for (const char* c : {"1=0:00:01", "0:01=0:00:01", "0:00:01=0:00:01", "59=0:00:59", "60=0:01:00",
                        "90=0:01:30", "0005=0:00:05", "59:59=0:59:59", "120:00=2:00:00",
                        "5999:59=99:59:59", "99:59:59=99:59:59", "359999=99:59:59"}) {
    const char* equals = std::strchr(c, '=');
    EXPECT_EQ(std::string("limit ") + (equals + 1),
              Parsed("/limit " + std::string(c, equals), 3, &error));
  }
  // Each line, "=", and its result.
  for (const char* c :
       {"=", " \t =", "/?=usage", "  -?\t=usage", "-LiMiT \"1:02:03\"=limit 1:02:03",
        "/monitor 1=monitor 1", "-Monitor 3=monitor 3", "/fullscreen=full", "/start=start",
        "-PAUSE=pause", "/sToP=stop", "\"/reset\"=reset", "/show Remaining=remaining",
        "-SHOW elapsed=elapsed", "/warn 0=warn 0", "/WARN 5:00=warn 300",
        "/overtime ON=overtime on", "/ontop off=ontop off",
        "/start -WEB Off /ontop on /overtime off /warn 90 /show remaining /limit 1:00:00=limit "
        "1:00:00 remaining warn 90 overtime off ontop on web off start"}) {
    const char* equals = std::strchr(c, '=');
    EXPECT_EQ(equals + 1, Parsed(std::string(c, equals), 3, &error)) << c;
  }
  EXPECT_EQ("limit 0:05:00 web on monitor 2 full reset",
            Parsed("\t/reset -FullScreen /monitor 02 /web oN /limit 5:00 ", 3, &error));
}

TEST(CommandLine, BadLinesNameTheirFaultAndChangeNothing) {
  std::string error;
  for (const char* text : kBadLines) {
    const char* last = std::strrchr(text, ' ');
    EXPECT_EQ(kUntouched, Parsed(text, 2, &error));
    EXPECT_NE(std::string::npos, error.find('"' + std::string(last ? last + 1 : text) + '"'))
        << error;
  }
  for (const auto& c : kBadLinesAndErrors) {
    EXPECT_EQ(kUntouched, Parsed(c[0], 2, &error));
    EXPECT_EQ(c[1], error);
  }
  Parsed("/monitor 2", 1, &error);
  EXPECT_EQ("There is no monitor 2: this computer has 1 monitor.", error);
  // Hostile text is named cut short and without its control bytes.
  Parsed("/" + std::string(5000, '\x1b'), 2, &error);
  EXPECT_TRUE(error.size() < 80 && error.find('\x1b') == std::string::npos) << error;
  // A smaller buffer holds the start of the error.
  char start[8];
  EXPECT_FALSE(ParseCommandLine("/foo", 2, nullptr, start, sizeof start));
  EXPECT_STREQ("Unknown", start);
}

// A command from the web clock is read by the same parser, line breaks as blanks; what only the
// computer itself may give is refused.
TEST(CommandLine, WebCommandsReadAsCommandLinesButForUsageAndTheWebClock) {
  const auto web = [](const std::string& body, std::string* error) {
    CommandLine line = Untouched();
    char buffer[kCommandLineErrorSize] = "stale";
    ParseWebCommand(body.data(), body.size(), 2, &line, buffer, sizeof buffer);
    *error = buffer;
    return Describe(line);
  };
  std::string error;
  EXPECT_EQ(web("/limit 45:00\r\n/show remaining\n/start", &error),
            "limit 0:45:00 remaining start");
  EXPECT_EQ(error, "");
  EXPECT_EQ(web("", &error), "");
  for (const auto& c : kBadLinesAndErrors) {
    EXPECT_EQ(web(c[0], &error), kUntouched);
    EXPECT_EQ(error, c[1]);
  }
  for (const auto& c : std::vector<std::pair<std::string, std::string>>{
           {"/?", "/? is no command: give the switches to apply, such as /start."},
           {"/start /web on", "/web is given on the computer itself, not from the web clock."},
           {std::string("/start\0/stop", 12), "The command holds a zero byte."},
           {"/start " + std::string(kMaxCommandLineBytes, ' '), "The command is too long."}}) {
    EXPECT_EQ(web(c.first, &error), kUntouched) << c.first;
    EXPECT_EQ(error, c.second);
  }
}

TEST(CommandLine, FuzzedLinesGiveValidResultsOrAnError) {
  static const char* const kPieces[] = {
      // Whole arguments, good and bad, and the pieces they are made of.
      "/limit ",    "/monitor ",  "/fullscreen ",
      "/start ",    "-pause ",    "/stop ",
      "/reset ",    "/? ",        "90 ",
      "/show ",     "remaining ", "/warn ",
      "/overtime ", "on ",        "-ONTOP ",
      "5:00 ",      "1:02:03 ",   "99:59:59 ",
      "0:60 ",      "2 ",         "0 ",
      "/",          "-",          ":",
      "0",          "59",         " ",
      "\t",         "\"",         "/web "};
  std::mt19937 random(20260412);
  int limits = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string text, error;
    for (auto pieces = random() % (round % 50 == 0 ? 1000 : 6); pieces > 0; --pieces) {
      // Now and then any byte but the terminator.
      text += random() % 10 == 0 ? std::string(1, static_cast<char>(random() % 255 + 1))
                                 : kPieces[random() % std::size(kPieces)];
    }
    RandomCase(&text, random);
    const auto count = static_cast<unsigned>(random() % 4 + 1);
    CommandLine line = Untouched();
    char buffer[kCommandLineErrorSize] = "stale";
    const bool accepted = ParseCommandLine(text.c_str(), count, &line, buffer, sizeof buffer);
    error = buffer;
    if (accepted) {
      const auto seconds = line.limitHours * 3600 + line.limitMinutes * 60 + line.limitSeconds;
      ASSERT_TRUE(line.setLimit ? seconds >= 1 && seconds <= 359999 : seconds == 0) << text;
      ASSERT_TRUE(line.limitMinutes < 60 && line.limitSeconds < 60) << text;
      ASSERT_LE(line.monitor, count) << text;
      ASSERT_LE(line.warningSeconds, 359999u) << text;
      ASSERT_TRUE(!line.showUsage || Describe(line) == "usage") << text;
      limits += line.setLimit;
    } else {
      ASSERT_EQ(kUntouched, Describe(line)) << text;
      ASSERT_FALSE(error.empty()) << text;
    }
  }
  EXPECT_LT(20, limits);  // the rounds do reach the good paths
  // Blanks around the arguments and the case of the letters never make a bad line good.
  for (int round = 0; round < 20; ++round) {
    std::vector<std::string> bad(std::begin(kBadLines), std::end(kBadLines));
    for (const auto& c : kBadLinesAndErrors) bad.push_back(c[0]);
    for (const std::string& line : bad) {
      std::istringstream words(line);
      std::string text(random() % 3, ' '), word;
      while (words >> word) text += word + (random() % 2 == 0 ? "\t" : "  ");
      RandomCase(&text, random);
      EXPECT_FALSE(ParseCommandLine(text.c_str(), 2, nullptr, nullptr, 0)) << text;
    }
  }
}

}  // namespace
}  // namespace vantorel
