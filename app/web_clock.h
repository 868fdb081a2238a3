// The web clock as the program has it: on or off, for this computer or the local network, on a
// port, as the options say; the window's state as the page shows it, sent whenever it changes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace vantorel {

// At start, with the clock on: listening from the window's creation, so that a browser is
// answered as soon as the window shows; a port that cannot be had is named in one message box
// once it shows, and the timer works on without the web clock.
void OpenWebClockAtStart(HWND window);
void ReportWebClockAtStart();

// Turns the web clock on or off, saves the choice, and reports a port that cannot be had.
void SetWebClock(HWND window, bool on);

// The Web Clock dialog's choices, made the ones in force and saved; or, where the port cannot be
// had, `problem` names it, the clock goes on as before and nothing is saved.
bool ApplyWebClock(HWND window, bool on, bool network, std::uint16_t port, const char* pin,
                   char* problem, std::size_t problemSize);

// A PIN the options take: empty (no control from the web), or 4 to 8 digits.
bool IsWebPin(const char* pin);
// Six digits from the system's cryptographic generator; false when it cannot be had.
bool NewWebPin(char (&pin)[7]);

// The addresses at which browsers open the clock, a line each ("\r\n" between them): those that
// view it, then with a PIN those that control it, which carry the PIN in their fragment.
void WebClockAddresses(bool network, std::uint16_t port, const char* pin, char* text,
                       std::size_t size);

// Something the page shows may have changed: the state goes out once the message in hand is done.
void WebClockStateChanged();
// The message that WebClockStateChanged posts.
constexpr UINT WM_WEB_STATE = WM_APP + 0x58;
void OnWebState();
// WM_TIMER of the clock's own timer, which keeps quiet streams alive and times out connections;
// false for any other timer.
bool OnWebClockTimer(WPARAM timerId);

// At exit.
void StopWebClock(HWND window);

}  // namespace vantorel
