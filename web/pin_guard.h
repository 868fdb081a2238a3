// The PIN that lets a phone drive the timer, and the lock-out of an address that guesses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vantorel::web {

constexpr std::size_t kMaxPinBytes = 8;
constexpr unsigned kGuessesBeforeLockOut = 5;
constexpr std::uint32_t kGuessWindowMs = 60000;
constexpr std::uint32_t kLockOutMs = 60000;
// Addresses remembered at once; more guessers take the places of the oldest.
constexpr std::size_t kGuessAddresses = 64;

// Whether `guess` is `pin` (at most kMaxPinBytes, terminated), in a time that depends on neither:
// both are compared over the same fixed length whatever they hold. An empty PIN matches nothing.
bool PinMatches(std::string_view guess, const char* pin);

// After kGuessesBeforeLockOut missing or wrong PINs from one address within kGuessWindowMs, that
// address is locked out for kLockOutMs. Times are milliseconds compared by unsigned differences.
class PinGuard {
 public:
  bool LockedOut(std::uint32_t address, std::uint32_t now) const;
  void Failed(std::uint32_t address, std::uint32_t now);

 private:
  struct Entry {
    bool used;
    bool locked;
    unsigned failures;
    std::uint32_t address;
    std::uint32_t since;  // the first failure counted, or the lock-out's start
  };
  Entry entries_[kGuessAddresses] = {};
};

}  // namespace vantorel::web
