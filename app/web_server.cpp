#include "app/web_server.h"

#include <winsock2.h>

#include <cstring>

#include "app/on_demand.h"
#include "web/clock_server.h"
#include "web/clock_state.h"

namespace vantorel {

namespace {

// The Winsock functions, from ws2_32.dll once the web clock is first turned on: linked, the
// library and its providers would load at every start.
struct Winsock {
  decltype(&::WSAStartup) startup;
  decltype(&::socket) socket;
  decltype(&::setsockopt) setsockopt;
  decltype(&::bind) bind;
  decltype(&::listen) listen;
  decltype(&::accept) accept;
  decltype(&::recv) recv;
  decltype(&::send) send;
  decltype(&::shutdown) shutdown;
  decltype(&::closesocket) closesocket;
  decltype(&::WSAAsyncSelect) asyncSelect;
  decltype(&::WSAGetLastError) lastError;
  decltype(&::gethostname) gethostname;
  decltype(&::gethostbyname) gethostbyname;
};

Winsock ws = {};
bool winsockTried = false;
bool winsockReady = false;

template <typename Function>
void Load(Function* function, const char* name) {
  *function =
      reinterpret_cast<Function>(reinterpret_cast<void (*)()>(SystemFunction("ws2_32.dll", name)));
  if (*function == nullptr) winsockReady = false;
}

bool LoadWinsock() {
  if (winsockTried) return winsockReady;
  winsockTried = true;
  winsockReady = true;
  Load(&ws.startup, "WSAStartup");
  Load(&ws.socket, "socket");
  Load(&ws.setsockopt, "setsockopt");
  Load(&ws.bind, "bind");
  Load(&ws.listen, "listen");
  Load(&ws.accept, "accept");
  Load(&ws.recv, "recv");
  Load(&ws.send, "send");
  Load(&ws.shutdown, "shutdown");
  Load(&ws.closesocket, "closesocket");
  Load(&ws.asyncSelect, "WSAAsyncSelect");
  Load(&ws.lastError, "WSAGetLastError");
  Load(&ws.gethostname, "gethostname");
  Load(&ws.gethostbyname, "gethostbyname");
  WSADATA data;
  // Kept for the rest of the run: turning the clock off and on again needs no new start.
  if (winsockReady && ws.startup(MAKEWORD(2, 2), &data) != 0) winsockReady = false;
  return winsockReady;
}

web::ClockServer server;
CommandRunner runCommand = nullptr;
bool commandRunning = false;
HWND window = nullptr;
SOCKET listener = INVALID_SOCKET;
SOCKET sockets[web::kMaxConnections];
// The client will send nothing more; its connection closes once its answer has gone.
bool clientDone[web::kMaxConnections];

void Forget(int slot) {
  sockets[slot] = INVALID_SOCKET;
  clientDone[slot] = false;
  server.Release(slot);
}

// Whatever the client sent and nobody read would make the close a reset, which can destroy the
// answer on its way: it is read and dropped first, as much as has come.
void CloseSlot(int slot) {
  const SOCKET socket = sockets[slot];
  if (socket == INVALID_SOCKET) return;
  char scratch[1024];
  for (int i = 0; i < 16 && ws.recv(socket, scratch, sizeof scratch, 0) > 0; ++i) {
  }
  ws.shutdown(socket, SD_SEND);
  ws.closesocket(socket);
  Forget(slot);
}

// Sends what waits, until the socket takes no more (it tells with FD_WRITE when it does).
// False when the connection was closed.
bool Flush(int slot) {
  for (;;) {
    if (server.Finished(slot)) {
      CloseSlot(slot);
      return false;
    }
    std::size_t length = 0;
    const char* bytes = server.Unsent(slot, &length);
    if (length == 0) {
      if (!clientDone[slot]) return true;
      CloseSlot(slot);
      return false;
    }
    const int chunk = length > 0x10000 ? 0x10000 : static_cast<int>(length);
    const int sent = ws.send(sockets[slot], bytes, chunk, 0);
    if (sent == SOCKET_ERROR) {
      if (ws.lastError() == WSAEWOULDBLOCK) return true;
      CloseSlot(slot);
      return false;
    }
    server.Sent(slot, static_cast<std::size_t>(sent), GetTickCount());
  }
}

// Commands that passed the server's checks, applied one at a time: applying one may run a
// message loop (a failure's message box), in which other sockets are served meanwhile.
void RunCommands() {
  if (commandRunning) return;
  commandRunning = true;
  for (std::size_t i = 0; i < web::kMaxConnections; ++i) {
    const int slot = static_cast<int>(i);
    std::string_view body;
    if (sockets[i] == INVALID_SOCKET || !server.PendingCommand(slot, &body)) continue;
    char reply[web::kMaxClockJsonBytes];
    std::size_t length = 0;
    const int status = runCommand(body, reply, sizeof reply, &length);
    server.Reply(slot, status, reply, length, GetTickCount());
    Flush(slot);
  }
  commandRunning = false;
}

// Reads what the client sent, as far as there is room, and answers it.
void Service(int slot) {
  for (int round = 0; round < 64; ++round) {
    std::size_t room = 0;
    char* buffer = server.ReceiveBuffer(slot, &room);
    int received = 0;
    if (room > 0 && !clientDone[slot]) {
      received = ws.recv(sockets[slot], buffer, static_cast<int>(room), 0);
      if (received == 0) {
        clientDone[slot] = true;
      } else if (received == SOCKET_ERROR) {
        if (ws.lastError() != WSAEWOULDBLOCK) {
          CloseSlot(slot);
          return;
        }
        received = 0;
      } else {
        server.Received(slot, static_cast<std::size_t>(received), GetTickCount());
        RunCommands();
        if (sockets[slot] == INVALID_SOCKET) return;
      }
    }
    if (!Flush(slot)) return;
    if (received == 0) return;
  }
}

int SlotOf(SOCKET socket) {
  for (std::size_t i = 0; i < web::kMaxConnections; ++i) {
    if (sockets[i] == socket && server.InUse(static_cast<int>(i))) return static_cast<int>(i);
  }
  return -1;
}

void AcceptAll() {
  for (;;) {
    sockaddr_in from = {};
    int fromLength = sizeof from;
    const SOCKET client = ws.accept(listener, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (client == INVALID_SOCKET) return;
    int evicted = -1;
    const int slot = server.Accept(from.sin_addr.s_addr, GetTickCount(), &evicted);
    if (evicted >= 0) {
      // Its place is taken anew already: only its socket goes.
      const SOCKET old = sockets[evicted];
      ws.closesocket(old);
    }
    if (slot < 0) {
      ws.send(client, web::kBusyAnswer, static_cast<int>(std::strlen(web::kBusyAnswer)), 0);
      ws.shutdown(client, SD_SEND);
      ws.closesocket(client);
      continue;
    }
    sockets[slot] = client;
    clientDone[slot] = false;
    if (ws.asyncSelect(client, window, WM_WEB_SOCKET, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
      CloseSlot(slot);
    }
  }
}

void FlushAll() {
  for (std::size_t i = 0; i < web::kMaxConnections; ++i) {
    if (sockets[i] != INVALID_SOCKET) Flush(static_cast<int>(i));
  }
}

}  // namespace

Listen StartWebServer(HWND owner, std::uint16_t port, bool network, const char* page,
                      std::size_t pageLength, CommandRunner runner) {
  StopWebServer();
  if (!LoadWinsock()) return Listen::kRefused;
  const SOCKET socket = ws.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket == INVALID_SOCKET) return Listen::kRefused;
  // No other program may take the port over while the clock listens on it.
  BOOL exclusive = TRUE;
  ws.setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                sizeof exclusive);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = static_cast<u_short>(port >> 8 | (port & 0xFF) << 8);
  address.sin_addr.s_addr = network ? INADDR_ANY : 0x0100007F;  // 127.0.0.1, in network order
  if (ws.bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = ws.lastError();
    ws.closesocket(socket);
    return error == WSAEADDRINUSE ? Listen::kInUse : Listen::kRefused;
  }
  char name[256] = "";
  if (network && ws.gethostname(name, sizeof name) != 0) name[0] = '\0';
  name[sizeof name - 1] = '\0';
  if (ws.listen(socket, SOMAXCONN) != 0 ||
      ws.asyncSelect(socket, owner, WM_WEB_SOCKET, FD_ACCEPT) != 0 ||
      !server.Open(web::HostRule{port, network, name}, std::string_view(page, pageLength))) {
    ws.closesocket(socket);
    return Listen::kRefused;
  }
  window = owner;
  runCommand = runner;
  listener = socket;
  for (SOCKET& each : sockets) each = INVALID_SOCKET;
  return Listen::kListening;
}

void StopWebServer() {
  if (listener == INVALID_SOCKET) return;
  for (std::size_t i = 0; i < web::kMaxConnections; ++i) CloseSlot(static_cast<int>(i));
  ws.closesocket(listener);
  listener = INVALID_SOCKET;
  server.Shut();
}

void SetWebServerPin(const char* pin) {
  server.SetPin(pin);
}

bool WebServerRunning() {
  return listener != INVALID_SOCKET;
}

void OnWebSocket(WPARAM socket, LPARAM event) {
  if (listener == INVALID_SOCKET) return;
  if (static_cast<SOCKET>(socket) == listener) {
    if (WSAGETSELECTEVENT(event) == FD_ACCEPT) AcceptAll();
    return;
  }
  // A message may come after its socket was closed, and its handle may be another's by now:
  // the socket itself tells what is the case.
  const int slot = SlotOf(static_cast<SOCKET>(socket));
  if (slot >= 0) Service(slot);
}

void PublishWebState(const char* json, std::size_t length) {
  if (listener == INVALID_SOCKET) return;
  server.SetState(json, length, GetTickCount());
  FlushAll();
}

void SweepWebServer() {
  if (listener == INVALID_SOCKET) return;
  server.Sweep(GetTickCount());
  FlushAll();
}

bool LocalAddresses(char* name, std::size_t nameSize, char (*addresses)[16], std::size_t count,
                    std::size_t* found) {
  *found = 0;
  name[0] = '\0';
  if (!LoadWinsock() || ws.gethostname(name, static_cast<int>(nameSize)) != 0) return false;
  name[nameSize - 1] = '\0';
  const hostent* host = ws.gethostbyname(name);
  if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4) return true;
  for (char** entry = host->h_addr_list; *entry != nullptr && *found < count; ++entry) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(*entry);
    if (bytes[0] == 127) continue;
    wsprintfA(addresses[(*found)++], "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  }
  return true;
}

}  // namespace vantorel
