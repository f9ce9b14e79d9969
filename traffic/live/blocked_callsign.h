#pragma once

// The live callsign that the user blocked in the main window's Block box.
// The window's thread publishes it; the session worker reads its own copy,
// taken under the lock only when a new text was published, so that the
// spawning of every aircraft does not take a lock.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace crv {

class BlockedCallsign {
 public:
  // Any thread. An empty text blocks nothing.
  void publish(std::string callsign);
  // Session worker only: the callsign is the blocked one.
  bool isBlocked(std::string_view callsign);

 private:
  std::mutex mutex_;  // guards published_
  std::string published_;
  std::atomic<std::uint64_t> publishedVersion_{0};
  // Session worker only.
  std::string workerCopy_;
  std::uint64_t workerVersion_ = 0;
};

}  // namespace crv
