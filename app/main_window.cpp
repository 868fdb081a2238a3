#include "app/main_window.h"

#include "app/app.h"
#include "app/appearance.h"
#include "app/commands.h"
#include "app/count_options.h"
#include "app/hot_keys.h"
#include "app/monitor_placement.h"
#include "app/web_clock.h"
#include "app/web_server.h"
#include "app/window_state.h"
#include "core/screen_placement.h"
#include "core/time_text.h"
#include "core/timer_engine.h"
#include "dialogs/dialogs.h"
#include "platform/system.h"
#include "resources/resource.h"
#include "storage/options.h"
#include "storage/program_log.h"
#include "storage/settings.h"

namespace vantorel {

MainControls controls = {};

namespace {

constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 40;
constexpr UINT kDisplayId = 0xFFFF;

// Where the settings put the controls, or the nearest place inside a smaller area.
ControlPositions Placed() {
  return PositionsWithin(settings.buttonsLeft, settings.buttonsTop, settings.displayTop,
                         WorkAreaWidth(), WorkAreaHeight());
}

}  // namespace

void DeriveButtonPositions() {
  const int left = static_cast<int>(Placed().buttonsLeft);
  controls.startX = left;
  controls.pauseX = left + 90;
  controls.stopX = left + 180;
  controls.resetX = left + 270;
}

void MoveControls() {
  DeriveButtonPositions();
  const ControlPositions placed = Placed();
  const int top = static_cast<int>(placed.buttonsTop);
  MoveWindow(controls.start, controls.startX, top, kButtonWidth, kButtonHeight, TRUE);
  MoveWindow(controls.pause, controls.pauseX, top, kButtonWidth, kButtonHeight, TRUE);
  MoveWindow(controls.stop, controls.stopX, top, kButtonWidth, kButtonHeight, TRUE);
  MoveWindow(controls.reset, controls.resetX, top, kButtonWidth, kButtonHeight, TRUE);
  // The same geometry as at creation: as large as the work area, only the top matters.
  MoveWindow(controls.display, 0, static_cast<int>(placed.displayTop), WorkAreaWidth(),
             WorkAreaHeight(), TRUE);
}

namespace {

// Whether the screen saver was on at start, so exit can switch it back on.
bool screenSaverWasActive = false;
// Whether the session's end is logged and the system put back, which happens only once.
bool sessionEnded = false;

// The system's message font, which dialogs use, for the four buttons; deleted at exit.
HFONT buttonFont = nullptr;

// Built for Windows XP, the record stops before Vista's iPaddedBorderWidth: XP refuses the
// longer one, and later versions take the shorter one as well.
HFONT CreateMessageFont() {
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
    return nullptr;
  }
  return CreateFontIndirectA(&metrics.lfMessageFont);
}

HWND CreateButton(HWND window, const char* text, int id, int x) {
  HWND button =
      CreateWindowExA(0, "button", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP, x,
                      static_cast<int>(Placed().buttonsTop), kButtonWidth, kButtonHeight, window,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(buttonFont), FALSE);
  return button;
}

// The edit control's own procedure, under the display's.
WNDPROC displayProc = nullptr;

// A double-click on the digits toggles full screen instead of selecting them.
LRESULT CALLBACK DisplayProc(HWND display, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDBLCLK) {
    SendMessageA(GetParent(display), WM_COMMAND, CMD_FULL_SCREEN, 0);
    return 0;
  }
  return CallWindowProcA(displayProc, display, message, wParam, lParam);
}

void CreateControls(HWND window) {
  buttonFont = CreateMessageFont();
  controls.start = CreateButton(window, "Start", BTN_START, controls.startX);
  controls.pause = CreateButton(window, "Pause", BTN_PAUSE, controls.pauseX);
  controls.stop = CreateButton(window, "Stop", BTN_STOP, controls.stopX);
  controls.reset = CreateButton(window, "Reset", BTN_RESET, controls.resetX);
  // Below the buttons whatever the positions, and clipped by them, so they stay in sight and
  // take the clicks where the two overlap.
  controls.display = CreateWindowExA(
      0, "edit", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | ES_READONLY | ES_CENTER, 0,
      static_cast<int>(Placed().displayTop), WorkAreaWidth(), WorkAreaHeight(), window,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kDisplayId)), instance, nullptr);
  SetWindowPos(controls.display, HWND_BOTTOM, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
  displayProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(controls.display, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DisplayProc)));
}

void HoldOffScreenSaver() {
  BOOL active = FALSE;
  SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
  screenSaverWasActive = active == TRUE;
  if (screenSaverWasActive) SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);
}

