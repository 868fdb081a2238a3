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

}  // namespace
}  // namespace vantorel
