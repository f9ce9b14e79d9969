#pragma once

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>

namespace crv {

inline constexpr std::string_view kLogFileName = "Log.txt";
inline constexpr std::string_view kWarningPrefix = "===> ";
inline constexpr std::string_view kIndent = "          ";

// Copies Log0.txt over Log00.txt and Log.txt over Log0.txt, opens Log.txt
// afresh and writes the header line. Throws std::runtime_error
// "Failed to write file <path>" when the log cannot be opened, and the
// file-system error of a failed backup copy.
void openLog(const std::filesystem::path& logPath = std::filesystem::path(kLogFileName));

// Flushes and closes the log; every writer then writes nothing.
void closeLog();

bool isLogOpen();

// Copies the two earlier logs: name0 over name00, the log over name0.
void backupLogFile(const std::filesystem::path& logPath);

// The writers take a finished line and add the line end themselves. Each line
// is written and flushed whole under logMutex; a closed log drops it.
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
// fit, followed by "... (<n> bytes)" when it was cut. One bad answer must
// not fill the log.
inline constexpr std::size_t kLogExcerptBytes = 300;
std::string logExcerpt(std::string_view outsideText);

// The log's lock, always the innermost lock of the program.
std::mutex& logMutex();

}  // namespace crv
