#include "foundation/log_repeats.h"

#include <fmt/format.h>

#include "foundation/line_end.h"
#include "foundation/log.h"

namespace crv {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isPowerOfTwo(std::uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

// "hh:mm:ss" at the index.
bool isClockTimeAt(std::string_view line, std::size_t index) {
  constexpr std::string_view kForm = "00:00:00";
  if (index + kForm.size() > line.size()) return false;
  for (std::size_t offset = 0; offset < kForm.size(); ++offset) {
    const char c = line[index + offset];
    if (kForm[offset] == ':' ? c != ':' : !isDigit(c)) return false;
  }
  return true;
}

}  // namespace

std::string withClockTimesMasked(std::string_view line) {
  std::string masked(line);
  for (std::size_t index = 0; index < masked.size(); ++index) {
    if (isClockTimeAt(masked, index)) {
      masked.replace(index, 8, "##:##:##");
      index += 7;
    }
  }
  return masked;
}

void RepeatedBlocks::begin(std::string_view what) {
  if (inBlock_) {
    end();
  }
  if (what != what_) {
    stopMatching();
    forgetPrevious();
    what_ = what;
  }
  inBlock_ = true;
  current_.clear();
  tooLong_ = false;
  matching_ = false;
  if (unmatchedCount_ == 0) {
    return;
  }
  // A block that cannot be taken back is written as any other.
  const std::optional<std::uint64_t> start = sink_.end();
  if (!start) {
    stopMatching();
    return;
  }
  matching_ = true;
  blockStart_ = *start;
  // The count so far, which this block takes back with itself when it
  // repeats once more.
  countInBlock_ = repeats_ != repeatsWritten_;
  if (countInBlock_) {
    sink_.write(countLine());
  }
}

void RepeatedBlocks::line(std::string bytes) {
  if (!inBlock_) {
    // A line between blocks: the next block follows it, not the last one.
    stopMatching();
    forgetPrevious();
    sink_.write(std::move(bytes));
    return;
  }
  std::string shape = tooLong_ ? std::string() : withClockTimesMasked(bytes);
  if (matching_) {
    const auto unmatched = unmatched_.find(shape);
    if (unmatched != unmatched_.end() && unmatched->second > 0) {
      --unmatched->second;
      --unmatchedCount_;
    } else {
      stopMatching();
    }
  }
  sink_.write(std::move(bytes));
  if (current_.size() == kMostRecordedLines) {
    tooLong_ = true;
    current_ = {};
  }
  if (!tooLong_) current_.push_back(std::move(shape));
}

void RepeatedBlocks::end() {
  if (!inBlock_) return;
  inBlock_ = false;
  if (matching_ && unmatchedCount_ == 0 && !tooLong_ && sink_.takeBack(blockStart_)) {
    matching_ = false;
    countInBlock_ = false;
    ++repeats_;
    if (isPowerOfTwo(repeats_)) {
      sink_.write(countLine());
      repeatsWritten_ = repeats_;
    }
  } else {
    stopMatching();
  }
  forgetPrevious();
  if (!tooLong_) {
    for (std::string& shape : current_) ++unmatched_[std::move(shape)];
    unmatchedCount_ = current_.size();
  }
  current_.clear();
}

void RepeatedBlocks::close() {
  stopMatching();
  inBlock_ = false;
  forgetPrevious();
  current_.clear();
}

void RepeatedBlocks::forgetPrevious() {
  unmatched_.clear();
  unmatchedCount_ = 0;
}

void RepeatedBlocks::stopMatching() {
  // A count this block began with stays: it tells the blocks before it.
  if (countInBlock_) {
    repeatsWritten_ = repeats_;
    countInBlock_ = false;
  }
  if (repeats_ != repeatsWritten_) {
    sink_.write(countLine());
  }
  repeats_ = 0;
  repeatsWritten_ = 0;
  matching_ = false;
}

std::string RepeatedBlocks::countLine() const {
  return fmt::format("{}The {} above ran {} more time{} with the same log lines{}", kWarningPrefix, what_, repeats_,
                     repeats_ == 1 ? "" : "s", textLineEnd());
}

}  // namespace crv
