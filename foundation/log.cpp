#include "foundation/log.h"

#include <cerrno>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "foundation/clock.h"
#include "foundation/line_end.h"
#include "foundation/session_flags.h"
#include "foundation/status_line.h"
#include "foundation/version.h"
#include "platform/os/file_access.h"
#include "platform/os/system_error_text.h"

namespace crv {
namespace {

// A failed write of the log, or the first good one after it: what the user
// is told, outside the log's lock.
struct LogWriteNews {
  bool failing = false;
  std::string cause;            // why the write failed
  std::uint64_t lostLines = 0;  // written again: the lines lost meanwhile
};

// Log.txt as written: a file descriptor, so that a failed write is seen and
// the next line tries again (a stream stays failed for good). Guarded by
// logMutex.
class LogFile {
 public:
  bool isOpen() const { return descriptor_ >= 0; }

  // False with errno set when the file cannot be opened.
  bool open(const std::filesystem::path& path) {
    close();
    descriptor_ = platform::openFileForWriting(path);
    path_ = path;
    news_.reset();
    return isOpen();
  }

  ~LogFile() { close(); }

  // A last try for a line the disk did not take and for the count of the
  // lines lost after it.
  void close() {
    if (isOpen()) {
      if (writeUnwritten() && lostLines_ > 0) {
        unwritten_ = lostLinesMark();
        writeUnwritten();
      }
      platform::closeFile(descriptor_);
    }
    descriptor_ = -1;
    unwritten_.clear();
    lostLines_ = 0;
    failing_ = false;
  }

  const std::filesystem::path& path() const { return path_; }

  // Writes one finished line. A line that cannot be written whole is kept and
  // written first when the disk takes bytes again, so no line is torn; lines
  // that come while it waits are lost and counted, and a line "N lines lost"
  // marks the gap.
  void write(std::string_view bytes) {
    if (auto news = writeLine(bytes)) {
      news_ = std::move(news);
    }
  }

  // The news of the last write that had any since the last call: writing
  // started failing or works again.
  std::optional<LogWriteNews> takeNews() { return std::exchange(news_, std::nullopt); }

 private:
  std::optional<LogWriteNews> writeLine(std::string_view bytes) {
    if (!writeUnwritten()) {
      ++lostLines_;
      return failed();
    }
    std::uint64_t markedLines = 0;
    if (lostLines_ > 0) {
      markedLines = lostLines_;
      unwritten_ = lostLinesMark();
      lostLines_ = 0;
    }
    unwritten_.append(bytes);
    if (!writeUnwritten()) {
      return failed();
    }
    if (!failing_) {
      return std::nullopt;
    }
    failing_ = false;
    return LogWriteNews{false, {}, markedLines};
  }

  std::string lostLinesMark() const { return fmt::format("{}{} lines lost{}", kWarningPrefix, lostLines_, textLineEnd()); }

  bool writeUnwritten() {
    std::size_t done = 0;
    while (done < unwritten_.size()) {
      const std::ptrdiff_t count = platform::writeToFile(descriptor_, unwritten_.data() + done, unwritten_.size() - done);
      if (count < 0 && errno == EINTR) {
        continue;
      }
      if (count <= 0) {
        cause_ = count < 0 ? std::generic_category().message(errno) : "nothing was written";
        unwritten_.erase(0, done);
        return false;
      }
      done += static_cast<std::size_t>(count);
    }
    unwritten_.clear();
    return true;
  }

  std::optional<LogWriteNews> failed() {
    if (failing_) {
      return std::nullopt;
    }
    failing_ = true;
    return LogWriteNews{true, cause_, 0};
  }

