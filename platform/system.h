// The one seam between the portable timer and storage code and the operating system.
// The Windows program implements it with the real calls (app/win32_system.cpp); the unit
// tests implement it with a recording double. Nothing in core/ or storage/ includes
// <windows.h>: everything they need from outside goes through here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantorel {

// Message box flags and answers, with the values the system gives them.
constexpr unsigned kMbOkCancel = 0x1;
constexpr unsigned kMbIconHand = 0x10;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbSystemModal = 0x1000;
constexpr int kIdOk = 1;

// The colour the display draws the count in: the text colour, the warning colour in the last
// seconds before the limit, or the overtime colour past it.
enum class CountColour { kNormal, kWarning, kOver };

// Local wall-clock time, to the second.
struct LocalTime {
  int year;
  int month;
  int day;
  int hour;
  int minute;
  int second;
};

class System {
 public:
  virtual ~System() = default;

  // What the timer engine does to the main window.
  virtual void ShowCount(const char* text, CountColour colour) = 0;
  virtual void EnableButton(int buttonId, bool enabled) = 0;
  // Arms the one second timer to notify once after `delayMs`, replacing any armed before.
  virtual void ArmSecondTimer(std::uint32_t delayMs) = 0;
  virtual void KillSecondTimer() = 0;
  virtual void OpenSetTimerDialog() = 0;
  virtual void RestoreMainWindow() = 0;

  // Asynchronous sound: a file (or registered sound name), or a sound built into the program.
  virtual void PlaySoundFile(const char* path) = 0;
  virtual void PlaySoundResource(int resourceId) = 0;

  // A message box without an owner window; returns the button the user pressed.
  virtual int ShowMessage(const char* text, const char* caption, unsigned flags) = 0;

  virtual LocalTime Now() = 0;

  // Milliseconds since some fixed moment: never set back, and running on while the computer
  // sleeps, so the count can measure the time its notifications did not arrive for. It wraps
  // after 49.7 days (as GetTickCount does on every Windows), so only unsigned 32-bit
  // differences of readings mean anything.
  virtual std::uint32_t MonotonicMilliseconds() = 0;

  // The process's ANSI code page, in which every text and path here is (GetACP).
  virtual unsigned AnsiCodePage() = 0;

  // Forms the per-user data folder into `buffer` (size bytes) and creates it if missing.
  // Returns false when no folder path can be formed.
  virtual bool FormDataFolder(char* buffer, std::size_t size) = 0;

  virtual bool RemoveFile(const char* path) = 0;

  // Replaces `target` by `source` in one step, so a reader sees either the old or the new file.
  virtual bool ReplaceFileWith(const char* source, const char* target) = 0;
};

// The process-wide seam; installed once at start (or by a test) before anything uses it.
void InstallSystem(System* system);
System& TheSystem();

}  // namespace vantorel
