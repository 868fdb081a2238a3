// The web clock's server apart from its sockets: a fixed table of connections, each with fixed
// buffers, that takes the bytes a client sent and gives the bytes to send back. The program's
// side (app/web_server.cpp) only moves bytes between these buffers and the sockets, and closes
// a socket when its connection is finished. Times are the system's milliseconds, compared by
// unsigned differences, so a wrap of the clock changes nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "web/http_request.h"
#include "web/pin_guard.h"

namespace vantorel::web {

constexpr std::size_t kMaxConnections = 256;
// A viewer that leaves this much unread is dropped rather than kept growing.
constexpr std::size_t kMaxUnsentBytes = 64 * 1024;
constexpr std::uint32_t kRequestWithinMs = 10000;  // from a request's first byte to its last
constexpr std::uint32_t kIdleCloseMs = 60000;      // a kept-alive connection waiting for more
// An event stream hears at least this often, so that a page can tell a paused count from a
// lost connection; Sweep is called often enough that the gap stays under two seconds.
constexpr std::uint32_t kHeartbeatMs = 1500;

// What a connection gets when every place is taken by an event stream; it is then closed.
extern const char kBusyAnswer[];

class ClockServer {
 public:
  // Takes the memory for every connection at once, so nothing grows later; false when it cannot
  // be had. `page` must live until Shut.
  bool Open(const HostRule& rule, std::string_view page);
  // Frees it all; every connection's socket must have been closed.
  void Shut();
  bool IsOpen() const { return slots_ != nullptr; }

  // The PIN that POST /command needs: 4 to 8 digits, or empty for no control from the web.
  void SetPin(const char* pin);

  // A new connection from the IPv4 `address`, and the slot it takes. When all are in use, it
  // takes the place of the oldest connection that is waiting for a request, whose slot
  // `*evicted` then names (its socket is to be closed first); otherwise -1. Returns -1 when every
  // place is taken by an event stream or by an answer still being sent: the client gets
  // kBusyAnswer.
  int Accept(std::uint32_t address, std::uint32_t now, int* evicted);
  // Where to receive into, and how much room there is (0: receive nothing now).
  char* ReceiveBuffer(int slot, std::size_t* room);
  void Received(int slot, std::size_t count, std::uint32_t now);
  // What waits to be sent, and that `count` bytes of it went.
  const char* Unsent(int slot, std::size_t* length) const;
  void Sent(int slot, std::size_t count, std::uint32_t now);
  // Whether the connection is to be closed now: it failed, timed out, fell behind, or asked to
  // end and has had its answer.
  bool Finished(int slot) const;
  // The program's side closed the connection (finished, or the client went away).
  void Release(int slot);
  bool InUse(int slot) const;

  // A command that passed every check (the address, the Origin, the PIN, its type), waiting
  // for the program to apply it: its body, the command line's switches. The connection reads
  // nothing more until Reply.
  bool PendingCommand(int slot, std::string_view* body) const;
  // The command's answer: 200 with the state's JSON, or another status with a sentence.
  void Reply(int slot, int status, const char* body, std::size_t length, std::uint32_t now);

  // The state as JSON (no line break): each event stream hears of a change at once.
  void SetState(const char* json, std::size_t length, std::uint32_t now);
  // Closes what timed out and gives quiet event streams the state again.
  void Sweep(std::uint32_t now);

  std::size_t Streams() const;

 private:
  struct Connection;
  void Process(Connection& connection, std::uint32_t now);
  void Answer(Connection& connection, const Request& request, std::uint32_t now);
  // The status a POST /command is refused with, or 0 when it may be applied.
  int CommandRefusal(const Connection& connection, const Request& request, std::uint32_t now);
  void SendEvent(Connection& connection, std::uint32_t now);
  Connection& At(int slot) const;

  Connection* slots_ = nullptr;
  HostRule rule_;
  char computerName_[256] = "";
  char pin_[kMaxPinBytes + 1] = "";
  PinGuard guard_;
  std::string_view page_;
  char state_[2048] = "";
  std::size_t stateLength_ = 0;
};

}  // namespace vantorel::web
