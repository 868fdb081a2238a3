// Paths in any script: the program's data folder in a roaming folder named in several scripts,
// and a sound file chosen from such a folder. (A path too long in bytes for its field: the
// settings file's unit tests.)
// (The help file of a program in such a folder: startup_about_help_test.cpp.)
#include <memory>
#include <string>
#include <vector>

#include "driver.h"

namespace vantorel::e2e {
namespace {

constexpr char kPreferencesCaption[] = "Preferences";
constexpr int kTickFile = 4004;
constexpr int kChooseTick = 4010;
constexpr int kMinutes = 4012;
constexpr int kSeconds = 4013;

class RoamingFolderTest : public ProgramTest {
 protected:
  void TearDown() override {
    ProgramTest::TearDown();  // the program ends, the data folder in the moved folder goes
    roaming_.reset();         // the registry value goes back
    if (!root_.empty()) RemoveTree(root_);
  }

  // The roaming folder in `root`\AppData\Roaming from here on, with no data folder in it.
  ::testing::AssertionResult MoveRoamingFolderTo(const std::string& root) {
    root_ = root;
    RemoveTree(root_);
    roaming_ = std::make_unique<MovedRoamingFolder>(root_ + "\\AppData\\Roaming");
    if (!roaming_->moved()) return ::testing::AssertionFailure() << "cannot move the folder";
    if (DataFolder() != root_ + "\\AppData\\Roaming\\vantorel") {
      return ::testing::AssertionFailure() << "the data folder stays at " << DataFolder();
    }
    return ::testing::AssertionSuccess();
  }

  std::string root_;
  std::unique_ptr<MovedRoamingFolder> roaming_;
};

TEST_F(RoamingFolderTest, SettingsAndLogLiveInARoamingFolderNamedInManyScripts) {
  const std::string usualDataFolder = DataFolder();
  ASSERT_TRUE(MoveRoamingFolderTo(TempPath(kManyScripts)));

  // The first start writes the defaults there, without a message.
  ASSERT_TRUE(program_.Launch());
  ASSERT_TRUE(program_.WaitForMainWindow(10000));
  ASSERT_TRUE(program_.Sync());
  EXPECT_TRUE(program_.Dialogs().empty()) << "a message at the start";
  EXPECT_EQ(ReadBytes(SettingsPath()), SettingsFile().Text());

  // Set Timer's OK saves there, and a restart reads the limit back.
  program_.PostKey(VK_F3);
  const HWND setTimer = program_.WaitForDialog("Set Timer");
  ASSERT_TRUE(setTimer);
  ASSERT_TRUE(SetTextOf(GetDlgItem(setTimer, kMinutes), "2"));
  ASSERT_TRUE(SetTextOf(GetDlgItem(setTimer, kSeconds), "5"));
  ASSERT_TRUE(Answer(setTimer, IDOK));
  ASSERT_TRUE(program_.Sync());
  EXPECT_TRUE(program_.Dialogs().empty()) << "a message after OK";
  SettingsFile expected;
  expected.limitMinutes = 2;
  expected.limitSeconds = 5;
  EXPECT_EQ(ReadBytes(SettingsPath()), expected.Text());
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  ASSERT_TRUE(program_.Launch());
  ASSERT_TRUE(program_.WaitForMainWindow(10000));
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:02m:05s");
  ASSERT_TRUE(program_.Close(&exitCode));

  // The log holds both sessions, and nothing went to the usual folder.
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{" - Session Start", " - Session End",
                                                   " - Session Start", " - Session End"}));
  EXPECT_FALSE(FileExists(usualDataFolder)) << "the program wrote to " << usualDataFolder;
}

using SoundFileTest = ProgramTest;

// Chooses `path` with the tick's "..." button of an open Preferences dialog.
::testing::AssertionResult ChooseTick(Program& program, HWND preferences, const std::string& path) {
  PostMessageA(preferences, WM_COMMAND, kChooseTick, 0);
  const HWND chooser = program.WaitForDialog("Open");
  if (!chooser) return ::testing::AssertionFailure() << "no file dialog";
  auto chosen = ChooseInFileDialog(chooser, path);
  return chosen ? program.Sync() : chosen;
}

TEST_F(SoundFileTest, AFileInAFolderNamedInManyScriptsIsStoredShownAndPlayed) {
  const std::string folder = TempPath(kManyScripts);
  RemoveTree(folder);
  ASSERT_TRUE(CreateFolders(folder));
  const std::string wav =
      WriteTestWav(std::string(kManyScripts) + "\\tick " + kManyScripts + ".wav");
  ASSERT_TRUE(FileExists(wav));

  SettingsFile settings = QuickSettings();
  settings.limitSeconds = 2;
  settings.alarmEnabled = 0;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.Launch(true));
  ASSERT_TRUE(program_.WaitForMainWindow());
  program_.PostKey(VK_F2);
  const HWND preferences = program_.WaitForDialog(kPreferencesCaption);
  ASSERT_TRUE(preferences);

  // Chosen in Preferences, the file is shown, stored as the UTF-8 bytes of its path, and
  // played. (Wine's file dialog itself refuses a path longer than MAX_PATH bytes.)
  ASSERT_TRUE(ChooseTick(program_, preferences, wav));
  EXPECT_EQ(TextOf(GetDlgItem(preferences, kTickFile)), wav);
  ASSERT_TRUE(Answer(preferences, IDOK));
  ASSERT_TRUE(program_.Sync());
  EXPECT_TRUE(program_.Dialogs().empty()) << "a message after OK";
  settings.tickWavPath = wav;
  EXPECT_EQ(ReadBytes(SettingsPath()), settings.Text());
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(program_.TickToLimit(2));
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  const std::vector<SoundCall> calls = program_.SoundCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].sound, wav);
  EXPECT_EQ(calls[0].flags, 1u);  // SND_ASYNC

  RemoveTree(folder);
}

}  // namespace
}  // namespace vantorel::e2e
