// Text in the process's ANSI code page, handled as bytes. The manifest makes that code page
// UTF-8 where Windows supports it (version 1903 and later); elsewhere it stays the system's.
#pragma once

#include <cstddef>

namespace vantorel {

constexpr unsigned kCodePageUtf8 = 65001;  // CP_UTF8

// The length of the longest start of `text` (its first `length` bytes) that ends with a whole
// character, for cutting a text to a field: with UTF-8 as the process's code page the bytes of
// a character cut off at the end are left out; with any other code page every byte counts.
std::size_t WholeCharacterLength(const char* text, std::size_t length);

}  // namespace vantorel
