// Global hot keys as the options file and the dialog write them, "Ctrl+Alt+S": read and written
// here, apart from the calls that register them.
#pragma once

#include <cstddef>

namespace vantorel {

// Modifier bits with the values RegisterHotKey takes (MOD_ALT, MOD_CONTROL, MOD_SHIFT, MOD_WIN).
constexpr unsigned kHotKeyAlt = 0x1, kHotKeyControl = 0x2, kHotKeyShift = 0x4, kHotKeyWin = 0x8;

struct HotKey {
  unsigned modifiers = 0;
  unsigned virtualKey = 0;  // a Windows virtual-key code; 0 for no hot key

  bool Empty() const { return virtualKey == 0; }
  bool operator==(const HotKey& other) const {
    return modifiers == other.modifiers && virtualKey == other.virtualKey;
  }
  bool operator!=(const HotKey& other) const { return !(*this == other); }
};

// The longest text, terminator included; the longest written one, "Ctrl+Alt+Shift+Win+Backspace",
// is far shorter.
constexpr std::size_t kHotKeyTextSize = 48;

// The one name a key is written with ("S", "F12", "Space", "PageDown", ";"); nullptr for a
// virtual key that has none, which therefore cannot be a hot key of the options file.
const char* HotKeyName(unsigned virtualKey);

// "Ctrl+Alt+S": the modifiers in the order Ctrl, Alt, Shift, Win, then the key. "" for an empty
// hot key and for a key that has no name. Modifier bits other than the four are not written
// (the program may add its own when it registers the key).
void FormatHotKey(const HotKey& key, char (&text)[kHotKeyTextSize]);

// Reads the first `length` bytes of `text` as a person writes a hot key: names in any letter
// case, "Control" for "Ctrl" and "Escape" for "Esc", spaces around the parts. A key alone
// ("F9") is readable. False, with *key left empty, for an empty or unreadable text: an unknown
// name, a modifier twice or after the key, no key or two, an empty part, a byte outside
// printable ASCII, more than kHotKeyTextSize - 1 bytes. Takes any bytes.
bool ParseHotKey(const char* text, std::size_t length, HotKey* key);

}  // namespace vantorel
