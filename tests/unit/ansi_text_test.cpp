// Cutting text to a field by whole characters of the process's code page.
#include "fixture.h"

namespace vantorel::testing {
namespace {

using AnsiTextTest = ProcessTest;

// The whole-character length of each start of `text`, from its first byte to all of it.
std::vector<std::size_t> Lengths(const std::string& text) {
  std::vector<std::size_t> lengths;
  for (std::size_t length = 1; length <= text.size(); ++length) {
    lengths.push_back(WholeCharacterLength(text.c_str(), length));
  }
  return lengths;
}

TEST_F(AnsiTextTest, Utf8TextIsCutBeforeACharacterItHasNoRoomFor) {
  // "a", then characters of two, three and four bytes, then "z".
  const std::string text = "a\xc3\xab\xe5\xbc\xa0\xf0\x9f\x98\x80z";
  EXPECT_EQ(Lengths(text), (std::vector<std::size_t>{1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 11}));
  EXPECT_EQ(0u, WholeCharacterLength(text.c_str(), 0));

  // Bytes that make no character are never cut: stray continuation bytes, an ASCII byte
  // before them, four of them in a row.
  EXPECT_EQ(3u, WholeCharacterLength("\x80\x80\x80", 3));
  EXPECT_EQ(3u, WholeCharacterLength("a\x80\x80", 3));
  EXPECT_EQ(5u, WholeCharacterLength("\xe5\x80\x80\x80\x80", 5));
}

TEST_F(AnsiTextTest, OtherCodePagesCutAtAnyByte) {
  system_.codePage = 1252;
  EXPECT_EQ(Lengths("a\xc3\xab\xe5\xbc\xa0"), (std::vector<std::size_t>{1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace vantorel::testing
