// What says what the program is: the startup screen, the About box with its web page button,
// and the help file opened with F1.
#include <string>
#include <vector>

#include "driver.h"

namespace vantorel::e2e {
namespace {

using StartupScreenTest = ProgramTest;
using AboutTest = ProgramTest;

constexpr int kAppIcon = 4001;
constexpr int kVisit = 4003;
constexpr int kChooseTick = 4010;
constexpr char kWebPage[] = "https://vantorel.example.com/";
constexpr char kHelpFile[] = "vantorelhelp.chm";
constexpr char kHelpViewerClass[] = "HH Parent";
constexpr char kHelpCaption[] = "Vantorel Help";  // the title inside the help file

// A copy of the program alone in `folder`, made anew; its path, or "" when it cannot be made.
std::string CopyOfProgramIn(const std::string& folder) {
  RemoveTree(folder);
  const std::string copy = folder + "\\vantorel.exe";
  if (!CreateFolders(folder) || !CopyFileA(ProgramPath().c_str(), copy.c_str(), FALSE)) return "";
  return copy;
}

HWND ChildWithText(HWND dialog, const std::string& text) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (TextOf(child) == text) return child;
  }
  return nullptr;
}

HWND VisibleMainWindow(DWORD pid) {
  for (HWND window = FindWindowExA(nullptr, nullptr, "Vantorel", nullptr); window;
       window = FindWindowExA(nullptr, window, "Vantorel", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

TEST_F(StartupScreenTest, ShowsForASecondAndAHalfBeforeAnythingElse) {
  SettingsFile settings = QuickSettings();
  settings.showStartupScreen = 1;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.Launch());

  HWND screen = nullptr;
  ASSERT_TRUE(WaitUntil("the startup screen", [&] {
    const std::vector<HWND> dialogs = program_.Dialogs();
    screen = dialogs.empty() ? nullptr : dialogs.front();
    return screen != nullptr;
  }));
  const ULONGLONG appeared = GetTickCount64();
  EXPECT_EQ(program_.Dialogs().size(), 1u);
  const DWORD style = static_cast<DWORD>(GetWindowLongA(screen, GWL_STYLE));
  EXPECT_EQ(style & (WS_POPUP | WS_CAPTION | WS_SYSMENU), static_cast<DWORD>(WS_POPUP))
      << std::hex << style;
  EXPECT_EQ(GetWindow(screen, GW_OWNER), nullptr);
  EXPECT_TRUE(ChildWithText(screen, "Vantorel version 1.1")) << "no version text";
  EXPECT_NE(SendWithTimeout(GetDlgItem(screen, kAppIcon), STM_GETICON, 0, 0), 0) << "no icon";
  RECT frame = {};
  GetWindowRect(screen, &frame);
  const RECT area = DesktopWorkArea();
  EXPECT_NEAR((frame.left + frame.right) / 2, (area.left + area.right) / 2, 2) << "not centred";
  EXPECT_NEAR((frame.top + frame.bottom) / 2, (area.top + area.bottom) / 2, 2) << "not centred";

  // Enter and Escape, as keys and as the commands the dialog manager makes of them.
  PostKey(screen, VK_RETURN);
  PostKey(screen, VK_ESCAPE);
  PostMessageA(screen, WM_COMMAND, IDOK, 0);
  PostMessageA(screen, WM_COMMAND, IDCANCEL, 0);

  bool mainWindowWithScreen = false;
  bool logWithScreen = false;
  long long lastSecondShown = 0;
  ASSERT_TRUE(WaitUntil(
      "the startup screen to close",
      [&] {
        // What the program did is read before the screen is looked for: read after it, it could
        // be what the program did once the screen had closed between the two looks.
        const bool mainWindowNow = VisibleMainWindow(program_.pid()) != nullptr;
        const bool logNow = FileExists(LogPath());
        if (!IsWindow(screen)) return true;
        lastSecondShown = LocalNowSeconds();
        mainWindowWithScreen = mainWindowWithScreen || mainWindowNow;
        logWithScreen = logWithScreen || logNow;
        return false;
      },
      4000));
  const ULONGLONG shown = GetTickCount64() - appeared;
  EXPECT_GE(shown, 1300u) << "Enter or Escape closed the screen, or it closed early";
  EXPECT_LE(shown, 2500u);
  EXPECT_FALSE(mainWindowWithScreen) << "the main window showed with the startup screen";
  EXPECT_FALSE(logWithScreen) << "the session started before the screen closed";

  ASSERT_TRUE(program_.WaitForMainWindow());
  const std::vector<std::string> log = LogLines();
  ASSERT_EQ(log.size(), 1u) << ReadBytes(LogPath());
  EXPECT_EQ(log[0].substr(19), " - Session Start");
  EXPECT_GE(LogTimestamp(log[0]), lastSecondShown) << "logged while the screen showed";
}

// Makes the shell open web addresses with `command` for as long as it lives, then puts the
// prefix's own association back; so no test depends on, or starts, a real browser.
class WebAddressHandler {
 public:
  explicit WebAddressHandler(const std::string& command) {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_) !=
        ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    char value[1024] = "";
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key_, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) ==
        ERROR_SUCCESS) {
      saved_ = std::string(value, size > 0 && value[size - 1] == '\0' ? size - 1 : size);
      savedType_ = type;
      Set(command, REG_SZ);
    }
  }
  ~WebAddressHandler() {
    if (!key_) return;
    if (savedType_ != REG_NONE) Set(saved_, savedType_);
    RegCloseKey(key_);
  }
  WebAddressHandler(const WebAddressHandler&) = delete;
  WebAddressHandler& operator=(const WebAddressHandler&) = delete;
  bool active() const { return key_ && savedType_ != REG_NONE; }

 private:
  static constexpr char kKey[] = "Software\\Classes\\https\\shell\\open\\command";
  void Set(const std::string& value, DWORD type) {
    RegSetValueExA(key_, nullptr, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  }
  HKEY key_ = nullptr;
  std::string saved_;
  DWORD savedType_ = REG_NONE;
};

