// What the display looks like on screen: colours and font from the settings file, the Font,
// Text Color and Background Color choosers, and the graphics objects and memory over the longest
// count.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "driver.h"

namespace vantorel::e2e {
namespace {

using AppearanceTest = ProgramTest;

// Control ids of the system's choosers.
constexpr int kFontFaceList = 0x470;
constexpr int kFontSizeList = 0x472;
constexpr int kColorRed = 706;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

int AreaOf(const RECT& rect) {
  return (rect.right - rect.left) * (rect.bottom - rect.top);
}

// The band of the client area between the buttons and the display, in screen coordinates.
RECT BackgroundBand(const Program& program) {
  RECT client = ClientRectOnScreen(program.window());
  return {client.left, client.top + 55, client.right, client.top + 95};
}

// The visible part of the display, in screen coordinates.
RECT DisplayArea(const Program& program) {
  const RECT client = ClientRectOnScreen(program.window());
  RECT display = {};
  GetWindowRect(program.display(), &display);
  IntersectRect(&display, &display, &client);
  return display;
}

// How tall the ink of "0" is in the font the program builds from these settings.
int DigitInkHeight(int height, int weight, int italic, const std::string& face) {
  HDC screen = GetDC(nullptr);
  HFONT font = CreateFontA(height, 0, 0, 0, weight, static_cast<DWORD>(italic), FALSE, FALSE,
                           ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, face.c_str());
  HGDIOBJ old = SelectObject(screen, font);
  GLYPHMETRICS metrics = {};
  const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  GetGlyphOutlineA(screen, '0', GGO_METRICS, &metrics, 0, nullptr, &identity);
  SelectObject(screen, old);
  DeleteObject(font);
  ReleaseDC(nullptr, screen);
  return static_cast<int>(metrics.gmBlackBoxY);
}

std::vector<std::string> SettingsLines() {
  std::vector<std::string> lines;
  std::string line;
  for (char c : ReadBytes(SettingsPath())) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(c);
    }
  }
  lines.resize(18);
  return lines;
}

int Number(const std::string& text) {
  try {
    return std::stoi(text);
  } catch (...) {
    return -99999;
  }
}

// Digits in `text` on `background` filling the display, the client area around it in
// `background`, the count the display holds drawn, its ink whole inside the window and centred:
// `inkHeight` pixels tall, the chosen font's, or, where the count is wider than the window in
// it, less, at a size that just fits.
::testing::AssertionResult LooksRight(const Program& program, COLORREF text, COLORREF background,
                                      int inkHeight) {
  const ScreenShot screen;
  const RECT band = BackgroundBand(program);
  const RECT display = DisplayArea(program);
  const int bandPixels = screen.Count(band, background);
  const int digitPixels = screen.Count(display, text);
  const int displayBackground = screen.Count(display, background);
  const auto rows = screen.InkRows(display, background);
  const auto columns = screen.InkColumns(display, background);
  const int height = rows.first < 0 ? 0 : rows.second - rows.first + 1;
  const int width = columns.first < 0 ? 0 : columns.second - columns.first + 1;
  const int centre = (columns.first + columns.second) / 2;
  const int windowCentre = (display.left + display.right) / 2;
  const int displayWidth = display.right - display.left;
  const bool inside = columns.first > display.left && columns.second < display.right - 1 &&
                      rows.second < display.bottom - 1;
  const int characters = screen.InkRuns(display, background);
  const int shownLength = static_cast<int>(program.DisplayText().size());
  const bool chosenSize = std::abs(height - inkHeight) <= 3;
  const bool fittedSize = height < inkHeight && width * 10 >= displayWidth * 9;
  const std::string figures =
      "client band: " + std::to_string(bandPixels) + " of " + std::to_string(AreaOf(band)) +
      " pixels in the background; display: " + std::to_string(characters) + " characters (" +
      std::to_string(shownLength) + " in its text), " + std::to_string(digitPixels) +
      " pixels in the text colour, " + std::to_string(displayBackground) + " of " +
      std::to_string(AreaOf(display)) + " in the background; ink " + std::to_string(width) + "x" +
      std::to_string(height) + " (font's height: " + std::to_string(inkHeight) + "), columns " +
      std::to_string(columns.first) + " to " + std::to_string(columns.second) + " of " +
      std::to_string(display.left) + " to " + std::to_string(display.right - 1) + ", centred at " +
      std::to_string(centre) + " (window " + std::to_string(windowCentre) + ")";
  if (bandPixels == AreaOf(band) && digitPixels > 1000 && displayBackground > AreaOf(display) / 2 &&
      characters == shownLength && inside && (chosenSize || fittedSize) &&
      std::abs(centre - windowCentre) <= 12) {
    return ::testing::AssertionSuccess() << figures;
  }
  return ::testing::AssertionFailure() << figures;
}