  int descriptor_ = -1;
  std::filesystem::path path_;
  std::string unwritten_;  // the bytes of a line the disk did not take yet
  std::uint64_t lostLines_ = 0;
  bool failing_ = false;
  std::string cause_;
  std::optional<LogWriteNews> news_;
};

// The file lives behind a function-local static so that lines logged by
// other static initialisers find it constructed (and closed).
LogFile& logFile() {
  static LogFile file;
  return file;
}

std::string failedWriteText(const std::filesystem::path& path, const std::string& cause) {
  return fmt::format("Writing {} failed ({}), its lines are lost until it can be written again", path.string(), cause);
}

// Tells the user; never under logMutex, for the error line logs as well.
void tellAboutLog(const std::filesystem::path& path, const LogWriteNews& news) {
  if (news.failing) {
    setErrorLine(failedWriteText(path, news.cause));
    return;
  }
  const std::string text = errorLineText();
  if (text.starts_with(fmt::format("Writing {} failed", path.string()))) {
    clearErrorLine();
  }
  setStatusLine(fmt::format("{} is written again; lines lost: {}", path.string(), news.lostLines));
}

// A byte that would steer a terminal or an editor (NUL, BEL, ESC, CR, DEL)
// instead of showing as text; a tab shows as blanks.
bool isControlByte(unsigned char byte) { return (byte < 0x20U && byte != '\t') || byte == 0x7FU; }

std::string escapedByte(unsigned char byte) { return fmt::format("\\x{:02X}", byte); }

// A line as written: control bytes escaped, each line feed (a line may
// start or end with empty lines) as the system's line end.
std::string loggedText(std::string_view text) {
  std::string logged;
  logged.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      logged += textLineEnd();
    } else if (isControlByte(byte)) {
      logged += escapedByte(byte);
    } else {
      logged += c;
    }
  }
  return logged;
}

// The system's own words for an error of its own (on Windows a file held
// by another program is no "Input/output error").
std::string causeText(const std::error_code& error) {
  if (error.category() == std::system_category()) {
    return platform::systemErrorText(static_cast<std::uint32_t>(error.value()));
  }
  return error.message();
}

std::filesystem::path withZerosBeforeExtension(const std::string& text, std::size_t dot, const char* zeros) {
  std::string name = text;
  name.insert(dot, zeros);
  return std::filesystem::path(name);
}

// Copies a log over a backup's name, whole or not at all: the copy is made
// beside it and then takes its place, so that a copy cut short (a full disk)
// never stands in the place of a good backup.
void copyLogReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::filesystem::path staged = to;
  staged += ".new";
  std::error_code error;
  if (!platform::copyFileReplacing(from, staged, error) || !platform::replaceFile(staged, to, error)) {
    std::error_code ignored;
    std::filesystem::remove(staged, ignored);
    throw std::filesystem::filesystem_error("copy_file", from, to, error);
  }
}

// What stands at the path; a test that fails for another reason than that
// nothing is there throws the file-system error "exists".
std::filesystem::file_status statusOf(const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error && status.type() != std::filesystem::file_type::not_found) {
    throw std::filesystem::filesystem_error("exists", path, error);
  }
  return status;
}

}  // namespace

std::mutex& logMutex() {
  static std::mutex mutex;
  return mutex;
}

void backupLogFile(const std::filesystem::path& logPath) {
  const std::string text = logPath.string();
  const std::size_t dot = text.rfind('.');
  if (dot == std::string::npos) {
    return;
  }
  const auto name0 = withZerosBeforeExtension(text, dot, "0");
  const auto name00 = withZerosBeforeExtension(text, dot, "00");
  // A log that will not open for writing (on Windows another program holds
  // it and shares no writing; a folder in its place) fails the start before
  // any backup is given up for it.
  const std::filesystem::file_status log = statusOf(logPath);
  std::error_code openError;
  if (std::filesystem::exists(log) && !platform::opensForWriting(logPath, openError)) {
    throw LogOpenError(logPath, causeText(openError));
  }
  // Copies, not moves: the log stays where it is until it is opened afresh,
  // so that a reader that follows it goes on with the new run.
  if (std::filesystem::is_regular_file(statusOf(name0))) {
    copyLogReplacing(name0, name00);
  }
  if (std::filesystem::is_regular_file(log)) {
    copyLogReplacing(logPath, name0);
  }
}

LogOpenError::LogOpenError(const std::filesystem::path& logPath, std::string cause)
    : std::runtime_error("Failed to write file " + logPath.string()), cause_(std::move(cause)) {}

