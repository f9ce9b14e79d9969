#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace crv {

// Folds a block of log lines that repeats the block before it, the same
// lines with clock times aside (threads may interleave them in another
// order): a session that fails the same way at every restart writes its
// lines once, then only a count, so the log stays small however long the
// failure lasts. The count is written when it reaches 1, 2, 4, 8 ... and when
// a block differs or the log closes. Not thread-safe: the log holds its lock
// around every call.
class RepeatedBlocks {
 public:
  // The lines each call gives back are to be written now, in order.
  std::vector<std::string> begin(std::string_view what);
  // A finished line with its line end.
  std::vector<std::string> line(std::string bytes);
  std::vector<std::string> end();
  // The log closes: what is held back and the count not yet written.
  std::vector<std::string> close();

 private:
  // Ends the folding: the count, then the lines held back.
  void stopMatching(std::vector<std::string>& lines);
  void forgetPrevious();
  std::string countLine() const;

  std::string what_;
  bool inBlock_ = false;
  bool matching_ = false;
  // The last block's lines (times masked) that this block has not repeated
  // yet, with their counts, and how many they are in all.
  std::unordered_map<std::string, std::size_t> unmatched_;
  std::size_t unmatchedCount_ = 0;
  std::vector<std::string> current_;  // this block's lines so far, times masked
  // A block longer than this is a session that ran, not one that failed at
  // once: it is neither recorded nor folded, so its lines take no memory.
  static constexpr std::size_t kMostRecordedLines = 4096;
  bool tooLong_ = false;
  std::vector<std::string> held_;      // this block's lines, held while they repeat
  std::uint64_t repeats_ = 0;          // blocks that repeated the written one
  std::uint64_t repeatsWritten_ = 0;   // the count last written
};

// The line with the digits of each clock time ("16:01:18") masked.
std::string withClockTimesMasked(std::string_view line);

}  // namespace crv