TEST_F(AboutTest, ShowsTheProgramAndStaysOpenWhateverTheWebPageButtonMeets) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());
  program_.Command(kCmdAbout);
  HWND about = program_.WaitForDialog("About this program");
  ASSERT_TRUE(about);
  EXPECT_EQ(GetWindow(about, GW_OWNER), program_.window());
  const HWND visit = GetDlgItem(about, kVisit);
  EXPECT_EQ(TextOf(visit), std::string("Visit ") + kWebPage);
  EXPECT_TRUE(ChildWithText(about, std::string("To download the latest version of this program, "
                                               "please visit ") +
                                       kWebPage))
      << "no hint";
  EXPECT_TRUE(ChildWithText(about, "Vantorel version 1.1")) << "no version text";
  EXPECT_NE(SendWithTimeout(GetDlgItem(about, kAppIcon), STM_GETICON, 0, 0), 0) << "no icon";
  const HWND focus = FocusedWindow(program_.thread());
  EXPECT_EQ(focus, visit) << "focus on \"" << TextOf(focus) << "\"";

  PostKey(focus, VK_ESCAPE);
  PostMessageA(about, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(program_.Sync());
  EXPECT_TRUE(IsWindowVisible(about)) << "Escape closed the About box";

  // A program takes the address: no message, and the box stays.
  {
    WebAddressHandler browser("\"C:\\windows\\system32\\cmd.exe\" /c exit \"%1\"");
    ASSERT_TRUE(browser.active()) << "cannot change the association of web addresses";
    PostMessageA(about, WM_COMMAND, kVisit, reinterpret_cast<LPARAM>(visit));
    ASSERT_TRUE(program_.Sync());
    Sleep(200);
    EXPECT_EQ(program_.Dialogs(), std::vector<HWND>{about}) << "a message came";
  }
  EXPECT_TRUE(IsWindowVisible(about)) << "the Visit button closed the About box";

  // No program can take it: the message, and the box stays.
  {
    WebAddressHandler noBrowser("\"C:\\windows\\vantorel-e2e-no-such-browser.exe\" \"%1\"");
    ASSERT_TRUE(noBrowser.active()) << "cannot change the association of web addresses";
    PostMessageA(about, WM_COMMAND, kVisit, reinterpret_cast<LPARAM>(visit));
    const HWND box = program_.WaitForDialog("Unable to connect to website!");
    ASSERT_TRUE(box);
    EXPECT_EQ(DescribeMessageBox(box),
              "Unable to connect to website! | Are you online now? | hand | OK | no owner");
    ASSERT_TRUE(Answer(box, IDOK));
  }
  ASSERT_TRUE(program_.Sync());
  EXPECT_TRUE(IsWindowVisible(about)) << "the failed Visit closed the About box";

  PostMessageA(about, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(about));
  program_.Command(kCmdAbout);
  about = program_.WaitForDialog("About this program");
  ASSERT_TRUE(about);
  ASSERT_TRUE(Answer(about, IDOK));
}

// The help viewer is a process of its own, which the tests close themselves.
class HelpTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    CloseHelpViewers();
  }
  void TearDown() override {
    CloseHelpViewers();
    ProgramTest::TearDown();
  }

  static void CloseHelpViewers() {
    for (HWND viewer : WindowsOfClass(kHelpViewerClass)) EndProcessOf(viewer);
  }

  // F1, then the viewer with the program's help file, and no message from the program.
  void ExpectHelpOnF1() {
    program_.PostKey(VK_F1);
    HWND viewer = nullptr;
    ASSERT_TRUE(WaitUntil(
        "the help viewer",
        [&] {
          const std::vector<HWND> viewers = WindowsOfClass(kHelpViewerClass);
          viewer = viewers.empty() ? nullptr : viewers.front();
          return viewer != nullptr;
        },
        10000));
    char caption[256] = "";
    GetWindowTextA(viewer, caption, sizeof caption);
    EXPECT_EQ(std::string(caption), kHelpCaption);
    ASSERT_TRUE(program_.Sync());
    EXPECT_TRUE(program_.Dialogs().empty()) << "the program showed a message";
    CloseHelpViewers();
  }
};