::testing::AssertionResult WaitUntilLooksRight(const Program& program, COLORREF text,
                                               COLORREF background, int inkHeight) {
  ::testing::AssertionResult last = ::testing::AssertionFailure();
  auto looks = WaitUntil("the screen to show the expected colours and font", [&] {
    last = LooksRight(program, text, background, inkHeight);
    return static_cast<bool>(last);
  });
  if (looks) return last;
  const std::string picture = TempPath("vantorel-e2e-screen.bmp");
  ScreenShot().SaveBmp(picture);
  return LooksRight(program, text, background, inkHeight) << " (screen saved to " << picture << ")";
}

// Selects `text` in a chooser's combo box as a click in its list would.
::testing::AssertionResult Pick(HWND chooser, int comboId, const wchar_t* text) {
  HWND combo = GetDlgItem(chooser, comboId);
  DWORD_PTR index = static_cast<DWORD_PTR>(CB_ERR);
  SendMessageTimeoutW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                      reinterpret_cast<LPARAM>(text), SMTO_NORMAL, kTimeoutMs, &index);
  if (static_cast<LRESULT>(index) == CB_ERR) {
    return ::testing::AssertionFailure() << "the chooser does not offer " << comboId << " item";
  }
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(combo, CB_SETCURSEL, index, 0, SMTO_NORMAL, kTimeoutMs, &ignored);
  PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  return ::testing::AssertionSuccess();
}

void TypeColour(HWND chooser, COLORREF colour) {
  const int parts[3] = {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
  for (int i = 0; i < 3; ++i) {
    const std::string text = std::to_string(parts[i]);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(GetDlgItem(chooser, kColorRed + i), WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, kTimeoutMs, &ignored);
  }
}

// Sets the file's time far back, so that a rewrite shows even when its bytes are the same.
void AgeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  SYSTEMTIME past = {};
  past.wYear = 2001;
  past.wMonth = 1;
  past.wDay = 1;
  FILETIME time;
  SystemTimeToFileTime(&past, &time);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

bool WrittenThisYear(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  SYSTEMTIME written;
  FileTimeToSystemTime(&data.ftLastWriteTime, &written);
  return written.wYear > 2001;
}

// A chooser of this caption, opened by `command`, with no owner window.
HWND OpenChooser(const Program& program, int command, const std::string& caption) {
  program.Command(command);
  HWND chooser = program.WaitForDialog(caption);
  if (chooser) {
    EXPECT_EQ(GetWindow(chooser, GW_OWNER), nullptr) << caption << " has an owner";
  }
  return chooser;
}

TEST_F(AppearanceTest, ColoursAndFontComeFromTheSettingsFile) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());
  EXPECT_TRUE(WaitUntilLooksRight(program_, RGB(0, 0, 0), RGB(255, 255, 255),
                                  DigitInkHeight(320, 700, 0, "Arial")))
      << "black bold Arial on white";
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));

  SettingsFile settings = QuickSettings();
  settings.textColor = 255;
  settings.backgroundColor = 0x00FF00;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());
  EXPECT_TRUE(WaitUntilLooksRight(program_, kRed, kGreen, DigitInkHeight(320, 700, 0, "Arial")))
      << "red on green";
  const ScreenShot screen;
  EXPECT_EQ(screen.Count(DisplayArea(program_), RGB(255, 255, 255)), 0)
      << "white left in the display";

  // The widest count, and three-digit hours, which a count reaches past a lowered limit after a
  // hundred hours: put in the display as the count puts its text there.
  for (const char* count : {"99:59:59", "100:00:00", "00:00:00"}) {
    ASSERT_TRUE(SetTextOf(program_.display(), count));
    ASSERT_TRUE(program_.Sync());
    const auto looks =
        WaitUntilLooksRight(program_, kRed, kGreen, DigitInkHeight(320, 700, 0, "Arial"));
    EXPECT_TRUE(looks) << count;
    const RECT workArea = DesktopWorkArea();
    std::printf("%s on a work area of %ldx%ld at (%ld,%ld): %s\n", count,
                workArea.right - workArea.left, workArea.bottom - workArea.top, workArea.left,
                workArea.top, looks.message());
  }
  EXPECT_EQ(SettingsFileLines().at(12), "320") << "the fitted size was saved";
}