LRESULT OnCreate(HWND window) {
  // The seam's window operations need the handle while the window is still being created.
  mainWindow = window;
  InitSettingsPath();
  LoadSettings();
  InitLogPath();
  InitOptionsPath();
  LoadOptions();
  // On top from the first moment it shows, as it was left.
  ApplyOnTop(window);
  if (settings.showStartupScreen == 1) ShowStartupScreen();
  if (settings.logEnabled == 1) LogSessionStart();
  HoldOffScreenSaver();
  SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
  DeriveButtonPositions();
  timerEngine.SetLimit(
      ToTotalSeconds(settings.limitHours, settings.limitMinutes, settings.limitSeconds));
  FormatTitle(settings.limitHours, settings.limitMinutes, settings.limitSeconds);
  SetWindowTextA(window, titleText);
  CreateControls(window);
  InstallDisplayFont(controls.display);
  timerEngine.ShowIdle();
  RepaintBackground(window);
  OpenWebClockAtStart(window);
  return 0;
}

// Enter reaches the window as IDOK from the dialog manager, because no button is a default
// button: it presses the button that has the focus, as Space does.
void PressFocusedButton(HWND window) {
  const HWND focus = GetFocus();
  if (focus == nullptr || GetParent(focus) != window) return;
  if (focus != controls.start && focus != controls.pause && focus != controls.stop &&
      focus != controls.reset) {
    return;
  }
  ClickIfEnabled(window, focus);
}

void OnCommand(HWND window, int id, int notification) {
  switch (id) {
    case CMD_EXIT: SendMessageA(window, WM_CLOSE, 0, 0); return;
    case CMD_TIME_LIMIT: ShowSetTimerDialog(window); return;
    case CMD_FONT: FontCommand(controls.display); return;
    case CMD_TEXT_COLOR: TextColorCommand(); return;
    case CMD_BACKGROUND_COLOR: BackgroundColorCommand(window); return;
    case CMD_PREFERENCES: ShowPreferencesDialog(window); return;
    case CMD_HELP_CONTENTS: OpenHelpContents(); return;
    case CMD_ABOUT: ShowAboutDialog(window); return;
    case CMD_VIEW_LOG: ShowViewProgramLogDialog(window); return;
    case BTN_START: timerEngine.Start(); return;
    case BTN_PAUSE: timerEngine.Pause(); return;
    case BTN_STOP: timerEngine.Stop(); return;
    case BTN_RESET: timerEngine.Reset(); return;
    case CMD_FULL_SCREEN: ToggleFullScreen(window); return;
    case CMD_LEAVE_FULL_SCREEN: LeaveFullScreen(window); return;
    case CMD_TIME_REMAINING: ToggleCountView(); return;
    case CMD_WARNING_OVERTIME: ShowWarningOvertimeDialog(window); return;
    case CMD_ALWAYS_ON_TOP: ToggleOnTop(window); return;
    case CMD_HOT_KEYS: ShowHotKeysDialog(window); return;
    case CMD_WEB_CLOCK: ShowWebClockDialog(window); return;
    case IDOK: PressFocusedButton(window); return;
    default: break;
  }
  if (id >= CMD_RECENT_LIMIT && id < CMD_RECENT_LIMIT + static_cast<int>(kRecentLimitCount)) {
    SetRecentLimit(static_cast<std::size_t>(id - CMD_RECENT_LIMIT));
    return;
  }
  // The read-only display never keeps the focus, so it never shows a caret.
  if (notification == EN_SETFOCUS) SetFocus(window);
  // A count of another length (three-digit hours) may need smaller digits to fit.
  if (id == static_cast<int>(kDisplayId) && notification == EN_CHANGE) {
    DisplayTextChanged(controls.display);
  }
}

UINT Checked(bool on) {
  return MF_BYCOMMAND | static_cast<UINT>(on ? MF_CHECKED : MF_UNCHECKED);
}

// The recent limits' pop-up, made anew from the options each time it opens.
void FillRecentLimits(HMENU menu) {
  while (GetMenuItemCount(menu) > 0) DeleteMenu(menu, 0, MF_BYPOSITION);
  const RecentLimits& recent = options.recentLimits;
  if (recent.count == 0) AppendMenuA(menu, MF_STRING | MF_GRAYED, CMD_RECENT_LIMIT, "(none yet)");
  for (std::size_t i = 0; i < recent.count; ++i) {
    char time[kTextBufferSize];
    FormatElapsed(recent.seconds[i], time);
    char label[kTextBufferSize + 8];
    wsprintfA(label, "&%u  %s", static_cast<unsigned>(i + 1), time);
    AppendMenuA(menu, MF_STRING, CMD_RECENT_LIMIT + i, label);
  }
}

