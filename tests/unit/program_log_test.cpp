#include "fixture.h"

namespace vantorel::testing {
namespace {

constexpr char kWriteFailure[] =
    "message 0x1010 [An unexpected error has occurred!] Cannot write to program log!";
constexpr char kReadFailure[] =
    "message 0x1010 [An unexpected error has occurred!] Cannot read program log!";

class ProgramLogTest : public ProcessTest {
 protected:
  void SetUp() override {
    ProcessTest::SetUp();
    InitLogPath();
  }
  std::vector<std::string> ReadLines() {
    std::vector<std::string> lines;
    ReadLogLines([](const char* line,
                    void* into) { static_cast<std::vector<std::string>*>(into)->push_back(line); },
                 &lines);
    return lines;
  }
  // The lines as a reader gives them when it closes the log after each one.
  std::vector<std::string> ReadLinesPausing(LogLineReader& reader) {
    std::vector<std::string> lines;
    for (const char* line; (line = reader.Next()) != nullptr; reader.Pause()) lines.push_back(line);
    return lines;
  }
};

TEST_F(ProgramLogTest, EntriesAreTimestampedLinesWithLineFeedsOnly) {
  EXPECT_EQ(system_.folder + "/vantorellog.txt", std::string(logPath));
  LogSessionStart();
  system_.now = {2010, 1, 1, 0, 0, 5};
  FormatTitle(0, 5, 0);
  WriteLogEntry(kLogStart, titleText);
  system_.now = {2009, 12, 31, 23, 59, 59};
  LogSessionEnd();
  const std::string expected =
      "2009-03-05 08:55:02 - Session Start\n"
      "2010-01-01 00:00:05 - Start Vantorel: Timer Set - 00h:05m:00s\n"
      "2009-12-31 23:59:59 - Session End\n";
  EXPECT_EQ(expected, ReadWholeFile(LogFile()));
  EXPECT_EQ(std::string::npos, ReadWholeFile(LogFile()).find('\r'));

  const std::vector<std::string> lines = {
      "2009-03-05 08:55:02 - Session Start",
      "2010-01-01 00:00:05 - Start Vantorel: Timer Set - 00h:05m:00s",
      "2009-12-31 23:59:59 - Session End"};
  EXPECT_EQ(lines, ReadLines());
  EXPECT_TRUE(system_.calls.empty());
}

TEST_F(ProgramLogTest, ForeignContentIsReadWithoutLoss) {
  const std::string longLine(600, 'L');
  WriteWholeFile(LogFile(), "crlf\r\n\nlone\rcr\n" + std::string("ze\0ro\n", 6) +
                                std::string(259, 'a') + "\r\n" + std::string(259, 'b') + "\n" +
                                longLine + "\nno final line feed");
  const std::vector<std::string> expected = {"crlf",
                                             "",
                                             "lone\rcr",
                                             "ze?ro",
                                             std::string(259, 'a'),
                                             std::string(259, 'b'),
                                             std::string(259, 'L'),
                                             std::string(259, 'L'),
                                             std::string(82, 'L'),
                                             "no final line feed"};
  EXPECT_EQ(expected, ReadLines());

  // Read in parts with the file closed between them: the same lines, and none appended after
  // the start.
  LogLineReader reader;
  ASSERT_TRUE(reader.Start());
  LogSessionEnd();
  EXPECT_EQ(expected, ReadLinesPausing(reader));
  EXPECT_TRUE(reader.Done());

  WriteWholeFile(LogFile(), "");
  EXPECT_TRUE(ReadLines().empty());
  EXPECT_TRUE(system_.calls.empty());

  // A log removed between two parts ends the reading without a message.
  WriteWholeFile(LogFile(), "one\ntwo\n");
  ASSERT_TRUE(reader.Start());
  EXPECT_STREQ("one", reader.Next());
  reader.Pause();
  std::filesystem::remove(LogFile());
  EXPECT_EQ(nullptr, reader.Next());
  EXPECT_TRUE(system_.calls.empty());
}

TEST_F(ProgramLogTest, PiecesOfALongLineEndWithWholeCharacters) {
  std::string zhang;
  for (int i = 0; i < 100; ++i) zhang += "\xe5\xbc\xa0";
  WriteWholeFile(LogFile(), "ab" + zhang + "\ncd" + zhang.substr(0, 257) + "\r\n");
  // 259 bytes would end in the middle of the 86th character, which opens the next piece.
  EXPECT_EQ((std::vector<std::string>{"ab" + zhang.substr(0, 255), zhang.substr(255),
                                      "cd" + zhang.substr(0, 255), zhang.substr(255, 2)}),
            ReadLines());

  LogLineReader reader;
  ASSERT_TRUE(reader.Start());
  EXPECT_EQ(ReadLines(), ReadLinesPausing(reader));

  // Another code page cuts at the 259th byte, whatever it is.
  system_.codePage = 1252;
  EXPECT_EQ((std::vector<std::string>{"ab" + zhang.substr(0, 257), zhang.substr(257),
                                      "cd" + zhang.substr(0, 257)}),
            ReadLines());
  EXPECT_TRUE(system_.calls.empty());
}

TEST_F(ProgramLogTest, StartNewLogLeavesOneLineWhateverLoggingSays) {
  settings.logEnabled = 0;
  LogSessionStart();
  LogSessionStart();
  StartNewLog();
  EXPECT_EQ("2009-03-05 08:55:02 - New log started.\n", ReadWholeFile(LogFile()));

  std::filesystem::remove(LogFile());
  StartNewLog();  // nothing to delete: still one line, nothing reported
  EXPECT_EQ("2009-03-05 08:55:02 - New log started.\n", ReadWholeFile(LogFile()));
  EXPECT_TRUE(system_.calls.empty());
}

TEST_F(ProgramLogTest, FailuresAreReportedOncePerEntry) {
  EXPECT_TRUE(ReadLines().empty());  // no log written yet
  EXPECT_EQ(std::vector<std::string>{kReadFailure}, system_.calls);

  // The log's place is taken by a folder: every entry is reported, none retried.
  system_.Forget();
  std::filesystem::create_directory(LogFile());
  LogSessionStart();
  LogSessionEnd();
  EXPECT_EQ((std::vector<std::string>{kWriteFailure, kWriteFailure}), system_.calls);

  // A folder path that leaves no room for the file's name.
  system_.Forget();
  const std::size_t rootLength = root_.string().size() + 1;
  system_.folder = (root_ / std::string(250 - rootLength, 'd')).string();
  InitLogPath();
  EXPECT_STREQ("", logPath);
  LogSessionStart();
  ReadLines();
  EXPECT_EQ((std::vector<std::string>{kWriteFailure, kReadFailure}), system_.calls);
}

#ifndef _WIN32
// A full disk: the open succeeds and the write fails; that is reported like a failed open.
TEST_F(ProgramLogTest, FailedWriteAfterTheOpenIsReported) {
  std::filesystem::create_symlink("/dev/full", LogFile());
  LogSessionStart();
  EXPECT_EQ(std::vector<std::string>{kWriteFailure}, system_.calls);
}
#endif

TEST_F(ProgramLogTest, OverlongDetailIsCutToTheLineBuffer) {
  const std::string detail(400, 'd');
  WriteLogEntry(kLogStart, detail.c_str());
  const std::string line = ReadWholeFile(LogFile());
  EXPECT_EQ(260u, line.size());
  EXPECT_EQ('\n', line.back());
}

}  // namespace
}  // namespace vantorel::testing