TEST_F(AppearanceTest, ChoosersChangeTheSavedAppearance) {
  PrepareSettings(QuickSettings());
  ASSERT_TRUE(program_.LaunchAndWait());

  // Cancel: the file is written again, with the same bytes.
  const std::string unchanged = ReadBytes(SettingsPath());
  AgeFile(SettingsPath());
  HWND chooser = OpenChooser(program_, kCmdFont, "Font");
  ASSERT_TRUE(chooser);
  ASSERT_TRUE(Answer(chooser, IDCANCEL));
  ASSERT_TRUE(program_.Sync());
  EXPECT_TRUE(WrittenThisYear(SettingsPath())) << "a cancelled Font did not rewrite the file";
  EXPECT_EQ(ReadBytes(SettingsPath()), unchanged);

  // 12 points of Liberation Serif: 200 pixels are added to the chosen character height.
  chooser = OpenChooser(program_, kCmdFont, "Font");
  ASSERT_TRUE(chooser);
  ASSERT_TRUE(Pick(chooser, kFontFaceList, L"Liberation Serif"));
  ASSERT_TRUE(Pick(chooser, kFontSizeList, L"12"));
  ASSERT_TRUE(program_.Sync());
  ASSERT_TRUE(Answer(chooser, IDOK));
  ASSERT_TRUE(program_.Sync());
  HDC screenDc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screenDc, LOGPIXELSY);
  ReleaseDC(nullptr, screenDc);
  std::vector<std::string> lines = SettingsLines();
  EXPECT_EQ(lines[12], std::to_string(-MulDiv(12, dpi, 72) - 200))
      << "fontHeight at " << dpi << " dpi";
  EXPECT_EQ(lines[14], "0") << "fontItalic";
  EXPECT_EQ(lines[15], "Liberation Serif");
  const int chosenInk =
      DigitInkHeight(Number(lines[12]), Number(lines[13]), Number(lines[14]), lines[15]);
  EXPECT_TRUE(WaitUntilLooksRight(program_, RGB(0, 0, 0), RGB(255, 255, 255), chosenInk));

  // Red digits.
  chooser = OpenChooser(program_, kCmdTextColor, "Color");
  ASSERT_TRUE(chooser);
  TypeColour(chooser, kRed);
  ASSERT_TRUE(Answer(chooser, IDOK));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(SettingsLines()[10], "255");
  EXPECT_TRUE(WaitUntilLooksRight(program_, kRed, RGB(255, 255, 255), chosenInk));

  // A green background, for the client area at once.
  chooser = OpenChooser(program_, kCmdBackgroundColor, "Color");
  ASSERT_TRUE(chooser);
  TypeColour(chooser, kGreen);
  ASSERT_TRUE(Answer(chooser, IDOK));
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(SettingsLines()[11], "65280");
  EXPECT_TRUE(WaitUntilLooksRight(program_, kRed, kGreen, chosenInk));

  // A cancelled colour changes nothing but is saved all the same.
  const std::string chosen = ReadBytes(SettingsPath());
  AgeFile(SettingsPath());
  chooser = OpenChooser(program_, kCmdBackgroundColor, "Color");
  ASSERT_TRUE(chooser);
  TypeColour(chooser, RGB(0, 0, 255));
  ASSERT_TRUE(Answer(chooser, IDCANCEL));
  ASSERT_TRUE(program_.Sync());
  EXPECT_TRUE(WrittenThisYear(SettingsPath())) << "a cancelled colour did not rewrite the file";
  EXPECT_EQ(ReadBytes(SettingsPath()), chosen);
  EXPECT_TRUE(WaitUntilLooksRight(program_, kRed, kGreen, chosenInk));

  // The next start shows the same.
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  ASSERT_TRUE(program_.LaunchAndWait());
  EXPECT_TRUE(WaitUntilLooksRight(program_, kRed, kGreen, chosenInk)) << "after a restart";
}

