#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

namespace crv {

inline constexpr std::string_view kLogFileName = "Log.txt";
inline constexpr std::string_view kWarningPrefix = "===> ";
inline constexpr std::string_view kIndent = "          ";

// Log.txt could not be opened: what() is "Failed to write file " and its
// path, cause() why (the system's text, such as "Permission denied").
class LogOpenError : public std::runtime_error {
 public:
  LogOpenError(const std::filesystem::path& logPath, std::string cause);
  const std::string& cause() const { return cause_; }

 private:
  std::string cause_;
};

// Copies Log0.txt over Log00.txt and Log.txt over Log0.txt, opens Log.txt
// afresh and writes the header line. Throws LogOpenError when the log cannot
// be opened, and the file-system error of backupLogFile ("copy_file" with
// both paths, "exists" with the path tested) when a backup cannot be copied
// or tested.
void openLog(const std::filesystem::path& logPath = std::filesystem::path(kLogFileName));

// Flushes and closes the log; every writer then writes nothing.
void closeLog();

bool isLogOpen();

// Keeps the two earlier logs by copying name0 over name00, then the log over
// name0; the log itself stays in place (a reader that follows it goes on
// with the next run). First tests that the log opens for writing, so that a
// log that cannot be opened costs no backup (LogOpenError). Each copy
// replaces its backup whole or not at all, and never a backup that may not
// be written (a read-only Log0.txt). Throws the file-system error of the
// step that failed, "copy_file" or "exists", with the system's own error
// code.
void backupLogFile(const std::filesystem::path& logPath);

// The writers take a finished line and add the line end themselves (CR LF on
// Windows, textLineEnd()); a line feed inside the line is written the same
// way, and every other control byte as "\xNN". Each line is written whole
// under logMutex; a closed log drops it. A line the disk does not take is
// written again before the next one; lines that come meanwhile are lost and
// counted ("===> N lines lost"), and the user is told on the error line.
void gf_logLine(std::string_view line);
void gf_logWarning(std::string_view line);
void gf_logIndented(std::string_view line);
// Writes nothing once stopRequested or userClosedWindow is set.
void gf_logLineUnlessStopping(const std::string& line);

// Writes one line made of a prefix and a text; the writers above use it, and
// so may any operation that needs a prefix of its own.
void writeLogLine(std::string_view prefix, std::string_view line);

// Outside text (an answer, a line of someone's file) as it goes into a log
// line: at most kLogExcerptBytes, cut before a UTF-8 character that would not
// fit, followed by "... (<n> bytes)" when it was cut; a byte that is no
// part of a UTF-8 character, and each control byte but the tab (a line
// feed, CR, NUL, ESC, BEL, DEL), shows as "\xNN". One bad answer must not
// fill the log, nor a broken file make it unreadable.
inline constexpr std::size_t kLogExcerptBytes = 300;
std::string logExcerpt(std::string_view outsideText);

// The text with each byte that is no part of a well-formed UTF-8 character,
// and each control byte but the tab, written as "\xNN", so that the log
// stays one readable UTF-8 text whatever an outside file holds.
std::string escapedNonUtf8(std::string_view text);

// The log's lock, always the innermost lock of the program.
std::mutex& logMutex();

}  // namespace crv
