#include "storage/settings.h"

#include <cstdio>
#include <cstring>

#include "core/ansi_text.h"
#include "platform/system.h"

namespace vantorel {

Settings settings = {};
char settingsPath[kPathSize] = "";

namespace {

// Same length as the real name, so any folder that fits the one fits the other.
constexpr char kSettingsName[] = "/vantorel.cfg";
constexpr char kTemporaryName[] = "/vantorel.tmp";

void ReportWriteFailure() {
  TheSystem().ShowMessage("Cannot write to user preferences file!",
                          "An unexpected error has occurred!", kMbSystemModal | kMbIconHand);
}

bool IsBlank(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void SkipBlanks(std::FILE* file) {
  int c = std::getc(file);
  while (c != EOF && IsBlank(c)) c = std::getc(file);
  if (c != EOF) std::ungetc(c, file);
}

// One number as the file stores it: blanks and line ends around it are skipped, an optional
// sign and decimal digits, nothing else on the line. Numbers are signed 32-bit in the file;
// unsigned fields arrive as their two's complement, so "-1" and "4294967295" read the same.
bool ReadNumber(std::FILE* file, std::uint32_t* value) {
  SkipBlanks(file);
  int c = std::getc(file);
  const bool negative = c == '-';
  if (c == '-' || c == '+') c = std::getc(file);
  if (c < '0' || c > '9') return false;
  unsigned long long magnitude = 0;
  for (; c >= '0' && c <= '9'; c = std::getc(file)) {
    magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
    if (magnitude > 0xFFFFFFFFull) return false;
  }
  if (c != EOF && !IsBlank(c)) return false;
  if (c != EOF) std::ungetc(c, file);
  if (negative && magnitude > 0x80000000ull) return false;
  *value = static_cast<std::uint32_t>(negative ? 0ull - magnitude : magnitude);
  SkipBlanks(file);
  return true;
}

bool ReadNumber(std::FILE* file, std::int32_t* value) {
  std::uint32_t raw = 0;
  if (!ReadNumber(file, &raw)) return false;
  *value = static_cast<std::int32_t>(raw);
  return true;
}

enum class Line { kNone, kWhole, kCut };

// One text line into a field of `size` bytes. The line end (LF, or CR LF) is removed only
// when it is there; a line too long for the field is cut to whole characters and the rest of
// it skipped, so the next field still starts on its own line.
Line ReadTextLine(std::FILE* file, char* field, std::size_t size) {
  int c = std::getc(file);
  if (c == EOF) return Line::kNone;
  std::size_t length = 0;  // of the line without its line end
  int previous = 0;
  for (; c != EOF && c != '\n'; c = std::getc(file)) {
    if (length + 1 < size) field[length] = static_cast<char>(c);
    ++length;
    previous = c;
  }
  if (c == '\n' && previous == '\r') --length;
  if (length < size) {
    field[length] = '\0';
    return Line::kWhole;
  }
  field[WholeCharacterLength(field, size - 1)] = '\0';
  return Line::kCut;
}

// A path line: a path too long for its field would name a different file once cut, so such a
// line cannot be read and the field keeps what it holds.
bool ReadPathLine(std::FILE* file, char (&field)[kPathSize]) {
  char path[kPathSize];
  if (ReadTextLine(file, path, sizeof path) != Line::kWhole) return false;
  std::memcpy(field, path, std::strlen(path) + 1);
  return true;
}

// Fields are read in file order and the reading stops at the first one that does not parse;
// whatever was not read keeps its default.
void ReadSettingsFile(std::FILE* file, Settings* s) {
  std::int32_t* const flags[] = {&s->showStartupScreen, &s->logEnabled, &s->tickEnabled,
                                 &s->alarmEnabled};
  for (std::int32_t* flag : flags) {
    if (!ReadNumber(file, flag)) return;
  }
  std::uint32_t* const counts[] = {&s->buttonsLeft, &s->buttonsTop,     &s->displayTop,
                                   &s->limitHours,  &s->limitMinutes,   &s->limitSeconds,
                                   &s->textColor,   &s->backgroundColor};
  for (std::uint32_t* count : counts) {
    if (!ReadNumber(file, count)) return;
  }
  std::int32_t* const font[] = {&s->fontHeight, &s->fontWeight, &s->fontItalic};
  for (std::int32_t* number : font) {
    if (!ReadNumber(file, number)) return;
  }
  if (ReadTextLine(file, s->fontFace, sizeof s->fontFace) == Line::kNone) return;
  if (!ReadPathLine(file, s->alarmWavPath)) return;
  ReadPathLine(file, s->tickWavPath);
}

bool WriteSettingsFile(std::FILE* file, const Settings& s) {
  const std::int32_t numbers[] = {
      s.showStartupScreen,
      s.logEnabled,
      s.tickEnabled,
      s.alarmEnabled,
      static_cast<std::int32_t>(s.buttonsLeft),
      static_cast<std::int32_t>(s.buttonsTop),
      static_cast<std::int32_t>(s.displayTop),
      static_cast<std::int32_t>(s.limitHours),
      static_cast<std::int32_t>(s.limitMinutes),
      static_cast<std::int32_t>(s.limitSeconds),
      static_cast<std::int32_t>(s.textColor),
      static_cast<std::int32_t>(s.backgroundColor),
      s.fontHeight,
      s.fontWeight,
      s.fontItalic,
  };
  for (std::int32_t number : numbers) {
    if (std::fprintf(file, "%d\n", static_cast<int>(number)) < 0) return false;
  }
  const char* const texts[] = {s.fontFace, s.alarmWavPath, s.tickWavPath};
  for (const char* text : texts) {
    if (std::fprintf(file, "%s\n", text) < 0) return false;
  }
  return std::fflush(file) == 0;
}

}  // namespace

void ApplyDefaults() {
  settings = Settings{};
  settings.showStartupScreen = 1;
  settings.logEnabled = 1;
  settings.tickEnabled = 1;
  settings.alarmEnabled = 1;
  settings.buttonsLeft = 430;
  settings.buttonsTop = 10;
  settings.displayTop = 100;
  settings.textColor = 0x000000;
  settings.backgroundColor = 0xFFFFFF;
  settings.fontHeight = 320;
  settings.fontWeight = 700;
  settings.fontItalic = 0;
  std::strcpy(settings.fontFace, "Arial");
  std::strcpy(settings.alarmWavPath, NO_FILE_SENTINEL);
  std::strcpy(settings.tickWavPath, NO_FILE_SENTINEL);
}

void InitSettingsPath() {
  FormDataFolder();
  JoinPath(settingsPath, dataFolder, kSettingsName);
}

void LoadSettings() {
  std::FILE* file = settingsPath[0] != '\0' ? std::fopen(settingsPath, "rb") : nullptr;
  if (file == nullptr) {
    ApplyDefaults();
    SaveSettings();
    return;
  }
  ApplyDefaults();
  ReadSettingsFile(file, &settings);
  std::fclose(file);
}

void SaveSettings() {
  char temporaryPath[kPathSize];
  if (settingsPath[0] == '\0' || !JoinPath(temporaryPath, dataFolder, kTemporaryName)) {
    ReportWriteFailure();
    return;
  }
  // The whole record goes to a scratch file first and then replaces the old file in one step,
  // so a full disk or a crash mid-save never leaves a partial settings file behind.
  std::FILE* file = std::fopen(temporaryPath, "wb");
  if (file == nullptr) {
    ReportWriteFailure();
    return;
  }
  const bool written = WriteSettingsFile(file, settings);
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed || !TheSystem().ReplaceFileWith(temporaryPath, settingsPath)) {
    TheSystem().RemoveFile(temporaryPath);
    ReportWriteFailure();
  }
}

}  // namespace vantorel
