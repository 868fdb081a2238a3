// The per-user folder that holds the settings file and the program log, and the fixed-size
// path buffers built from it.
#pragma once

namespace vantorel {

constexpr int kPathSize = 260;  // MAX_PATH, terminator included

extern char dataFolder[kPathSize];

// Forms dataFolder through the system seam (the folder is created); empty on failure.
void FormDataFolder();

// path = folder + name when the whole text fits; otherwise path is left empty and false is
// returned, so a later open fails and is reported rather than writing past the buffer.
bool JoinPath(char (&path)[kPathSize], const char* folder, const char* name);

}  // namespace vantorel
