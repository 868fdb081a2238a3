// Random and hostile bytes through both readers. Under the sanitizers any overrun fails the
// run; here every result must still be a terminated text within its field.
#include "fixture.h"

namespace vantorel::testing {
namespace {

std::string RandomBytes(std::mt19937& random, std::size_t maxLength) {
  // Mostly the bytes the readers care about, so line structure actually varies.
  static const char kInteresting[] = "0123456789-+ \t\r\n\n\n\0abcXYZ\xff";
  std::string bytes(random() % (maxLength + 1), '\0');
  for (char& byte : bytes) {
    byte = random() % 4 == 0 ? static_cast<char>(random())
                             : kInteresting[random() % (sizeof kInteresting - 1)];
  }
  return bytes;
}

class ReaderFuzzTest : public ProcessTest {
 protected:
  void SetUp() override {
    ProcessTest::SetUp();
    InitSettingsPath();
    InitLogPath();
  }
};

TEST_F(ReaderFuzzTest, SettingsReaderTakesAnyBytes) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 400; ++round) {
    const std::string base = round % 2 == 0 ? std::string() : std::string(45, '1') + "\n";
    WriteWholeFile(SettingsFile(), base + RandomBytes(random, round % 3 == 0 ? 2000 : 200));
    LoadSettings();
    ASSERT_LT(std::strlen(settings.fontFace), sizeof settings.fontFace);
    ASSERT_LT(std::strlen(settings.alarmWavPath), sizeof settings.alarmWavPath);
    ASSERT_LT(std::strlen(settings.tickWavPath), sizeof settings.tickWavPath);
  }
  EXPECT_TRUE(system_.calls.empty());
}

TEST_F(ReaderFuzzTest, LogReaderTakesAnyBytesAndLosesNoCharacter) {
  std::mt19937 random(7122026);
  for (int round = 0; round < 400; ++round) {
    const std::string bytes = RandomBytes(random, round % 3 == 0 ? 3000 : 300);
    WriteWholeFile(LogFile(), bytes);
    std::size_t characters = 0;
    ReadLogLines(
        [](const char* line, void* count) {
          const std::size_t length = std::strlen(line);
          ASSERT_LT(length, 260u);
          *static_cast<std::size_t*>(count) += length;
        },
        &characters);
    // Everything but the line ends arrives (zero bytes as '?').
    std::size_t expected = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const bool lineFeed = bytes[i] == '\n';
      const bool crBeforeLineFeed =
          bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
      if (!lineFeed && !crBeforeLineFeed) ++expected;
    }
    ASSERT_EQ(expected, characters) << round;
  }
  EXPECT_TRUE(system_.calls.empty());
}

}  // namespace
}  // namespace vantorel::testing
