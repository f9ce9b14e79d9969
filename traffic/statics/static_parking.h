#pragma once

// Static parked aircraft at the park airport: the stands chosen for them
// from the learned usage of the current half hour, and their placement one
// at a time in the create pacing of the engine.
//
// Session worker only: the pending list, the stands and the static table
// carry no lock.

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "airports/parking_position.h"
#include "airports/stand_table.h"
#include "feed/traffic_reader.h"
#include "feed/traffic_records.h"
#include "foundation/day_slot.h"
#include "traffic/engine_hooks.h"
#include "traffic/static_ac.h"
#include "traffic/statics/pending_static.h"

namespace crv {

class TrafficEngine;

// Learned-usage kinds of the search.
inline constexpr int kSoftFit = 0;
inline constexpr int kRealFit = 1;

// What static parking asks of the parts around it; each may be empty.
struct StaticParkingServices {
  // A livery for a static aircraft on the stand; false when none fits.
  // Empty: no livery is ever found.
  std::function<bool(AircraftBase&, const ParkingPosition&)> matchLivery;
  // The current half hour of the week. Empty: the engine's clock.
  std::function<DaySlot()> currentSlot;
  // Half the wing span of a type, nautical miles. Empty: wingspanOfType.
  std::function<double(std::string_view type)> halfSpanNm;
  // The Traffic Reader stops collecting live callsigns and addresses, and
  // hands over what it collected. Empty: nothing is collected.
  std::function<void()> stopCollectingLive;
  std::function<BufferedIdentities()> takeCollectedLive;
  // Asks the feed for the parked aircraft around the park airport; null
  // when they did not arrive. Empty: they never do.
  std::function<std::vector<ParkedTrafficRecord>*()> requestParkedTraffic;
};

// The live callsigns and addresses the Traffic Reader collected.
using LiveIdentities = BufferedIdentities;

// A static aircraft to remove at the end of an adjustment, with the reason
// its log line gives.
struct StaticToRemove {
  std::string callsign;
  std::uint32_t standId = 0;
  std::string why;
  // Set removingfromsim when listed, its object not yet asked to go.
  bool leaving = false;
};

class StaticParking {
 public:
  StaticParking(TrafficEngine& engine, StaticParkingServices services);
  StaticParking(const StaticParking&) = delete;
  StaticParking& operator=(const StaticParking&) = delete;

  // Points the engine's hooks chooseStaticStand and resetLaterParts at the
  // parking held in the slot (read at each call).
  static void fillEngineHooks(EngineHooks& hooks, StaticParking* const& slot);

  // ---- Placement ----
  // Places the last pending entry (removed first, so a refused one is gone).
  void chooseStaticStand();

  // ---- The learned-usage search ----
  void runStaticFit(DaySlot slot, std::size_t wanted, std::size_t placed);
  void fitStaticKind(DaySlot slot, std::size_t wanted, std::size_t placed, int kind);
  bool computeStaticFit(DaySlot slot, int kind, std::size_t wanted, std::vector<PendingStatic>& collected);
  void searchStands(DaySlot slot, int kind, int offset, std::vector<PendingStatic>& collected);
  std::vector<std::uint32_t> chooseUsageForStand(std::vector<std::uint32_t> candidates, const ParkingPosition& stand);
  bool isExcludedUsage(const UsageEntry& entry) const;
  bool matchesActiveStatic(const UsageEntry& entry, const StaticAc& aircraft) const;

  // ---- The full calculation ----
  // Clears the marks and exclusions of every stand and searches the learned
  // usage for the wanted count; the list is sorted so that the youngest is
  // placed first. afterMarksCleared runs once the marks are cleared (the
  // reserved stands are marked there). Returns the pending count.
  std::size_t recalcStaticParking(std::size_t wanted, const std::function<void()>& afterMarksCleared = {});
  // Clears staticTaken, reserved and neighbourTaken, and every entry's
  // exclusion until now.
  void clearStandMarks();

  // ---- The feed's parked traffic ----
  // The parked records (youngest first) become pending entries on the free
  // stands within 110 m of them; an older static aircraft on such a stand
  // gives way to a record that arrived after it.
  void assignStandsFromPT(std::vector<ParkedTrafficRecord>& records, std::size_t wanted, bool parkTrafficOnly);

