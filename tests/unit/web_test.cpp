// The web clock's portable half: the request reader and its bounds, whom it answers, the JSON
// and the event framing, and the connection table under good and hostile clients.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <random>
#include <string>

#include "web/clock_server.h"
#include "web/clock_state.h"
#include "web/http_request.h"
#include "web/pin_guard.h"

namespace vantorel::web {
namespace {

const std::string kHost = "Host: 127.0.0.1:8642\r\n";
constexpr std::uint32_t kLoopback = 0x0100007F;

std::string Get(const std::string& path, const std::string& headers = kHost) {
  return "GET " + path + " HTTP/1.1\r\n" + headers + "\r\n";
}

// A head of exactly `size` bytes, made long by one header.
std::string HeadOfSize(std::size_t size) {
  const std::string start = "GET / HTTP/1.1\r\n" + kHost + "X-Pad: ";
  return start + std::string(size - start.size() - 4, 'a') + "\r\n\r\n";
}

std::string HeaderLines(std::size_t count) {
  std::string lines = kHost;
  for (std::size_t i = 1; i < count; ++i) lines += "X-" + std::to_string(i) + ": x\r\n";
  return lines;
}

std::string Post(const std::string& body, const std::string& extra = "") {
  return "POST /command HTTP/1.1\r\n" + kHost + extra +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct Case {
  std::string bytes;
  Verdict verdict;
  int status;  // for kRefused
};

TEST(HttpRequestTest, ReadsWholeRequestsAndRefusesEachBoundPastItsLimit) {
  const Case cases[] = {
      {Get("/"), Verdict::kWhole, 0},
      {Get("/state?nocache=1"), Verdict::kWhole, 0},
      {"GET / HTTP/1.0\r\n\r\n", Verdict::kWhole, 0},
      {HeadOfSize(kMaxHeadBytes), Verdict::kWhole, 0},
      {HeadOfSize(kMaxHeadBytes + 1), Verdict::kRefused, 431},
      {Get("/", HeaderLines(kMaxHeaderLines)), Verdict::kWhole, 0},
      {Get("/", HeaderLines(kMaxHeaderLines + 1)), Verdict::kRefused, 431},
      {Post(std::string(kMaxBodyBytes, 'x')), Verdict::kWhole, 0},
      {Post(std::string(kMaxBodyBytes + 1, 'x')), Verdict::kRefused, 413},
      {Get("/", kHost + "Content-Length: 99999999999999999999999\r\n"), Verdict::kRefused, 413},
      // An incomplete head, or body, is waited for; so is a CR that may yet get its LF.
      {"GET / HTTP/1.1\r\nHost: localhost\r\n", Verdict::kNotYet, 0},
      {"GET / HTTP/1.1\r", Verdict::kNotYet, 0},
      {"POST /command HTTP/1.1\r\n" + kHost + "Content-Length: 5\r\n\r\n/sta", Verdict::kNotYet, 0},
      // Bytes that have no place in a head.
      {std::string("GET / HTTP/1.1\r\nHost: a\0b\r\n\r\n", 28), Verdict::kRefused, 400},
      {Get("/", kHost + "X-A: \x01\r\n"), Verdict::kRefused, 400},
      {Get("/", kHost + "X-A: \x7f\r\n"), Verdict::kRefused, 400},
      {"GET / HTTP/1.1\rHost: localhost\r\n\r\n", Verdict::kRefused, 400},
      {"GET / HTTP/1.1\nHost: localhost\n\n", Verdict::kRefused, 400},
      {"\r\nGET / HTTP/1.1\r\n" + kHost + "\r\n", Verdict::kRefused, 400},
      // Pairs by which a request hides another from a reader that frames it otherwise.
      {Post("abc", "Content-Length: 3\r\n"), Verdict::kRefused, 400},
      {Post("abc", "Transfer-Encoding: chunked\r\n"), Verdict::kRefused, 501},
      {Get("/", kHost + "Content-Length: 3x\r\n"), Verdict::kRefused, 400},
      {Get("/", kHost + "Content-Length: -1\r\n"), Verdict::kRefused, 400},
      {Get("/", kHost + "Content-Length: +1\r\n"), Verdict::kRefused, 400},
      {Get("/", kHost + "Content-Length:\r\n"), Verdict::kRefused, 400},
      {Get("/", kHost + "Content-Length : 0\r\n"), Verdict::kRefused, 400},
      {Get("/", kHost + "X-A: 1\r\n folded\r\n"), Verdict::kRefused, 400},
      {Get("/", "Host: localhost\r\nHost: evil.example\r\n"), Verdict::kRefused, 400},
      {Get("/", ""), Verdict::kRefused, 400},
      {Get("/", kHost + "Origin: a\r\nOrigin: b\r\n"), Verdict::kRefused, 400},
      // Request lines.
      {"GET  / HTTP/1.1\r\n" + kHost + "\r\n", Verdict::kRefused, 400},
      {"GET http://localhost/ HTTP/1.1\r\n" + kHost + "\r\n", Verdict::kRefused, 400},
      {"GET / HTTP/1.1 \r\n" + kHost + "\r\n", Verdict::kRefused, 400},
      {"GET /\t HTTP/1.1\r\n" + kHost + "\r\n", Verdict::kRefused, 400},
      {"GET / HTTP/2.0\r\n" + kHost + "\r\n", Verdict::kRefused, 505},
      {"GET / http/1.1\r\n" + kHost + "\r\n", Verdict::kRefused, 400},
      {"G(T / HTTP/1.1\r\n" + kHost + "\r\n", Verdict::kRefused, 400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes.substr(0, 120)));
    Request request;
    const Verdict verdict = ReadRequest(c.bytes.data(), c.bytes.size(), &request);
    ASSERT_EQ(verdict, c.verdict);
    if (verdict == Verdict::kRefused) {
      EXPECT_EQ(request.status, c.status);
    }
    if (verdict == Verdict::kWhole) {
      EXPECT_EQ(request.size, c.bytes.size());
    }
  }
}

TEST(HttpRequestTest, GivesTheFieldsOfTheFirstOfPipelinedRequestsWhateverTheReads) {
  const std::string first =
      "POST /command?x HTTP/1.1\r\nhOsT:  localhost:8642 \r\n"
      "X-Pin: 1234\r\nOrigin: http://localhost:8642\r\n"
      "Content-Type: text/plain\r\nConnection: keep-alive, Close\r\n"
      "Content-Length: 6\r\n\r\n/start";
  const std::string bytes = first + Get("/state");
  // Every cut of the first request is "not yet"; from its last byte on it is whole.
  for (std::size_t length = 0; length <= bytes.size(); ++length) {
    Request request;
    const Verdict verdict = ReadRequest(bytes.data(), length, &request);
    ASSERT_EQ(verdict, length < first.size() ? Verdict::kNotYet : Verdict::kWhole) << length;
  }
  Request request;
  ASSERT_EQ(ReadRequest(bytes.data(), bytes.size(), &request), Verdict::kWhole);
  EXPECT_EQ(request.method, Method::kPost);
  EXPECT_EQ(request.path, "/command");
  EXPECT_EQ(request.host, "localhost:8642");
  EXPECT_EQ(request.pin, "1234");
  EXPECT_EQ(request.origin, "http://localhost:8642");
  EXPECT_EQ(request.contentType, "text/plain");
  EXPECT_TRUE(request.close);
  EXPECT_EQ(request.body, "/start");
  EXPECT_EQ(request.size, first.size());
  const std::string rest = bytes.substr(request.size);
  ASSERT_EQ(ReadRequest(rest.data(), rest.size(), &request), Verdict::kWhole);
  EXPECT_EQ(request.path, "/state");
  EXPECT_FALSE(request.close);
}

TEST(HostRuleTest, AnswersThisComputerOnlyAndTheNetworkByAddressOrName) {
  const HostRule local{8642, false, "ROOM-PC"};
  const HostRule network{8642, true, "ROOM-PC"};
  const struct {
    const char* host;
    bool local;
    bool network;
  } cases[] = {
      {"127.0.0.1", true, true},
      {"127.0.0.1:8642", true, true},
      {"LocalHost:8642", true, true},
      {"[::1]:8642", true, true},
      {"127.0.0.1:8643", false, false},
      {"127.0.0.1:86420", false, false},
      {"127.0.0.1:+8642", false, false},
      {"localhost.evil.example", false, false},
      {"127.0.0.1.evil.example", false, false},
      {"", false, false},
      {"[::1", false, false},
      {"[::1]8642", false, false},
      {"192.168.1.20:8642", false, true},
      {"[fe80::1c2a:3bff:fe4d:5e6f]:8642", false, true},
      {"room-pc", false, true},
      {"Room-PC.local:8642", false, true},
      {"room-pc.evil.example", false, false},
      {"room-pcx", false, false},
      {"192.168.1.256", false, false},
      {"1.2.3", false, false},
      {"[evil.example]", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HostAllowed(c.host, local), c.local) << c.host;
    EXPECT_EQ(HostAllowed(c.host, network), c.network) << c.host;
  }
  EXPECT_FALSE(HostAllowed("anything", HostRule{8642, true, ""}));
}

TEST(ClockStateTest, WritesValidJsonOfHostileTextsAndFramesItAsOneEvent) {
  ClockState state;
  state.text = "-00:00:05";
  state.phase = TimerPhase::kRunning;
  state.elapsed = 305;
  state.limit = 300;
  state.view = CountView::kRemaining;
  state.colour = CountColour::kOver;
  state.ink = 0x000000E0;
  state.background = 0x00332211;
  // Quotes, a backslash, control bytes, UTF-8 kept, and bytes that are no UTF-8: a stray
  // continuation, an overlong slash, a surrogate, a cut sequence at the end.
  state.title = "A \"quoted\" \\ title\n\t\x01\x7f Zo\xc3\xab \xe5\xbc\xa0 \xf0\x9f\x98\x80";
  state.font = "\x80\xc0\xaf\xed\xa0\x80\xe5\xbc";
  state.pause = state.stop = true;
  char json[kMaxClockJsonBytes];
  const std::size_t length = WriteClockJson(state, json, sizeof json);
  EXPECT_EQ(std::string(json, length),
            "{\"text\":\"-00:00:05\",\"state\":\"running\",\"elapsed\":305,\"limit\":300,"
            "\"view\":\"remaining\",\"colour\":\"over\",\"ink\":\"#E00000\","
            "\"background\":\"#112233\",\"title\":\"A \\\"quoted\\\" \\\\ title\\u000a\\u0009"
            "\\u0001\\u007f Zo\xc3\xab \xe5\xbc\xa0 \xf0\x9f\x98\x80\",\"font\":\"\\ufffd\\ufffd"
            "\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\",\"buttons\":{\"start\":false,"
            "\"pause\":true,\"stop\":true,\"reset\":false}}");
  EXPECT_EQ(WriteClockJson(state, json, length), 0u);  // no room for the terminator

  // The longest texts the window has, all escapes, still fit.
  const std::string title(79, '\x01');
  const std::string font(31, '"');
  state.title = title.c_str();
  state.font = font.c_str();
  EXPECT_GT(WriteClockJson(state, json, sizeof json), 0u);

  char event[64];
  EXPECT_EQ(FrameEvent("{\"a\":1}", 7, event, sizeof event), 15u);
  EXPECT_STREQ(event, "data: {\"a\":1}\n\n");
  EXPECT_EQ(FrameEvent("{\"a\":\n1}", 8, event, sizeof event), 0u);
  EXPECT_EQ(FrameEvent("{\"a\":1}", 7, event, 15), 0u);
}

// A server with a page and a state, and clients as slots.
class ClockServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Open(HostRule{8642, false, "ROOM-PC"}, "<!doctype html><p id=count>"));
    SetState("00:00:00");
  }
  void TearDown() override { server_.Shut(); }

  void SetState(const std::string& text, std::uint32_t now = 0) {
    const std::string json = "{\"text\":\"" + text + "\"}";
    server_.SetState(json.data(), json.size(), now);
  }
  int Connect(std::uint32_t now = 0) {
    int evicted = 0;
    const int slot = server_.Accept(kLoopback, now, &evicted);
    EXPECT_EQ(evicted, -1);
    return slot;
  }
  void Send(int slot, const std::string& bytes, std::uint32_t now = 0) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      std::size_t room = 0;
      char* buffer = server_.ReceiveBuffer(slot, &room);
      if (room == 0) return;
      const std::size_t count = std::min(room, bytes.size() - done);
      std::memcpy(buffer, bytes.data() + done, count);
      server_.Received(slot, count, now);
      done += count;
    }
  }
  // Everything waiting for the client, taken as sent.
  std::string Take(int slot, std::uint32_t now = 0) {
    std::string taken;
    for (;;) {
      std::size_t length = 0;
      const char* bytes = server_.Unsent(slot, &length);
      if (length == 0) return taken;
      taken.append(bytes, length);
      server_.Sent(slot, length, now);
    }
  }
  std::string Exchange(const std::string& request) {
    const int slot = Connect();
    Send(slot, request);
    const std::string answer = Take(slot);
    server_.Release(slot);
    return answer;
  }

  ClockServer server_;
};