TEST_F(HelpTest, F1OpensTheHelpFileBesideTheProgramFromAnyWorkingDirectory) {
  const std::string folder = FolderOf(ProgramPath());
  ASSERT_TRUE(FileExists(folder + "\\" + kHelpFile)) << "build the help file first";
  PrepareSettings(QuickSettings());

  {
    SCOPED_TRACE("started in the program's folder");
    ASSERT_TRUE(program_.LaunchFrom(ProgramPath(), folder));
    ASSERT_TRUE(program_.WaitForMainWindow());
    ExpectHelpOnF1();
  }
  {
    // A file of the help file's name where the program was started is not its help.
    SCOPED_TRACE("started in another folder that holds a file of the same name");
    const std::string elsewhere = TempPath("vantorel-e2e-planted-help");
    CreateDirectoryA(elsewhere.c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(elsewhere + "\\" + kHelpFile, "not the program's help"));
    ASSERT_TRUE(program_.LaunchFrom(ProgramPath(), elsewhere));
    ASSERT_TRUE(program_.WaitForMainWindow());
    ExpectHelpOnF1();
    program_.Kill();
    RemoveTree(elsewhere);
  }
}

TEST_F(HelpTest, ChoosingASoundFileLeavesTheCurrentDirectory) {
  // A copy of the program without its help file, started in the folder that has it: F1 finds
  // the help file by its bare name only while the current directory stays there.
  const std::string folder = TempPath("vantorel-e2e-help-elsewhere");
  const std::string copy = CopyOfProgramIn(folder);
  ASSERT_FALSE(copy.empty()) << "cannot copy the program";
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchFrom(copy, FolderOf(ProgramPath())));
  ASSERT_TRUE(program_.WaitForMainWindow());
  const std::string wav = WriteTestWav("vantorel-e2e-help.wav");
  program_.PostKey(VK_F2);
  const HWND preferences = program_.WaitForDialog("Preferences");
  ASSERT_TRUE(preferences);
  PostMessageA(preferences, WM_COMMAND, kChooseTick, 0);
  const HWND chooser = program_.WaitForDialog("Open");
  ASSERT_TRUE(chooser);
  ASSERT_TRUE(BrowseInFileDialog(chooser, FolderOf(wav)));
  ASSERT_TRUE(ChooseInFileDialog(chooser, wav));
  ASSERT_TRUE(Answer(preferences, IDOK));
  ExpectHelpOnF1();

  program_.Kill();
  DeleteFileA(wav.c_str());
  RemoveTree(folder);
}

TEST_F(HelpTest, F1FindsTheHelpFileOfAProgramInAFolderNamedInManyScripts) {
  // The viewer takes its file from a command line in the system's code page, where these
  // characters have no place.
  const std::string folder = TempPath(kManyScripts);
  const std::string copy = CopyOfProgramIn(folder);
  ASSERT_FALSE(copy.empty()) << "cannot copy the program";
  ASSERT_TRUE(CopyFileA((FolderOf(ProgramPath()) + "\\" + kHelpFile).c_str(),
                        (folder + "\\" + kHelpFile).c_str(), FALSE))
      << "cannot copy the help file";
  PrepareSettings(QuickSettings());
  {
    SCOPED_TRACE("started in the program's folder");
    ASSERT_TRUE(program_.LaunchFrom(copy, folder));
    ASSERT_TRUE(program_.WaitForMainWindow());
    ExpectHelpOnF1();
  }
  {
    SCOPED_TRACE("started in another folder");
    ASSERT_TRUE(program_.LaunchFrom(copy, TempPath("")));
    ASSERT_TRUE(program_.WaitForMainWindow());
    ExpectHelpOnF1();
  }
  program_.Kill();
  RemoveTree(folder);
}

TEST_F(HelpTest, F1WithoutTheHelpFileSaysSoOnce) {
  // A copy of the program in a folder of its own, started from yet another folder.
  const std::string folder = TempPath("vantorel-e2e-no-help");
  const std::string copy = CopyOfProgramIn(folder);
  ASSERT_FALSE(copy.empty()) << "cannot copy the program";
  ASSERT_FALSE(FileExists(folder + "\\" + kHelpFile));
  ASSERT_FALSE(FileExists(TempPath(kHelpFile)));
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchFrom(copy, TempPath("")));
  ASSERT_TRUE(program_.WaitForMainWindow());

  program_.PostKey(VK_F1);
  const HWND box = program_.WaitForDialog("Error!");
  ASSERT_TRUE(box);
  EXPECT_EQ(DescribeMessageBox(box),
            "Error! | Unable to open the program's help file | hand | OK | no owner");
  ASSERT_TRUE(Answer(box, IDOK));
  ASSERT_TRUE(program_.Sync());
  Sleep(300);
  EXPECT_TRUE(program_.Dialogs().empty()) << "the message came more than once";
  EXPECT_TRUE(WindowsOfClass(kHelpViewerClass).empty()) << "a help viewer opened";

  program_.Kill();
  RemoveTree(folder);
}

}  // namespace
}  // namespace vantorel::e2e
