// The web clock as browsers and other programs meet it: the state, the events and the page over
// 127.0.0.1 (never any other address), hostile and half-open clients, the command line, a port
// another program holds, the local-network mode, and the page in headless Chromium through the
// browser probe (tests/e2e/browser/probe.js, which scripts/e2e.sh starts and names in
// VANTOREL_BROWSER_PROBE).
#include <winsock2.h>
#include <iphlpapi.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver.h"

namespace vantorel::e2e {
namespace {

constexpr int kCmdWebClock = 2017;
constexpr int kCheckThisComputerOnly = 4002;
constexpr int kEditPort = 4004;
constexpr int kEditAddresses = 4005;
constexpr int kStaticProblem = 4006;
constexpr int kEditPin = 4008;
constexpr int kButtonNewPin = 4009;
const std::string kLocal = "Host: 127.0.0.1:8642\r\n";
const std::string kRunning = "Start- Pause+ Stop+ Reset-";

class WebClockTest : public ProgramTest {
 protected:
  static void SetUpTestSuite() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
};

// One TCP connection to 127.0.0.1, with blocking calls that give up after a while.
class Client {
 public:
  explicit Client(unsigned port) {
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const DWORD timeout = 3000;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  ~Client() { closesocket(socket_); }

  bool connected() const { return connected_; }
  bool Send(const std::string& bytes) {
    return connected_ && send(socket_, bytes.data(), static_cast<int>(bytes.size()), 0) ==
                             static_cast<int>(bytes.size());
  }
  // What arrives until the server closes, `enough` is in it, or three quiet seconds pass.
  std::string Read(const std::string& enough = "") {
    std::string got;
    char buffer[4096];
    while (enough.empty() || got.find(enough) == std::string::npos) {
      const int count = recv(socket_, buffer, sizeof buffer, 0);
      if (count <= 0) break;
      got.append(buffer, static_cast<std::size_t>(count));
    }
    return got;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  bool connected_ = false;
};

// A whole exchange on a connection of its own, which the request asks the server to close.
std::string Fetch(const std::string& request, unsigned port = 8642) {
  Client client(port);
  if (!client.Send(request)) return "<not connected>";
  return client.Read();
}

std::string GetState(unsigned port = 8642) {
  return Fetch("GET /state HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                   "\r\nConnection: close\r\n\r\n",
               port);
}

bool Listening(unsigned port = 8642) {
  return Client(port).connected();
}

// The value of a JSON field in the state, as written ("\"idle\"", "true", "5").
std::string Field(const std::string& answer, const std::string& name) {
  const std::size_t at = answer.find("\"" + name + "\":");
  if (at == std::string::npos) return "<none>";
  const std::size_t start = at + name.size() + 3;
  std::size_t end = start;
  if (answer[start] == '"') {
    end = answer.find('"', start + 1) + 1;
  } else if (answer[start] == '{') {
    end = answer.find('}', start) + 1;
  } else {
    while (end < answer.size() && answer[end] != ',' && answer[end] != '}') ++end;
  }
  return answer.substr(start, end - start);
}

// The local addresses the system has a listening TCP socket on at `port`, as "a.b.c.d".
std::vector<std::string> ListeningAddresses(unsigned port) {
  std::vector<std::string> found;
  ULONG size = 0;
  GetTcpTable(nullptr, &size, FALSE);
  std::vector<char> memory(size + 1024);
  auto* table = reinterpret_cast<MIB_TCPTABLE*>(memory.data());
  size = static_cast<ULONG>(memory.size());
  if (GetTcpTable(table, &size, FALSE) != NO_ERROR) return found;
  for (DWORD i = 0; i < table->dwNumEntries; ++i) {
    const MIB_TCPROW& row = table->table[i];
    if (row.dwState != MIB_TCP_STATE_LISTEN ||
        ntohs(static_cast<u_short>(row.dwLocalPort)) != port) {
      continue;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(&row.dwLocalAddr);
    found.push_back(std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
                    std::to_string(bytes[2]) + "." + std::to_string(bytes[3]));
  }
  return found;
}

void PrepareOptions(const std::string& lines) {
  CreateFolders(DataFolder());
  ASSERT_TRUE(WriteBytes(OptionsPath(), lines));
}

TEST_F(WebClockTest, OffNothingListensOnItServesTheWindowAndHostileClientsLeaveItOnTime) {
  SettingsFile settings = QuickSettings();
  settings.limitMinutes = 1;
  PrepareSettings(settings);
  ASSERT_TRUE(program_.LaunchAndWait());
  const std::string settingsBefore = ReadBytes(SettingsPath());
  EXPECT_FALSE(Listening()) << "off by default";
  EXPECT_FALSE(FileExists(OptionsPath()));

  ASSERT_TRUE(HandOver("/web on"));
  EXPECT_NE(ReadBytes(OptionsPath()).find("\nweb.clock=on\n"), std::string::npos);
  std::string state = GetState();
  EXPECT_EQ(state.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << state;
  EXPECT_NE(state.find("\r\nCache-Control: no-store\r\n"), std::string::npos);
  EXPECT_EQ(state.find("Access-Control-Allow-Origin"), std::string::npos);
  EXPECT_EQ(Field(state, "text"), "\"00:00:00\"");
  EXPECT_EQ(Field(state, "state"), "\"idle\"");
  EXPECT_EQ(Field(state, "limit"), "60");
  EXPECT_EQ(Field(state, "title"), "\"" + program_.Caption() + "\"");
  EXPECT_EQ(Field(state, "font"), "\"Arial\"");
  EXPECT_EQ(Field(state, "buttons"),
            "{\"start\":true,\"pause\":false,\"stop\":false,\"reset\":false}");

  const DWORD started = GetTickCount();
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(WaitUntil("the count at 1", [&] { return program_.DisplayText() == "00:00:01"; }));
  state = GetState();
  EXPECT_EQ(Field(state, "state"), "\"running\"");
  EXPECT_EQ(Field(state, "buttons"),
            "{\"start\":false,\"pause\":true,\"stop\":true,\"reset\":false}");

  // Hostile requests, one of each kind that the reader's own test has many of, get their refusal
  // and nothing of the state.
  const struct {
    std::string request;
    std::string status;
  } hostile[] = {
      {"GET /state HTTP/1.1\r\nHost: rebound.example:8642\r\n\r\n", "421"},
      {"GET /state HTTP/1.1\r\nConnection: close\r\n\r\n", "400"},
      {"GET /state HTTP/1.1\nHost: localhost\n\n", "400"},
      {"GET /state HTTP/1.1\r\n" + kLocal + "X-Pad: " + std::string(9000, 'a') + "\r\n\r\n", "431"},
      {"POST /state HTTP/1.1\r\n" + kLocal + "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n", "501"},
      {"POST /state HTTP/1.1\r\n" + kLocal + "Content-Length: 5000\r\n\r\n", "413"},
  };
  for (const auto& each : hostile) {
    const std::string answer = Fetch(each.request);
    EXPECT_EQ(answer.substr(0, 12), "HTTP/1.1 " + each.status) << each.request.substr(0, 80);
    EXPECT_NE(answer.find("X-Content-Type-Options: nosniff"), std::string::npos);
    EXPECT_EQ(answer.find("\"text\""), std::string::npos);
  }

  // 256 connections that never finish a request, and a new viewer is still answered.
  std::vector<std::unique_ptr<Client>> halfOpen;
  for (int i = 0; i < 256; ++i) {
    halfOpen.push_back(std::make_unique<Client>(8642));
    ASSERT_TRUE(halfOpen.back()->Send("GET /events HTTP/1.1\r\nHost: 127.0"));
  }
  Client viewer(8642);
  ASSERT_TRUE(viewer.Send("GET /events HTTP/1.1\r\n" + kLocal + "\r\n"));
  const std::string events = viewer.Read("\"state\":\"running\"");
  EXPECT_NE(events.find("Content-Type: text/event-stream\r\n"), std::string::npos) << events;
  EXPECT_NE(events.find("\r\n\r\nretry: 2000\n\ndata: {\"text\":\"00:00:"), std::string::npos);
  EXPECT_EQ(Field(GetState(), "state"), "\"running\"");
  halfOpen.clear();
  unsigned shown = 0;
  ASSERT_TRUE(program_.ShownCount(&shown));
  const unsigned elapsed = (GetTickCount() - started) / 1000;
  EXPECT_GE(shown + 1, elapsed) << "the count fell behind the clock";
  EXPECT_LE(shown, elapsed + 1);

  ASSERT_TRUE(HandOver("/web off"));
  EXPECT_FALSE(Listening());
  EXPECT_NE(ReadBytes(OptionsPath()).find("\nweb.clock=off\n"), std::string::npos);
  EXPECT_EQ(program_.ButtonStates(), kRunning);
  EXPECT_EQ(ReadBytes(SettingsPath()), settingsBefore);
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{" - Session Start",
                                                   " - Start Vantorel: Timer Set - 00h:01m:00s"}));
}

// Another program holds the port: it is named at start and in the dialog, and another is saved.
TEST_F(WebClockTest, APortTakenIsNamedAtStartAndInTheDialogAndAnotherPortServes) {
  const SOCKET taken = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(8642);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(taken, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(taken, 4), 0);
  SettingsFile settings = QuickSettings();
  settings.limitMinutes = 1;
  PrepareSettings(settings);
  PrepareOptions("web.clock=on\n");

  ASSERT_TRUE(program_.Launch());
  const HWND box = program_.WaitForDialog("Vantorel");
  ASSERT_TRUE(box);
  EXPECT_EQ(DescribeMessageBox(box),
            "Vantorel | The web clock cannot listen on port 8642: another program is using "
            "it.\r\n\r\nThe timer works on without the web clock. Choose another port under "
            "Settings, Web Clock. | exclamation | OK | no owner");
  ASSERT_TRUE(Answer(box, IDOK));
  ASSERT_TRUE(program_.WaitForMainWindow());
  ASSERT_TRUE(program_.Click(kStart));  // the timer works on without the web clock
  ASSERT_TRUE(program_.Sync());
  EXPECT_EQ(program_.ButtonStates(), kRunning);
  EXPECT_EQ(ReadBytes(OptionsPath()), "web.clock=on\n");

  program_.Command(kCmdWebClock);
  HWND dialog = program_.WaitForDialog("Web Clock");
  ASSERT_TRUE(dialog);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, kEditPort)), "8642");
  EXPECT_EQ(TextOf(GetDlgItem(dialog, kEditAddresses)), "http://127.0.0.1:8642/");
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitUntil("the dialog to name the port", [&] {
    return TextOf(GetDlgItem(dialog, kStaticProblem)) ==
           "The web clock cannot listen on port 8642: another program is using it.";
  }));
  EXPECT_TRUE(IsWindowVisible(dialog)) << "the dialog stays open";
  EXPECT_EQ(ReadBytes(OptionsPath()), "web.clock=on\n") << "nothing saved";