// The check marks and the recent limits as the options are when the menu opens, whoever
// changed them.
void OnInitMenuPopup(HMENU menu) {
  CheckMenuItem(menu, CMD_TIME_REMAINING, Checked(options.view == CountView::kRemaining));
  CheckMenuItem(menu, CMD_ALWAYS_ON_TOP, Checked(options.onTop));
  const UINT first = GetMenuItemID(menu, 0);
  if (first >= CMD_RECENT_LIMIT && first < CMD_RECENT_LIMIT + kRecentLimitCount) {
    FillRecentLimits(menu);
  }
}

void OnActivate(HWND window, WPARAM state) {
  // Back in front of a topmost window that came over it meanwhile, such as the taskbar.
  if (LOWORD(state) != WA_INACTIVE) ApplyOnTop(window);
  RepaintBackground(window);
  // The window clips its children, so the display is drawn again over itself, not erased: any
  // new text colour shows without the digits flashing.
  if (controls.display != nullptr) InvalidateRect(controls.display, nullptr, FALSE);
}

LRESULT OnColorStatic(HWND window, HDC dc, HWND control, WPARAM wParam, LPARAM lParam) {
  if (control == controls.display) return reinterpret_cast<LRESULT>(ColorDisplay(dc));
  return DefWindowProcA(window, WM_CTLCOLORSTATIC, wParam, lParam);
}

// The end of the session in the log, the screen saver back on and the count stopped: at the
// window's destruction, or earlier when the user signs out or the system shuts down, because
// then the process may end without the window ever being destroyed.
void EndSession(HWND window) {
  if (sessionEnded) return;
  sessionEnded = true;
  RememberPlace(window);
  UnregisterHotKeys(window);
  StopWatchingSessions(window);
  StopWebClock(window);
  if (settings.logEnabled == 1) LogSessionEnd();
  if (screenSaverWasActive) SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, 0);
  TheSystem().KillSecondTimer();
}

// A display change can leave another topmost window over one kept on top, even where the
// window's area stays as it was.
void OnDisplayChange(HWND window) {
  OnDisplaysChanged(window);
  ApplyOnTop(window);
}

// A taskbar moved or resized changes the work area.
LRESULT OnSettingChange(HWND window, WPARAM action) {
  if (action == SPI_SETWORKAREA) OnDisplaysChanged(window);
  return 0;
}

// The count's second, or the web clock's own timer.
void OnTimer(WPARAM timerId) {
  if (!OnWebClockTimer(timerId)) timerEngine.Tick();
}

LRESULT OnEndSession(HWND window, bool ending) {
  if (ending) EndSession(window);
  return 0;
}

void OnDestroy(HWND window) {
  EndSession(window);
  ReleaseAppearance();
  if (buttonFont != nullptr) DeleteObject(buttonFont);
  buttonFont = nullptr;
  PostQuitMessage(0);
}

}  // namespace

bool ClickIfEnabled(HWND window, HWND button) {
  if (button == nullptr || !IsWindowEnabled(button)) return false;
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
  return true;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_COMMAND: OnCommand(window, LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_CTLCOLORSTATIC:
      return OnColorStatic(window, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                           wParam, lParam);
    case WM_ACTIVATE: OnActivate(window, wParam); return 0;
    case WM_INITMENUPOPUP: OnInitMenuPopup(reinterpret_cast<HMENU>(wParam)); return 0;
    case WM_ENTERSIZEMOVE: OnEnterSizeMove(); return 0;
    case WM_EXITSIZEMOVE: OnExitSizeMove(window); return 0;
    case WM_WINDOWPOSCHANGED:
      OnWindowPosChanged(window);
      return DefWindowProcA(window, message, wParam, lParam);
    case WM_DISPLAYCHANGE: OnDisplayChange(window); return 0;
    case WM_HOTKEY: OnHotKey(window, wParam); return 0;
    case WM_WTSSESSION_CHANGE: OnSessionChange(window, wParam); return 0;
    case WM_SETTINGCHANGE: return OnSettingChange(window, wParam);
    case WM_WEB_SOCKET: OnWebSocket(wParam, lParam); return 0;
    case WM_WEB_STATE: OnWebState(); return 0;
    case WM_COPYDATA: return OnCopyData(window, reinterpret_cast<COPYDATASTRUCT*>(lParam));
    case WM_ENDSESSION: return OnEndSession(window, wParam != FALSE);
    case WM_DESTROY: OnDestroy(window); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace vantorel
