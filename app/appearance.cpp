#include "app/appearance.h"

#include "app/on_demand.h"

#include <cstring>

#include "core/ansi_text.h"
#include "storage/settings.h"

namespace vantorel {

namespace {

HFONT displayFont = nullptr;
HBRUSH backgroundBrush = nullptr;
HBRUSH displayBrush = nullptr;

// Both live for the whole run, so a chooser opens where the last one left off and a custom
// colour defined in one colour chooser is offered by the other.
LOGFONTA fontChoice = {};
COLORREF customColors[16] = {};

HFONT CreateDisplayFont() {
  return CreateFontA(settings.fontHeight, 0, 0, 0, settings.fontWeight,
                     static_cast<DWORD>(settings.fontItalic), FALSE, FALSE, ANSI_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, settings.fontFace);
}

void ChooseDisplayFont() {
  std::memcpy(fontChoice.lfFaceName, settings.fontFace, sizeof fontChoice.lfFaceName);
  CHOOSEFONTA chooser = {};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = nullptr;
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

bool PickColour(COLORREF* colour) {
  CHOOSECOLORA chooser = {};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = nullptr;
  chooser.rgbResult = *colour;
  chooser.lpCustColors = customColors;
  chooser.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorOnDemand(&chooser)) return false;
  *colour = chooser.rgbResult;
  return true;
}

void ChooseTextColor() {
  COLORREF colour = settings.textColor;
  if (PickColour(&colour)) settings.textColor = colour;
}

void ChooseBackgroundColor() {
  COLORREF colour = settings.backgroundColor;
  if (PickColour(&colour)) settings.backgroundColor = colour;
}

void SaveAndReload() {
  SaveSettings();
  LoadSettings();
}

}  // namespace

void InstallDisplayFont(HWND display) {
  if (displayFont != nullptr) DeleteObject(displayFont);
  displayFont = CreateDisplayFont();
  SendMessageA(display, WM_SETFONT, reinterpret_cast<WPARAM>(displayFont), FALSE);
  // The edit control derives its margins from the font, which for digits this size eats
  // into the width and cuts the count short; the display needs none.
  SendMessageA(display, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
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

HBRUSH ColorDisplay(HDC dc) {
  SetBkColor(dc, settings.backgroundColor);
  SetTextColor(dc, settings.textColor);
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
  RepaintBackground(window);
}

void ReleaseAppearance() {
  if (displayBrush != nullptr) DeleteObject(displayBrush);
  if (backgroundBrush != nullptr) DeleteObject(backgroundBrush);
  if (displayFont != nullptr) DeleteObject(displayFont);
  displayBrush = backgroundBrush = nullptr;
  displayFont = nullptr;
}

}  // namespace vantorel