double Mebibytes(SIZE_T bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// The longest count there is, from 00:00:00 to the limit 99:59:59, its 359,999 seconds posted as
// the timer's notifications. Each repaint of the display asks for its colours and each
// activation rebuilds the window's background, and both make a new brush: neither the program's
// GDI objects nor its memory may grow from the first second to the last. At the limit the count
// stops, once, sounds the alarm once and brings back the minimised window.
TEST_F(AppearanceTest, FullCountKeepsGraphicObjectsAndMemoryFlat) {
  // 360,000 notifications take two to three minutes natively; under an emulator, where each is
  // tens of times slower, the same checks run over the last hour's worth of a count.
  struct Run {
    unsigned hours, every, repaints;
  };
  const Run run = ProgramIsEmulated() ? Run{0, 1000, 1000} : Run{99, 40000, 10000};
  const unsigned kLimit = run.hours * 3600 + 59 * 60 + 59;
  SettingsFile settings = QuickSettings();
  settings.limitHours = static_cast<int>(run.hours);
  settings.limitMinutes = 59;
  settings.limitSeconds = 59;
  settings.tickEnabled = 0;  // 360,000 sounds would take most of the time
  settings.textColor = 255;
  settings.backgroundColor = 0x00FF00;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.Launch(true));
  ASSERT_TRUE(program_.WaitForMainWindow());
  const std::string title =
      "Vantorel: Timer Set - " + std::string(run.hours ? "99" : "00") + "h:59m:59s";
  EXPECT_EQ(program_.Caption(), title);
  ASSERT_TRUE(program_.Click(kStart));
  // Every WM_PAINT of the display asks the main window for its colours, whether or not there
  // is anything to draw; a few whole repaints come from the count's changes.
  const HWND display = program_.display();
  auto repaint = [&](int times) {
    for (int i = 0; i < times; ++i) {
      DWORD_PTR ignored = 0;
      if (!SendMessageTimeoutA(display, WM_PAINT, 0, 0, SMTO_NORMAL, kTimeoutMs, &ignored)) {
        return false;
      }
    }
    return true;
  };
  ASSERT_TRUE(program_.PostTicks(1));
  ASSERT_TRUE(repaint(10));
  const int firstObjects = program_.GdiObjectCount();
  const SIZE_T firstMemory = program_.WorkingSet();
  ASSERT_GT(firstObjects, 0) << "cannot read the program's GDI handle table";
  ASSERT_GT(firstMemory, 0u) << "cannot read the program's working set";

  const ULONGLONG started = GetTickCount64();
  ASSERT_TRUE(program_.PostTicks(run.repaints));
  ASSERT_TRUE(repaint(static_cast<int>(run.repaints)));
  for (int i = 0; i < 200; ++i) {
    PostMessageA(program_.window(), WM_ACTIVATE, i % 2 ? WA_INACTIVE : WA_ACTIVE, 0);
    if (i % 20 == 19) {
      ASSERT_TRUE(program_.Sync());
    }
  }
  // The working set and the GDI objects at every checkpoint, and a minute before the limit.
  std::vector<std::pair<unsigned, SIZE_T>> memory = {{1, firstMemory}};
  std::vector<int> objects = {firstObjects};
  for (unsigned at = run.every;; at = std::min(at + run.every, kLimit - 60)) {
    ASSERT_TRUE(program_.TickToAtLeast(at));
    memory.emplace_back(at, program_.WorkingSet());
    objects.push_back(program_.GdiObjectCount());
    if (at == kLimit - 60) break;
  }
  // The last minute with the window minimised, as a person leaves it to wait for the alarm.
  PostMessageA(program_.window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil("the main window to be minimised",
                        [&] { return IsIconic(program_.window()) != FALSE; }));
  ASSERT_TRUE(program_.TickToLimit(kLimit));
  const ULONGLONG took = GetTickCount64() - started;
  EXPECT_EQ(program_.DisplayText(), CountText(kLimit));
  EXPECT_EQ(program_.Caption(), title);
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset+") << "not stopped at the limit";
  EXPECT_FALSE(IsIconic(program_.window())) << "the limit did not restore the window";
  EXPECT_TRUE(IsWindowVisible(program_.window()));
  ASSERT_TRUE(repaint(1));
  const int lastObjects = program_.GdiObjectCount();
  const SIZE_T lastMemory = program_.WorkingSet();
  std::printf("%u seconds counted, %u repaints, 200 activations: %llu ms\n", kLimit, run.repaints,
              took);
  std::printf("  GDI objects:");
  for (int count : objects) std::printf(" %d", count);
  std::printf("; at the limit %d\n  working set (MiB):", lastObjects);
  for (const auto& [at, bytes] : memory) std::printf(" %u: %.2f", at, Mebibytes(bytes));
  std::printf("; at the limit, with the alarm's sound libraries loaded: %.2f\n",
              Mebibytes(lastMemory));
  for (std::size_t i = 1; i < memory.size(); ++i) {
    EXPECT_LE(objects[i], firstObjects + 8) << "GDI objects grew by " << memory[i].first;
    EXPECT_LE(Mebibytes(memory[i].second), Mebibytes(firstMemory) + 2.0)
        << "the working set grew by " << memory[i].first;
  }
  EXPECT_LE(lastObjects, firstObjects + 8) << "the program's GDI objects grew";
  EXPECT_TRUE(WaitUntilLooksRight(program_, kRed, kGreen, DigitInkHeight(320, 700, 0, "Arial")));

  // The limit once: one entry, and a second later still the limit.
  Sleep(1100);
  EXPECT_EQ(program_.DisplayText(), CountText(kLimit)) << "the count went on past the limit";
  const std::vector<std::string> events = LogEvents();
  EXPECT_EQ(std::count(events.begin(), events.end(), " - Timer limit reached."), 1)
      << "limit entries in the log";
  DWORD exitCode = 1;
  ASSERT_TRUE(program_.Close(&exitCode));
  EXPECT_EQ(exitCode, 0u);
  const std::vector<SoundCall> sounds = program_.SoundCalls();
  ASSERT_EQ(sounds.size(), 1u) << "PlaySound calls";
  EXPECT_EQ(sounds[0].sound, "#1f41") << "not the built-in alarm";
}

}  // namespace
}  // namespace vantorel::e2e
