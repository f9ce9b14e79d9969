#pragma once

// The airport scan's log: one line per event of a scan (skipped positions,
// links, generated files), appended by the scan tasks from several threads
// and written to AirportsScanLog.txt after the walk.

#include <mutex>
#include <string>
#include <vector>

namespace crv {

class ScanLog {
 public:
  void append(std::string line);
  // Hands over every line in the order appended and leaves the log empty.
  std::vector<std::string> takeLines();
  std::vector<std::string> lines() const;
  void reserve(std::size_t lineCount);

 private:
  mutable std::mutex mutex_;  // guards lines_
  std::vector<std::string> lines_;
};

// The process-wide scan log of the add-on airport scan.
ScanLog& airportScanLog();
void appendScanLog(std::string line);

}  // namespace crv