  ASSERT_TRUE(SetTextOf(GetDlgItem(dialog, kEditPort), "8643"));
  ASSERT_TRUE(Answer(dialog, IDOK));
  EXPECT_EQ(ReadBytes(OptionsPath()).find("web.port=8643\n") != std::string::npos, true);
  EXPECT_EQ(Field(GetState(8643), "state"), "\"running\"");
  closesocket(taken);
}

TEST_F(WebClockTest, TheLocalNetworkModeListensOnEveryInterfaceAndAnswersAddresses) {
  PrepareSettings(QuickSettings());
  PrepareOptions("web.clock=on\nweb.network=on\n");
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(WaitUntil("the clock to listen", [] { return Listening(); }));
  EXPECT_EQ(ListeningAddresses(8642), std::vector<std::string>{"0.0.0.0"});
  // A phone on the network names this computer by its address; the traffic stays on loopback.
  const std::string byAddress =
      "GET /state HTTP/1.1\r\nHost: 192.168.77.5:8642\r\nConnection: close\r\n\r\n";
  EXPECT_EQ(Fetch(byAddress).substr(0, 12), "HTTP/1.1 200");

  program_.Command(kCmdWebClock);
  const HWND dialog = program_.WaitForDialog("Web Clock");
  ASSERT_TRUE(dialog);
  const std::string addresses = TextOf(GetDlgItem(dialog, kEditAddresses));
  EXPECT_EQ(addresses.rfind("http://127.0.0.1:8642/\r\nhttp://", 0), 0u) << addresses;
  SendWithTimeout(GetDlgItem(dialog, kCheckThisComputerOnly), BM_CLICK, 0, 0);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, kEditAddresses)), "http://127.0.0.1:8642/");
  // A new PIN of six random digits, and the control address beside the viewing one.
  SendWithTimeout(GetDlgItem(dialog, kButtonNewPin), BM_CLICK, 0, 0);
  const std::string pin = TextOf(GetDlgItem(dialog, kEditPin));
  EXPECT_EQ(pin.size(), 6u);
  EXPECT_EQ(pin.find_first_not_of("0123456789"), std::string::npos) << pin;
  EXPECT_EQ(TextOf(GetDlgItem(dialog, kEditAddresses)),
            "http://127.0.0.1:8642/\r\nhttp://127.0.0.1:8642/#pin=" + pin);
  ASSERT_TRUE(Answer(dialog, IDOK));
  EXPECT_NE(ReadBytes(OptionsPath()).find("web.pin=" + pin + "\n"), std::string::npos);
  EXPECT_EQ(ListeningAddresses(8642), std::vector<std::string>{"127.0.0.1"});
  EXPECT_EQ(Fetch(byAddress).substr(0, 12), "HTTP/1.1 421");
  EXPECT_NE(ReadBytes(OptionsPath()).find("web.network=off\n"), std::string::npos);
}

