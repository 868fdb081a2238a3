// The command line at work: checked before anything else, applied by a first copy once its
// window shows, handed by a second start to the running copy, and taken by the running copy
// from any local program through WM_COPYDATA.
#pragma once

#include <windows.h>

#include "core/command_line.h"

namespace vantorel {

// The process's exit codes for a start with a command line.
constexpr int kExitDone = 0;
constexpr int kExitRunningCopyUnreachable = 1;
constexpr int kExitBadCommandLine = 2;

// WM_COPYDATA's dwData for a command line handed to the running copy: "Vntl".
constexpr ULONG_PTR kCommandLineData = 0x566E746C;

// Reads `arguments`; a faulty line is reported, with the usage, and gives false.
bool ReadCommandLine(const char* arguments, CommandLine* command);

void ShowCommandLineUsage();

// Hands `arguments` to the copy that runs and waits until it has applied them, at most five
// seconds in all; returns the exit code.
int HandToRunningCopy(const char* arguments);

// Does what each switch asks, in the order limit, how the count is shown, on top, monitor,
// full screen, timer command.
void ApplyCommandLine(HWND window, const CommandLine& command);

// WM_COPYDATA: a command line from another program, applied when it is well formed. Returns
// TRUE when it was taken.
LRESULT OnCopyData(HWND window, const COPYDATASTRUCT* data);

}  // namespace vantorel
