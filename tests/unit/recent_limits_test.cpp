// The recent limits: each once, newest first, at most five, and kept through the options file.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/recent_limits.h"

namespace vantorel {
namespace {

std::vector<std::uint32_t> Listed(const RecentLimits& recent) {
  return std::vector<std::uint32_t>(recent.seconds, recent.seconds + recent.count);
}

std::string Text(const RecentLimits& recent) {
  char text[kRecentLimitsTextSize];
  FormatRecentLimits(recent, text);
  return text;
}

RecentLimits Parsed(const std::string& text) {
  RecentLimits recent;
  RememberLimit(&recent, 42);                               // what was there before is gone
  const std::vector<char> bytes(text.begin(), text.end());  // no terminator to read past
  ParseRecentLimits(bytes.data(), bytes.size(), &recent);
  return recent;
}

TEST(RecentLimitsTest, EachLimitOnceNewestFirstAtMostFive) {
  RecentLimits recent;
  EXPECT_EQ(Text(recent), "");
  const struct {
    std::uint32_t set;
    std::vector<std::uint32_t> listed;
  } steps[] = {
      {300, {300}},
      {5400, {5400, 300}},
      {300, {300, 5400}},
      {0, {300, 5400}},
      {360000, {300, 5400}},
      {1, {1, 300, 5400}},
      {359999, {359999, 1, 300, 5400}},
      {60, {60, 359999, 1, 300, 5400}},
      {61, {61, 60, 359999, 1, 300}},  // the oldest drops
      {1, {1, 61, 60, 359999, 300}},
      {300, {300, 1, 61, 60, 359999}},
  };
  for (const auto& step : steps) {
    RememberLimit(&recent, step.set);
    EXPECT_EQ(Listed(recent), step.listed) << step.set;
  }
  EXPECT_EQ(Text(recent), "0:05:00,0:00:01,0:01:01,0:01:00,99:59:59");
  EXPECT_EQ(Listed(Parsed(Text(recent))), Listed(recent));
}

TEST(RecentLimitsTest, TheTextKeepsWhatReadsInOrderAndSkipsTheRest) {
  static const char kZeroByte[] = "1,\0,2\xff,3";
  const struct {
    std::string text;
    std::vector<std::uint32_t> listed;
  } cases[] = {
      {"300, 90:00 ,\t1:30:00\t,5", {300, 5400, 5}},  // 5400 in two forms
      {"99:59:59,5999:59,359999", {359999}},
      {"100:00:00,360000,0,0:00,1:60,1:5,1:005,:30,1::00,1:00:00:00,-5,+5,5s,,7", {7}},
      {"18446744073709551617,4294967297,0:4294967297", {}},
      {"1,1,2,x,3,2,4,5,6", {1, 2, 3, 4, 5}},
      {std::string(kZeroByte, sizeof kZeroByte - 1), {1, 3}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Listed(Parsed(c.text)), c.listed) << c.text;
}

TEST(RecentLimitsTest, AnyBytesGiveAListThatWritesAndReadsBack) {
  static const char kInteresting[] = "0123456789::,, \t\xff";
  std::mt19937 random(5150);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 80, '\0');
    for (char& byte : bytes) {
      byte = random() % 8 == 0 ? static_cast<char>(random())
                               : kInteresting[random() % (sizeof kInteresting - 1)];
    }
    const RecentLimits recent = Parsed(bytes);
    ASSERT_LE(recent.count, kRecentLimitCount);
    ASSERT_EQ(Listed(Parsed(Text(recent))), Listed(recent)) << Text(recent);
  }
}

}  // namespace
}  // namespace vantorel
