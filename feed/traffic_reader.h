#pragma once

// The Traffic Reader: on a thread of its own it asks once for the buffered
// history, then for live traffic at the pace the service sets, decodes every
// aircraft and hands each batch to the engine's intake. On the engine's
// request one pass fetches the parked aircraft around the park airport.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "feed/live_decoder.h"
#include "feed/parked_decoder.h"
#include "feed/request_bodies.h"
#include "feed/rt_client.h"
#include "feed/traffic_records.h"
#include "foundation/geodesy.h"
#include "foundation/thread_annotations.h"

namespace crv {

// Parked status values besides the service's own statuses.
inline constexpr int kParkedPending = -1;
inline constexpr int kParkedDone = 0;
inline constexpr int kParkedFailed = 1;

// The box asked for before the user aircraft's position is known (at
// construction and after a reset): about 16 by 16 nm around Amsterdam Schiphol,
// north 52.44, south 52.17, west 4.54, east 4.98 degrees.
inline constexpr QueryBox kStartQueryBox{52.44, 52.17, 4.54, 4.98};

// Callsigns and keys seen while the buffering flag was raised.
struct BufferedIdentities {
  std::set<std::string> callsigns;
  std::set<std::uint32_t> keys;
};

class TrafficReader : public RtClient {
 public:
  TrafficReader(FeedConfig config, FeedHooks hooks);
  ~TrafficReader() override;

  // --- Session worker -----------------------------------------------------

  // Recomputes the live box around the user position for the radius; nothing
  // while no user position is known or when neither has changed.
  void computeTrafficBox(GeoPoint userPosition, double radiusNm);
  // The same from the user-position hook and the traffic range setting; the
  // position also becomes the reader's own position.
  void computeTrafficBox();
  void setOwnPosition(GeoPoint position);
  GeoPoint ownPosition() const;
  QueryBox liveBox() const;
  QueryBox parkedBox() const;

  // Written by the airport file reader; none while no park airport is loaded.
  void setParkElevation(std::optional<double> elevationFeet);
  std::optional<double> parkElevation() const;

  void setQnh(int qnhHpa) { qnh_.exchange(qnhHpa); }
  int qnh() const { return qnh_.load(); }

  // Asks the reader thread for the parked aircraft around the park airport
  // and waits for them (at most the configured limit). True when the parked
  // traffic holds the answer: ages in half hours, youngest first, one
  // aircraft per parking spot and per callsign.
  bool requestParkedTraffic(GeoPoint parkAirport);
  // The parked aircraft of the last successful request (worker-owned).
  std::vector<ParkedTrafficRecord>& parkedTraffic() { return parkedTraffic_; }
  int parkedStatus() const { return parkedStatus_.load(); }

  // Raised once the history is handed over, lowered when the live loop ends.
  bool isReceiving() const { return receiving_.load(); }

  void raiseBuffering() { buffering_.store(true); }
  void lowerBuffering() { buffering_.store(false); }
  bool isBuffering() const { return buffering_.load(); }
  // The callsigns and keys collected so far; the reader's sets are emptied.
  BufferedIdentities takeBufferedIdentities();

  // Aircraft decoded from the last answer or snapshot.
  std::int64_t liveCount() const { return liveCount_.load(); }

  // The last traffic state shown by the connection indicators (worker).
  // It starts as shown: the reader thread shows "data arrive" as it starts,
  // and a region without traffic must turn that to "no data".
  bool trafficShown() const { return trafficShown_; }
  void setTrafficShown(bool shown) { trafficShown_ = shown; }

  // Before a restarted session.
  void reset();

  // --- Reader thread ------------------------------------------------------

  // The buffered-history request: five snapshots to the intake. The loop
  // keeps the service's pace after it.
  bool buffer(int& status);
  // The reader's loop; always false, the status tells why it ended
  // (kStatusStopped on request).
  bool receive(int& status);
  // One parked-traffic request; its outcome becomes the parked status.
  void parkedtraffic();

  // The handling of one answer text of each request, as the loop does it
  // after the transfer. They may throw what the loop catches and logs.
  bool takeHistoryAnswer(const std::string& text, int& status);
  void takeLiveAnswer(const std::string& text, int& status, bool& endLoop);
  // Appends the decoded aircraft; the parked status of the answer.
  int takeParkedAnswer(const std::string& text, std::vector<ParkedTrafficRecord>& records);

 private:
  LiveDecodeContext liveDecodeContext() const;
  // Decodes every member of the object that is an array of 48 values.
  void decodeLiveMembers(const nlohmann::json& members, const LiveDecodeContext& context);
  void handOverBatch(std::uint32_t delaySeconds);
  void publishBufferedIdentities();
  void receiveLiveTraffic(int& status, bool& endLoop);
  void publishParked(std::uint64_t generation, std::vector<ParkedTrafficRecord> records, int status);

  // Reader thread.
  CurlHandle liveTrafficCurl_;
  CurlHandle parkedTrafficCurl_;
  std::string answer_;
  std::vector<LiveTrafficRecord> liveRecords_;
  LiveDecodeState decodeState_;

  // Box and positions, written by the worker, read by the reader.
  mutable Mutex boxMutex_;
  QueryBox liveBox_ GUARDED_BY(boxMutex_) = kStartQueryBox;
  QueryBox parkedBox_ GUARDED_BY(boxMutex_) = kStartQueryBox;
  GeoPoint ownPosition_ GUARDED_BY(boxMutex_);
  GeoPoint boxCentre_ GUARDED_BY(boxMutex_);
  double boxRadiusNm_ GUARDED_BY(boxMutex_) = -1.0;

  std::atomic<double> parkElevationFeet_;  // NaN: none
  std::atomic<int> qnh_{1013};
  std::atomic<std::int64_t> liveCount_{0};
  std::atomic<bool> buffering_{false};
  std::atomic<bool> receiving_{false};

  // Guards the identities the reader publishes for the worker.
  mutable Mutex bufferedMutex_;
  BufferedIdentities buffered_ GUARDED_BY(bufferedMutex_);

  // Parked hand-over: the worker raises the request with a new generation;
  // the reader publishes its complete answer for that generation only.
  Mutex parkedMutex_;
  std::uint64_t parkedGeneration_ GUARDED_BY(parkedMutex_) = 0;
  std::vector<ParkedTrafficRecord> parkedAnswer_ GUARDED_BY(parkedMutex_);
  std::atomic<bool> parkedRequest_{false};
  std::atomic<int> parkedStatus_{kParkedPending};
  std::vector<ParkedTrafficRecord> parkedTraffic_;

  bool trafficShown_ = true;
};

// Removes, keeping the order of the rest, every record older than the
// largest age; returns how many went.
std::size_t removeParkedRecords(std::vector<ParkedTrafficRecord>& records, int maximumAgeHalfHours);

// Orders the records youngest first and keeps one per parking spot and one
// per non-empty callsign.
void keepYoungestPerSpotAndCallsign(std::vector<ParkedTrafficRecord>& records);

}  // namespace crv