TEST_F(ClockServerTest, AnswersThePageTheStateAndNothingElse) {
  const std::string page = Exchange(Get("/"));
  EXPECT_EQ(page.rfind("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n", 0), 0u);
  EXPECT_NE(page.find("Content-Security-Policy: default-src 'none';"), std::string::npos);
  EXPECT_NE(page.find("\r\n\r\n<!doctype html><p id=count>"), std::string::npos);
  const std::string state = Exchange(Get("/state"));
  EXPECT_EQ(state,
            "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nCache-Control: no-store\r\n"
            "X-Content-Type-Options: nosniff\r\nContent-Length: 19\r\n\r\n"
            "{\"text\":\"00:00:00\"}");
  const std::string head = Exchange("HEAD /state HTTP/1.1\r\n" + kHost + "\r\n");
  EXPECT_EQ(head, state.substr(0, state.size() - 19));
  const struct {
    std::string request;
    std::string answer;
  } refusals[] = {
      {Get("/favicon.ico"), "HTTP/1.1 404 Not Found\r\n"},
      {Get("/../vantorel.cfg"), "HTTP/1.1 404 Not Found\r\n"},
      {"DELETE /state HTTP/1.1\r\n" + kHost + "\r\n", "HTTP/1.1 405 Method Not Allowed\r\n"},
      {"HEAD /events HTTP/1.1\r\n" + kHost + "\r\n", "HTTP/1.1 405 Method Not Allowed\r\n"},
      {Post("/start"), "HTTP/1.1 403 Forbidden\r\n"},
      {Get("/state", "Host: evil.example:8642\r\n"), "HTTP/1.1 421 Misdirected Request\r\n"},
      {Get("/", "Host: 192.168.1.20:8642\r\n"), "HTTP/1.1 421 Misdirected Request\r\n"},
      {"GET /state HTTP/1.0\r\n\r\n", "HTTP/1.1 421 Misdirected Request\r\n"},
      {Get("/", kHost + "Transfer-Encoding: chunked\r\n"), "HTTP/1.1 501 Not Implemented\r\n"},
  };
  for (const auto& refusal : refusals) {
    const std::string answer = Exchange(refusal.request);
    EXPECT_EQ(answer.rfind(refusal.answer, 0), 0u) << refusal.request;
    EXPECT_NE(answer.find("X-Content-Type-Options: nosniff\r\n"), std::string::npos);
    EXPECT_EQ(answer.find("00:00:00"), std::string::npos) << "no state in a refusal";
  }
  for (const std::string& any : {page, state, Exchange(Get("/nothing"))}) {
    EXPECT_EQ(any.find("Access-Control-Allow-Origin"), std::string::npos);
  }
}

