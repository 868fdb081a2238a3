#include "web/clock_server.h"

#include <cstdlib>
#include <cstring>

#include "web/clock_state.h"

namespace vantorel::web {

const char kBusyAnswer[] =
    "HTTP/1.1 503 Service Unavailable\r\n"
    "Content-Type: text/plain; charset=utf-8\r\n"
    "Content-Length: 5\r\n"
    "Retry-After: 2\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "Connection: close\r\n"
    "\r\n"
    "Busy\n";

struct ClockServer::Connection {
  bool inUse;
  bool awaiting;  // a command waits for its Reply
  bool closeAfterReply;
  std::uint32_t address;
  std::size_t commandSize;  // the waiting request's bytes, head and body
  std::size_t bodyStart;
  std::size_t bodyLength;
  bool stream;
  bool closeWhenSent;
  bool dead;
  std::uint32_t acceptedAt;
  std::uint32_t requestStart;  // the first byte of the request being received
  std::uint32_t lastActivity;  // the last byte received or sent
  std::uint32_t lastEvent;
  std::size_t inLength;
  std::size_t outStart;
  std::size_t outEnd;
  char in[kMaxRequestBytes];
  char out[kMaxUnsentBytes];
};

namespace {

// The page may come from nowhere else, and may be framed by nobody.
constexpr char kPageHeaders[] =
    "Content-Type: text/html; charset=utf-8\r\n"
    "Cache-Control: no-cache\r\n"
    "Content-Security-Policy: default-src 'none'; script-src 'unsafe-inline'; "
    "style-src 'unsafe-inline'; connect-src 'self'; img-src 'self'; base-uri 'none'; "
    "form-action 'none'; frame-ancestors 'none'\r\n"
    "Referrer-Policy: no-referrer\r\n";
constexpr char kStateHeaders[] =
    "Content-Type: application/json\r\n"
    "Cache-Control: no-store\r\n";
constexpr char kEventHeaders[] =
    "Content-Type: text/event-stream\r\n"
    "Cache-Control: no-store\r\n";
constexpr char kTextHeaders[] = "Content-Type: text/plain; charset=utf-8\r\n";
constexpr char kLockedOutHeaders[] =
    "Content-Type: text/plain; charset=utf-8\r\n"
    "Retry-After: 60\r\n";

const char* Reason(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Content Too Large";
    case 415: return "Unsupported Media Type";
    case 421: return "Misdirected Request";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 501: return "Not Implemented";
    case 505: return "HTTP Version Not Supported";
    default: return "Error";
  }
}

// Appends to a connection's unsent bytes; a connection with no room for more has fallen behind
// and is dropped, never given a larger buffer.
class Output {
 public:
  Output(char* out, std::size_t* start, std::size_t* end, bool* dead)
      : out_(out), start_(start), end_(end), dead_(dead) {}

