// The tick and the alarm: a chosen WAV file, or the sound built into the program.
#pragma once

namespace vantorel {

// Plays asynchronously; a new cue cuts off the one still playing.
void PlayCue(int resourceId, const char* path);

}  // namespace vantorel
