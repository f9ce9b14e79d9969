#include "foundation/log.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "foundation/clock.h"
#include "foundation/session_flags.h"
#include "foundation/version.h"
#include "platform/os/file_access.h"

namespace crv {
namespace {

// The stream lives behind a function-local static so that lines logged by
// other static initialisers find it constructed (and closed).
std::ofstream& logStream() {
  static std::ofstream stream;
  return stream;
}

std::filesystem::path withZerosBeforeExtension(const std::string& text, std::size_t dot, const char* zeros) {
  std::string name = text;
  name.insert(dot, zeros);
  return std::filesystem::path(name);
}

std::atomic<std::uint64_t>& logOpenings() {
  static std::atomic<std::uint64_t> openings{0};
  return openings;
}

}  // namespace

std::uint64_t logGeneration() { return logOpenings().load(); }

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
  // Renamed, never copied: a rename writes no bytes, so a full disk cannot
  // leave a backup cut short or empty.
  // Only files are rotated: a folder in the log's place stays where it is,
  // and opening the log then says why it fails.
  if (std::filesystem::is_regular_file(logPath)) {
    if (std::filesystem::is_regular_file(name0)) {
      std::filesystem::rename(name0, name00);
    }
    std::filesystem::rename(logPath, name0);
  } else if (std::filesystem::is_regular_file(name0)) {
    // Without a log the first backup stays; its copy is a spare that may
    // fail on a full disk without loss.
    std::error_code ignored;
    platform::copyFileReplacing(name0, name00, ignored);
  }
}

LogOpenError::LogOpenError(const std::filesystem::path& logPath, std::string cause)
    : std::runtime_error("Failed to write file " + logPath.string()), cause_(std::move(cause)) {}

void openLog(const std::filesystem::path& logPath) {
  // A log still open is closed before it is renamed: Windows renames no open
  // file.
  {
    std::lock_guard lock(logMutex());
    if (logStream().is_open()) {
      logStream().close();
    }
  }
  try {
    backupLogFile(logPath);
  } catch (const std::filesystem::filesystem_error& error) {
    throw LogOpenError(logPath, error.code().message());
  }
  {
    std::lock_guard lock(logMutex());
    auto& stream = logStream();
    if (stream.is_open()) {
      stream.close();
    }
    stream.clear();
    errno = 0;
    // Binary: the same bytes on every system, lines ended by a line feed.
    stream.open(logPath, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!stream.is_open()) {
      const int code = errno;
      throw LogOpenError(logPath, code != 0 ? std::generic_category().message(code) : "it cannot be created");
    }
    logOpenings().fetch_add(1);
  }
  gf_logLine(fmt::format("{} (utc) {} version {} for {}", timeText(systemTimeSeconds()), kProgramName,
                         formatVersion(programVersionData()), "MSFS 2020/2024"));
}

void closeLog() {
  std::lock_guard lock(logMutex());
  auto& stream = logStream();
  if (stream.is_open()) {
    stream.flush();
    stream.close();
  }
}

bool isLogOpen() {
  std::lock_guard lock(logMutex());
  return logStream().is_open();
}

void writeLogLine(std::string_view prefix, std::string_view line) {
  std::lock_guard lock(logMutex());
  auto& stream = logStream();
  if (!stream.is_open()) {
    return;
  }
  stream << prefix << line << '\n';
  stream.flush();
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
    if (length == 0) {
      escaped += fmt::format("\\x{:02X}", static_cast<unsigned char>(text.front()));
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
