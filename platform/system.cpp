#include "platform/system.h"

#include <cstdlib>

namespace vantorel {

namespace {
System* installed = nullptr;
}

void InstallSystem(System* system) {
  installed = system;
}

System& TheSystem() {
  // Using the seam before it is installed is a programming error, not a runtime condition.
  if (installed == nullptr) std::abort();
  return *installed;
}

}  // namespace vantorel
