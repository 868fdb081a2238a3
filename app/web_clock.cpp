#include "app/web_clock.h"

#include <cstring>

#include "app/app.h"
#include "app/appearance.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/web_server.h"
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

void Publish() {
  if (!WebServerRunning()) return;
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
  char json[web::kMaxClockJsonBytes];
  const std::size_t length = WriteClockJson(state, json, sizeof json);
  if (length > 0) PublishWebState(json, length);
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
  const Listen result = StartWebServer(window, port, network, page, pageLength);
  if (result != Listen::kListening) {
    StopWebClock(window);
    return result;
  }
  servedPort = port;
  servedNetwork = network;
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

void SaveWebOptions(bool on, bool network, std::uint16_t port) {
  options.webClock = on;
  options.webNetwork = network;
  options.webPort = port;
  SaveOptions();
  LoadOptions();
}

}  // namespace

void StartWebClockAtStart(HWND window) {
  if (!options.webClock) return;
  const Listen result = Serve(window, true, options.webNetwork, options.webPort);
  if (result != Listen::kListening) ReportProblem(result, options.webPort);
}

void SetWebClock(HWND window, bool on) {
  SaveWebOptions(on, options.webNetwork, options.webPort);
  const Listen result = Serve(window, on, options.webNetwork, options.webPort);
  if (result != Listen::kListening) ReportProblem(result, options.webPort);
}

bool ApplyWebClock(HWND window, bool on, bool network, std::uint16_t port, char* problem,
                   std::size_t problemSize) {
  problem[0] = '\0';
  const bool wasOn = WebServerRunning();
  const Listen result = Serve(window, on, network, port);
  if (result != Listen::kListening) {
    DescribeProblem(result, port, problem, problemSize);
    // As it was before: the port in force is this program's own again.
    if (wasOn) Serve(window, true, options.webNetwork, options.webPort);
    return false;
  }
  SaveWebOptions(on, network, port);
  return true;
}

void WebClockAddresses(bool network, std::uint16_t port, char* text, std::size_t size) {
  const auto number = static_cast<unsigned>(port);
  char line[320];
  wsprintfA(line, "http://127.0.0.1:%u/", number);
  lstrcpynA(text, line, static_cast<int>(size));
  if (!network) return;
  char name[256];
  char addresses[8][16];
  std::size_t found = 0;
  if (!LocalAddresses(name, sizeof name, addresses, 8, &found)) return;
  for (std::size_t i = 0; i < found; ++i) {
    wsprintfA(line, "\r\nhttp://%s:%u/", addresses[i], number);
    if (std::strlen(text) + std::strlen(line) < size) std::strcat(text, line);
  }
  if (name[0] != '\0') {
    wsprintfA(line, "\r\nhttp://%s:%u/", name, number);
    if (std::strlen(text) + std::strlen(line) < size) std::strcat(text, line);
  }
}

void WebClockStateChanged() {
  if (statePosted || !WebServerRunning()) return;
  statePosted = PostMessageA(mainWindow, WM_WEB_STATE, 0, 0) != FALSE;
}

void OnWebState() {
  statePosted = false;
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
