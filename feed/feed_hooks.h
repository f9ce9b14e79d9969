#pragma once

// What the feed needs of the layers above and beside it. The session wires
// these when it builds the readers; every hook may be left empty, and the
// feed then uses the plain behaviour named with it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "aircraftdata/size_category.h"
#include "feed/traffic_records.h"
#include "foundation/geodesy.h"

namespace crv {

// The connection indicators of the main window: data arrive, logged in
// without data, not shown.
inline constexpr int kIndicatorDataArrive = 1;
inline constexpr int kIndicatorNoData = 2;
inline constexpr int kIndicatorHidden = 3;

// The main-window fields that the feed sets before it asks for a repaint.
struct FeedDisplay {
  std::atomic<int> trafficIndicator{kIndicatorHidden};
  std::atomic<int> weatherIndicator{kIndicatorHidden};
  std::atomic<int> qnhHpa{0};  // 0 until the first QNH is accepted
  std::atomic<bool> loggedIn{false};
};

struct FeedHooks {
  // The user aircraft (simulator link). Empty: position 0, 0 and altitude 0.
  std::function<GeoPoint()> userPosition;
  std::function<double()> userAltitudeFeet;

  // Published copies of texts owned by other threads, read once per answer.
  // The park airport's position, none while no park airport is current.
  std::function<std::optional<GeoPoint>()> parkAirportPosition;
  std::function<std::string()> reservedStandName;
  std::function<std::string()> userStandName;

  // The engine's switch of a size category; empty: every category enabled.
  std::function<bool(SizeCategory category)> isCategoryEnabled;

  // The engine's intake: takes the records of the batch (and empties the
  // vector) with the delay in seconds. Empty: the batch is dropped.
  std::function<void(std::vector<LiveTrafficRecord>& batch, std::uint32_t delaySeconds)> intakeTrafficBatch;
  // A live aircraft of the blocked callsign was dropped (the engine removes it).
  std::function<void(std::uint32_t key)> reportBlockedCallsign;
  // The engine's QNH holder.
  std::function<void(int qnhHpa)> publishEngineQnh;

  // Session ends. Empty: the session stop flag is raised.
  std::function<void()> endSessionWithReaderError;
  std::function<void(std::string_view threadName, bool unauthorized)> reportThreadError;

  // Main window.
  // The name of the RealTraffic server that accepted the login.
  std::function<void(std::string_view name)> showServerName;
  FeedDisplay* display = nullptr;
  std::function<void()> repaint;
};

}  // namespace crv
