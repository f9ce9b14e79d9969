#include "foundation/log.h"

#include <stdexcept>

#include <fmt/format.h>

#include "foundation/clock.h"
#include "foundation/session_flags.h"
#include "foundation/version.h"

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
  if (std::filesystem::exists(name0)) {
    std::filesystem::copy_file(name0, name00, std::filesystem::copy_options::overwrite_existing);
  }
  if (std::filesystem::exists(logPath)) {
    std::filesystem::copy_file(logPath, name0, std::filesystem::copy_options::overwrite_existing);
  }
}

void openLog(const std::filesystem::path& logPath) {
  backupLogFile(logPath);
  {
    std::lock_guard lock(logMutex());
    auto& stream = logStream();
    if (stream.is_open()) {
      stream.close();
    }
    stream.clear();
    stream.open(logPath, std::ios::out | std::ios::trunc);
    if (!stream.is_open()) {
      throw std::runtime_error("Failed to write file " + logPath.string());
    }
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

std::string logExcerpt(std::string_view outsideText) {
  if (outsideText.size() <= kLogExcerptBytes) {
    return std::string(outsideText);
  }
  std::size_t end = kLogExcerptBytes;
  // Back over continuation bytes to the start of the character that was cut.
  while (end > 0 && (static_cast<unsigned char>(outsideText[end]) & 0xC0U) == 0x80U) {
    --end;
  }
  return fmt::format("{}... ({} bytes)", outsideText.substr(0, end), outsideText.size());
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
