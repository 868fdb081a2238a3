#include "core/ansi_text.h"

#include "platform/system.h"

namespace vantorel {

namespace {

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// How many bytes the UTF-8 sequence that `lead` starts has; 1 for ASCII and stray bytes.
std::size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

std::size_t WholeCharacterLength(const char* text, std::size_t length) {
  if (TheSystem().AnsiCodePage() != kCodePageUtf8) return length;
  // Back over the continuation bytes at the end (a character has at most three) to the byte
  // that leads them; the sequence is cut when it needs more bytes than are there.
  std::size_t lead = length;
  while (lead > 0 && length - lead < 3 &&
         IsContinuation(static_cast<unsigned char>(text[lead - 1]))) {
    --lead;
  }
  if (lead == 0) return length;  // no lead byte: nothing that could be cut
  --lead;
  const std::size_t present = length - lead;
  return present < SequenceLength(static_cast<unsigned char>(text[lead])) ? lead : length;
}

}  // namespace vantorel
