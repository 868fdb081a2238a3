// How the count is shown (elapsed or remaining, the warning before the limit, overtime past
// it): applied at once and saved, from the menu, its dialog and the command line alike.
#pragma once

#include "core/time_text.h"

namespace vantorel {

// Saves the options, reads them back as the settings are, and shows the count as they want.
void ApplyCountOptions();

void SetCountView(CountView view);
// The menu's Time Remaining (F5): elapsed to remaining and back.
void ToggleCountView();

}  // namespace vantorel