TEST_F(ClockServerTest, AnswersPipelinedRequestsInOrderAndClosesAfterAMalformedOne) {
  const int slot = Connect();
  Send(slot, Get("/state") + Get("/nothing") + Get("/state", kHost + "Connection: close\r\n"));
  std::size_t length = 0;
  server_.Unsent(slot, &length);
  const std::string answers = Take(slot);
  EXPECT_LT(length, answers.size()) << "the next answer only once the one before has gone";
  const std::size_t second = answers.find("HTTP/1.1 404");
  const std::size_t third = answers.find("HTTP/1.1 200", 1);
  EXPECT_EQ(answers.rfind("HTTP/1.1 200", 0), 0u);
  EXPECT_LT(second, third);
  EXPECT_NE(answers.find("Connection: close", third), std::string::npos);
  EXPECT_TRUE(server_.Finished(slot));
  server_.Release(slot);

  const int bad = Connect();
  Send(bad, "GET / HTTP/1.1\nHost: localhost\n\n" + Get("/state"));
  EXPECT_EQ(Take(bad).rfind("HTTP/1.1 400 Bad Request\r\n", 0), 0u);
  EXPECT_TRUE(server_.Finished(bad));
}

TEST_F(ClockServerTest, StreamsEveryChangeAndAHeartbeatAndDropsAViewerThatStopsReading) {
  const int viewer = Connect();
  Send(viewer, Get("/events"));
  const std::string start = Take(viewer);
  EXPECT_EQ(start,
            "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
            "X-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\nretry: 2000\n\n"
            "data: {\"text\":\"00:00:00\"}\n\n");
  SetState("00:00:01", 1000);
  EXPECT_EQ(Take(viewer), "data: {\"text\":\"00:00:01\"}\n\n");
  SetState("00:00:01", 1200);  // no change, no event
  server_.Sweep(2499);
  EXPECT_EQ(Take(viewer), "");
  server_.Sweep(2500);
  EXPECT_EQ(Take(viewer), "data: {\"text\":\"00:00:01\"}\n\n");
  Send(viewer, "whatever the viewer says is dropped");
  EXPECT_EQ(Take(viewer), "");
  EXPECT_EQ(server_.Streams(), 1u);

  // 64 KiB of events unread, and the viewer is dropped, never given more room.
  std::uint32_t now = 3000;
  std::size_t sent = 0;
  while (!server_.Finished(viewer) && sent < 2 * kMaxUnsentBytes) {
    const std::string text = std::to_string(now);
    SetState(text, now++);
    sent += 19 + text.size();
  }
  EXPECT_TRUE(server_.Finished(viewer));
  EXPECT_GE(sent, kMaxUnsentBytes);
  EXPECT_LT(sent, kMaxUnsentBytes + 100);
}

