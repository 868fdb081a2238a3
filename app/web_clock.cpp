#include "app/web_clock.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstring>

#include "app/app.h"
#include "app/appearance.h"
#include "app/commands.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/monitor_placement.h"
#include "app/on_demand.h"
#include "app/web_server.h"
#include "core/command_line.h"
#include "core/timer_engine.h"
#include "resources/resource.h"
#include "storage/options.h"
#include "storage/settings.h"
#include "web/clock_state.h"

namespace vantorel {

namespace {

constexpr UINT_PTR kWebTimerId = 0x5745;
// Often enough that a quiet stream hears within two seconds, and that a change the window makes
// without a count (a colour, a face) reaches the page at once.
constexpr UINT kWebTimerMs = 250;
constexpr char kCaption[] = "Vantorel";

bool statePosted = false;
Listen atStart = Listen::kListening;
// What listens now.
std::uint16_t servedPort = 0;
bool servedNetwork = false;

const char* Page(std::size_t* length) {
  *length = 0;
  const HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDR_WEB_CLOCK_PAGE), RT_RCDATA);
  const HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
  if (loaded == nullptr) return "";
  *length = SizeofResource(instance, found);
  return static_cast<const char*>(LockResource(loaded));
}

// The window's texts are in the process's code page, which is UTF-8 only where the manifest's
// wish is granted (Windows 10 1903 and later); the page reads UTF-8.
void ToUtf8(const char* text, char* out, int size) {
  if (GetACP() == CP_UTF8) {
    lstrcpynA(out, text, size);
    return;
  }
  WCHAR wide[256];
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 256);
  if (length == 0 || WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, size, nullptr, nullptr) == 0) {
    out[0] = '\0';
  }
}

bool Enabled(HWND button) {
  return button != nullptr && IsWindowEnabled(button) != FALSE;
}

// The state as the page shows it, into `json`; its length, 0 when it does not fit.
std::size_t StateJson(char* json, std::size_t size) {
  char text[kTextBufferSize];
  char rawTitle[kTextBufferSize];
  char title[kTextBufferSize * 3];
  char font[sizeof settings.fontFace * 3];
  GetWindowTextA(controls.display, text, sizeof text);
  GetWindowTextA(mainWindow, rawTitle, sizeof rawTitle);
  ToUtf8(rawTitle, title, sizeof title);
  ToUtf8(settings.fontFace, font, sizeof font);
  web::ClockState state;
  state.text = text;
  state.phase = timerEngine.phase();
  state.elapsed = timerEngine.elapsedSeconds();
  state.limit = timerEngine.limitTotalSeconds();
  state.view = options.view;
  state.colour = CountColourNow();
  state.ink = DigitColourNow();
  state.background = settings.backgroundColor;
  state.title = title;
  state.font = font;
  state.start = Enabled(controls.start);
  state.pause = Enabled(controls.pause);
  state.stop = Enabled(controls.stop);
  state.reset = Enabled(controls.reset);
  return WriteClockJson(state, json, size);
}

void Publish() {
  if (!WebServerRunning()) return;
  char json[web::kMaxClockJsonBytes];
  const std::size_t length = StateJson(json, sizeof json);
  if (length > 0) PublishWebState(json, length);
}

int Refuse(const char* sentence, char* reply, std::size_t size, std::size_t* length) {
  lstrcpynA(reply, sentence, static_cast<int>(size));
  *length = std::strlen(reply);
  return 400;
}

// A command from the speaker's phone, read as a command line handed to the running copy is and
// applied as its switches and buttons are. Nothing may open a box or a dialog on the presenter's
// screen, so what would is refused with a sentence instead.
int RunWebCommand(std::string_view body, char* reply, std::size_t size, std::size_t* length) {
  CommandLine command;
  char error[kCommandLineErrorSize];
  if (!ParseWebCommand(body.data(), body.size(), MonitorCount(), &command, error, sizeof error)) {
    return Refuse(error, reply, size, length);
  }
  if (command.command == TimerCommand::kStart && !command.setLimit &&
      timerEngine.limitTotalSeconds() == 0 && Enabled(controls.start)) {
    return Refuse("No time limit is set: give one with /limit before /start.", reply, size, length);
  }
  ApplyCommandLine(mainWindow, command);
  *length = StateJson(reply, size);
  return 200;
}

// The clock as asked: stopped, or listening with these choices (anew only when they changed).
Listen Serve(HWND window, bool on, bool network, std::uint16_t port) {
  if (!on) {
    StopWebClock(window);
    return Listen::kListening;
  }
  if (WebServerRunning() && servedPort == port && servedNetwork == network) {
    return Listen::kListening;
  }
  std::size_t pageLength = 0;
  const char* page = Page(&pageLength);
  const Listen result = StartWebServer(window, port, network, page, pageLength, RunWebCommand);
  if (result != Listen::kListening) {
    StopWebClock(window);
    return result;
  }
  servedPort = port;
  servedNetwork = network;
  SetWebServerPin(options.webPin);
  SetTimer(window, kWebTimerId, kWebTimerMs, nullptr);
  Publish();
  return result;
}

void DescribeProblem(Listen result, std::uint16_t port, char* text, std::size_t size) {
  char line[160];
  wsprintfA(line,
            result == Listen::kInUse
                ? "The web clock cannot listen on port %u: another program is using it."
                : "The web clock cannot listen on port %u: Windows refused it.",
            static_cast<unsigned>(port));
  lstrcpynA(text, line, static_cast<int>(size));
}

