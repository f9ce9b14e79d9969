#pragma once

#include <string>
#include <string_view>

#include "foundation/log.h"
#include "tests/support/temp_folder.h"

namespace crv::testing {

// Points the program's log at a temporary file for the lifetime of the
// object; every log line is flushed as it is written.
class LogCapture {
 public:
  LogCapture() { openLog(folder_ / "Log.txt"); }
  ~LogCapture() { closeLog(); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::string text() const { return readFile(folder_ / "Log.txt"); }
  bool contains(std::string_view piece) const { return text().find(piece) != std::string::npos; }

 private:
  TempFolder folder_;
};

}  // namespace crv::testing
