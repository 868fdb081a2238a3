// The tick and the alarm, read from Wine's trace of the program's PlaySound calls.
#include <cstdio>
#include <string>
#include <vector>

#include "driver.h"

namespace vantorel::e2e {
namespace {

using SoundTest = ProgramTest;

constexpr char kTick[] = "#1f42";   // resource 8002
constexpr char kAlarm[] = "#1f41";  // resource 8001

std::string Describe(const std::vector<SoundCall>& calls) {
  std::string text;
  for (const SoundCall& call : calls) {
    char flags[16];
    std::snprintf(flags, sizeof flags, "%08X", call.flags);
    if (!text.empty()) text += ", ";
    text += call.sound + " " + flags;
  }
  return text;
}

std::string Repeat(const std::string& call, int times, const std::string& last) {
  std::string text;
  for (int i = 0; i < times; ++i) text += call + ", ";
  return text + last;
}

// Counts a three-second limit to its end and returns what was played.
std::vector<SoundCall> RunToTheLimit(Program& program, const SettingsFile& settings) {
  PrepareSettings(settings);
  EXPECT_TRUE(program.Launch(true));
  EXPECT_TRUE(program.WaitForMainWindow());
  EXPECT_TRUE(program.Click(kStart));
  EXPECT_TRUE(program.TickToLimit(3));
  EXPECT_EQ(program.ButtonStates(), "Start+ Pause- Stop- Reset+") << "the limit was not reached";
  DWORD exitCode = 1;
  EXPECT_TRUE(program.Close(&exitCode));
  return program.SoundCalls();
}

TEST_F(SoundTest, TickEachSecondAndAlarmAtTheLimit) {
  SettingsFile settings = QuickSettings();
  settings.limitSeconds = 3;
  const std::string resource = " 00040005";  // SND_RESOURCE | SND_ASYNC
  EXPECT_EQ(Describe(RunToTheLimit(program_, settings)),
            Repeat(kTick + resource, 2, kAlarm + resource))
      << "built-in sounds";

  // Chosen files are played by their names, asynchronously.
  const std::string tickFile = WriteTestWav("vantorel-e2e-tick.wav");
  const std::string alarmFile = WriteTestWav("vantorel-e2e-alarm.wav");
  settings.tickWavPath = tickFile;
  settings.alarmWavPath = alarmFile;
  EXPECT_EQ(Describe(RunToTheLimit(program_, settings)),
            Repeat(tickFile + " 00000001", 2, alarmFile + " 00000001"))
      << "chosen files";

  settings.alarmEnabled = 0;
  EXPECT_EQ(Describe(RunToTheLimit(program_, settings)),
            tickFile + " 00000001, " + tickFile + " 00000001")
      << "tick without alarm";

  settings.tickEnabled = 0;
  EXPECT_EQ(Describe(RunToTheLimit(program_, settings)), "") << "both off";
  DeleteFileA(tickFile.c_str());
  DeleteFileA(alarmFile.c_str());
}

}  // namespace
}  // namespace vantorel::e2e