std::string Command(const std::string& body, const std::string& headers) {
  return Fetch("POST /command HTTP/1.1\r\n" + kLocal + headers + "Content-Length: " +
               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

std::string Body(const std::string& answer) {
  const std::size_t start = answer.find("\r\n\r\n");
  return start == std::string::npos ? "" : answer.substr(start + 4);
}

// With the PIN a script drives the timer as the buttons do; every refusal changes nothing, and
// five wrong PINs lock the address out, the right one included.
TEST_F(WebClockTest, WithThePinAScriptDrivesTheTimerAndEveryRefusalChangesNothing) {
  PrepareSettings(QuickSettings());
  PrepareOptions("web.clock=on\nweb.pin=482913\n");
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(WaitUntil("the clock to listen", [] { return Listening(); }));
  const std::string pin = "X-Pin: 482913\r\n";
  const std::string plain = "Content-Type: text/plain\r\n";
  const std::string own = "Origin: http://127.0.0.1:8642\r\n";
  const std::string files[] = {ReadBytes(SettingsPath()), ReadBytes(OptionsPath()),
                               ReadBytes(LogPath())};
  const struct {
    std::string headers;
    std::string body;
    std::string status;
    std::string said;  // the answer's body, where it says why
  } refusals[] = {
      {plain, "/start", "403", ""},
      {"X-Pin: 482914\r\n" + plain, "/start", "403", ""},
      {pin + plain + "Origin: http://rebound.example:8642\r\n", "/start", "403", ""},
      {pin + plain + "Origin: null\r\n", "/start", "403", ""},
      {pin + "Content-Type: application/x-www-form-urlencoded\r\n", "/start", "415", ""},
      {pin + plain + own, "/frobnicate", "400", "Unknown switch \"/frobnicate\"."},
      {pin + plain, "/?", "400", "/? is no command: give the switches to apply, such as /start."},
      {pin + plain, "/web off", "400",
       "/web is given on the computer itself, not from the web clock."},
      {pin + plain, "/start", "400", "No time limit is set: give one with /limit before /start."},
  };
  for (const auto& refusal : refusals) {
    const std::string answer = Command(refusal.body, refusal.headers);
    EXPECT_EQ(answer.substr(9, 3), refusal.status) << refusal.headers << refusal.body;
    if (!refusal.said.empty()) {
      EXPECT_EQ(Body(answer), refusal.said);
    }
    EXPECT_EQ(answer.find("482913"), std::string::npos);
  }
  EXPECT_EQ(Fetch("GET /command?/start HTTP/1.1\r\n" + kLocal + pin + "Connection: close\r\n\r\n")
                .substr(9, 3),
            "405");
  const std::string options =
      Fetch("OPTIONS /command HTTP/1.1\r\n" + kLocal +
            "Origin: http://rebound.example\r\n"
            "Access-Control-Request-Method: POST\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(options.find("Access-Control-Allow"), std::string::npos) << options;
  EXPECT_TRUE(program_.Dialogs().empty()) << "no box on the presenter's screen";
  EXPECT_EQ(ReadBytes(SettingsPath()), files[0]);
  EXPECT_EQ(ReadBytes(OptionsPath()), files[1]);
  EXPECT_EQ(ReadBytes(LogPath()), files[2]);

  // As a click leaves them: the limit saved, the window counting, the log's entry.
  std::string answer = Command("/limit 0:00:30\n/start", pin + plain + own);
  EXPECT_EQ(answer.substr(9, 3), "200") << answer;
  EXPECT_EQ(Field(answer, "state"), "\"running\"");
  EXPECT_EQ(Field(answer, "limit"), "30");
  EXPECT_EQ(program_.Caption(), "Vantorel: Timer Set - 00h:00m:30s");
  EXPECT_EQ(program_.ButtonStates(), kRunning);
  SettingsFile expected = QuickSettings();
  expected.limitSeconds = 30;
  EXPECT_EQ(ReadBytes(SettingsPath()), expected.Text());
  answer = Command("/pause", pin + plain);
  EXPECT_EQ(Field(answer, "state"), "\"paused\"");
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset+");
  EXPECT_EQ(Field(Command("/pause", pin + plain), "state"), "\"paused\"") << "disabled: nothing";
  EXPECT_EQ(Field(Command("/show remaining", pin + plain), "view"), "\"remaining\"");
  EXPECT_NE(ReadBytes(OptionsPath()).find("count.view=remaining\n"), std::string::npos);
  EXPECT_TRUE(program_.Dialogs().empty());
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{" - Session Start",
                                                   " - Start Vantorel: Timer Set - 00h:00m:30s",
                                                   " - Timer paused."}));

  // Two wrong PINs above; three more, and the address hears nothing else for a minute.
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Command("/start", "X-Pin: 0000\r\n" + plain).substr(9, 3), "403");
  EXPECT_EQ(Command("/start", pin + plain).substr(9, 3), "429");
  EXPECT_EQ(GetState().substr(9, 3), "429");
  EXPECT_EQ(program_.ButtonStates(), "Start+ Pause- Stop- Reset+");
}

