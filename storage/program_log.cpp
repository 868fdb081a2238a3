#include "storage/program_log.h"

#include <cstdio>
#include <cstring>

#include "core/ansi_text.h"
#include "core/system.h"

namespace vantorel {

char logPath[kPathSize] = "";

namespace {

constexpr char kLogName[] = "/vantorellog.txt";

char lineBuffer[kPathSize] = "";

void ReportFailure(const char* text) {
  TheSystem().ShowMessage(text, "An unexpected error has occurred!", kMbSystemModal | kMbIconHand);
}

// Appends `text` at `*length`, keeping the terminator inside the buffer.
void AppendCut(const char* text, std::size_t* length) {
  const std::size_t room = sizeof lineBuffer - 1 - *length;
  std::size_t count = std::strlen(text);
  if (count > room) count = room;
  std::memcpy(lineBuffer + *length, text, count);
  *length += count;
  lineBuffer[*length] = '\0';
}

enum class Piece { kNone, kLine, kFull };

// Reads the next piece of a line into `piece` after the `*length` bytes already there (at most
// size - 1 bytes in all) without its line end (LF, or CR LF; a lone CR is text). kFull means
// the piece filled the buffer and the line may go on. A zero byte, which would end the text
// early, shows as '?'.
Piece ReadPiece(std::FILE* file, char* piece, std::size_t size, std::size_t* length) {
  Piece result = Piece::kLine;
  for (int c = std::getc(file);; c = std::getc(file)) {
    if (c == EOF) {
      if (*length == 0) return Piece::kNone;
      break;
    }
    if (c == '\n') break;
    if (c == '\r') {
      const int next = std::getc(file);
      if (next == '\n') break;
      if (next != EOF) std::ungetc(next, file);
    }
    piece[(*length)++] = c == '\0' ? '?' : static_cast<char>(c);
    if (*length + 1 == size) {
      result = Piece::kFull;
      break;
    }
  }
  return result;
}

}  // namespace

void InitLogPath() {
  FormDataFolder();
  JoinPath(logPath, dataFolder, kLogName);
}

void MakeTimestamp(char (&buffer)[kTimestampSize]) {
  const LocalTime now = TheSystem().Now();
  std::snprintf(buffer, sizeof buffer, "%.2d-%.2d-%.2d %.2d:%.2d:%.2d", now.year, now.month,
                now.day, now.hour, now.minute, now.second);
}

void ComposeLogLine(const char* timestamp, const char* eventText, const char* detail) {
  std::size_t length = 0;
  lineBuffer[0] = '\0';
  AppendCut(timestamp, &length);
  AppendCut(eventText, &length);
  AppendCut(detail, &length);
}

void AppendLogLine() {
  std::FILE* file = logPath[0] != '\0' ? std::fopen(logPath, "ab+") : nullptr;
  if (file == nullptr) {
    ReportFailure("Cannot write to program log!");
    return;
  }
  const bool written = std::fprintf(file, "%s\n", lineBuffer) >= 0 && std::fflush(file) == 0;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) ReportFailure("Cannot write to program log!");
}

void WriteLogEntry(const char* eventText, const char* detail) {
  char timestamp[kTimestampSize];
  MakeTimestamp(timestamp);
  ComposeLogLine(timestamp, eventText, detail);
  AppendLogLine();
}

void LogSessionStart() {
  WriteLogEntry(kLogSessionStart, "");
}

void LogSessionEnd() {
  WriteLogEntry(kLogSessionEnd, "");
}

void ReadLogLines(LogLineConsumer consumer, void* context) {
  std::FILE* file = logPath[0] != '\0' ? std::fopen(logPath, "rb") : nullptr;
  if (file == nullptr) {
    ReportFailure("Cannot read program log!");
    return;
  }
  char item[kPathSize];
  std::size_t carried = 0;  // the start of a character that a full piece had no room for
  bool previousWasFull = false;
  for (;;) {
    std::size_t length = carried;
    const Piece piece = ReadPiece(file, item, sizeof item, &length);
    if (piece == Piece::kNone) break;
    // A full piece ends with a whole character; the bytes of one cut off begin the next piece.
    const std::size_t shown = piece == Piece::kFull ? WholeCharacterLength(item, length) : length;
    char rest[4];
    carried = length - shown;
    std::memcpy(rest, item + shown, carried);
    item[shown] = '\0';
    // The line end right after a full piece closes that line; it is no empty line of its own.
    const bool endOfCutLine = previousWasFull && piece == Piece::kLine && length == 0;
    if (!endOfCutLine) consumer(item, context);
    std::memcpy(item, rest, carried);
    previousWasFull = piece == Piece::kFull;
  }
  std::fclose(file);
}

void StartNewLog() {
  if (logPath[0] != '\0') TheSystem().RemoveFile(logPath);
  WriteLogEntry(kLogNewLog, "");
}

}  // namespace vantorel
