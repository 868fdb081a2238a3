// The system seam implemented with the real Win32 calls.
#pragma once

#include "platform/system.h"

namespace vantorel {

System& Win32System();

}  // namespace vantorel
