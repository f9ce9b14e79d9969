#include "traffic/live/blocked_callsign.h"

namespace crv {

void BlockedCallsign::publish(std::string callsign) {
  std::lock_guard lock(mutex_);
  published_ = std::move(callsign);
  publishedVersion_.fetch_add(1, std::memory_order_release);
}

bool BlockedCallsign::isBlocked(std::string_view callsign) {
  const std::uint64_t version = publishedVersion_.load(std::memory_order_acquire);
  if (version != workerVersion_) {
    std::lock_guard lock(mutex_);
    workerCopy_ = published_;
    workerVersion_ = publishedVersion_.load(std::memory_order_relaxed);
  }
  return !workerCopy_.empty() && workerCopy_ == callsign;
}

}  // namespace crv
