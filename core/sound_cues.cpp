#include "core/sound_cues.h"

#include <cstring>

#include "platform/system.h"

namespace vantorel {

void PlayCue(int resourceId, const char* path) {
  if (std::strcmp(path, NO_FILE_SENTINEL) != 0) {
    TheSystem().PlaySoundFile(path);
  } else {
    TheSystem().PlaySoundResource(resourceId);
  }
}

}  // namespace vantorel
