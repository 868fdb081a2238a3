// The user's settings: one process-wide record, stored as eighteen text lines in the data
// folder and rewritten whole after every change.
#pragma once

#include <cstdint>

#include "core/sound_cues.h"
#include "storage/data_folder.h"

namespace vantorel {

constexpr int kFaceSize = 32;  // LF_FACESIZE, terminator included

// Flags count as on only when they equal 1.
struct Settings {
  std::int32_t showStartupScreen;
  std::int32_t logEnabled;
  std::int32_t tickEnabled;
  std::int32_t alarmEnabled;
  std::uint32_t buttonsLeft;
  std::uint32_t buttonsTop;
  std::uint32_t displayTop;
  std::uint32_t limitHours;
  std::uint32_t limitMinutes;
  std::uint32_t limitSeconds;
  std::uint32_t textColor;        // COLORREF, 0x00BBGGRR
  std::uint32_t backgroundColor;  // COLORREF
  std::int32_t fontHeight;
  std::int32_t fontWeight;
  std::int32_t fontItalic;
  char fontFace[kFaceSize];
  // NO_FILE_SENTINEL (core/sound_cues.h) when no file is chosen: the built-in sound.
  char alarmWavPath[kPathSize];
  char tickWavPath[kPathSize];
};

extern Settings settings;
extern char settingsPath[kPathSize];  // empty when the data folder leaves no room for the name

// Forms (and creates) the data folder and the settings file's path.
void InitSettingsPath();

// Fills `settings` from the file; writes the defaults when there is no file.
void LoadSettings();

// Rewrites the file from `settings`; reports a failure and leaves the old file intact.
void SaveSettings();

void ApplyDefaults();

}  // namespace vantorel