  void Put(const char* bytes, std::size_t length) {
    if (*dead_) return;
    if (*end_ - *start_ + length > kMaxUnsentBytes) {
      *dead_ = true;
      return;
    }
    if (*end_ + length > kMaxUnsentBytes) {
      std::memmove(out_, out_ + *start_, *end_ - *start_);
      *end_ -= *start_;
      *start_ = 0;
    }
    std::memcpy(out_ + *end_, bytes, length);
    *end_ += length;
  }
  void Put(const char* text) { Put(text, std::strlen(text)); }
  void Number(std::size_t value) {
    char digits[20];
    std::size_t count = 0;
    do {
      digits[sizeof digits - ++count] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    Put(digits + sizeof digits - count, count);
  }

 private:
  char* out_;
  std::size_t* start_;
  std::size_t* end_;
  bool* dead_;
};

struct Response {
  int status = 200;
  const char* headers = kTextHeaders;  // Content-Type and the like, each line with its CR LF
  const char* body = "";
  std::size_t bodyLength = 0;
  bool head = false;  // HEAD: the headers of GET, no body
};

}  // namespace

ClockServer::Connection& ClockServer::At(int slot) const {
  return slots_[slot];
}

bool ClockServer::Open(const HostRule& rule, std::string_view page) {
  Shut();
  slots_ = static_cast<Connection*>(std::calloc(kMaxConnections, sizeof(Connection)));
  if (slots_ == nullptr) return false;
  const std::size_t nameLength = rule.computerName.size() < sizeof computerName_
                                     ? rule.computerName.size()
                                     : 0;  // a name that long is nobody's
  std::memcpy(computerName_, rule.computerName.data(), nameLength);
  rule_ = rule;
  rule_.computerName = std::string_view(computerName_, nameLength);
  page_ = page;
  return true;
}

void ClockServer::Shut() {
  std::free(slots_);
  slots_ = nullptr;
}

bool ClockServer::InUse(int slot) const {
  return slots_ != nullptr && slot >= 0 && static_cast<std::size_t>(slot) < kMaxConnections &&
         At(slot).inUse;
}

void ClockServer::SetPin(const char* pin) {
  std::size_t length = 0;
  while (length < kMaxPinBytes && pin[length] != '\0') ++length;
  std::memcpy(pin_, pin, length);
  pin_[length] = '\0';
}

int ClockServer::Accept(std::uint32_t address, std::uint32_t now, int* evicted) {
  *evicted = -1;
  if (slots_ == nullptr) return -1;
  int chosen = -1;
  for (std::size_t i = 0; i < kMaxConnections && chosen < 0; ++i) {
    if (!slots_[i].inUse) chosen = static_cast<int>(i);
  }
  if (chosen < 0) {
    // The oldest that is waiting for a request: a half-open connection, or one kept alive.
    std::uint32_t oldestAge = 0;
    for (std::size_t i = 0; i < kMaxConnections; ++i) {
      const Connection& c = slots_[i];
      if (c.stream || c.outStart != c.outEnd) continue;
      const std::uint32_t age = now - c.acceptedAt;
      if (chosen < 0 || age > oldestAge) chosen = static_cast<int>(i), oldestAge = age;
    }
    if (chosen < 0) return -1;
    *evicted = chosen;
  }
  Connection& c = At(chosen);
  c.inUse = true;
  c.address = address;
  c.stream = c.closeWhenSent = c.dead = c.awaiting = false;
  c.acceptedAt = c.requestStart = c.lastActivity = c.lastEvent = now;
  c.inLength = c.outStart = c.outEnd = 0;
  return chosen;
}

char* ClockServer::ReceiveBuffer(int slot, std::size_t* room) {
  Connection& c = At(slot);
  // An event stream's client has nothing more to say: what it sends is read and dropped.
  if (c.stream) c.inLength = 0;
  *room = c.dead || c.closeWhenSent || c.awaiting ? 0 : sizeof c.in - c.inLength;
  return c.in + c.inLength;
}

void ClockServer::Received(int slot, std::size_t count, std::uint32_t now) {
  Connection& c = At(slot);
  if (count == 0) return;
  if (c.inLength == 0) c.requestStart = now;
  c.lastActivity = now;
  c.inLength += count < sizeof c.in - c.inLength ? count : sizeof c.in - c.inLength;
  if (c.stream) c.inLength = 0;
  Process(c, now);
}

const char* ClockServer::Unsent(int slot, std::size_t* length) const {
  const Connection& c = At(slot);
  *length = c.dead ? 0 : c.outEnd - c.outStart;
  return c.out + c.outStart;
}

void ClockServer::Sent(int slot, std::size_t count, std::uint32_t now) {
  Connection& c = At(slot);
  if (count > c.outEnd - c.outStart) count = c.outEnd - c.outStart;
  c.outStart += count;
  if (count > 0) c.lastActivity = now;
  if (c.outStart == c.outEnd) {
    c.outStart = c.outEnd = 0;
    // Requests that came behind the one just answered.
    Process(c, now);
  }
}

bool ClockServer::Finished(int slot) const {
  const Connection& c = At(slot);
  return c.dead || (c.closeWhenSent && c.outStart == c.outEnd);
}

void ClockServer::Release(int slot) {
  if (InUse(slot)) At(slot).inUse = false;
}

std::size_t ClockServer::Streams() const {
  std::size_t count = 0;
  for (std::size_t i = 0; slots_ != nullptr && i < kMaxConnections; ++i) {
    if (slots_[i].inUse && slots_[i].stream) ++count;
  }
  return count;
}

// Answers the requests received so far, in order, one at a time: the next is read only once the
// answer before it has been sent.
void ClockServer::Process(Connection& c, std::uint32_t now) {
  while (!c.stream && !c.dead && !c.closeWhenSent && !c.awaiting && c.outStart == c.outEnd &&
         c.inLength > 0) {
    Request request;
    const Verdict verdict = ReadRequest(c.in, c.inLength, &request);
    if (verdict == Verdict::kNotYet) return;
    if (verdict == Verdict::kRefused) {
      // After a malformed request nothing that follows can be framed: answer and close.
      request.close = true;
      Answer(c, request, now);
      return;
    }
    Answer(c, request, now);
    if (c.awaiting) return;
    std::memmove(c.in, c.in + request.size, c.inLength - request.size);
    c.inLength -= request.size;
    c.requestStart = now;
  }
}

void ClockServer::Answer(Connection& c, const Request& request, std::uint32_t now) {
  Response answer;
  const char* allow = nullptr;
  const bool get = request.method == Method::kGet;
  const bool head = request.method == Method::kHead;
  // An answer to HEAD never has a body, whatever its status: the client reads none.
  answer.head = head;
  // An address that guessed the PIN too often hears nothing else for a while.
  if (guard_.LockedOut(c.address, now)) {
    answer.status = 429;
    answer.headers = kLockedOutHeaders;
  } else if (request.status != 0) {
    answer.status = request.status;
  } else if (!HostAllowed(request.host, rule_)) {
    answer.status = 421;
  } else if (request.path == "/command") {
    if (request.method != Method::kPost) {
      answer.status = 405, allow = "POST";
    } else if ((answer.status = CommandRefusal(c, request, now)) == 0) {
      c.awaiting = true;
      c.closeAfterReply = request.close;
      c.commandSize = request.size;
      c.bodyStart = static_cast<std::size_t>(request.body.data() - c.in);
      c.bodyLength = request.body.size();
      return;
    }
  } else if (request.path == "/") {
    if (get || head) {
      answer.headers = kPageHeaders;
      answer.body = page_.data();
      answer.bodyLength = page_.size();
    } else {
      answer.status = 405, allow = "GET, HEAD";
    }
  } else if (request.path == "/state") {
    if (get || head) {
      answer.headers = kStateHeaders;
      answer.body = state_;
      answer.bodyLength = stateLength_;
    } else {
      answer.status = 405, allow = "GET, HEAD";
    }
  } else if (request.path == "/events") {
    if (!get) answer.status = 405, allow = "GET";
  } else {
    answer.status = 404;
  }
  if (answer.status != 200) {
    answer.body = Reason(answer.status);
    answer.bodyLength = std::strlen(answer.body);
  }

  Output out(c.out, &c.outStart, &c.outEnd, &c.dead);
  const bool stream = answer.status == 200 && request.path == "/events";
  out.Put("HTTP/1.1 ");
  out.Number(static_cast<std::size_t>(answer.status));
  out.Put(" ");
  out.Put(Reason(answer.status));
  out.Put("\r\n");
  out.Put(stream ? kEventHeaders : answer.headers);
  out.Put("X-Content-Type-Options: nosniff\r\n");
  if (allow != nullptr) {
    out.Put("Allow: ");
    out.Put(allow);
    out.Put("\r\n");
  }
  // A stream's body ends only with the connection.
  if (!stream) {
    out.Put("Content-Length: ");
    out.Number(answer.bodyLength);
    out.Put("\r\n");
  }
  if (request.close || stream) out.Put("Connection: close\r\n");
  out.Put("\r\n");
  if (stream) {
    out.Put(kEventStreamStart);
    c.stream = true;
    SendEvent(c, now);
    return;
  }
  if (!answer.head) out.Put(answer.body, answer.bodyLength);
  if (request.close) c.closeWhenSent = true;
}

int ClockServer::CommandRefusal(const Connection& c, const Request& request, std::uint32_t now) {
  if (!OriginAllowed(request)) return 403;
  if (!request.hasPin || !PinMatches(request.pin, pin_)) {
    guard_.Failed(c.address, now);
    return 403;
  }
  if (!IsPlainText(request.contentType)) return 415;
  return 0;
}

bool ClockServer::PendingCommand(int slot, std::string_view* body) const {
  const Connection& c = At(slot);
  if (!c.inUse || !c.awaiting || c.dead) return false;
  *body = std::string_view(c.in + c.bodyStart, c.bodyLength);
  return true;
}

void ClockServer::Reply(int slot, int status, const char* body, std::size_t length,
                        std::uint32_t now) {
  Connection& c = At(slot);
  if (!c.awaiting) return;
  c.awaiting = false;
  Output out(c.out, &c.outStart, &c.outEnd, &c.dead);
  out.Put("HTTP/1.1 ");
  out.Number(static_cast<std::size_t>(status));
  out.Put(" ");
  out.Put(Reason(status));
  out.Put("\r\n");
  out.Put(status == 200 ? kStateHeaders : kTextHeaders);
  out.Put("X-Content-Type-Options: nosniff\r\nContent-Length: ");
  out.Number(length);
  out.Put("\r\n");
  if (c.closeAfterReply) out.Put("Connection: close\r\n");
  out.Put("\r\n");
  out.Put(body, length);
  if (c.closeAfterReply) c.closeWhenSent = true;
  std::memmove(c.in, c.in + c.commandSize, c.inLength - c.commandSize);
  c.inLength -= c.commandSize;
  c.requestStart = now;
  Process(c, now);
}

void ClockServer::SendEvent(Connection& c, std::uint32_t now) {
  c.lastEvent = now;
  if (stateLength_ == 0) return;
  char event[sizeof state_ + 16];
  const std::size_t length = FrameEvent(state_, stateLength_, event, sizeof event);
  Output(c.out, &c.outStart, &c.outEnd, &c.dead).Put(event, length);
}

void ClockServer::SetState(const char* json, std::size_t length, std::uint32_t now) {
  if (length >= sizeof state_) return;
  if (length == stateLength_ && std::memcmp(json, state_, length) == 0) return;
  std::memcpy(state_, json, length);
  state_[length] = '\0';
  stateLength_ = length;
  for (std::size_t i = 0; slots_ != nullptr && i < kMaxConnections; ++i) {
    if (slots_[i].inUse && slots_[i].stream) SendEvent(slots_[i], now);
  }
}

void ClockServer::Sweep(std::uint32_t now) {
  for (std::size_t i = 0; slots_ != nullptr && i < kMaxConnections; ++i) {
    Connection& c = slots_[i];
    if (!c.inUse || c.dead) continue;
    if (c.stream) {
      if (now - c.lastEvent >= kHeartbeatMs) SendEvent(c, now);
    } else if (c.inLength > 0) {
      if (now - c.requestStart >= kRequestWithinMs) c.dead = true;
    } else if (now - c.lastActivity >= kIdleCloseMs) {
      c.dead = true;
    }
  }
}

}  // namespace vantorel::web
