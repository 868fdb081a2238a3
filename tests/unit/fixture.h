// Every test starts from a fresh process state: the double installed, the process-wide
// records zeroed as at program start, and its own empty data folder.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "recording_system.h"
#include "storage/timer_host.h"

namespace vantorel::testing {

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    root_ = std::filesystem::temp_directory_path() /
            ("vantorel-test-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(root_);
    system_.folder = (root_ / "vantorel").string();
    InstallSystem(&system_);
    InstallTimerHost(&StoredTimerHost());
    settings = Settings{};
    options = Options{};
    timerEngine = TimerEngine{};
    titleText[0] = '\0';
    dataFolder[0] = settingsPath[0] = logPath[0] = optionsPath[0] = '\0';
  }
  void TearDown() override {
    InstallTimerHost(nullptr);
    InstallSystem(nullptr);
    std::error_code error;
    std::filesystem::remove_all(root_, error);
  }

  std::string SettingsFile() const { return system_.folder + "/vantorel.cfg"; }
  std::string LogFile() const { return system_.folder + "/vantorellog.txt"; }
  std::string OptionsFile() const { return system_.folder + "/vantorel.ini"; }

  RecordingSystem system_;
  std::filesystem::path root_;
};

}  // namespace vantorel::testing
