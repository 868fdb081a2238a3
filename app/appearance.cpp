#include "app/appearance.h"

#include "app/app.h"
#include "app/on_demand.h"

#include <cstring>

#include "core/ansi_text.h"
#include "storage/options.h"
#include "storage/settings.h"

namespace vantorel {

namespace {

HFONT displayFont = nullptr;
HBRUSH backgroundBrush = nullptr;
HBRUSH displayBrush = nullptr;

// The height displayFont was made with: the chosen one, or a smaller one at which the count
// fits the display; and the length of the text that height was fitted to.
LONG displayFontHeight = 0;
int fittedLength = 0;

// Both live for the whole run, so a chooser opens where the last one left off and a custom
// colour defined in one colour chooser is offered by the other.
LOGFONTA fontChoice = {};
COLORREF customColors[16] = {};

CountColour countColour = CountColour::kNormal;

HFONT CreateDisplayFont(LONG height) {
  return CreateFontA(height, 0, 0, 0, settings.fontWeight, static_cast<DWORD>(settings.fontItalic),
                     FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, settings.fontFace);
}

// How wide `text` draws in `font`, with the ink that a slanted first or last character puts
// beyond its advance.
LONG TextWidth(HDC dc, HFONT font, const char* text, int length) {
  const HGDIOBJ previous = SelectObject(dc, font);
  SIZE size = {};
  GetTextExtentPoint32A(dc, text, length, &size);
  LONG width = size.cx;
  ABC first = {};
  ABC last = {};
  const auto firstCode = static_cast<unsigned char>(text[0]);
  const auto lastCode = static_cast<unsigned char>(text[length - 1]);
  if (GetCharABCWidthsA(dc, firstCode, firstCode, &first) &&
      GetCharABCWidthsA(dc, lastCode, lastCode, &last)) {
    if (first.abcA < 0) width -= first.abcA;
    if (last.abcC < 0) width -= last.abcC;
  }
  SelectObject(dc, previous);
  return width;
}

// `text` with each digit the widest digit of `font`: the widest count of that length, so that
// every count of it fits once this one does.
void WidestOfItsLength(HDC dc, HFONT font, char* text, int length) {
  const HGDIOBJ previous = SelectObject(dc, font);
  char widest = '0';
  LONG widestWidth = -1;
  for (char digit = '0'; digit <= '9'; ++digit) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, &digit, 1, &size);
    if (size.cx > widestWidth) {
      widest = digit;
      widestWidth = size.cx;
    }
  }
  SelectObject(dc, previous);
  for (int i = 0; i < length; ++i) {
    if (text[i] >= '0' && text[i] <= '9') text[i] = widest;
  }
}

bool Fits(HDC dc, LONG height, const char* text, int length, LONG room) {
  const HFONT font = CreateDisplayFont(height);
  const bool fits = TextWidth(dc, font, text, length) <= room;
  DeleteObject(font);
  return fits;
}

// How wide a text centred in the display may be and show whole: the display reaches past the
// right edge of the window's client area, by the window's frame.
LONG VisibleRoom(HWND display) {
  const HWND window = GetParent(display);
  RECT client = {};
  GetClientRect(window, &client);
  RECT shown = {};
  GetWindowRect(display, &shown);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&shown), 2);
  const LONG centre = (shown.left + shown.right) / 2;
  const LONG left = centre - (shown.left > client.left ? shown.left : client.left);
  const LONG right = (shown.right < client.right ? shown.right : client.right) - centre;
  return 2 * (left < right ? left : right);
}

// The chosen height when the display's text fits its width in it; otherwise the largest smaller
// one at which it does, of the same sign (cell or character height). The settings keep the
// chosen one.
LONG FittingHeight(HWND display, int* textLength) {
  char text[64] = "";
  const int length = GetWindowTextA(display, text, sizeof text);
  *textLength = length;
  const LONG chosen = settings.fontHeight;
  if (length <= 0 || chosen == 0) return chosen;
  const LONG room = VisibleRoom(display);
  HDC dc = GetDC(display);
  const HFONT font = CreateDisplayFont(chosen);
  WidestOfItsLength(dc, font, text, length);
  const LONG width = TextWidth(dc, font, text, length);
  DeleteObject(font);
  LONG fitted = chosen;
  if (width > room && room > 0) {
    const long long sign = chosen < 0 ? -1 : 1;
    // Halving the range of heights finds the largest that fits in a few tries, also for a
    // height the system clamps, whose width stops growing with it.
    long long fits = 1;
    long long tooWide = sign * static_cast<long long>(chosen);
    while (tooWide - fits > 1) {
      const long long middle = fits + (tooWide - fits) / 2;
      if (Fits(dc, static_cast<LONG>(sign * middle), text, length, room)) {
        fits = middle;
      } else {
        tooWide = middle;
      }
    }
    fitted = static_cast<LONG>(sign * fits);
  }
  ReleaseDC(display, dc);
  return fitted;
}