TEST_F(ClockServerTest, ClosesSlowRequestsAndIdleConnectionsAcrossTheClocksWrap) {
  const std::uint32_t start = 0xFFFFF000u;  // the clock wraps in 4 s
  const int slow = Connect(start);
  Send(slow, "GET / HT", start);
  Send(slow, "TP/1.1\r\n", start + 9000);
  server_.Sweep(start + kRequestWithinMs - 1);
  EXPECT_FALSE(server_.Finished(slow));
  server_.Sweep(start + kRequestWithinMs);
  EXPECT_TRUE(server_.Finished(slow));

  const int idle = Connect(start);
  Send(idle, Get("/state"), start);
  Take(idle, start + 100);
  server_.Sweep(start + 100 + kIdleCloseMs - 1);
  EXPECT_FALSE(server_.Finished(idle));
  server_.Sweep(start + 100 + kIdleCloseMs);
  EXPECT_TRUE(server_.Finished(idle));
}

TEST_F(ClockServerTest, WhenFullTheOldestWaitingConnectionMakesRoomButNoStreamDoes) {
  for (std::size_t i = 0; i < kMaxConnections; ++i) {
    const int slot = Connect(static_cast<std::uint32_t>(i));
    ASSERT_GE(slot, 0);
    Send(slot, "GET /events HTTP/1.1\r\n", static_cast<std::uint32_t>(i));  // half-open
  }
  int evicted = -1;
  const int viewer = server_.Accept(kLoopback, 1000, &evicted);
  EXPECT_EQ(evicted, 0);
  EXPECT_EQ(viewer, 0);
  Send(viewer, Get("/events"), 1000);
  EXPECT_NE(Take(viewer).find("data: "), std::string::npos);
  EXPECT_EQ(server_.Accept(kLoopback, 1001, &evicted), 1);
  EXPECT_EQ(evicted, 1);

  for (int slot = 1; slot < static_cast<int>(kMaxConnections); ++slot) {
    Send(slot, "Host: localhost\r\n\r\n", 1002);
    Take(slot);
  }
  EXPECT_EQ(server_.Streams(), kMaxConnections - 1);  // slot 1 was taken anew, half-open
  EXPECT_EQ(server_.Accept(kLoopback, 1003, &evicted), 1);
  Send(1, Get("/events"), 1003);
  EXPECT_EQ(server_.Accept(kLoopback, 1004, &evicted), -1);
  EXPECT_EQ(evicted, -1);
  EXPECT_EQ(std::string(kBusyAnswer).rfind("HTTP/1.1 503 Service Unavailable\r\n", 0), 0u);
}

