// The program's modal dialogs and the help command. Each opens, runs and closes within the
// call; none returns a result, because nobody looks at one.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vantorel {

// The limit as hours, minutes and seconds (F3, and Start with no limit set).
void ShowSetTimerDialog(HWND owner);

// A time in three fields of hours (0-99), minutes and seconds (0-59), read in that order; a
// value above its maximum is reported and capped, as the Set Timer dialog's OK does.
struct TimeParts {
  std::uint32_t hours = 0;
  std::uint32_t minutes = 0;
  std::uint32_t seconds = 0;
};
TimeParts ReadTimeParts(HWND dialog, int hoursId, int minutesId, int secondsId);

// Makes a limit the one in force, in the caption and in the settings file, as the Set Timer
// dialog's OK does; minutes and seconds are 0-59.
// It joins the recent limits.
void SetTimeLimit(std::uint32_t hours, std::uint32_t minutes, std::uint32_t seconds);

// The recent limit `index` (0 the newest) set as Set Timer's OK sets one.
void SetRecentLimit(std::size_t index);

// Options, positions of the buttons and the display, sound files (F2).
void ShowPreferencesDialog(HWND owner);

// The warning time before the limit, counting on past it, and their two colours.
void ShowWarningOvertimeDialog(HWND owner);

// A global hot key for each timer command, none until chosen.
void ShowHotKeysDialog(HWND owner);

// The web clock: on or off, this computer only or the local network, the port.
void ShowWebClockDialog(HWND owner);

// The program log as a list, its folder, its deletion (F4).
void ShowViewProgramLogDialog(HWND owner);

// The 1.5-second panel shown while the program starts; it has no owner.
void ShowStartupScreen();

void ShowAboutDialog(HWND owner);

// Opens the help file in the system's help viewer (F1).
void OpenHelpContents();

}  // namespace vantorel
