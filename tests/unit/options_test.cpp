// The options file beside the settings file: what it holds, what it keeps that it does not
// know, and that no content of it, however hostile, does more than give the defaults.
#include <chrono>

#include "fixture.h"

namespace vantorel::testing {
namespace {

class OptionsTest : public ProcessTest {
 protected:
  void SetUp() override {
    ProcessTest::SetUp();
    InitSettingsPath();
    InitOptionsPath();
  }

  // The options as the file gives them, in its own words.
  std::string Loaded(const std::string& bytes) {
    WriteWholeFile(OptionsFile(), bytes);
    LoadOptions();
    return Describe(options);
  }

  static std::string Describe(const Options& o) {
    char text[200];
    std::snprintf(text, sizeof text, "%s warn %u %s %06x %06x web %s %s %u pin [%s]",
                  o.view == CountView::kRemaining ? "remaining" : "elapsed",
                  static_cast<unsigned>(o.warningSeconds), o.overtime ? "over" : "stop",
                  static_cast<unsigned>(o.warningColor), static_cast<unsigned>(o.overtimeColor),
                  o.webClock ? "on" : "off", o.webNetwork ? "network" : "local",
                  static_cast<unsigned>(o.webPort), o.webPin);
    return text;
  }
};

const char kDefaults[] = "elapsed warn 0 stop 0070d0 0000e0 web off local 8642 pin []";

TEST_F(OptionsTest, NoFileMeansDefaultsAndDefaultsMakeNoFile) {
  LoadOptions();
  EXPECT_EQ(kDefaults, Describe(options));
  EXPECT_TRUE(SaveOptions());
  EXPECT_FALSE(std::filesystem::exists(OptionsFile()));

  options.view = CountView::kRemaining;
  options.warningSeconds = 300;
  options.overtime = true;
  options.warningColor = 0x0000FFFF;
  options.onTop = true;
  options.windowMonitor = {"\\\\.\\DISPLAY2", {1280, 0, 2304, 768}};
  options.windowFullScreen = true;
  options.hotKeys[kHotKeyStartPause] = {kHotKeyControl | kHotKeyAlt, 'S'};
  options.hotKeys[kHotKeyShow] = {kHotKeyWin | kHotKeyShift, 0x7B};
  RememberLimit(&options.recentLimits, 90);
  RememberLimit(&options.recentLimits, 300);
  options.webClock = true;
  options.webPort = 1;
  options.webNetwork = true;
  std::snprintf(options.webPin, sizeof options.webPin, "01234567");
  ASSERT_TRUE(SaveOptions());
  const std::string written =
      "# Vantorel's options, one name=value a line; lines it does not know are kept.\n"
      "count.view=remaining\n"
      "count.warning=00:05:00\n"
      "count.overtime=on\n"
      "color.warning=#FFFF00\n"
      "color.overtime=#E00000\n"
      "window.ontop=on\n"
      "window.monitor=\\\\.\\DISPLAY2\n"
      "window.rect=1280,0,2304,768\n"
      "window.fullscreen=on\n"
      "hotkey.startpause=Ctrl+Alt+S\n"
      "hotkey.stop=\n"
      "hotkey.reset=\n"
      "hotkey.fullscreen=\n"
      "hotkey.view=\n"
      "hotkey.show=Shift+Win+F12\n"
      "limits.recent=0:05:00,0:01:30\n"
      "web.clock=on\n"
      "web.port=1\n"
      "web.network=on\n"
      "web.pin=01234567\n";
  EXPECT_EQ(written, ReadWholeFile(OptionsFile()));
  // Read back, every option is what was saved: saved again, the same bytes.
  LoadOptions();
  ASSERT_TRUE(SaveOptions());
  EXPECT_EQ(written, ReadWholeFile(OptionsFile()));
  EXPECT_TRUE(system_.calls.empty());
}

TEST_F(OptionsTest, RewritingKeepsWhatItDoesNotKnowWhereItStood) {
  const std::string edited =
      "; my notes\r\n"
      "later.option=42\n"
      " Count.View = Remaining \r\n"
      "count.view=elapsed\n"  // the last of a name counts; a rewrite keeps the first place
      "\n"
      "count.warning=90\n"
      "junk without equals\n"
      "color.overtime=#00ff00";  // no line end
  EXPECT_EQ("elapsed warn 90 stop 0070d0 00ff00 web off local 8642 pin []", Loaded(edited));
  options.view = CountView::kRemaining;
  ASSERT_TRUE(SaveOptions());
  EXPECT_EQ(
      "; my notes\r\n"
      "later.option=42\n"
      "count.view=remaining\n"
      "\n"
      "count.warning=00:01:30\n"
      "junk without equals\n"
      "color.overtime=#00FF00\n"
      "count.overtime=off\n"
      "color.warning=#D07000\n"
      "window.ontop=off\n"
      "window.monitor=\n"
      "window.rect=\n"
      "window.fullscreen=off\n"
      "hotkey.startpause=\n"
      "hotkey.stop=\n"
      "hotkey.reset=\n"
      "hotkey.fullscreen=\n"
      "hotkey.view=\n"
      "hotkey.show=\n"
      "limits.recent=\n"
      "web.clock=off\n"
      "web.port=8642\n"
      "web.network=off\n"
      "web.pin=\n",
      ReadWholeFile(OptionsFile()));
  LoadOptions();
  EXPECT_EQ("remaining warn 90 stop 0070d0 00ff00 web off local 8642 pin []", Describe(options));
  // An unknown last line without its line end gets one before the options added after it.
  WriteWholeFile(OptionsFile(), "future=1");
  ASSERT_TRUE(SaveOptions());
  EXPECT_EQ(0u, ReadWholeFile(OptionsFile()).find("future=1\ncount.view=remaining\n"));
}

TEST_F(OptionsTest, BadLinesGiveTheirOptionItsDefault) {
  // Values are trimmed; the port's and the pin's highest and lowest.
  const std::string good =
      "count.view=remaining\ncount.warning=10\ncount.overtime=on\ncolor.warning=#123456\n"
      "web.clock=on\nweb.port= 65535 \nweb.network=ON\nweb.pin=0000\n";
  EXPECT_EQ("remaining warn 10 over 563412 0000e0 web on network 65535 pin [0000]", Loaded(good));
  using namespace std::string_literals;
  for (const std::string& line :
       {"count.view=upwards\n"s, "count.warning=100:00:00\n"s, "count.warning=-5\n"s,
        "count.warning=18446744073709551617\n"s, "count.overtime=yes\n"s, "count.overtime=o\0n\n"s,
        "color.warning=#12345\n"s, "color.warning=#12345G\n"s, "count.view=remaining\x01\n"s,
        "web.clock=yes\n"s, "web.network=1\n"s, "web.port=0\n"s, "web.port=65536\n"s,
        "web.port=99999999999999999999\n"s, "web.port=+80\n"s, "web.port=80x\n"s, "web.pin=123\n"s,
        "web.pin=123456789\n"s, "web.pin=12a4\n"s}) {
    EXPECT_NE(Loaded(good), Loaded(good + line)) << line;
    EXPECT_EQ(kDefaults, Loaded(line)) << line;
  }
  // A line too long for any option: the option it names keeps the default.
  EXPECT_EQ("elapsed warn 10 over 563412 0000e0 web on network 65535 pin [0000]",
            Loaded(good + "count.view=remaining" + std::string(600, ' ') + "\n"));
}

TEST_F(OptionsTest, HostileFilesGiveDefaultsQuickly) {
  std::mt19937 random(20261209);
  std::string randomBytes(1 << 16, '\0');
  for (char& byte : randomBytes) byte = static_cast<char>(random());
  std::string manyLines;
  for (int i = 0; i < 200000; ++i) manyLines += "count.warning=" + std::to_string(i) + "x\n";
  // The last port is 2^64 + 80, which is 80 at any width that it might wrap in.
  const std::string files[] = {randomBytes,
                               "count.view=" + std::string(1 << 20, 'r') + "\n",
                               std::string(1 << 20, '='),
                               manyLines,
                               std::string(1000, '\0') + "\ncount.overtime=on",
                               "count.warning=" + std::string(5000, '9') + "\n",
                               "web.port=18446744073709551696\n"};
  for (const std::string& bytes : files) {
    const auto started = std::chrono::steady_clock::now();
    const std::string loaded = Loaded(bytes);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, std::chrono::seconds(1));
    // NUL bytes before a good line leave it good; everything else is at its defaults.
    EXPECT_EQ(bytes[0] == '\0' ? "elapsed warn 0 over 0070d0 0000e0 web off local 8642 pin []"
                               : kDefaults,
              loaded);
    // And a rewrite keeps the hostile bytes it does not know, byte for byte.
    options.overtime = !options.overtime;
    ASSERT_TRUE(SaveOptions());
    if (bytes == randomBytes) {
      EXPECT_EQ(0u, ReadWholeFile(OptionsFile()).find(bytes.substr(0, bytes.find("count."))));
    }
  }
}

TEST_F(OptionsTest, FailedSavesReportAndKeepTheOldFile) {
  WriteWholeFile(OptionsFile(), "count.overtime=on\n");
  LoadOptions();
  options.view = CountView::kRemaining;
  system_.replaceFails = true;
  EXPECT_FALSE(SaveOptions());
  EXPECT_EQ("count.overtime=on\n", ReadWholeFile(OptionsFile()));
  EXPECT_EQ((std::vector<std::string>{"message 0x1010 [An unexpected error has occurred!] Cannot "
                                      "write to user preferences file!"}),
            system_.calls);
  EXPECT_FALSE(std::filesystem::exists(system_.folder + "/vantorel.ini.new"));
}

}  // namespace
}  // namespace vantorel::testing