// One message box, after the sender of a command line has had its answer so that it does not
// wait on the user.
void ReportProblem(Listen result, std::uint16_t port) {
  if (InSendMessage()) ReplyMessage(TRUE);
  char problem[160];
  char text[320];
  DescribeProblem(result, port, problem, sizeof problem);
  wsprintfA(text,
            "%s\r\n\r\nThe timer works on without the web clock. Choose another port under "
            "Settings, Web Clock.",
            problem);
  ShowMessageBox(text, kCaption, MB_ICONEXCLAMATION);
}

void SaveWebOptions(bool on, bool network, std::uint16_t port, const char* pin) {
  options.webClock = on;
  options.webNetwork = network;
  options.webPort = port;
  lstrcpynA(options.webPin, pin, sizeof options.webPin);
  SaveOptions();
  LoadOptions();
  SetWebServerPin(options.webPin);
}

}  // namespace

void OpenWebClockAtStart(HWND window) {
  if (options.webClock) atStart = Serve(window, true, options.webNetwork, options.webPort);
}

void ReportWebClockAtStart() {
  if (atStart != Listen::kListening) ReportProblem(atStart, options.webPort);
}

void SetWebClock(HWND window, bool on) {
  SaveWebOptions(on, options.webNetwork, options.webPort, options.webPin);
  const Listen result = Serve(window, on, options.webNetwork, options.webPort);
  if (result != Listen::kListening) ReportProblem(result, options.webPort);
}

bool ApplyWebClock(HWND window, bool on, bool network, std::uint16_t port, const char* pin,
                   char* problem, std::size_t problemSize) {
  problem[0] = '\0';
  const bool wasOn = WebServerRunning();
  const Listen result = Serve(window, on, network, port);
  if (result != Listen::kListening) {
    DescribeProblem(result, port, problem, problemSize);
    // As it was before: the port in force is this program's own again.
    if (wasOn) Serve(window, true, options.webNetwork, options.webPort);
    return false;
  }
  SaveWebOptions(on, network, port, pin);
  return true;
}

bool IsWebPin(const char* pin) {
  std::size_t length = 0;
  for (; pin[length] != '\0'; ++length) {
    if (pin[length] < '0' || pin[length] > '9') return false;
  }
  return length == 0 || (length >= 4 && length <= 8);
}

bool NewWebPin(char (&pin)[7]) {
  using Acquire = BOOL(WINAPI*)(HCRYPTPROV*, LPCSTR, LPCSTR, DWORD, DWORD);
  using Generate = BOOL(WINAPI*)(HCRYPTPROV, DWORD, BYTE*);
  using Release = BOOL(WINAPI*)(HCRYPTPROV, DWORD);
  const auto acquire = reinterpret_cast<Acquire>(
      reinterpret_cast<void (*)()>(SystemFunction("advapi32.dll", "CryptAcquireContextA")));
  const auto generate = reinterpret_cast<Generate>(
      reinterpret_cast<void (*)()>(SystemFunction("advapi32.dll", "CryptGenRandom")));
  const auto release = reinterpret_cast<Release>(
      reinterpret_cast<void (*)()>(SystemFunction("advapi32.dll", "CryptReleaseContext")));
  HCRYPTPROV provider = 0;
  if (acquire == nullptr || generate == nullptr || release == nullptr ||
      !acquire(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
    return false;
  }
  std::size_t digits = 0;
  bool ok = true;
  while (ok && digits < 6) {
    BYTE bytes[16];
    ok = generate(provider, sizeof bytes, bytes) != FALSE;
    // Only bytes below 250 are taken, so each digit is as likely as any other.
    for (std::size_t i = 0; ok && i < sizeof bytes && digits < 6; ++i) {
      if (bytes[i] < 250) pin[digits++] = static_cast<char>('0' + bytes[i] % 10);
    }
  }
  release(provider, 0);
  pin[ok ? 6 : 0] = '\0';
  return ok;
}

void WebClockAddresses(bool network, std::uint16_t port, const char* pin, char* text,
                       std::size_t size) {
  // The hosts: this computer, then in the network mode its addresses and its name.
  char hosts[10][256] = {"127.0.0.1"};
  std::size_t count = 1;
  char addresses[8][16];
  std::size_t found = 0;
  if (network && LocalAddresses(hosts[9], sizeof hosts[9], addresses, 8, &found)) {
    for (std::size_t i = 0; i < found; ++i) lstrcpynA(hosts[count++], addresses[i], 16);
    if (hosts[9][0] != '\0') lstrcpynA(hosts[count++], hosts[9], 256);
  }
  text[0] = '\0';
  // Each viewing address, then with the PIN set each control address beside it.
  for (int control = 0; control < (pin[0] != '\0' ? 2 : 1); ++control) {
    for (std::size_t i = 0; i < count; ++i) {
      char line[320];
      wsprintfA(line, "%shttp://%s:%u/%s%s", text[0] != '\0' ? "\r\n" : "", hosts[i],
                static_cast<unsigned>(port), control ? "#pin=" : "", control ? pin : "");
      if (std::strlen(text) + std::strlen(line) < size) std::strcat(text, line);
    }
  }
}

void WebClockStateChanged() {
  if (statePosted || !WebServerRunning()) return;
  statePosted = PostMessageA(mainWindow, WM_WEB_STATE, 0, 0) != FALSE;
}

void OnWebState() {
  statePosted = false;
  // The window's own digits first: sending to every viewer takes a while, and the count on the
  // lectern must not wait for the room.
  UpdateWindow(controls.display);
  Publish();
}

bool OnWebClockTimer(WPARAM timerId) {
  if (timerId != kWebTimerId) return false;
  Publish();
  SweepWebServer();
  return true;
}

void StopWebClock(HWND window) {
  KillTimer(window, kWebTimerId);
  StopWebServer();
  servedPort = 0;
}

}  // namespace vantorel