// --- The page in a browser ---------------------------------------------------------------------

std::string ProbeAddress() {
  const char* port = std::getenv("VANTOREL_BROWSER_PROBE");
  return port != nullptr ? port : "";
}

// A request to the probe; its answer's body, or "<error ...>".
std::string Probe(const std::string& target) {
  const std::string port = ProbeAddress();
  if (port.empty()) return "<error: no browser probe>";
  Client client(static_cast<unsigned>(std::atoi(port.c_str())));
  const std::string answer =
      client.Send("GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n") ? client.Read() : "";
  const std::size_t body = answer.find("\r\n\r\n");
  if ((answer.rfind("HTTP/1.1 200", 0) != 0 && answer.rfind("HTTP/1.0 200", 0) != 0) ||
      body == std::string::npos) {
    return "<error: " + answer.substr(0, 300) + ">";
  }
  return answer.substr(body + 4);
}

std::map<std::string, std::string> ReadPage() {
  std::map<std::string, std::string> read;
  const std::string text = Probe("/read");
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) read[line.substr(0, equals)] = line.substr(equals + 1);
    start = end + 1;
  }
  return read;
}

// `text` fit for a query's value.
std::string Escaped(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '_' || c == '.') {
      escaped += c;
    } else {
      escaped += {'%', kHex[byte >> 4], kHex[byte & 15]};
    }
  }
  return escaped;
}

