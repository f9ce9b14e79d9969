#pragma once

#include <initializer_list>
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

  std::string text() const { return readTextFile(folder_ / "Log.txt"); }
  bool contains(std::string_view piece) const { return text().find(piece) != std::string::npos; }
  // The pieces the log lacks, joined by " | "; empty when every one is there.
  std::string missing(std::initializer_list<std::string_view> pieces) const;

 private:
  TempFolder folder_;
};

// The pieces the text lacks, joined by " | "; empty when every one is
// there. One check over many expected lines:
//   EXPECT_EQ(missingPieces(log, {"first line", "second line"}), "");
inline std::string missingPieces(std::string_view text, std::initializer_list<std::string_view> pieces) {
  std::string missing;
  for (const std::string_view piece : pieces) {
    if (text.find(piece) == std::string_view::npos) {
      missing += (missing.empty() ? "" : " | ") + std::string(piece);
    }
  }
  return missing;
}

// How often the piece stands in the text (overlapping pieces count).
inline std::size_t countOf(std::string_view text, std::string_view piece) {
  std::size_t count = 0;
  for (auto at = text.find(piece); at != std::string_view::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

inline std::string LogCapture::missing(std::initializer_list<std::string_view> pieces) const {
  return missingPieces(text(), pieces);
}

}  // namespace crv::testing
