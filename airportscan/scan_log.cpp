#include "airportscan/scan_log.h"

#include <utility>

namespace crv {

void ScanLog::append(std::string line) {
  const std::lock_guard lock(mutex_);
  lines_.push_back(std::move(line));
}

std::vector<std::string> ScanLog::takeLines() {
  const std::lock_guard lock(mutex_);
  std::vector<std::string> taken;
  taken.swap(lines_);
  return taken;
}

std::vector<std::string> ScanLog::lines() const {
  const std::lock_guard lock(mutex_);
  return lines_;
}

void ScanLog::reserve(std::size_t lineCount) {
  const std::lock_guard lock(mutex_);
  if (lines_.capacity() < lineCount) {
    lines_.reserve(lineCount);
  }
}

ScanLog& airportScanLog() {
  static ScanLog log;
  return log;
}

void appendScanLog(std::string line) { airportScanLog().append(std::move(line)); }

}  // namespace crv