void openLog(const std::filesystem::path& logPath) {
  // A log still open is closed before it is copied and opened afresh.
  {
    std::lock_guard lock(logMutex());
    logFile().close();
  }
  backupLogFile(logPath);
  {
    std::lock_guard lock(logMutex());
    errno = 0;
    // Bytes as they are: the line ends are the writers' own.
    if (!logFile().open(logPath)) {
      const int code = errno;
      throw LogOpenError(logPath, code != 0 ? std::generic_category().message(code) : "it cannot be created");
    }
  }
  gf_logLine(fmt::format("{} (utc) {} version {} for {}", timeText(systemTimeSeconds()), kProgramName,
                         formatVersion(programVersionData()), "MSFS 2020/2024"));
}

void closeLog() {
  std::lock_guard lock(logMutex());
  logFile().close();
}

bool isLogOpen() {
  std::lock_guard lock(logMutex());
  return logFile().isOpen();
}

void writeLogLine(std::string_view prefix, std::string_view line) {
  std::string bytes = loggedText(prefix);
  bytes += loggedText(line);
  bytes += textLineEnd();
  std::optional<LogWriteNews> news;
  std::filesystem::path path;
  {
    std::lock_guard lock(logMutex());
    if (!logFile().isOpen()) {
      return;
    }
    logFile().write(bytes);
    news = logFile().takeNews();
    if (news) {
      path = logFile().path();
    }
  }
  // The user is told what became of writing the file outside the lock.
  if (news) {
    tellAboutLog(path, *news);
  }
}

namespace {

// The length of the well-formed UTF-8 character at the start of the text
// (no overlong forms, no surrogates, nothing beyond U+10FFFF); 0 when the
// first byte starts none.
std::size_t utf8CharacterLength(std::string_view text) {
  const auto byte = [&text](std::size_t index) { return static_cast<unsigned char>(text[index]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead < 0x80U) {
    return 1;
  } else if (lead >= 0xC2U && lead <= 0xDFU) {
    length = 2;
  } else if (lead >= 0xE0U && lead <= 0xEFU) {
    length = 3;
    low = lead == 0xE0U ? 0xA0 : 0x80;
    high = lead == 0xEDU ? 0x9F : 0xBF;
  } else if (lead >= 0xF0U && lead <= 0xF4U) {
    length = 4;
    low = lead == 0xF0U ? 0x90 : 0x80;
    high = lead == 0xF4U ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) {
    return 0;
  }
  for (std::size_t index = 2; index < length; ++index) {
    if ((byte(index) & 0xC0U) != 0x80U) {
      return 0;
    }
  }
  return length;
}

}  // namespace

std::string escapedNonUtf8(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  while (!text.empty()) {
    const std::size_t length = utf8CharacterLength(text);
    if (length == 0 || isControlByte(static_cast<unsigned char>(text.front()))) {
      escaped += escapedByte(static_cast<unsigned char>(text.front()));
      text.remove_prefix(1);
    } else {
      escaped.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return escaped;
}

std::string logExcerpt(std::string_view outsideText) {
  if (outsideText.size() <= kLogExcerptBytes) {
    return escapedNonUtf8(outsideText);
  }
  std::size_t end = kLogExcerptBytes;
  // Back over continuation bytes to the start of the character that was cut
  // (a character has at most three).
  while (end + 3 > kLogExcerptBytes && (static_cast<unsigned char>(outsideText[end]) & 0xC0U) == 0x80U) {
    --end;
  }
  return fmt::format("{}... ({} bytes)", escapedNonUtf8(outsideText.substr(0, end)), outsideText.size());
}

void gf_logLine(std::string_view line) { writeLogLine({}, line); }

void gf_logWarning(std::string_view line) { writeLogLine(kWarningPrefix, line); }

void gf_logIndented(std::string_view line) { writeLogLine(kIndent, line); }

void gf_logLineUnlessStopping(const std::string& line) {
  if (isStopping()) {
    return;
  }
  writeLogLine({}, line);
}

}  // namespace crv
