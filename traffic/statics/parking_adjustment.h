#pragma once

// The parking adjustment: after the full calculation has placed the static
// aircraft of the park airport, the adjustment keeps them in step with the
// passing half hours and the feed's parked traffic. It adds static aircraft,
// keeps those that still belong on their stands, replaces those whose
// coupled callsign period ends and removes the others.
//
// The coupled callsigns of a static aircraft from learned usage are the ones
// its usage entry gave it at placement: the identity's second callsign text
// is the entry's callsign (the arrival), the third its second callsign (the
// departure). An aircraft that shows the arrival callsign and leaves in the
// next half hour is replaced by one showing the departure callsign.
//
// Session worker only; nothing here carries a lock.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/day_slot.h"
#include "traffic/live/live_rules.h"
#include "traffic/static_ac.h"
#include "traffic/statics/pending_static.h"
#include "traffic/statics/static_parking.h"

namespace crv {

class TrafficEngine;

// A static aircraft that stays through an adjustment.
struct KeptStatic {
  std::string callsign;
  std::string secondCallsign;  // the coupled callsigns of its identity
  std::string thirdCallsign;
  std::string registration;
  std::string airline;
  std::string icaoType;
  DaySlot placed;  // its placement slot
  std::uint32_t standId = 0;
  // Its coupled period ends: it is replaced by the aircraft's departure.
  bool replace = false;
};

// What the adjustment asks of the schedule around it; each may be empty.
struct ParkingAdjustmentServices {
  // A calculation or its placements run (the window's parking controls wait).
  std::function<void()> busyOn;
  // Marks the user's reserved stand and the stand under the user aircraft
  // reserved.
  std::function<void()> excludeReservedStands;
};

class ParkingAdjustment {
 public:
  ParkingAdjustment(TrafficEngine& engine, StaticParking& parking, LiveRules& rules,
                    ParkingAdjustmentServices services);
  ParkingAdjustment(const ParkingAdjustment&) = delete;
  ParkingAdjustment& operator=(const ParkingAdjustment&) = delete;

  // The adjustment; full replaces every static aircraft from learned usage.
  void adjustParking(bool full);

  // ---- Its steps ----
  // Asks for the parked traffic again (after the adjustment's own request);
  // false when it did not arrive. The static aircraft of the feed that go
  // are leaving from here on.
  bool addPositionsFromPT(std::size_t wanted);
  void checkPtAgainstUsageStatics(bool full);
  void reviewStatics(DaySlot slot);
  // The pending entry at the index either makes the aircraft leave or is
  // dropped for it.
  void settleStaticConflict(const StaticAc& aircraft, std::size_t pendingIndex);
  void trimToWanted(std::size_t wanted);
  void removeListedStatics();

  const std::vector<KeptStatic>& keptStatics() const { return kept_; }
  const std::vector<ParkedLive>& parkedLive() const { return parkedLive_; }
  // The traffic reset.
  void reset();

 private:
  DaySlot now() const { return parking_.currentSlot(); }
  void keep(const StaticAc& aircraft);
  void markStandTaken(std::uint32_t standId);
  bool keptByUsage(const StaticAc& aircraft, DaySlot slot) const;
  // How far back from the current half hour the usage keeps an aircraft.
  int lookBackHalfHours() const;
  // Why an aircraft gives way to the entry's, which came after it: the
  // reason its log line gives.
  std::string arrivedLater(const PendingStatic& entry, int placedAge) const;
  bool leavesNextHalfHour(const KeptStatic& kept, DaySlot slot) const;
  void replaceEndedCouplings();
  std::vector<PendingStatic>& pending() { return parking_.pendingStatics(); }

  TrafficEngine& engine_;
  StaticParking& parking_;
  LiveRules& rules_;
  ParkingAdjustmentServices services_;
  std::vector<KeptStatic> kept_;
  std::vector<ParkedLive> parkedLive_;
};

}  // namespace crv