// Hands the display a font of `height` and deletes the one it replaces: one display font at a
// time.
void UseDisplayFont(HWND display, LONG height, BOOL redraw) {
  const HFONT previous = displayFont;
  displayFont = CreateDisplayFont(height);
  displayFontHeight = height;
  SendMessageA(display, WM_SETFONT, reinterpret_cast<WPARAM>(displayFont), redraw);
  // The edit control derives its margins from the font, which for digits this size eats
  // into the width and cuts the count short; the display needs none.
  SendMessageA(display, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
  if (previous != nullptr) DeleteObject(previous);
}

// The choosers of the Settings menu have no owner; above a window kept on top, an ownerless one
// would open hidden behind it, so the window owns it then.
HWND ChooserOwner(HWND owner) {
  return owner == nullptr && options.onTop ? mainWindow : owner;
}

void ChooseDisplayFont() {
  std::memcpy(fontChoice.lfFaceName, settings.fontFace, sizeof fontChoice.lfFaceName);
  CHOOSEFONTA chooser = {};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = ChooserOwner(nullptr);
  chooser.lpLogFont = &fontChoice;
  chooser.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_NOVECTORFONTS | CF_SCALABLEONLY |
                  CF_NOSTYLESEL | CF_NOSIZESEL;
  if (!ChooseFontOnDemand(&chooser)) return;
  // In UTF-8 a face name of 11 characters of most scripts needs more than the field's 31
  // bytes; one cut to fit must end with a whole character.
  const char* face = fontChoice.lfFaceName;
  constexpr std::size_t kRoom = sizeof settings.fontFace - 1;
  const void* end = std::memchr(face, '\0', kRoom);
  const std::size_t length = end != nullptr
                                 ? static_cast<std::size_t>(static_cast<const char*>(end) - face)
                                 : WholeCharacterLength(face, kRoom);
  std::memcpy(settings.fontFace, face, length);
  settings.fontFace[length] = '\0';
  // The digits stand 200 pixels taller than the size picked.
  settings.fontHeight = fontChoice.lfHeight - 200;
  settings.fontWeight = fontChoice.lfWeight;
  // Italic and underline bytes taken together as the low word; the high word is kept.
  const auto lowWord =
      static_cast<std::uint32_t>(fontChoice.lfItalic | (fontChoice.lfUnderline << 8));
  const auto highWord = static_cast<std::uint32_t>(settings.fontItalic) & 0xFFFF0000u;
  settings.fontItalic = static_cast<std::int32_t>(highWord | lowWord);
}

void ChooseTextColor() {
  COLORREF colour = settings.textColor;
  if (PickColour(nullptr, &colour)) settings.textColor = colour;
}

void ChooseBackgroundColor() {
  COLORREF colour = settings.backgroundColor;
  if (PickColour(nullptr, &colour)) settings.backgroundColor = colour;
}

COLORREF DigitColour() {
  switch (countColour) {
    case CountColour::kWarning: return options.warningColor;
    case CountColour::kOver: return options.overtimeColor;
    case CountColour::kNormal: break;
  }
  return settings.textColor;
}

void SaveAndReload() {
  SaveSettings();
  LoadSettings();
}

}  // namespace

void InstallDisplayFont(HWND display) {
  UseDisplayFont(display, FittingHeight(display, &fittedLength), FALSE);
}

void DisplayTextChanged(HWND display) {
  int length = 0;
  // Every count of one length fits at one height, so only a new length is measured.
  if (GetWindowTextLengthA(display) == fittedLength) return;
  const LONG height = FittingHeight(display, &length);
  fittedLength = length;
  if (height != displayFontHeight) UseDisplayFont(display, height, TRUE);
}

void SetWindowBackground(HWND window, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  const auto previous = reinterpret_cast<HBRUSH>(
      SetClassLongPtrA(window, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush)));
  // The first call replaces the system colour the class was registered with: not ours.
  if (previous != nullptr && previous == backgroundBrush) DeleteObject(previous);
  backgroundBrush = brush;
}

void RepaintBackground(HWND window) {
  SetWindowBackground(window, settings.backgroundColor);
  InvalidateRect(window, nullptr, TRUE);
}

bool PickColour(HWND owner, COLORREF* colour) {
  CHOOSECOLORA chooser = {};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = ChooserOwner(owner);
  chooser.rgbResult = *colour;
  chooser.lpCustColors = customColors;
  chooser.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorOnDemand(&chooser)) return false;
  *colour = chooser.rgbResult;
  return true;
}

void SetCountColour(CountColour colour) {
  countColour = colour;
}

CountColour CountColourNow() {
  return countColour;
}

COLORREF DigitColourNow() {
  return DigitColour();
}

HBRUSH ColorDisplay(HDC dc) {
  SetBkColor(dc, settings.backgroundColor);
  SetTextColor(dc, DigitColour());
  if (displayBrush != nullptr) DeleteObject(displayBrush);
  displayBrush = CreateSolidBrush(settings.backgroundColor);
  return displayBrush;
}

void FontCommand(HWND display) {
  ChooseDisplayFont();
  // Also after Cancel: the font is rebuilt and the file rewritten from unchanged fields.
  InstallDisplayFont(display);
  SaveAndReload();
}

void TextColorCommand() {
  ChooseTextColor();
  SaveAndReload();
}

void BackgroundColorCommand(HWND window) {
  ChooseBackgroundColor();
  SaveAndReload();
  // Also after Cancel, with whatever colour the reload has left.
  SetWindowBackground(window, settings.backgroundColor);
  // The display too: the window clips its children, which a plain repaint would leave alone.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void ReleaseAppearance() {
  if (displayBrush != nullptr) DeleteObject(displayBrush);
  if (backgroundBrush != nullptr) DeleteObject(backgroundBrush);
  if (displayFont != nullptr) DeleteObject(displayFont);
  displayBrush = backgroundBrush = nullptr;
  displayFont = nullptr;
  displayFontHeight = 0;
  fittedLength = 0;
}

}  // namespace vantorel