TEST(PinTest, MatchesOnlyTheWholePinAndLocksOutAGuesserForAMinute) {
  EXPECT_TRUE(PinMatches("123456", "123456"));
  EXPECT_TRUE(PinMatches("12345678", "12345678"));
  for (const std::string& guess :
       {std::string("12345"), std::string("1234567"), std::string(), std::string("123457"),
        std::string("123456\0", 7), std::string("1234567890")}) {
    EXPECT_FALSE(PinMatches(guess, "123456")) << guess;
  }
  EXPECT_FALSE(PinMatches("", "")) << "no PIN set matches nothing";

  PinGuard guard;
  const std::uint32_t start = 0xFFFFFFF0u;  // across the clock's wrap
  for (unsigned i = 0; i + 1 < kGuessesBeforeLockOut; ++i) guard.Failed(1, start + i);
  EXPECT_FALSE(guard.LockedOut(1, start + 10));
  guard.Failed(1, start + 10);
  EXPECT_TRUE(guard.LockedOut(1, start + 10 + kLockOutMs - 1));
  EXPECT_FALSE(guard.LockedOut(1, start + 10 + kLockOutMs));
  EXPECT_FALSE(guard.LockedOut(2, start + 11)) << "another address";
  // Guesses further apart than the window never lock out.
  for (unsigned i = 0; i < 3 * kGuessesBeforeLockOut; ++i) guard.Failed(3, i * kGuessWindowMs / 4);
  EXPECT_FALSE(guard.LockedOut(3, 3 * kGuessesBeforeLockOut * kGuessWindowMs / 4));
  // More guessers than places: the one locked out keeps its place.
  for (unsigned i = 0; i < kGuessesBeforeLockOut; ++i) guard.Failed(9, 100);
  for (std::uint32_t other = 10; other < 10 + 3 * kGuessAddresses; ++other)
    guard.Failed(other, 200);
  EXPECT_TRUE(guard.LockedOut(9, 300));
}