  // The reader stops collecting first; then its sets replace the held ones.
  void takeLiveCallsigns();
  // The live identities handed over by the reader (replacing the held ones).
  void takeLiveIdentities(LiveIdentities identities) { live_ = std::move(identities); }
  const std::vector<StaticToRemove>& staticsToRemove() const { return staticsToRemove_; }

  // ---- Static aircraft that leave at the end of a calculation or adjustment ----
  // Lists the aircraft, with the reason its removal gives in the log; it
  // stays as it is until removeListedStatics.
  void listForRemoval(const StaticAc& aircraft, std::string why);
  // Lists the aircraft and sets it removingfromsim at once, so that the
  // later steps no longer see it on its stand (a neighbour's entry is not
  // refused for it); its object still goes at removeListedStatics.
  void setLeaving(StaticAc& aircraft, std::string why);
  bool isListedForRemoval(const StaticAc& aircraft) const;
  // Removes every listed aircraft from the simulator and empties the list.
  void removeListedStatics();
  // A calculation that failed half-way: the aircraft it set leaving stay
  // as they were, and the list is emptied.
  void dropListedStatics();
  std::vector<StaticToRemove>& staticsToRemove() { return staticsToRemove_; }

  // ---- For the parking adjustment ----
  // Logs the day and the half hour of the current slot and returns it.
  DaySlot logDayAndHour() const;
  DaySlot currentSlot() const;
  double halfSpanNm(std::string_view type) const;
  ParkingPosition* standById(std::uint32_t standId) const;
  // The stand is taken and its neighbours neighbourTaken.
  void markTaken(ParkingPosition& stand);
  // The parked aircraft around the park airport; null when they did not arrive.
  std::vector<ParkedTrafficRecord>* requestParkedTraffic();
  const LiveIdentities& liveIdentities() const { return live_; }
  void clearSoftFound() { softFound_ = false; }

  std::vector<PendingStatic>& pendingStatics() { return pending_; }
  std::uint32_t staticKeyCounter() const { return keyCounter_; }
  void setStaticKeyCounter(std::uint32_t counter) { keyCounter_ = counter; }
  int realOffset() const { return realOffset_; }
  int softOffset() const { return softOffset_; }
  bool softFound() const { return softFound_; }
  void seedRandom(std::uint32_t seed) { random_.seed(seed); }

  // The traffic reset: the pending list and live identities emptied.
  void reset();

 private:
  StandTable* stands() const;
  std::size_t chosenStandCount() const;
  bool standClearOfActiveStatics(const ParkingPosition& stand, const UsageEntry& entry) const;
  bool continuesNextHalfHour(DaySlot slot, const ParkingPosition& stand, const UsageEntry& entry) const;
  bool neighbourPendingCollides(const ParkingPosition& stand, double halfSpanNm) const;
  // false: an older static aircraft keeps the stand and the record is not used.
  bool standGivenUp(const ParkedTrafficRecord& record, std::uint32_t standId, DaySlot now);
  enum class StandCheck { free, refused, awaitingRemoval };
  StandCheck checkStand(const PendingStatic& entry, const ParkingPosition& stand) const;

  TrafficEngine& engine_;
  StaticParkingServices services_;
  std::vector<PendingStatic> pending_;
  std::vector<StaticToRemove> staticsToRemove_;
  LiveIdentities live_;
  std::uint32_t keyCounter_ = 0;  // whole process
  int realOffset_ = 0;
  int softOffset_ = -1;
  bool softFound_ = false;
  std::mt19937 random_{std::random_device{}()};
};

// The slot moved back by a number of half hours, across midnight into the
// weekdays before (Monday back to Sunday).
DaySlot slotBefore(DaySlot slot, int halfHours);
// Half hours from an earlier slot to now, 0..335: the week wraps from Sunday
// to Monday, so that Sunday 23:30 lies one half hour before Monday 00:00.
int halfHoursSince(DaySlot now, DaySlot earlier);

}  // namespace crv
