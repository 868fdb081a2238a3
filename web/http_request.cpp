#include "web/http_request.h"

namespace vantorel::web {

namespace {

// ASCII only, so that no locale and no sign of a high byte matters.
char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameWord(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Lower(text[i]) != Lower(word[i])) return false;
  }
  return true;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The characters of a header name or a method (RFC 9110's tchar).
bool IsTokenChar(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c)) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A part of `text`, clamped to it: string_view's own substr throws past the end.
std::string_view Part(std::string_view text, std::size_t start,
                      std::size_t count = std::string_view::npos) {
  if (start > text.size()) start = text.size();
  const std::size_t left = text.size() - start;
  return std::string_view(text.data() + start, count < left ? count : left);
}

Verdict Refuse(Request* request, int status) {
  *request = Request{};
  request->status = status;
  return Verdict::kRefused;
}

// Finds the end of the head: the byte after its empty line, or 0 while it has not come. Refuses
// a control byte, a CR without its LF or an LF without its CR, and a head beyond its bounds.
Verdict FindHeadEnd(const char* bytes, std::size_t length, std::size_t* end, int* status) {
  std::size_t lines = 0;
  std::size_t lineStart = 0;
  const std::size_t scan = length < kMaxHeadBytes ? length : kMaxHeadBytes;
  for (std::size_t i = 0; i < scan; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r') {
      if (i + 1 < length && bytes[i + 1] != '\n') return *status = 400, Verdict::kRefused;
      continue;
    }
    if (c == '\n') {
      if (i == 0 || bytes[i - 1] != '\r') return *status = 400, Verdict::kRefused;
      if (i - lineStart == 1) {
        // An empty line first is no request line; anywhere else it ends the head.
        if (lines == 0) return *status = 400, Verdict::kRefused;
        *end = i + 1;
        return Verdict::kWhole;
      }
      // The request line and at most kMaxHeaderLines headers.
      if (++lines > kMaxHeaderLines + 1) return *status = 431, Verdict::kRefused;
      lineStart = i + 1;
      continue;
    }
    if ((c < 0x20 && c != '\t') || c == 0x7F) return *status = 400, Verdict::kRefused;
  }
  if (length >= kMaxHeadBytes) return *status = 431, Verdict::kRefused;
  return Verdict::kNotYet;
}

Method MethodOf(std::string_view name) {
  if (name == "GET") return Method::kGet;
  if (name == "HEAD") return Method::kHead;
  if (name == "POST") return Method::kPost;
  if (name == "OPTIONS") return Method::kOptions;
  return Method::kOther;
}

// "METHOD /target HTTP/1.1", single spaces, an origin-form target of visible ASCII.
int ReadRequestLine(std::string_view line, Request* request) {
  const std::size_t methodEnd = line.find(' ');
  if (methodEnd == std::string_view::npos || methodEnd == 0 || methodEnd > 16) return 400;
  const std::string_view method = Part(line, 0, methodEnd);
  for (const char c : method) {
    if (!IsTokenChar(c)) return 400;
  }
  const std::size_t targetEnd = line.find(' ', methodEnd + 1);
  if (targetEnd == std::string_view::npos) return 400;
  const std::string_view target = Part(line, methodEnd + 1, targetEnd - methodEnd - 1);
  if (target.empty() || target[0] != '/') return 400;
  for (const char c : target) {
    if (c <= ' ' || c > '~') return 400;
  }
  const std::string_view version = Part(line, targetEnd + 1);
  if (version == "HTTP/1.1") {
    request->http11 = true;
  } else if (version == "HTTP/1.0") {
    request->http11 = false;
  } else if (version.size() == 8 && Part(version, 0, 5) == "HTTP/" && IsDigit(version[5]) &&
             version[6] == '.' && IsDigit(version[7])) {
    return 505;
  } else {
    return 400;
  }
  request->method = MethodOf(method);
  request->path = Part(target, 0, target.find('?'));
  return 0;
}

// Content-Length: digits only, at most kMaxBodyBytes, however many leading zeros.
int ReadContentLength(std::string_view value, std::size_t* length) {
  if (value.empty()) return 400;
  std::size_t number = 0;
  for (const char c : value) {
    if (!IsDigit(c)) return 400;
    number = number * 10 + static_cast<std::size_t>(c - '0');
    if (number > kMaxBodyBytes) number = kMaxBodyBytes + 1;
  }
  if (number > kMaxBodyBytes) return 413;
  *length = number;
  return 0;
}

// Whether a Connection header's comma-separated list holds `option`.
bool ListHolds(std::string_view list, std::string_view option) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    if (SameWord(Trimmed(Part(list, 0, comma)), option)) return true;
    if (comma == std::string_view::npos) break;
    list = Part(list, comma + 1);
  }
  return false;
}

struct Headers {
  std::size_t contentLengths = 0;
  std::size_t bodyLength = 0;
  int contentLengthStatus = 0;
  bool transferEncoding = false;
  bool keepAlive = false;
  std::size_t origins = 0;
  std::size_t contentTypes = 0;
  std::size_t pins = 0;
};

