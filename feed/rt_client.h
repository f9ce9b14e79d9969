#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

#include "feed/feed_config.h"
#include "feed/feed_hooks.h"
#include "feed/rt_http.h"

namespace crv {

// The pauses the service asks for, in milliseconds: between traffic requests
// ("rrl") and between weather requests ("wrrl"); 2 s until it names them.
struct ServicePace {
  int trafficMs = 2000;
  int weatherMs = 2000;
};

// The base of the two reader objects: the session GUID, the stop and ended
// flags, the time offset and the paces that the service sets, and the handle
// of the login and the logout.
class RtClient {
 public:
  RtClient(FeedConfig config, FeedHooks hooks);
  virtual ~RtClient();
  RtClient(const RtClient&) = delete;
  RtClient& operator=(const RtClient&) = delete;

  // Empty while logged out; a data request then sends nothing. Written by the
  // login, the logout and the reset, which never run beside the reader thread.
  const std::string& guid() const { return guid_; }
  void setGuid(std::string guid) { guid_ = std::move(guid); }

  void requestStop() { stop_.store(true); }
  bool isStopRequested() const { return stop_.load(); }
  const std::atomic<bool>& stopFlag() const { return stop_; }

  bool hasEnded() const { return ended_.load(); }
  void markEnded() { ended_.store(true); }

  // Minutes sent as "toffset", 0 to 40320; written by the time-shift handler.
  void setTimeOffsetMinutes(int minutes);
  int timeOffsetMinutes() const { return timeOffsetMinutes_.load(); }

  int trafficPaceMilliseconds() const { return trafficPaceMs_.load(); }
  void setTrafficPaceMilliseconds(int milliseconds) { trafficPaceMs_.store(milliseconds); }
  int weatherPaceMilliseconds() const { return weatherPaceMs_.load(); }
  void setWeatherPaceMilliseconds(int milliseconds) { weatherPaceMs_.store(milliseconds); }
  // Both paces, so that they outlast the reader: the readers of a restarted
  // session keep to what the service asked of the readers before them.
  ServicePace servicePace() const { return {trafficPaceMs_.load(), weatherPaceMs_.load()}; }
  void setServicePace(ServicePace pace);

  // The pause after a data request, in slices that look at the stop flag.
  void waitInterval(int milliseconds) const;
  // A pause of the service's pace on the configured clock; true when the
  // whole time passed, false when the flag ended it.
  bool waitPace(std::chrono::milliseconds duration, const std::atomic<bool>& stop) const;

  const FeedConfig& config() const { return config_; }
  const FeedHooks& hooks() const { return hooks_; }

  // The login's and logout's handle and answer (session worker only).
  CURL* authHandle() const { return authCurl_.get(); }
  std::string& authAnswer() { return response_; }

  // Before a restarted session: logged out, not stopped, not ended, no time
  // offset, a new login handle. The paces stay.
  void resetRtClient();

 protected:
  void repaint() const;
  FeedDisplay* display() const { return hooks_.display; }

 private:
  FeedConfig config_;
  FeedHooks hooks_;
  std::string guid_;
  std::atomic<bool> ended_{false};
  CurlHandle authCurl_;
  std::string response_;
  std::atomic<int> timeOffsetMinutes_{0};
  std::atomic<int> trafficPaceMs_{ServicePace{}.trafficMs};
  std::atomic<int> weatherPaceMs_{ServicePace{}.weatherMs};
  std::atomic<bool> stop_{false};
};

}  // namespace crv
