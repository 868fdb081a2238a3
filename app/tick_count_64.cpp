// The C++ runtime's thread library imports GetTickCount64, which Windows XP and Server 2003 do
// not export: their loader refuses a program that imports it. The program is compiled so that
// nothing brings the library in (no exceptions, no locked static locals), but should anything do
// so, defining the import's pointer here keeps it out of the import table; the library, which
// only times waits with it, gets GetTickCount widened to 64 bits instead.
#include <windows.h>

namespace {

ULONGLONG WINAPI TickCount64() {
  // The program's one thread is the only caller; a reading below the last one is a wrap.
  static DWORD last = 0;
  static ULONGLONG wraps = 0;
  const DWORD now = GetTickCount();
  if (now < last) wraps += 1;
  last = now;
  return (wraps << 32) | now;
}

}  // namespace

#if defined(_WIN64)
extern "C" ULONGLONG(WINAPI* const tickCount64Import)() __asm__("__imp_GetTickCount64");
#else
extern "C" ULONGLONG(WINAPI* const tickCount64Import)() __asm__("__imp__GetTickCount64@0");
#endif
extern "C" ULONGLONG(WINAPI* const tickCount64Import)() = TickCount64;
