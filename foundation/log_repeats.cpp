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

std::vector<std::string> RepeatedBlocks::begin(std::string_view what) {
  std::vector<std::string> lines;
  if (inBlock_) {
    lines = end();
  }
  if (what != what_) {
    stopMatching(lines);
    forgetPrevious();
    what_ = what;
  }
  inBlock_ = true;
  matching_ = unmatchedCount_ > 0;
  current_.clear();
  tooLong_ = false;
  return lines;
}

std::vector<std::string> RepeatedBlocks::line(std::string bytes) {
  std::vector<std::string> lines;
  if (!inBlock_) {
    // A line between blocks: the next block follows it, not the last one.
    stopMatching(lines);
    forgetPrevious();
    lines.push_back(std::move(bytes));
    return lines;
  }
  std::string shape = tooLong_ ? std::string() : withClockTimesMasked(bytes);
  const auto unmatched = matching_ ? unmatched_.find(shape) : unmatched_.end();
  if (unmatched != unmatched_.end() && unmatched->second > 0) {
    --unmatched->second;
    --unmatchedCount_;
    held_.push_back(std::move(bytes));
  } else {
    stopMatching(lines);
    lines.push_back(std::move(bytes));
  }
  if (current_.size() == kMostRecordedLines) {
    tooLong_ = true;
    current_ = {};
  }
  if (!tooLong_) current_.push_back(std::move(shape));
  return lines;
}

std::vector<std::string> RepeatedBlocks::end() {
  std::vector<std::string> lines;
  if (!inBlock_) return lines;
  inBlock_ = false;
  if (matching_ && unmatchedCount_ == 0 && !tooLong_) {
    held_.clear();
    matching_ = false;
    ++repeats_;
    if (isPowerOfTwo(repeats_)) {
      lines.push_back(countLine());
      repeatsWritten_ = repeats_;
    }
  } else {
    stopMatching(lines);
  }
  forgetPrevious();
  if (!tooLong_) {
    for (std::string& shape : current_) ++unmatched_[std::move(shape)];
    unmatchedCount_ = current_.size();
  }
  current_.clear();
  return lines;
}

std::vector<std::string> RepeatedBlocks::close() {
  std::vector<std::string> lines;
  stopMatching(lines);
  inBlock_ = false;
  forgetPrevious();
  current_.clear();
  return lines;
}

void RepeatedBlocks::forgetPrevious() {
  unmatched_.clear();
  unmatchedCount_ = 0;
}

void RepeatedBlocks::stopMatching(std::vector<std::string>& lines) {
  if (repeats_ != repeatsWritten_) {
    lines.push_back(countLine());
  }
  repeats_ = 0;
  repeatsWritten_ = 0;
  for (std::string& held : held_) lines.push_back(std::move(held));
  held_.clear();
  matching_ = false;
}

std::string RepeatedBlocks::countLine() const {
  return fmt::format("{}The {} above ran {} more time{} with the same log lines{}", kWarningPrefix, what_, repeats_,
                     repeats_ == 1 ? "" : "s", textLineEnd());
}

}  // namespace crv
