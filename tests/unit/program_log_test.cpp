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

  WriteWholeFile(LogFile(), "");
  EXPECT_TRUE(ReadLines().empty());
  EXPECT_TRUE(system_.calls.empty());
}

TEST_F(ProgramLogTest, ReaderGivesTheLinesOfTheLogAsItWasWhenOpened) {
  WriteWholeFile(LogFile(), "first\r\n" + std::string(300, 'x') + "\nthird\n");
  LogLineReader reader;
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(nullptr, reader.Next());
  ASSERT_TRUE(reader.Open());
  EXPECT_EQ(314, reader.size());
  EXPECT_STREQ("first", reader.Next());
  LogSessionEnd();  // appended behind the open reader: not read
  EXPECT_EQ(std::string(259, 'x'), reader.Next());
  EXPECT_EQ(std::string(41, 'x'), reader.Next());
  EXPECT_STREQ("third", reader.Next());
  EXPECT_TRUE(reader.IsOpen());
  EXPECT_EQ(nullptr, reader.Next());
  EXPECT_FALSE(reader.IsOpen()) << "the log stays open after its last line";
  EXPECT_EQ(nullptr, reader.Next());

  // Opened again, it reads the log as it is now; closed, it gives nothing more.
  ASSERT_TRUE(reader.Open());
  EXPECT_STREQ("first", reader.Next());
  reader.Close();
  EXPECT_EQ(nullptr, reader.Next());
  ASSERT_TRUE(reader.Open());
  std::vector<std::string> lines;
  for (const char* line; (line = reader.Next()) != nullptr;) lines.push_back(line);
  EXPECT_EQ(lines, ReadLines());
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ("2009-03-05 08:55:02 - Session End", lines.back());

  // A missing log is reported once, by Open.
  reader.Close();
  std::filesystem::remove(LogFile());
  EXPECT_FALSE(reader.Open());
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(nullptr, reader.Next());
  EXPECT_EQ(std::vector<std::string>{kReadFailure}, system_.calls);
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
