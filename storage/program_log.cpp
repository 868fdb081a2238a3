#include "storage/program_log.h"

#include <cstdio>
#include <cstring>

#include "core/ansi_text.h"
#include "platform/system.h"

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

// The next byte of the log, or EOF once `*left` bytes are read (no limit while it is negative).
int GetByte(std::FILE* file, long* left) {
  if (*left == 0) return EOF;
  const int c = std::getc(file);
  if (c != EOF && *left > 0) --*left;
  return c;
}

void UngetByte(int c, std::FILE* file, long* left) {
  std::ungetc(c, file);
  if (*left >= 0) ++*left;
}

// Reads the next piece of a line into `piece` after the `*length` bytes already there (at most
// size - 1 bytes in all) without its line end (LF, or CR LF; a lone CR is text). kFull means
// the piece filled the buffer and the line may go on. A zero byte, which would end the text
// early, shows as '?'.
Piece ReadPiece(std::FILE* file, long* left, char* piece, std::size_t size, std::size_t* length) {
  Piece result = Piece::kLine;
  for (int c = GetByte(file, left);; c = GetByte(file, left)) {
    if (c == EOF) {
      if (*length == 0) return Piece::kNone;
      break;
    }
    if (c == '\n') break;
    if (c == '\r') {
      const int next = GetByte(file, left);
      if (next == '\n') break;
      if (next != EOF) UngetByte(next, file, left);
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
  LogLineReader reader;
  if (!reader.Start()) return;
  for (const char* line; (line = reader.Next()) != nullptr;) consumer(line, context);
}

bool LogLineReader::Start() {
  Stop();
  file_ = logPath[0] != '\0' ? std::fopen(logPath, "rb") : nullptr;
  if (file_ == nullptr) {
    ReportFailure("Cannot read program log!");
    return false;
  }
  // What is appended from here on is left out.
  size_ = std::fseek(file_, 0, SEEK_END) == 0 ? std::ftell(file_) : -1;
  if (std::fseek(file_, 0, SEEK_SET) != 0) size_ = -1;
  left_ = size_;
  carried_ = 0;
  previousWasFull_ = false;
  done_ = false;
  return true;
}

bool LogLineReader::Resume() {
  if (done_ || file_ != nullptr) return !done_;
  file_ = std::fopen(logPath, "rb");
  if (file_ == nullptr || std::fseek(file_, size_ - left_, SEEK_SET) != 0) Stop();
  return !done_;
}

void LogLineReader::Pause() {
  // Without a known size there is no place to come back to: the file stays open to its end.
  if (size_ < 0 || file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
}

void LogLineReader::Stop() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  done_ = true;
}

const char* LogLineReader::Next() {
  if (file_ == nullptr && !Resume()) return nullptr;
  for (;;) {
    std::size_t length = carried_;
    std::memcpy(item_, rest_, carried_);
    const Piece piece = ReadPiece(file_, &left_, item_, sizeof item_, &length);
    if (piece == Piece::kNone) break;
    // A full piece ends with a whole character; the bytes of one cut off begin the next piece.
    const std::size_t shown = piece == Piece::kFull ? WholeCharacterLength(item_, length) : length;
    carried_ = length - shown;
    std::memcpy(rest_, item_ + shown, carried_);
    item_[shown] = '\0';
    // The line end right after a full piece closes that line; it is no empty line of its own.
    const bool endOfCutLine = previousWasFull_ && piece == Piece::kLine && length == 0;
    previousWasFull_ = piece == Piece::kFull;
    if (!endOfCutLine) return item_;
  }
  Stop();
  return nullptr;
}

void StartNewLog() {
  if (logPath[0] != '\0') TheSystem().RemoveFile(logPath);
  WriteLogEntry(kLogNewLog, "");
}

}  // namespace vantorel