TEST_F(ClockServerTest, TakesACommandOnlyWithThePinFromItsOwnPageAndLocksOutGuessers) {
  const std::string right = "X-Pin: 123456\r\nContent-Type: text/plain; charset=utf-8\r\n";
  const auto refusedWith = [&](const std::string& request) {
    const std::string answer = Exchange(request);
    EXPECT_EQ(answer.find("123456"), std::string::npos) << "the PIN is never in an answer";
    EXPECT_EQ(answer.find("Access-Control-Allow"), std::string::npos);
    return answer.substr(9, 3);
  };
  EXPECT_EQ(refusedWith(Post("/start", right)), "403") << "no PIN set";
  server_.SetPin("123456");
  EXPECT_EQ(refusedWith(Post("/start", "Content-Type: text/plain\r\n")), "403");
  EXPECT_EQ(refusedWith(Post("/start", right + "Origin: http://evil.example\r\n")), "403");
  EXPECT_EQ(refusedWith(Post("/start", right + "Origin: null\r\n")), "403");
  EXPECT_EQ(refusedWith(Post("/start", "X-Pin: 123456\r\nContent-Type: text/html\r\n")), "415");
  EXPECT_EQ(refusedWith(Get("/command?/start")), "405");
  EXPECT_EQ(refusedWith("OPTIONS /command HTTP/1.1\r\n" + kHost + "\r\n"), "405");

  const int slot = Connect(100);
  Send(slot,
       Post("/limit 45:00 /start", right + "Origin: http://127.0.0.1:8642\r\n") + Get("/state"),
       100);
  std::string_view body;
  ASSERT_TRUE(server_.PendingCommand(slot, &body));
  EXPECT_EQ(body, "/limit 45:00 /start");
  EXPECT_EQ(Take(slot), "") << "nothing before the command's answer";
  server_.Reply(slot, 200, "{\"text\":\"00:00:00\"}", 19, 100);
  const std::string answers = Take(slot);
  EXPECT_EQ(answers.rfind("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n", 0), 0u);
  EXPECT_NE(answers.find("\r\n\r\n{\"text\":\"00:00:00\"}HTTP/1.1 200 OK"), std::string::npos)
      << "the request behind it answered next: " << answers;
  EXPECT_FALSE(server_.PendingCommand(slot, &body));
  server_.Release(slot);

  // Two wrong guesses so far (with no PIN set, and without X-Pin); three more lock the address
  // out, the right PIN and the state included.
  for (const char* wrong : {"000000", "1234567", "12345"}) {
    const std::string pin = std::string("X-Pin: ") + wrong + "\r\nContent-Type: text/plain\r\n";
    EXPECT_EQ(refusedWith(Post("/start", pin)), "403");
  }
  EXPECT_EQ(refusedWith(Post("/start", right)), "429");
  EXPECT_EQ(refusedWith(Get("/state")), "429");
}

