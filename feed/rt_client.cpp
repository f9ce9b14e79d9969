#include "feed/rt_client.h"

#include <algorithm>
#include <chrono>

#include "feed/request_bodies.h"
#include "foundation/sleep.h"

namespace crv {

namespace {

constexpr std::size_t kAuthAnswerReserve = 4096;

}  // namespace

RtClient::RtClient(FeedConfig config, FeedHooks hooks)
    : config_(std::move(config)), hooks_(std::move(hooks)), authCurl_(makeCurlHandle("aucurl_")) {
  response_.reserve(kAuthAnswerReserve);
}

RtClient::~RtClient() = default;

void RtClient::setTimeOffsetMinutes(int minutes) {
  timeOffsetMinutes_.store(std::clamp(minutes, 0, kMaximumTimeOffsetMinutes));
}

void RtClient::setServicePace(ServicePace pace) {
  trafficPaceMs_.store(pace.trafficMs);
  weatherPaceMs_.store(pace.weatherMs);
}

void RtClient::waitInterval(int milliseconds) const {
  const int half = milliseconds / 2;
  if (half <= 0) {
    return;
  }
  waitPace(std::chrono::milliseconds(2 * half), stop_);
}

bool RtClient::waitPace(std::chrono::milliseconds duration, const std::atomic<bool>& stop) const {
  if (config_.paceWait) {
    return config_.paceWait(duration, stop);
  }
  return sleepUnlessStopped(duration, stop);
}

void RtClient::resetRtClient() {
  guid_.clear();
  authCurl_ = makeCurlHandle("aucurl_");
  stop_.store(false);
  timeOffsetMinutes_.store(0);
  ended_.store(false);
  response_.clear();
}

void RtClient::repaint() const {
  if (hooks_.repaint) {
    hooks_.repaint();
  }
}

}  // namespace crv