// One "Name: value" line. A name must touch its colon: a blank before it, or a line folded onto
// the one before, is how requests are smuggled past a reader that reads them otherwise.
int ReadHeader(std::string_view line, Request* request, Headers* headers) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return 400;
  const std::string_view name = Part(line, 0, colon);
  for (const char c : name) {
    if (!IsTokenChar(c)) return 400;
  }
  const std::string_view value = Trimmed(Part(line, colon + 1));
  if (SameWord(name, "host")) {
    ++request->hosts;
    request->host = value;
  } else if (SameWord(name, "content-length")) {
    ++headers->contentLengths;
    const int status = ReadContentLength(value, &headers->bodyLength);
    if (headers->contentLengthStatus == 0) headers->contentLengthStatus = status;
  } else if (SameWord(name, "transfer-encoding")) {
    headers->transferEncoding = true;
  } else if (SameWord(name, "connection")) {
    if (ListHolds(value, "close")) request->close = true;
    if (ListHolds(value, "keep-alive")) headers->keepAlive = true;
  } else if (SameWord(name, "origin")) {
    ++headers->origins;
    request->hasOrigin = true;
    request->origin = value;
  } else if (SameWord(name, "content-type")) {
    ++headers->contentTypes;
    request->contentType = value;
  } else if (SameWord(name, "x-pin")) {
    ++headers->pins;
    request->hasPin = true;
    request->pin = value;
  }
  return 0;
}

bool IsDecimalOctet(std::string_view text) {
  if (text.empty() || text.size() > 3) return false;
  unsigned value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value <= 255;
}

bool IsIpv4Literal(std::string_view text) {
  for (int octet = 0; octet < 4; ++octet) {
    const std::size_t dot = text.find('.');
    if ((octet < 3) == (dot == std::string_view::npos)) return false;
    if (!IsDecimalOctet(Part(text, 0, dot))) return false;
    text = Part(text, dot == std::string_view::npos ? text.size() : dot + 1);
  }
  return true;
}

// The inside of "[...]": hexadecimal groups and colons, with an IPv4 tail allowed.
bool IsIpv6Literal(std::string_view text) {
  if (text.size() < 2 || text.size() > 45 || text.find(':') == std::string_view::npos) {
    return false;
  }
  for (const char c : text) {
    const bool hex = IsDigit(c) || (Lower(c) >= 'a' && Lower(c) <= 'f');
    if (!hex && c != ':' && c != '.') return false;
  }
  return true;
}

}  // namespace

Verdict ReadRequest(const char* bytes, std::size_t length, Request* request) {
  *request = Request{};
  std::size_t headEnd = 0;
  int status = 0;
  const Verdict head = FindHeadEnd(bytes, length, &headEnd, &status);
  if (head != Verdict::kWhole) return head == Verdict::kRefused ? Refuse(request, status) : head;

  // Lines without their CR LF; the empty line's own CR LF ends the head.
  std::string_view rest(bytes, headEnd - 2);
  const std::size_t lineEnd = rest.find("\r\n");
  status = ReadRequestLine(Part(rest, 0, lineEnd), request);
  if (status != 0) return Refuse(request, status);
  Headers headers;
  rest = lineEnd == std::string_view::npos ? std::string_view() : Part(rest, lineEnd + 2);
  while (!rest.empty()) {
    const std::size_t end = rest.find("\r\n");
    status = ReadHeader(Part(rest, 0, end), request, &headers);
    if (status != 0) return Refuse(request, status);
    rest = end == std::string_view::npos ? std::string_view() : Part(rest, end + 2);
  }
  if (headers.transferEncoding) return Refuse(request, 501);
  if (headers.contentLengths > 1) return Refuse(request, 400);
  if (headers.contentLengthStatus != 0) return Refuse(request, headers.contentLengthStatus);
  if (request->hosts > 1 || (request->http11 && request->hosts == 0)) return Refuse(request, 400);
  if (headers.origins > 1 || headers.contentTypes > 1 || headers.pins > 1) {
    return Refuse(request, 400);
  }
  if (length - headEnd < headers.bodyLength) {
    *request = Request{};
    return Verdict::kNotYet;
  }
  request->body = std::string_view(bytes + headEnd, headers.bodyLength);
  request->size = headEnd + headers.bodyLength;
  // HTTP/1.0 closes after each answer unless it asks to stay.
  if (!request->http11 && !headers.keepAlive) request->close = true;
  return Verdict::kWhole;
}

bool OriginAllowed(const Request& request) {
  if (!request.hasOrigin) return true;
  const std::string_view scheme = "http://";
  const std::string_view origin = request.origin;
  return origin.size() == scheme.size() + request.host.size() && !request.host.empty() &&
         SameWord(Part(origin, 0, scheme.size()), scheme) &&
         SameWord(Part(origin, scheme.size()), request.host);
}

bool IsPlainText(std::string_view contentType) {
  return SameWord(Trimmed(Part(contentType, 0, contentType.find(';'))), "text/plain");
}

bool HostAllowed(std::string_view host, const HostRule& rule) {
  std::string_view name = host;
  std::string_view port;
  if (!host.empty() && host[0] == '[') {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos) return false;
    name = Part(host, 0, close + 1);
    const std::string_view after = Part(host, close + 1);
    if (!after.empty()) {
      if (after[0] != ':') return false;
      port = Part(after, 1);
      if (port.empty()) return false;
    }
  } else {
    const std::size_t colon = host.find(':');
    if (colon != std::string_view::npos) {
      name = Part(host, 0, colon);
      port = Part(host, colon + 1);
      if (port.empty()) return false;
    }
  }
  if (!port.empty()) {
    if (port.size() > 5) return false;
    unsigned number = 0;
    for (const char c : port) {
      if (!IsDigit(c)) return false;
      number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number != rule.port) return false;
  }
  if (name.empty()) return false;
  if (SameWord(name, "localhost") || name == "127.0.0.1" || name == "[::1]") return true;
  if (!rule.network) return false;
  if (IsIpv4Literal(name)) return true;
  if (name[0] == '[') return IsIpv6Literal(Part(name, 1, name.size() - 2));
  if (rule.computerName.empty()) return false;
  if (SameWord(name, rule.computerName)) return true;
  return name.size() == rule.computerName.size() + 6 &&
         SameWord(Part(name, 0, rule.computerName.size()), rule.computerName) &&
         SameWord(Part(name, rule.computerName.size()), ".local");
}

}  // namespace vantorel::web