// Random and mutated requests, in random reads, through the whole table: under the sanitizers
// any overrun fails, and every answer must be framed as one.
TEST_F(ClockServerTest, TakesRandomAndMutatedRequestsInAnyReads) {
  const std::string seeds[] = {Get("/"),
                               Get("/events"),
                               Post("/start"),
                               HeadOfSize(kMaxHeadBytes),
                               Get("/", HeaderLines(64)),
                               Get("/state") + Get("/state")};
  std::mt19937 random(20261209);
  const auto begin = std::chrono::steady_clock::now();
  std::size_t requests = 0;
  std::size_t bytes = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string request = seeds[random() % std::size(seeds)];
    const int mutations = static_cast<int>(random() % 6);
    for (int m = 0; m < mutations; ++m) {
      const std::size_t at = random() % (request.size() + 1);
      switch (random() % 4) {
        case 0: request.insert(at, 1, static_cast<char>(random())); break;
        case 1:
          if (at < request.size()) request.erase(at, 1 + random() % 16);
          break;
        case 2:
          if (at < request.size()) request[at] = "\r\n :\0\t0a"[random() % 8];
          break;
        default: request.insert(at, request.substr(0, random() % 64)); break;
      }
    }
    if (round % 10 == 0) request = std::string(random() % 12000, static_cast<char>(random()));
    Request parsed;
    const Verdict verdict = ReadRequest(request.data(), request.size(), &parsed);
    if (verdict == Verdict::kWhole) {
      ASSERT_LE(parsed.size, request.size());
    }
    const int slot = Connect(static_cast<std::uint32_t>(round));
    ASSERT_GE(slot, 0);
    for (std::size_t done = 0; done < request.size();) {
      const std::size_t piece = std::min<std::size_t>(1 + random() % 700, request.size() - done);
      Send(slot, request.substr(done, piece), static_cast<std::uint32_t>(round));
      done += piece;
    }
    const std::string answer = Take(slot);
    if (!answer.empty()) {
      ASSERT_EQ(answer.rfind("HTTP/1.1 ", 0), 0u);
    }
    server_.Release(slot);
    ++requests;
    bytes += request.size();
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  std::printf("web clock fuzz: %zu requests (%zu KB) in %.3f s: %.0f requests a second\n", requests,
              bytes / 1024, seconds, static_cast<double>(requests) / seconds);
}

}  // namespace
}  // namespace vantorel::web
