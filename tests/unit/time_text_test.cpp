#include <gtest/gtest.h>
#include <cstring>

#include "core/time_text.h"

namespace vantorel {
namespace {

TEST(TimeText, ElapsedCountAtItsBoundaries) {
  const struct {
    std::uint32_t seconds;
    const char* text;
  } cases[] = {{0, "00:00:00"},       {59, "00:00:59"},
               {60, "00:01:00"},      {3599, "00:59:59"},
               {3600, "01:00:00"},    {359999, "99:59:59"},
               {360000, "100:00:00"}, {4294967295u, "1193046:28:15"}};
  for (const auto& c : cases) {
    char text[kTextBufferSize];
    FormatElapsed(c.seconds, text);
    EXPECT_STREQ(c.text, text) << c.seconds;
  }
}

TEST(TimeText, LimitInSecondsAndCaption) {
  EXPECT_EQ(0u, ToTotalSeconds(0, 0, 0));
  EXPECT_EQ(5400u, ToTotalSeconds(1, 30, 0));
  EXPECT_EQ(359999u, ToTotalSeconds(99, 59, 59));

  FormatTitle(0, 0, 0);
  EXPECT_STREQ("Vantorel: Timer Set - 00h:00m:00s", titleText);
  FormatTitle(0, 5, 0);
  EXPECT_STREQ("Vantorel: Timer Set - 00h:05m:00s", titleText);
  FormatTitle(99, 59, 59);
  EXPECT_STREQ("Vantorel: Timer Set - 99h:59m:59s", titleText);
  EXPECT_EQ(33u, std::strlen(titleText));
}

// The display's text and colour over both views, around a limit of 00:01:00.
TEST(TimeText, ShownCountAndItsColour) {
  constexpr auto kUp = CountView::kElapsed;
  constexpr auto kDown = CountView::kRemaining;
  constexpr auto kNormal = CountColour::kNormal;
  constexpr auto kWarning = CountColour::kWarning;
  constexpr auto kOver = CountColour::kOver;
  const struct {
    std::uint32_t count, limit, warning;
    bool overtime;
    const char* elapsed;
    const char* remaining;
    CountColour colour;
  } cases[] = {
      {0, 60, 0, false, "00:00:00", "00:01:00", kNormal},       // before Start, no warning
      {0, 60, 60, false, "00:00:00", "00:01:00", kWarning},     // W = limit warns at once
      {0, 60, 61, false, "00:00:00", "00:01:00", kWarning},     // W above the limit too
      {49, 60, 10, false, "00:00:49", "00:00:11", kNormal},     // one second before W
      {50, 60, 10, false, "00:00:50", "00:00:10", kWarning},    // W itself
      {59, 60, 1, false, "00:00:59", "00:00:01", kWarning},     // W = 1, the last second
      {60, 60, 10, true, "00:01:00", "00:00:00", kNormal},      // the limit itself
      {65, 60, 10, true, "00:01:05", "-00:00:05", kOver},       // overtime
      {65, 60, 10, false, "00:01:05", "-00:00:05", kNormal},    // a limit lowered below it
      {360065, 60, 0, true, "100:01:05", "-100:00:05", kOver},  // three-digit hours
      {65, 0, 10, true, "00:01:05", "00:01:05", kNormal},       // no limit: the count
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    char text[kTextBufferSize];
    FormatShownCount(c.count, c.limit, kUp, text);
    EXPECT_STREQ(c.elapsed, text);
    FormatShownCount(c.count, c.limit, kDown, text);
    EXPECT_STREQ(c.remaining, text);
    EXPECT_EQ(c.colour, ColourOfCount(c.count, c.limit, c.warning, c.overtime));
  }
}

TEST(TimeText, TimesAsPeopleWriteThem) {
  const struct {
    const char* text;
    std::uint32_t seconds;  // 0 where the text is no time
  } cases[] = {{"90", 90},        {"0005", 5}, {"1:30", 90}, {"120:00", 7200}, {"99:59:59", 359999},
               {"0", 0},          {"1:60", 0}, {"1:5", 0},   {"1:005", 0},     {":30", 0},
               {"1:00:00:00", 0}, {"+5", 0},   {"", 0},      {"1 ", 0}};
  for (const auto& c : cases) {
    std::uint32_t seconds = 0;
    const bool read = ParseTimeText(c.text, std::strlen(c.text), &seconds);
    EXPECT_EQ(c.seconds != 0 || std::strcmp(c.text, "0") == 0, read) << c.text;
    if (read) {
      EXPECT_EQ(c.seconds, seconds) << c.text;
    }
  }
  // Never wraps into range, however many digits.
  std::uint32_t seconds = 0;
  ASSERT_TRUE(ParseTimeText("18446744073709551617", 20, &seconds));
  EXPECT_GT(seconds, kMaxLimitSeconds);
  ASSERT_TRUE(ParseTimeText("99999999999:59", 14, &seconds));
  EXPECT_GT(seconds, kMaxLimitSeconds);
}

}  // namespace
}  // namespace vantorel
