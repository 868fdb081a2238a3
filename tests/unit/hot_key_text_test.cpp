// Hot keys as the options file holds them: read as people write them, written so that they
// read back, and any bytes taken safely.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/hot_key_text.h"

namespace vantorel {
namespace {

// No terminator after the bytes, so that the sanitizers catch a read past them.
bool Parse(const char* text, std::size_t length, HotKey* key) {
  const std::vector<char> bytes(text, text + length);
  return ParseHotKey(bytes.data(), bytes.size(), key);
}

std::string Written(const HotKey& key) {
  char text[kHotKeyTextSize];
  FormatHotKey(key, text);
  return text;
}

TEST(HotKeyTextTest, WritesModifiersInOrderAndNothingForAKeyWithoutName) {
  const struct {
    HotKey key;
    const char* text;
  } cases[] = {
      {{kHotKeyControl | kHotKeyAlt, 'S'}, "Ctrl+Alt+S"},
      {{0xF, 0x08}, "Ctrl+Alt+Shift+Win+Backspace"},
      {{kHotKeyWin | kHotKeyShift, 0x25}, "Shift+Win+Left"},
      {{0x4000 | kHotKeyAlt, 0x1B}, "Alt+Esc"},  // a bit of the program's own is not written
      {{0, 0x87}, "F24"},
      {{kHotKeyControl, 0xBB}, "Ctrl+="},
      {{kHotKeyControl, 0}, ""},
      {{kHotKeyControl, 0x88}, ""},
      {{kHotKeyControl, 0x141}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Written(c.key), c.text);
}

TEST(HotKeyTextTest, ReadsWhatPeopleWriteAndRefusesTheRest) {
  const char* const readable[][2] = {
      {" ctrl + alt + s ", "Ctrl+Alt+S"},   {"CONTROL+shift+f12", "Ctrl+Shift+F12"},
      {"Win+Shift+Left", "Shift+Win+Left"}, {"Shift+Win+Alt+Ctrl+F24", "Ctrl+Alt+Shift+Win+F24"},
      {"alt+SPACE", "Alt+Space"},           {"F9", "F9"},
      {"Ctrl+escape", "Ctrl+Esc"},          {"Alt+numpad7", "Alt+NumPad7"}};
  for (const auto& c : readable) {
    HotKey key;
    EXPECT_TRUE(Parse(c[0], std::strlen(c[0]), &key)) << c[0];
    EXPECT_EQ(Written(key), c[1]);
  }
  const char* const unreadable[] = {"",         "   ",    "F25",      "Ctrl+Foo", "Ctrl+Control+S",
                                    "Ctrl+Alt", "Ctrl+",  "+S",       "A+B",      "Ctrl++S",
                                    "Ctrl++",   "S+Ctrl", "Ctrl+A B", "Ctrl+\tS", "Ctrl+\xc3\xa9"};
  for (const char* text : unreadable) {
    HotKey key{7, 7};
    EXPECT_FALSE(Parse(text, std::strlen(text), &key)) << '"' << text << '"';
    EXPECT_TRUE(key.Empty()) << '"' << text << '"';
  }
  // Blanks count towards the length: 47 bytes read, 48 do not; a zero byte is no terminator.
  HotKey key;
  const char longest[] = "Ctrl+Alt+Shift+Win+Backspace                    ";
  EXPECT_TRUE(Parse(longest, kHotKeyTextSize - 1, &key));
  EXPECT_FALSE(Parse(longest, kHotKeyTextSize, &key));
  EXPECT_FALSE(Parse("F1", 3, &key));
  EXPECT_FALSE(ParseHotKey(nullptr, 0, &key));
}

TEST(HotKeyTextTest, EveryNamedKeyReadsBackWithEveryModifier) {
  int named = 0;
  for (unsigned virtualKey = 0; virtualKey < 0x200; ++virtualKey) {
    if (HotKeyName(virtualKey) == nullptr) continue;
    ++named;
    for (unsigned modifiers = 0; modifiers < 16; ++modifiers) {
      const std::string text = Written({modifiers, virtualKey});
      HotKey read;
      ASSERT_TRUE(Parse(text.data(), text.size(), &read)) << text;
      EXPECT_EQ(read, (HotKey{modifiers, virtualKey})) << text;
    }
  }
  EXPECT_EQ(named, 26 + 10 + 24 + 10 + 32);  // letters, digits, F keys, numeric pad, the rest
}

TEST(HotKeyTextTest, AnyBytesAreSafeAndWhatReadsWritesBackTheSame) {
  // Mostly pieces of hot keys, so that some texts read.
  static const char* const kPieces[] = {"Ctrl", "alt", "SHIFT", "Win", "+",  " ",
                                        "F1",   "F24", "s",     "=",   "\t", "NumPad"};
  std::mt19937 random(4242);
  int readable = 0;
  for (int round = 0; round < 10000; ++round) {
    std::string bytes;
    for (std::size_t parts = random() % 8; parts > 0; --parts) {
      bytes += random() % 4 == 0 ? std::string(1, static_cast<char>(random()))
                                 : kPieces[random() % (sizeof kPieces / sizeof kPieces[0])];
    }
    HotKey key;
    if (!Parse(bytes.data(), bytes.size(), &key)) continue;
    ++readable;
    const std::string text = Written(key);
    HotKey again;
    ASSERT_TRUE(Parse(text.data(), text.size(), &again)) << text;
    ASSERT_EQ(again, key) << text;
  }
  EXPECT_GT(readable, 100);
}

}  // namespace
}  // namespace vantorel
