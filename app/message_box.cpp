#include "app/message_box.h"

#include "storage/options.h"

namespace vantorel {

int ShowMessageBox(const char* text, const char* caption, UINT flags) {
  // MB_SYSTEMMODAL is, for a box without an owner, MB_TOPMOST as every Windows knows it
  // (WS_EX_TOPMOST); Wine ignores MB_TOPMOST alone.
  return MessageBoxA(nullptr, text, caption, options.onTop ? flags | MB_SYSTEMMODAL : flags);
}

}  // namespace vantorel
