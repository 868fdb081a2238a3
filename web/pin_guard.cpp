#include "web/pin_guard.h"

namespace vantorel::web {

bool PinMatches(std::string_view guess, const char* pin) {
  // Every byte of both is looked at, up to the same length, so neither length nor where they
  // first differ shows in the time taken.
  unsigned difference = guess.size() > kMaxPinBytes ? 1u : 0u;
  std::size_t pinLength = 0;
  for (std::size_t i = 0; i < kMaxPinBytes; ++i) {
    const unsigned char p = static_cast<unsigned char>(pinLength == i ? pin[i] : '\0');
    if (p != '\0') pinLength = i + 1;
    const unsigned char g = i < guess.size() ? static_cast<unsigned char>(guess[i]) : '\0';
    difference |= static_cast<unsigned>(p ^ g);
  }
  difference |= guess.size() != pinLength ? 1u : 0u;
  return difference == 0 && pinLength > 0;
}

bool PinGuard::LockedOut(std::uint32_t address, std::uint32_t now) const {
  for (const Entry& entry : entries_) {
    if (entry.used && entry.address == address) {
      return entry.locked && now - entry.since < kLockOutMs;
    }
  }
  return false;
}

void PinGuard::Failed(std::uint32_t address, std::uint32_t now) {
  Entry* chosen = nullptr;
  for (Entry& entry : entries_) {
    if (entry.used && entry.address == address) chosen = &entry;
  }
  if (chosen == nullptr) {
    // A free place, else the one whose count began longest ago; an address locked out keeps its
    // place while any other can give up its own.
    for (Entry& entry : entries_) {
      if (!entry.used) {
        chosen = &entry;
        break;
      }
      const bool locked = entry.locked && now - entry.since < kLockOutMs;
      const bool chosenLocked =
          chosen != nullptr && chosen->locked && now - chosen->since < kLockOutMs;
      if (chosen == nullptr || (chosenLocked && !locked) ||
          (chosenLocked == locked && now - entry.since > now - chosen->since)) {
        chosen = &entry;
      }
    }
    *chosen = Entry{true, false, 0, address, now};
  }
  const std::uint32_t age = now - chosen->since;
  if ((chosen->locked && age >= kLockOutMs) || (!chosen->locked && age >= kGuessWindowMs)) {
    *chosen = Entry{true, false, 0, address, now};
  }
  if (chosen->locked) return;
  if (++chosen->failures >= kGuessesBeforeLockOut) {
    chosen->locked = true;
    chosen->since = now;
  }
}

}  // namespace vantorel::web
