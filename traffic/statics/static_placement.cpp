// Placing one pending static aircraft on its stand.

#include <algorithm>

#include <fmt/format.h>

#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/live/live_rules.h"
#include "traffic/statics/static_callsign.h"
#include "traffic/statics/static_parking.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

constexpr std::uint32_t kStaticKeyModulus = 10000;

// How long a pending entry waits for a static aircraft to leave its stand
// before it is given up: the simulator answers a removal within a frame or
// two, but an answer can be lost.
constexpr std::int64_t kRemovalWaitTicks = 30 * kTicksPerSecond;

bool isNeighbour(const ParkingPosition& stand, std::uint32_t standId) {
  return std::find(stand.neighbours.begin(), stand.neighbours.end(), standId) != stand.neighbours.end();
}

bool leavingSimulator(const StaticAc& aircraft) {
  return aircraft.state == SimState::removingfromsim || aircraft.removeOnceCreated || aircraft.eraseRequested();
}

}  // namespace

StaticParking::StandCheck StaticParking::checkStand(const PendingStatic& entry, const ParkingPosition& stand) const {
  const bool log = par_LOG.value();
  for (const LiveAc& live : engine_.liveAircraft()) {
    if (live.phase != FlightPhase::parking && live.phase != FlightPhase::parked) {
      continue;
    }
    if (live.standId == entry.standId) {
      if (log) {
        gf_logLine(fmt::format("{:8}: no static parking for {}, live aircraft {} standing here",
                               engine_.standLabel(entry.standId), entry.callsign, live.base.identity.callsign));
      }
      return StandCheck::refused;
    }
    if (isNeighbour(stand, live.standId)) {
      if (log) {
        gf_logLine(fmt::format("{:8}: no static parking for {}, live aircraft {} is adjacent at {}, possibly colliding",
                               engine_.standLabel(entry.standId), entry.callsign, live.base.identity.callsign,
                               engine_.standLabel(live.standId)));
      }
      return StandCheck::refused;
    }
  }
  // A static aircraft on its way out of the simulator (the one an adjustment
  // replaces, or a neighbour it removes) is waited for; any other refuses.
  bool awaitingRemoval = false;
  for (const StaticAc& other : engine_.staticAircraft()) {
    if (other.standId != entry.standId && !isNeighbour(stand, other.standId)) {
      continue;
    }
    if (leavingSimulator(other)) {
      awaitingRemoval = true;
      continue;
    }
    if (log) {
      gf_logLine(fmt::format("{:8}: no static parking for {}, static aircraft {} is adjacent at {}, possibly colliding",
                             engine_.standLabel(entry.standId), entry.callsign, other.base.identity.callsign,
                             engine_.standLabel(other.standId)));
    }
    return StandCheck::refused;
  }
  return awaitingRemoval ? StandCheck::awaitingRemoval : StandCheck::free;
}

void StaticParking::chooseStaticStand() {
  StandTable* table = stands();
  if (pending_.empty() || table == nullptr || table->empty()) {
    return;
  }
  PendingStatic entry = std::move(pending_.back());
  pending_.pop_back();

  const ParkingPosition* stand = standById(entry.standId);
  if (stand == nullptr) {
    gf_logWarning(fmt::format("stand with id {} not found", engine_.standLabel(entry.standId)));
    return;
  }
  switch (checkStand(entry, *stand)) {
    case StandCheck::refused:
      return;
    case StandCheck::awaitingRemoval:
      if (entry.waitingSinceTick < 0) {
        entry.waitingSinceTick = engine_.tick();
      }
      if (engine_.tick() - entry.waitingSinceTick < kRemovalWaitTicks) {
        pending_.push_back(std::move(entry));  // tried again in the next slot
      } else {
        gf_logWarning(fmt::format("{:8}: no static parking for {}, the aircraft there was not removed in time",
                                  engine_.standLabel(entry.standId), entry.callsign));
      }
      return;
    case StandCheck::free:
      break;
  }

  keyCounter_ = (keyCounter_ + 1) % kStaticKeyModulus;
  const std::uint32_t key = keyCounter_;

  AircraftIdentity identity;
  identity.airline = entry.airline;
  identity.icaoType = entry.icaoType;
  identity.registration = entry.registration;
  if (!entry.callsign.empty()) {
    identity.callsign = staticCallsign(pendingStaticCallsign(entry.callsign, entry.secondCallsign, entry.continues));
  } else {
    identity.callsign = fmt::format("{}{}{}", entry.airline, key, "*");
  }
  // The coupled callsigns are known from the start: the entry's callsign and
  // its second callsign, so that the keep and replace rules of the parking
  // adjustment compare real texts.
  identity.secondCallsign = entry.callsign;
  identity.thirdCallsign = entry.secondCallsign;
  AircraftBase base = buildAircraftObject(identity);
  base.key = key;

  const StandPlace place{stand->latitude, stand->longitude, stand->heading};
  StaticAc candidate = makeStaticAc(base, stand->id, place, stand->cargo);
  const bool liveryFound = services_.matchLivery && services_.matchLivery(candidate.base, *stand);
  if (!liveryFound) {
    return;  // nothing was added to the table
  }
  candidate.fromUsage = entry.fromUsage;
  candidate.slot = slotBefore(currentSlot(), static_cast<int>(entry.ageHalfHours)).packed();
  candidate.feedAddress = entry.address;
  candidate.state = SimState::adding2sim;
  StaticAc& placed = engine_.addStaticAc(std::move(candidate));

  CreateRequest request;
  request.position.latitude = stand->latitude;
  request.position.longitude = stand->longitude;
  request.position.headingDegrees = stand->heading * kRadiansToDegrees;
  request.position.onGround = 1;
  request.callsign = placed.base.identity.callsign;
  request.liveryTitle = placed.base.liveryTitle;
  request.key = key;
  engine_.queueStaticCreate(std::move(request));
}

}  // namespace crv
