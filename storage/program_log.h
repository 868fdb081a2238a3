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

// The lines of ReadLogLines a few at a time, for a caller that lists a long log in parts
// between other work. The file is open only while lines are being read, from Start or the first
// Next after a Pause; only the bytes the log held at Start are read, so lines appended later
// are left out.
class LogLineReader {
 public:
  LogLineReader() = default;
  LogLineReader(const LogLineReader&) = delete;
  LogLineReader& operator=(const LogLineReader&) = delete;
  ~LogLineReader() { Stop(); }

  // Opens the log from its start; a log that cannot be opened is reported ("Cannot read
  // program log!") and gives false.
  bool Start();
  // The next line or piece of a line; null after the last one, or when the log can no longer be
  // opened. The text stays valid until the next call.
  const char* Next();
  // Closes the file and keeps the place for the next Next.
  void Pause();
  // Closes the file; Next gives nothing more.
  void Stop();
  bool Done() const { return done_; }
  // The log's size in bytes at Start; -1 when unknown (then it is read to its end).
  long size() const { return size_; }

 private:
  bool Resume();

  std::FILE* file_ = nullptr;
  long size_ = -1;
  long left_ = -1;           // bytes of size_ not read yet
  std::size_t carried_ = 0;  // bytes of a character cut off the last piece, in rest_
  char rest_[4] = {};
  bool previousWasFull_ = false;
  bool done_ = true;
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
