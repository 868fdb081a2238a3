// Reading HTTP/1.1 requests from whatever a client has sent so far, and whose requests the web
// clock answers. Every byte is a stranger's: the reader looks only within the bytes it is given
// and within fixed bounds, keeps nothing, and answers each call whole, not yet, or refused with
// the status to send.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vantorel::web {

// The request line and the headers together, up to and with the empty line that ends them.
constexpr std::size_t kMaxHeadBytes = 8192;
constexpr std::size_t kMaxHeaderLines = 64;
constexpr std::size_t kMaxBodyBytes = 1024;
// A client's bytes never need more room than one whole request: what comes after it waits in the
// client's socket until the request before has been answered.
constexpr std::size_t kMaxRequestBytes = kMaxHeadBytes + kMaxBodyBytes;

enum class Method { kGet, kHead, kPost, kOptions, kOther };

enum class Verdict {
  kWhole,    // a whole request, of `Request::size` bytes from the start
  kNotYet,   // nothing wrong so far; more bytes are needed
  kRefused,  // answer `Request::status` and close the connection
};

// Views into the bytes given to ReadRequest, valid while those bytes are.
struct Request {
  Method method = Method::kOther;
  std::string_view path;  // the target without its query, always starting with "/"
  bool http11 = true;
  std::size_t hosts = 0;  // how many Host headers: one is right
  std::string_view host;
  bool hasOrigin = false;
  std::string_view origin;
  std::string_view contentType;
  bool hasPin = false;
  std::string_view pin;  // X-Pin
  bool close = false;    // the client asked for the connection to end after the answer
  std::string_view body;
  std::size_t size = 0;  // head and body, in bytes
  int status = 0;        // what a refused request is answered
};

// Reads the first request in bytes[0, length). With kWhole, `request` describes it; with
// kRefused, only `request->status` means anything (400, 413, 431, 501, 505).
Verdict ReadRequest(const char* bytes, std::size_t length, Request* request);

// Whom the server answers: its port, and in the local-network mode any IP address literal and
// this computer's name too. Names compare without regard to case.
struct HostRule {
  std::uint16_t port = 0;
  bool network = false;
  std::string_view computerName;  // empty when unknown
};

// Whether a Host header's value names this server: "localhost", "127.0.0.1" or "[::1]", with or
// without the server's port; in the network mode also an IPv4 or bracketed IPv6 literal, the
// computer's name or its name under ".local". A page of any other name that reaches this port
// (by DNS rebinding, say) is not answered.
bool HostAllowed(std::string_view host, const HostRule& rule);

// Whether a request may change anything by its Origin: none (a script's own request), or
// "http://" and the request's own Host, as the server's own page sends it. "null" and every
// other site are refused, so that no page elsewhere can drive the timer through a browser.
bool OriginAllowed(const Request& request);

// Whether the request's Content-Type is text/plain, with or without parameters.
bool IsPlainText(std::string_view contentType);

}  // namespace vantorel::web
