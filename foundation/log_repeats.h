#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace crv {

// Where folded lines go: the log file, which can take back what was
// written after a point of it.
class LogSink {
 public:
  virtual ~LogSink() = default;
  // A finished line with its line end.
  virtual void write(std::string bytes) = 0;
  // The end of what is written: a point to take the file back to. None while
  // writing fails (where the file ends is not known then).
  virtual std::optional<std::uint64_t> end() const = 0;
  // Takes back everything written after the point; false when it cannot.
  virtual bool takeBack(std::uint64_t point) = 0;
};

// Folds a block of log lines that repeats the block before it, the same
// lines with clock times aside (threads may interleave them in another
// order): a session that fails the same way at every restart writes its
// lines once, then only a count, so the log stays small however long the
// failure lasts. Every line is written as it comes, so that a crash leaves
// it in the file; a block that proves a repeat when it ends is taken back.
// The count is written when it reaches 1, 2, 4, 8 ..., and before a block
// that may repeat once more, so that the file always tells it. Not
// thread-safe: the log holds its lock around every call.
class RepeatedBlocks {
 public:
  explicit RepeatedBlocks(LogSink& sink) : sink_(sink) {}

  void begin(std::string_view what);
  // A finished line with its line end.
  void line(std::string bytes);
  void end();
  // The log closes: the count not yet written.
  void close();

 private:
  // Ends the folding: the written block stands, and so does the count.
  void stopMatching();
  void forgetPrevious();
  std::string countLine() const;

  LogSink& sink_;
  std::string what_;
  bool inBlock_ = false;
  bool matching_ = false;
  // Where this block began in the file while it repeats the one before.
  std::uint64_t blockStart_ = 0;
  // The last block's lines (times masked) that this block has not repeated
  // yet, with their counts, and how many they are in all.
  std::unordered_map<std::string, std::size_t> unmatched_;
  std::size_t unmatchedCount_ = 0;
  std::vector<std::string> current_;  // this block's lines so far, times masked
  // A block longer than this is a session that ran, not one that failed at
  // once: it is neither recorded nor folded, so its lines take no memory.
  static constexpr std::size_t kMostRecordedLines = 4096;
  bool tooLong_ = false;
  std::uint64_t repeats_ = 0;          // blocks that repeated the written one
  std::uint64_t repeatsWritten_ = 0;   // the count the file tells for good
  bool countInBlock_ = false;          // this block began with the count
};

// The line with the digits of each clock time ("16:01:18") masked.
std::string withClockTimesMasked(std::string_view line);

}  // namespace crv
