// The tick and the alarm: a chosen WAV file, or the sound built into the program.
#pragma once

namespace vantorel {

// The one path that means "no sound file chosen, use the built-in sound".
constexpr char NO_FILE_SENTINEL[] = "No file selected";

// Plays asynchronously; a new cue cuts off the one still playing.
void PlayCue(int resourceId, const char* path);

}  // namespace vantorel
