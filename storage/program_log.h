// The program log: an append-only text file in the data folder, one timestamped line per
// session start and end and per timer event.
#pragma once

#include <cstdio>

#include "storage/data_folder.h"

namespace vantorel {

constexpr int kTimestampSize = 80;

extern char logPath[kPathSize];  // empty when the data folder leaves no room for the name

// Forms the data folder once more and the log's path from it; the file is not touched.
void InitLogPath();

// "YYYY-MM-DD hh:mm:ss" of the local time.
void MakeTimestamp(char (&buffer)[kTimestampSize]);

// timestamp + eventText + detail into the line buffer, cut to its size.
void ComposeLogLine(const char* timestamp, const char* eventText, const char* detail);

// Appends the line buffer and one line feed; any failure is reported and the entry dropped.
void AppendLogLine();

// Callers test logEnabled themselves; this always writes.
void WriteLogEntry(const char* eventText, const char* detail);

void LogSessionStart();
void LogSessionEnd();

// Hands each line of the log, without its line end, to `consumer`, in file order. A line
// longer than a buffer arrives in consecutive pieces.
using LogLineConsumer = void (*)(const char* line, void* context);
void ReadLogLines(LogLineConsumer consumer, void* context);

// The lines of ReadLogLines one at a time, for a caller that takes a long log in parts. Only
// the bytes the log held when it was opened are read: lines appended later are not.
class LogLineReader {
 public:
  LogLineReader() = default;
  LogLineReader(const LogLineReader&) = delete;
  LogLineReader& operator=(const LogLineReader&) = delete;
  ~LogLineReader() { Close(); }

  // Opens the log, closing what was open; a log that cannot be opened is reported ("Cannot read
  // program log!") and gives false.
  bool Open();
  // The next line or piece of a line; null after the last one, when the log is closed. The
  // text stays valid until the next call.
  const char* Next();
  void Close();
  bool IsOpen() const { return file_ != nullptr; }
  // The log's size in bytes when it was opened; -1 when unknown (then it is read to its end).
  long size() const { return size_; }

 private:
  std::FILE* file_ = nullptr;
  long size_ = -1;
  long left_ = -1;  // bytes of size_ not read yet
  bool previousWasFull_ = false;
  char item_[kPathSize] = "";
};

// Deletes the log and writes its first new entry, whatever logEnabled holds.
void StartNewLog();

// The event texts of the log.
constexpr char kLogSessionStart[] = " - Session Start";
constexpr char kLogSessionEnd[] = " - Session End";
constexpr char kLogStart[] = " - Start ";
constexpr char kLogPaused[] = " - Timer paused.";
constexpr char kLogStopped[] = " - Timer stopped.";
constexpr char kLogReset[] = " - Timer reset.";
constexpr char kLogLimitReached[] = " - Timer limit reached.";
constexpr char kLogNewLog[] = " - New log started.";

}  // namespace vantorel
