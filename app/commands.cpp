#include "app/commands.h"

#include <cstring>

#include "app/count_options.h"
#include "app/main_window.h"
#include "app/monitor_placement.h"
#include "app/web_clock.h"
#include "app/window_state.h"
#include "core/timer_engine.h"
#include "dialogs/dialogs.h"
#include "resources/resource.h"
#include "storage/options.h"

namespace vantorel {

namespace {

constexpr char kCaption[] = "Vantorel";
constexpr DWORD kAnswerWithinMs = 5000;

int TimerButton(TimerCommand command) {
  switch (command) {
    case TimerCommand::kStart: return BTN_START;
    case TimerCommand::kPause: return BTN_PAUSE;
    case TimerCommand::kStop: return BTN_STOP;
    case TimerCommand::kReset: return BTN_RESET;
    case TimerCommand::kNone: break;
  }
  return 0;
}

// A click on the button, where a person could click it.
void PressTimerButton(HWND window, TimerCommand command) {
  const int id = TimerButton(command);
  const HWND button = id != 0 ? GetDlgItem(window, id) : nullptr;
  if (button == nullptr || !IsWindowEnabled(button)) return;
  // Start without a limit asks for one in a message box and the Set Timer dialog: the sender
  // is answered first, so it does not wait on the user.
  if (command == TimerCommand::kStart && timerEngine.limitTotalSeconds() == 0 && InSendMessage()) {
    ReplyMessage(TRUE);
  }
  ClickIfEnabled(window, button);
}

// The copy that runs, once its window shows: until then it is still starting (behind its
// startup screen, say) and could not apply a command yet.
HWND FindRunningCopy(DWORD deadline) {
  for (;;) {
    const HWND window = FindWindowA(kMainWindowClass, nullptr);
    if (window != nullptr && IsWindowVisible(window)) return window;
    if (static_cast<LONG>(GetTickCount() - deadline) >= 0) return nullptr;
    Sleep(50);
  }
}

}  // namespace

bool ReadCommandLine(const char* arguments, CommandLine* command) {
  // The error, a blank line and the usage (some 1,000 bytes, cut should it outgrow the room).
  char text[kCommandLineErrorSize + 2048];
  if (ParseCommandLine(arguments, MonitorCount(), command, text, kCommandLineErrorSize)) {
    return true;
  }
  std::size_t length = std::strlen(text);
  const char* const pieces[] = {"\r\n\r\n", kCommandLineUsage};
  for (const char* piece : pieces) {
    while (*piece != '\0' && length + 1 < sizeof text) text[length++] = *piece++;
  }
  text[length] = '\0';
  MessageBoxA(nullptr, text, kCaption, MB_ICONEXCLAMATION);
  return false;
}

void ShowCommandLineUsage() {
  MessageBoxA(nullptr, kCommandLineUsage, kCaption, MB_ICONINFORMATION);
}

int HandToRunningCopy(const char* arguments) {
  const DWORD deadline = GetTickCount() + kAnswerWithinMs;
  const HWND runningCopy = FindRunningCopy(deadline);
  COPYDATASTRUCT data = {};
  data.dwData = kCommandLineData;
  data.cbData = static_cast<DWORD>(std::strlen(arguments) + 1);
  data.lpData = const_cast<char*>(arguments);
  DWORD_PTR applied = FALSE;
  const auto left = static_cast<LONG>(deadline - GetTickCount());
  if (runningCopy != nullptr && left > 0 &&
      SendMessageTimeoutA(runningCopy, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                          SMTO_ABORTIFHUNG, static_cast<UINT>(left), &applied) &&
      applied == TRUE) {
    return kExitDone;
  }
  // A copy run elevated or by another user counts as running but cannot be reached.
  MessageBoxA(nullptr,
              "Vantorel is running, but it could not be reached or did not answer within 5 "
              "seconds: the command line may not have been applied.",
              kCaption, MB_ICONHAND);
  return kExitRunningCopyUnreachable;
}

void ApplyCommandLine(HWND window, const CommandLine& command) {
  if (command.setLimit) {
    SetTimeLimit(command.limitHours, command.limitMinutes, command.limitSeconds);
  }
  // How the count is shown, saved at once as its menu item and dialog save it.
  if (command.setView || command.setWarning || command.overtime != Toggle::kNotGiven) {
    if (command.setView) options.view = command.view;
    if (command.setWarning) options.warningSeconds = command.warningSeconds;
    if (command.overtime != Toggle::kNotGiven) options.overtime = command.overtime == Toggle::kOn;
    ApplyCountOptions();
  }
  if (command.onTop != Toggle::kNotGiven) SetOnTop(window, command.onTop == Toggle::kOn);
  if (command.web != Toggle::kNotGiven) SetWebClock(window, command.web == Toggle::kOn);
  if (command.monitor != 0) MoveToMonitor(window, command.monitor);
  if (command.fullScreen && !IsFullScreen()) ToggleFullScreen(window);
  PressTimerButton(window, command.command);
}

LRESULT OnCopyData(HWND window, const COPYDATASTRUCT* data) {
  // Any local program can send this: only a terminated text of a sensible size is read.
  if (data == nullptr || data->dwData != kCommandLineData || data->lpData == nullptr ||
      data->cbData == 0 || data->cbData > kMaxCommandLineBytes) {
    return FALSE;
  }
  const auto* text = static_cast<const char*>(data->lpData);
  if (std::memchr(text, '\0', data->cbData) == nullptr) return FALSE;
  CommandLine command;
  if (!ParseCommandLine(text, MonitorCount(), &command, nullptr, 0) || command.showUsage) {
    return FALSE;
  }
  // A window still being made has no buttons to press yet.
  if (controls.display == nullptr) return FALSE;
  ApplyCommandLine(window, command);
  return TRUE;
}

}  // namespace vantorel
