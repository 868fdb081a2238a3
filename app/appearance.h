// The display's font and colours: the font object and the two background brushes, owned
// here, and the Font, Text Color and Background Color commands.
#pragma once

#include <windows.h>

#include "platform/system.h"

namespace vantorel {

// Replaces the display font by one built from the settings and hands it to the display. Where
// the display's text is wider than the display in it, the font is made smaller until it fits;
// the settings keep the chosen height.
void InstallDisplayFont(HWND display);

// The display's text changed: a text of another length is fitted anew.
void DisplayTextChanged(HWND display);

// Installs a new class background brush of `colour` and deletes the one it replaces.
void SetWindowBackground(HWND window, COLORREF colour);

// The background brush anew from the settings, and the whole client area erased with it.
void RepaintBackground(HWND window);

// Answer to the display's WM_CTLCOLORSTATIC: its colours set on `dc`, and its brush. The digits
// take the text colour, or the warning or overtime colour that the count is shown in.
HBRUSH ColorDisplay(HDC dc);

// The colour the count is shown in from the display's next repaint.
void SetCountColour(CountColour colour);
// Which colour the count is shown in now, and that colour.
CountColour CountColourNow();
COLORREF DigitColourNow();

// The colour chooser as the colour commands open it, with their custom colours, owned by
// `owner` (none for the commands); false when cancelled.
bool PickColour(HWND owner, COLORREF* colour);

void FontCommand(HWND display);
void TextColorCommand();
void BackgroundColorCommand(HWND window);

// Deletes the brushes and the font at exit.
void ReleaseAppearance();

}  // namespace vantorel
