#include "fixture.h"

namespace vantorel::testing {
namespace {

constexpr char kDefaultFile[] =
    "1\n1\n1\n1\n430\n10\n100\n0\n0\n0\n0\n16777215\n320\n700\n0\n"
    "Arial\nNo file selected\nNo file selected\n";

constexpr char kWriteFailure[] =
    "message 0x1010 [An unexpected error has occurred!] Cannot write to user preferences file!";

class SettingsTest : public ProcessTest {
 protected:
  void SetUp() override {
    ProcessTest::SetUp();
    InitSettingsPath();
  }
  // A file of the given numbers and texts, each on its own line.
  static std::string Lines(std::initializer_list<std::string> lines, const char* end = "\n") {
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
  }
};

TEST_F(SettingsTest, FirstRunCreatesTheFolderAndWritesTheDefaults) {
  EXPECT_EQ(system_.folder + "/vantorel.cfg", std::string(settingsPath));
  LoadSettings();
  EXPECT_EQ(kDefaultFile, ReadWholeFile(SettingsFile()));
  EXPECT_EQ(1, settings.showStartupScreen);
  EXPECT_EQ(16777215u, settings.backgroundColor);
  EXPECT_STREQ("No file selected", settings.tickWavPath);
  EXPECT_TRUE(system_.calls.empty());
  EXPECT_FALSE(std::filesystem::exists(system_.folder + "/vantorel.tmp"));
}

TEST_F(SettingsTest, EveryFieldSurvivesSaveAndLoad) {
  settings = Settings{-5, 0,   2,        1,    4000000000u, 7,       8,  99, 59,
                      58, 255, 0x123456, -216, 400,         0x10001, {}, {}, {}};
  const std::string face(31, 'F');
  const std::string alarm = "C:\\" + std::string(256, 'a');
  const std::string tick = "C:\\" + std::string(255, 't') + "\xe9";
  std::strcpy(settings.fontFace, face.c_str());
  std::strcpy(settings.alarmWavPath, alarm.c_str());
  std::strcpy(settings.tickWavPath, tick.c_str());
  const Settings saved = settings;
  SaveSettings();
  settings = Settings{};
  LoadSettings();
  EXPECT_EQ(0, std::memcmp(&saved, &settings, sizeof saved));
  EXPECT_EQ(Lines({"-5", "0", "2", "1", "-294967296", "7", "8", "99", "59", "58", "255", "1193046",
                   "-216", "400", "65537", face, alarm, tick}),
            ReadWholeFile(SettingsFile()));
}

TEST_F(SettingsTest, LineEndsAreRemovedOnlyWhereTheyAre) {
  // CR LF line ends, as an editor may leave them: no CR reaches a field.
  WriteWholeFile(SettingsFile(),
                 Lines({"0", "1", "1", "1", "430", "10", "100", "0", "0", "5", "255", "0", "320",
                        "700", "0", "Courier New", "a.wav", "b.wav"},
                       "\r\n"));
  LoadSettings();
  EXPECT_EQ(0, settings.showStartupScreen);
  EXPECT_EQ(5u, settings.limitSeconds);
  EXPECT_STREQ("Courier New", settings.fontFace);
  EXPECT_STREQ("a.wav", settings.alarmWavPath);
  EXPECT_STREQ("b.wav", settings.tickWavPath);

  // A last line without a line feed keeps every character; a lone CR inside a line is text.
  std::string file = kDefaultFile;
  file.replace(file.find("Arial"), 5, "Ari\ral");
  file.pop_back();
  WriteWholeFile(SettingsFile(), file);
  LoadSettings();
  EXPECT_STREQ("Ari\ral", settings.fontFace);
  EXPECT_STREQ("No file selected", settings.tickWavPath);
}

// The file with the given face and sound file lines in place of the defaults.
std::string WithTexts(const std::string& face, const std::string& alarm, const std::string& tick) {
  std::string file = kDefaultFile;
  file.replace(file.find("Arial"), std::string::npos, face + "\n" + alarm + "\n" + tick + "\n");
  return file;
}

std::string Times(const std::string& text, int count) {
  std::string repeated;
  for (int i = 0; i < count; ++i) repeated += text;
  return repeated;
}

TEST_F(SettingsTest, AnOverlongFaceIsCutToWholeCharacters) {
  const std::string zhang = "\xe5\xbc\xa0";  // three bytes in UTF-8
  const std::string umlaut = "\xc3\xab";     // two
  const struct {
    std::string face;
    std::string read;
  } cases[] = {
      {std::string(40, 'x'), std::string(31, 'x')},
      {std::string(29, 'x') + umlaut + "y", std::string(29, 'x') + umlaut},
      {std::string(30, 'x') + zhang, std::string(30, 'x')},
      {Times(zhang, 11), Times(zhang, 10)},
  };
  for (const auto& c : cases) {
    WriteWholeFile(SettingsFile(), WithTexts(c.face, "a.wav", "b.wav"));
    LoadSettings();
    EXPECT_EQ(c.read, settings.fontFace) << c.face;
    EXPECT_STREQ("a.wav", settings.alarmWavPath) << c.face;
    EXPECT_STREQ("b.wav", settings.tickWavPath) << c.face;
  }

  // Another code page cuts at the 31st byte, whatever it is.
  system_.codePage = 1252;
  WriteWholeFile(SettingsFile(), WithTexts(std::string(30, 'x') + zhang, "a.wav", "b.wav"));
  LoadSettings();
  EXPECT_EQ(std::string(30, 'x') + "\xe5", settings.fontFace);
}

TEST_F(SettingsTest, AnOverlongSoundFileIsRefusedNotCutIntoAnotherPath) {
  // 259 bytes fit, in any script and with either line end; the next field reads its own line.
  const std::string fits = "C:\\" + Times("\xe5\xbc\xa0", 85) + "w";
  ASSERT_EQ(259u, fits.size());
  WriteWholeFile(SettingsFile(), WithTexts("Arial", fits + "\r", fits));
  LoadSettings();
  EXPECT_EQ(fits, settings.alarmWavPath);
  EXPECT_EQ(fits, settings.tickWavPath);

  // One more byte: the line cannot be read, so it and the lines after it keep their defaults.
  const std::string tooLong = fits + "w";
  WriteWholeFile(SettingsFile(), WithTexts("Courier New", tooLong, "b.wav"));
  LoadSettings();
  EXPECT_STREQ("Courier New", settings.fontFace);
  EXPECT_STREQ("No file selected", settings.alarmWavPath);
  EXPECT_STREQ("No file selected", settings.tickWavPath);

  WriteWholeFile(SettingsFile(), WithTexts("Courier New", "a.wav", std::string(700, 'p')));
  LoadSettings();
  EXPECT_STREQ("a.wav", settings.alarmWavPath);
  EXPECT_STREQ("No file selected", settings.tickWavPath);
  EXPECT_TRUE(system_.calls.empty());
}

TEST_F(SettingsTest, ReadingStopsAtTheFirstBadLineAndKeepsDefaultsForTheRest) {
  const struct {
    std::string file;
    std::uint32_t buttonsLeft;
    std::uint32_t textColor;
  } cases[] = {
      {"", 430, 0},                                                 // empty file
      {"0\n0\n0\n0\n500\n", 500, 0},                                // truncated
      {"0\n0\n0\n0\n500\n20\n100\n0\n0\n0\nred\n0\n", 500, 0},      // text for a number
      {"0\n0\n0\n0\n500\n20\n100\n0\n0\n0\n12abc\n0\n", 500, 0},    // trailing junk
      {"0\n0\n0\n0\n99999999999\n", 430, 0},                        // beyond 32 bits
      {"0\n\n  0\n0 \n0\n600\n20\n100\n0\n0\n0\n255\n", 600, 255},  // blanks are skipped
  };
  for (const auto& c : cases) {
    WriteWholeFile(SettingsFile(), c.file);
    settings = Settings{};
    LoadSettings();
    EXPECT_EQ(c.buttonsLeft, settings.buttonsLeft) << c.file;
    EXPECT_EQ(c.textColor, settings.textColor) << c.file;
    EXPECT_EQ(16777215u, settings.backgroundColor) << c.file;
    EXPECT_EQ(320, settings.fontHeight) << c.file;
    EXPECT_STREQ("Arial", settings.fontFace) << c.file;
  }
  EXPECT_TRUE(system_.calls.empty());
}

TEST_F(SettingsTest, FailedSavesReportAndKeepTheOldFile) {
  LoadSettings();
  settings.limitHours = 7;

  system_.replaceFails = true;  // the one-step replace is refused
  SaveSettings();
  EXPECT_EQ(kDefaultFile, ReadWholeFile(SettingsFile()));
  EXPECT_FALSE(std::filesystem::exists(system_.folder + "/vantorel.tmp"));
  system_.replaceFails = false;

  // The scratch file's place is taken by a folder, so it cannot be opened.
  std::filesystem::create_directory(system_.folder + "/vantorel.tmp");
  SaveSettings();
  EXPECT_EQ(kDefaultFile, ReadWholeFile(SettingsFile()));
  const std::vector<std::string> twice = {kWriteFailure, kWriteFailure};
  EXPECT_EQ(twice, system_.calls);

  // The reload that follows a failed save brings back what the file holds.
  LoadSettings();
  EXPECT_EQ(0u, settings.limitHours);
}

#ifndef _WIN32
// A full disk: every write after the open fails.
TEST_F(SettingsTest, FailedWritesAfterTheOpenReportAndKeepTheOldFile) {
  LoadSettings();
  std::filesystem::create_symlink("/dev/full", system_.folder + "/vantorel.tmp");
  settings.limitHours = 7;
  SaveSettings();
  EXPECT_EQ(std::vector<std::string>{kWriteFailure}, system_.calls);
  EXPECT_EQ(kDefaultFile, ReadWholeFile(SettingsFile()));
  EXPECT_FALSE(std::filesystem::is_symlink(system_.folder + "/vantorel.tmp"));
}
#endif

TEST_F(SettingsTest, UnusableDataFoldersGiveTheWriteFailure) {
  // The data folder's place is taken by a regular file.
  WriteWholeFile((root_ / "blocked").string(), "x");
  system_.folder = (root_ / "blocked").string() + "/vantorel";
  InitSettingsPath();
  LoadSettings();
  EXPECT_STREQ("Arial", settings.fontFace);
  EXPECT_EQ(std::vector<std::string>{kWriteFailure}, system_.calls);

  // A folder path that leaves no room for the file's name.
  system_.Forget();
  const std::size_t rootLength = root_.string().size() + 1;
  system_.folder = (root_ / std::string(255 - rootLength, 'd')).string();
  InitSettingsPath();
  EXPECT_EQ(255u, std::strlen(dataFolder));
  EXPECT_STREQ("", settingsPath);
  LoadSettings();
  EXPECT_EQ(std::vector<std::string>{kWriteFailure}, system_.calls);
}

}  // namespace
}  // namespace vantorel::testing
