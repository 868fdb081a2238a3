// The program's modal dialogs and the help command. Each opens, runs and closes within the
// call; none returns a result, because nobody looks at one.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vantorel {

// The limit as hours, minutes and seconds (F3, and Start with no limit set).
void ShowSetTimerDialog(HWND owner);

// Makes a limit the one in force, in the caption and in the settings file, as the Set Timer
// dialog's OK does; minutes and seconds are 0-59.
void SetTimeLimit(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds);

// Options, positions of the buttons and the display, sound files (F2).
void ShowPreferencesDialog(HWND owner);

// The program log as a list, its folder, its deletion (F4).
void ShowViewProgramLogDialog(HWND owner);

// The 1.5-second panel shown while the program starts; it has no owner.
void ShowStartupScreen();

void ShowAboutDialog(HWND owner);

// Opens the help file in the system's help viewer (F1).
void OpenHelpContents();

}  // namespace vantorel
