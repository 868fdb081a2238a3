#include "app/message_box.h"

#include "storage/options.h"

namespace vantorel {

int ShowMessageBox(const char* text, const char* caption, UINT flags) {
  return MessageBoxA(nullptr, text, caption, options.onTop ? flags | MB_TOPMOST : flags);
}

}  // namespace vantorel
