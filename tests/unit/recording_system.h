// A stand-in for the operating system: records what the code under test asks of it, as
// readable lines, and answers message boxes the way a test tells it to.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "core/ansi_text.h"
#include "core/time_text.h"
#include "core/timer_engine.h"
#include "platform/system.h"
#include "storage/options.h"
#include "storage/program_log.h"
#include "storage/settings.h"

namespace vantorel::testing {

class RecordingSystem : public System {
 public:
  std::vector<std::string> calls;
  std::deque<int> answers;  // message box answers in order; IDOK once they run out
  LocalTime now{2009, 3, 5, 8, 55, 2};
  // The monotonic clock, which the test sets; reading it is not recorded as a call.
  std::uint32_t clockMs = 0;
  // The second timer: whether it is armed, for how long, and how often it was armed.
  bool armed = false;
  std::uint32_t armedDelayMs = 0;
  unsigned arms = 0;
  std::string folder;  // what FormDataFolder yields; empty fails it
  bool replaceFails = false;
  unsigned codePage = kCodePageUtf8;  // what the program's manifest asks for

  // "count 00:00:01", with " warning" or " over" after it when drawn in that colour.
  void ShowCount(const char* text, CountColour colour) override {
    static const char* const kColours[] = {"", " warning", " over"};
    calls.push_back(std::string("count ") + text + kColours[static_cast<int>(colour)]);
  }
  void EnableButton(int buttonId, bool enabled) override {
    calls.push_back("enable " + std::to_string(buttonId) + (enabled ? " on" : " off"));
  }
  void ArmSecondTimer(std::uint32_t delayMs) override {
    calls.push_back("timer arm " + std::to_string(delayMs));
    armed = true;
    armedDelayMs = delayMs;
    ++arms;
  }
  void KillSecondTimer() override {
    calls.push_back("timer kill");
    armed = false;
  }
  void OpenSetTimerDialog() override { calls.push_back("set timer dialog"); }
  void RestoreMainWindow() override { calls.push_back("restore window"); }
  void PlaySoundFile(const char* path) override { calls.push_back(std::string("play ") + path); }
  void PlaySoundResource(int resourceId) override {
    calls.push_back("play resource " + std::to_string(resourceId));
  }
  int ShowMessage(const char* text, const char* caption, unsigned flags) override {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%#x", flags);
    calls.push_back(std::string("message ") + hex + " [" + caption + "] " + text);
    if (answers.empty()) return kIdOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  LocalTime Now() override { return now; }
  std::uint32_t MonotonicMilliseconds() override { return clockMs; }
  unsigned AnsiCodePage() override { return codePage; }
  bool FormDataFolder(char* buffer, std::size_t size) override {
    if (folder.empty() || folder.size() >= size) return false;
    std::error_code ignored;  // like the real call, an existing or uncreatable folder is fine
    std::filesystem::create_directories(folder, ignored);
    folder.copy(buffer, folder.size());
    buffer[folder.size()] = '\0';
    return true;
  }
  bool RemoveFile(const char* path) override {
    std::error_code error;
    return std::filesystem::remove(path, error);
  }
  bool ReplaceFileWith(const char* source, const char* target) override {
    if (replaceFails) return false;
    std::error_code error;
    std::filesystem::rename(source, target, error);
    return !error;
  }

  // The calls that start with `prefix`, and forgetting what was recorded so far.
  std::vector<std::string> Calls(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const std::string& call : calls) {
      if (call.rfind(prefix, 0) == 0) matching.push_back(call);
    }
    return matching;
  }
  void Forget() { calls.clear(); }
};

}  // namespace vantorel::testing
