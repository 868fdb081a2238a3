// The web clock's sockets: Winsock 2 on the window's own thread. Every socket is non-blocking and
// reports to the main window through WSAAsyncSelect, so the program never waits on a client; the
// bytes go to and from the portable server (web/clock_server.h). The library is loaded only when
// the web clock is first turned on, so with it off nothing of it is in the process.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vantorel {

// The message WSAAsyncSelect posts to the main window for every socket.
constexpr UINT WM_WEB_SOCKET = WM_APP + 0x57;

enum class Listen { kListening, kInUse, kRefused };

// Applies a command that came with the PIN (the body of POST /command) and gives its answer: the
// status, and the state's JSON or a sentence in `reply`, `*length` bytes of its `size`.
using CommandRunner = int (*)(std::string_view body, char* reply, std::size_t size,
                              std::size_t* length);

// Listens on 127.0.0.1, or every IPv4 interface with `network`, at `port`, serving `page` and
// taking commands through `runner`; stops what listened before.
Listen StartWebServer(HWND window, std::uint16_t port, bool network, const char* page,
                      std::size_t pageLength, CommandRunner runner);
// The PIN that commands need; empty: none are taken.
void SetWebServerPin(const char* pin);
// Closes every connection and the listening socket.
void StopWebServer();
bool WebServerRunning();

// WM_WEB_SOCKET.
void OnWebSocket(WPARAM socket, LPARAM event);

// The state as JSON, sent to each event stream that has not had it.
void PublishWebState(const char* json, std::size_t length);
// Timeouts, and the state again for quiet event streams.
void SweepWebServer();

// This computer's name and its IPv4 addresses other than loopback, for the addresses to open;
// false when the network library cannot be had. `addresses` gets up to `count` texts of 16 bytes.
bool LocalAddresses(char* name, std::size_t nameSize, char (*addresses)[16], std::size_t count,
                    std::size_t* found);

}  // namespace vantorel