::testing::AssertionResult OpenPage(int width, int height, const std::string& fragment = "") {
  const std::string answer =
      Probe("/open?url=" + Escaped("http://127.0.0.1:8642/" + fragment) +
            "&width=" + std::to_string(width) + "&height=" + std::to_string(height));
  if (answer == "ok") return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "the probe could not open the page: " << answer;
}

// The page shows the window's text, in `ink`, with nothing else said.
::testing::AssertionResult PageShows(const Program& program, const std::string& ink,
                                     DWORD timeoutMs = kTimeoutMs) {
  std::map<std::string, std::string> page;
  std::string window;
  auto shown = WaitUntil(
      "the page to show the window's count in " + ink,
      [&] {
        window = program.DisplayText();
        page = ReadPage();
        return page["count"] == window && page["ink"] == ink && page["status"].empty() &&
               page["title"] == program.Caption();
      },
      timeoutMs);
  return shown << "; the window shows " << window << ", the page " << page["count"] << " in "
               << page["ink"] << " (" << page["status"] << ")";
}

::testing::AssertionResult FitsTheScreen() {
  std::map<std::string, std::string> page = ReadPage();
  const int width = std::atoi(page["countWidth"].c_str());
  const int pageWidth = std::atoi(page["pageWidth"].c_str());
  if (pageWidth > 0 && width * 10 >= pageWidth * 6 && std::atoi(page["countLeft"].c_str()) >= 0 &&
      std::atoi(page["countRight"].c_str()) <= pageWidth && page["scroll"] == "0") {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << "the digits are " << width << " px wide, from " << page["countLeft"] << " to "
         << page["countRight"] << ", on a page " << pageWidth << " wide (scroll " << page["scroll"]
         << ")";
}

TEST_F(WebClockTest, ThePageShowsTheWindowThroughWarningOvertimeAndARestartOnEveryScreen) {
  ASSERT_FALSE(ProbeAddress().empty()) << "scripts/e2e.sh starts the browser probe";
  SettingsFile settings = QuickSettings();
  settings.limitSeconds = 4;
  settings.backgroundColor = 0x00302010;
  settings.textColor = 0x00F0F0F0;
  PrepareSettings(settings);
  PrepareOptions("web.clock=on\ncount.warning=0:00:02\ncount.overtime=on\n");
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(WaitUntil("the clock to listen", [] { return Listening(); }));
  ASSERT_TRUE(OpenPage(1280, 720));
  ASSERT_TRUE(PageShows(program_, "#F0F0F0"));
  EXPECT_EQ(ReadPage()["background"], "#102030");
  EXPECT_TRUE(FitsTheScreen());

  // Start, the warning in its last two seconds, overtime past the limit, Stop and Reset.
  ASSERT_TRUE(program_.Click(kStart));
  ASSERT_TRUE(PageShows(program_, "#D07000", 4000));
  ASSERT_TRUE(PageShows(program_, "#E00000", 5000));
  ASSERT_TRUE(program_.Click(kStop));
  ASSERT_TRUE(PageShows(program_, "#E00000"));
  ASSERT_TRUE(program_.Click(kReset));
  ASSERT_TRUE(PageShows(program_, "#F0F0F0"));
  EXPECT_EQ(ReadPage()["count"], "00:00:00");
  EXPECT_EQ(Probe("/log").find("Content Security Policy"), std::string::npos);

  // A television, and a phone held upright and then on its side.
  ASSERT_TRUE(OpenPage(1920, 1080));
  ASSERT_TRUE(PageShows(program_, "#F0F0F0"));
  EXPECT_TRUE(FitsTheScreen()) << "1920x1080";
  ASSERT_TRUE(OpenPage(360, 640));
  ASSERT_TRUE(PageShows(program_, "#F0F0F0"));
  EXPECT_TRUE(FitsTheScreen()) << "360x640";
  ASSERT_EQ(Probe("/resize?width=640&height=360"), "ok");
  EXPECT_TRUE(FitsTheScreen()) << "640x360";

  // The program gone: "Not connected", the count dimmed; back without a reload within 5 s.
  DWORD exitCode = 0;
  ASSERT_TRUE(program_.Close(&exitCode));
  EXPECT_TRUE(WaitUntil(
      "the page to say it is not connected",
      [] {
        auto page = ReadPage();
        return page["status"] == "Not connected" && page["opacity"] != "1";
      },
      7000));
  Program again;
  ASSERT_TRUE(again.LaunchAndWait());
  const DWORD back = GetTickCount();
  EXPECT_TRUE(PageShows(again, "#F0F0F0", 5000));
  std::printf("the page showed the count again %lu ms after the window\n",
              static_cast<unsigned long>(GetTickCount() - back));
  ASSERT_TRUE(again.Close(&exitCode));
}

// The speaker's phone: unlocked by the address's fragment, its buttons work the window's.
TEST_F(WebClockTest, ThePageUnlockedByThePinInItsAddressDrivesTheTimer) {
  ASSERT_FALSE(ProbeAddress().empty()) << "scripts/e2e.sh starts the browser probe";
  SettingsFile settings = QuickSettings();
  settings.limitMinutes = 1;
  PrepareSettings(settings);
  PrepareOptions("web.clock=on\nweb.pin=482913\n");
  ASSERT_TRUE(program_.LaunchAndWait());
  ASSERT_TRUE(WaitUntil("the clock to listen", [] { return Listening(); }));
  ASSERT_TRUE(OpenPage(360, 640));
  ASSERT_TRUE(PageShows(program_, "#000000"));
  EXPECT_EQ(ReadPage()["controls"], "0") << "no controls without the PIN";

  ASSERT_TRUE(OpenPage(360, 640, "#pin=482913"));
  EXPECT_TRUE(WaitUntil("the controls", [] { return ReadPage()["controls"] == "1"; }));
  EXPECT_EQ(Probe("/eval?expr=" + Escaped("location.hash")), "") << "the PIN left the address";
  EXPECT_TRUE(FitsTheScreen()) << "with the controls";
  ASSERT_EQ(Probe("/click?selector=" + Escaped("#start")), "ok");
  EXPECT_TRUE(
      WaitUntil("the window counting", [&] { return program_.ButtonStates() == kRunning; }));
  EXPECT_TRUE(WaitUntil("the page's buttons as the window's", [] {
    auto page = ReadPage();
    return page["start"] == "disabled" && page["pause"] == "enabled";
  }));
  ASSERT_EQ(Probe("/click?selector=" + Escaped("#pause")), "ok");
  EXPECT_TRUE(WaitUntil("the window paused",
                        [&] { return program_.ButtonStates() == "Start+ Pause- Stop- Reset+"; }));
  Probe("/eval?expr=" + Escaped("document.getElementById('limit').value = '0:02:00'"));
  ASSERT_EQ(Probe("/click?selector=" + Escaped("#set-limit")), "ok");
  EXPECT_TRUE(WaitUntil("the new limit",
                        [&] { return program_.Caption() == "Vantorel: Timer Set - 00h:02m:00s"; }));
  EXPECT_TRUE(program_.Dialogs().empty());
  EXPECT_EQ(LogEvents(), (std::vector<std::string>{" - Session Start",
                                                   " - Start Vantorel: Timer Set - 00h:01m:00s",
                                                   " - Timer paused."}));
}

}  // namespace
}  // namespace vantorel::e2e
