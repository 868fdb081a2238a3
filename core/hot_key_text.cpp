#include "core/hot_key_text.h"

#include <cstring>

namespace vantorel {

namespace {

struct NamedKey {
  unsigned char virtualKey;
  char name[10];
};

// The keys outside the runs below. A name read back must find its key, so no two names
// differ only in letter case.
constexpr NamedKey kNamedKeys[] = {
    {0x08, "Backspace"}, {0x09, "Tab"},   {0x0D, "Enter"},    {0x13, "Pause"},
    {0x1B, "Esc"},       {0x20, "Space"}, {0x21, "PageUp"},   {0x22, "PageDown"},
    {0x23, "End"},       {0x24, "Home"},  {0x25, "Left"},     {0x26, "Up"},
    {0x27, "Right"},     {0x28, "Down"},  {0x2D, "Insert"},   {0x2E, "Delete"},
    {0x6A, "Multiply"},  {0x6B, "Add"},   {0x6D, "Subtract"}, {0x6E, "Decimal"},
    {0x6F, "Divide"},    {0xBA, ";"},     {0xBB, "="},        {0xBC, ","},
    {0xBD, "-"},         {0xBE, "."},     {0xBF, "/"},        {0xC0, "`"},
    {0xDB, "["},         {0xDC, "\\"},    {0xDD, "]"},        {0xDE, "'"},
};

// Runs of virtual keys whose names count up: A-Z, 0-9, F1-F24, NumPad0-NumPad9. Their names
// are built once at compile time into fixed slots, so HotKeyName can hand out a pointer.
constexpr struct {
  unsigned first;
  unsigned count;
  char prefix[7];
  unsigned firstNumber;  // appended to the prefix; a run without a prefix counts letters or digits
  char firstCharacter;
} kRuns[] = {
    {0x41, 26, "", 0, 'A'},
    {0x30, 10, "", 0, '0'},
    {0x70, 24, "F", 1, 0},
    {0x60, 10, "NumPad", 0, 0},
};
constexpr std::size_t kRunKeys = 26 + 10 + 24 + 10;
constexpr std::size_t kRunNameSize = 8;  // "NumPad9" and its terminator

struct RunNames {
  char name[kRunKeys][kRunNameSize] = {};

  constexpr RunNames() {
    std::size_t slot = 0;
    for (const auto& run : kRuns) {
      for (unsigned i = 0; i < run.count; ++i, ++slot) {
        char* out = name[slot];
        std::size_t at = 0;
        if (run.prefix[0] == '\0') {
          out[at++] = static_cast<char>(run.firstCharacter + static_cast<int>(i));
          continue;
        }
        while (run.prefix[at] != '\0') {
          out[at] = run.prefix[at];
          ++at;
        }
        const unsigned number = run.firstNumber + i;
        if (number >= 10) out[at++] = static_cast<char>('0' + number / 10);
        out[at] = static_cast<char>('0' + number % 10);
      }
    }
  }
};
constexpr RunNames kRunNames;

struct Modifier {
  unsigned bit;
  const char* name;
};
// In the written order; the first name of a bit is the written one.
constexpr Modifier kModifiers[] = {{kHotKeyControl, "Ctrl"},
                                   {kHotKeyControl, "Control"},
                                   {kHotKeyAlt, "Alt"},
                                   {kHotKeyShift, "Shift"},
                                   {kHotKeyWin, "Win"}};
constexpr unsigned kLargestVirtualKey = 0xFE;

// ASCII only: std::tolower is undefined for the negative chars that high bytes give.
char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const char* part, std::size_t length, const char* name) {
  for (std::size_t i = 0; i < length; ++i) {
    if (name[i] == '\0' || Lower(part[i]) != Lower(name[i])) return false;
  }
  return name[length] == '\0';
}

// The bit of a modifier name, 0 when the part names none.
unsigned ModifierNamed(const char* part, std::size_t length) {
  for (const Modifier& modifier : kModifiers) {
    if (SameName(part, length, modifier.name)) return modifier.bit;
  }
  return 0;
}

// The virtual key of a key name, 0 when the part names none.
unsigned KeyNamed(const char* part, std::size_t length) {
  if (SameName(part, length, "Escape")) return 0x1B;
  for (unsigned virtualKey = 1; virtualKey <= kLargestVirtualKey; ++virtualKey) {
    const char* name = HotKeyName(virtualKey);
    if (name != nullptr && SameName(part, length, name)) return virtualKey;
  }
  return 0;
}

void Append(char (&text)[kHotKeyTextSize], std::size_t* used, const char* piece) {
  const std::size_t length = std::strlen(piece);
  if (*used + length >= sizeof text) return;  // cannot happen with these names
  std::memcpy(text + *used, piece, length + 1);
  *used += length;
}

}  // namespace

const char* HotKeyName(unsigned virtualKey) {
  std::size_t slot = 0;
  for (const auto& run : kRuns) {
    if (virtualKey >= run.first && virtualKey - run.first < run.count) {
      return kRunNames.name[slot + (virtualKey - run.first)];
    }
    slot += run.count;
  }
  for (const NamedKey& key : kNamedKeys) {
    if (key.virtualKey == virtualKey) return key.name;
  }
  return nullptr;
}

void FormatHotKey(const HotKey& key, char (&text)[kHotKeyTextSize]) {
  text[0] = '\0';
  const char* name = key.Empty() ? nullptr : HotKeyName(key.virtualKey);
  if (name == nullptr) return;
  std::size_t used = 0;
  unsigned written = 0;
  for (const Modifier& modifier : kModifiers) {
    if ((key.modifiers & modifier.bit) == 0 || (written & modifier.bit) != 0) continue;
    written |= modifier.bit;
    Append(text, &used, modifier.name);
    Append(text, &used, "+");
  }
  Append(text, &used, name);
}

bool ParseHotKey(const char* text, std::size_t length, HotKey* key) {
  *key = HotKey();
  if (text == nullptr || length == 0 || length >= kHotKeyTextSize) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] < 0x20 || text[i] > 0x7E) return false;
  }
  HotKey read;
  std::size_t start = 0;
  while (start <= length) {
    std::size_t end = start;
    while (end < length && text[end] != '+') ++end;
    std::size_t first = start;
    std::size_t last = end;
    while (first < last && text[first] == ' ') ++first;
    while (last > first && text[last - 1] == ' ') --last;
    // A part after the key (a second key, a modifier after it) or an empty one.
    if (read.virtualKey != 0 || first == last) return false;
    const unsigned bit = ModifierNamed(text + first, last - first);
    if (bit != 0) {
      if ((read.modifiers & bit) != 0) return false;
      read.modifiers |= bit;
    } else {
      read.virtualKey = KeyNamed(text + first, last - first);
      if (read.virtualKey == 0) return false;
    }
    start = end + 1;
  }
  if (read.virtualKey == 0) return false;
  *key = read;
  return true;
}

}  // namespace vantorel
