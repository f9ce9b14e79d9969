// The feed's parked traffic as pending static aircraft.

#include <fmt/format.h>

#include "aircraftdata/type_lookups.h"
#include "airports/stand_search.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "traffic/record_labels.h"
#include "traffic/statics/static_parking.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

// 110 m.
constexpr double kParkedStandReachNm = 0.05939524838012959;

std::string withoutTrailingStar(std::string callsign) {
  if (!callsign.empty() && callsign.back() == '*') {
    callsign.pop_back();
  }
  return callsign;
}

}  // namespace

void StaticParking::markTaken(ParkingPosition& stand) {
  stand.staticTaken = true;
  for (std::uint32_t neighbourId : stand.neighbours) {
    if (ParkingPosition* neighbour = standById(neighbourId)) {
      neighbour->neighbourTaken = true;
    }
  }
}

bool StaticParking::neighbourPendingCollides(const ParkingPosition& stand, double halfSpan) const {
  for (const PendingStatic& pending : pending_) {
    if (std::find(stand.neighbours.begin(), stand.neighbours.end(), pending.standId) == stand.neighbours.end()) {
      continue;
    }
    const ParkingPosition* other = standById(pending.standId);
    if (other != nullptr && halfSpan + halfSpanNm(pending.icaoType) > gf_distanceNm(stand.position(), other->position())) {
      return true;
    }
  }
  return false;
}

bool StaticParking::standGivenUp(const ParkedTrafficRecord& record, std::uint32_t standId, DaySlot now) {
  const std::string recordStar = record.identity.callsign + "*";
  for (StaticAc& aircraft : engine_.staticAircraft()) {
    if (aircraft.fromUsage == 1 || aircraft.standId != standId || aircraft.base.identity.callsign == recordStar) {
      continue;
    }
    // The record arrived in the same half hour as the aircraft or later.
    const int placedAge = halfHoursSince(now, DaySlot::fromPacked(aircraft.slot));
    if (std::max(record.halfHour, 0) <= placedAge) {
      listForRemoval(aircraft, fmt::format("the parked traffic puts {} on its stand",
                                           record.identity.callsign.empty() ? record.identity.registration
                                                                            : record.identity.callsign));
      return true;
    }
    PendingStatic kept;
    kept.address = aircraft.feedAddress;
    kept.fromUsage = 0;
    kept.standId = standId;
    kept.ageHalfHours = static_cast<std::uint32_t>(placedAge);
    kept.airline = aircraft.base.identity.airline;
    kept.icaoType = aircraft.base.identity.icaoType;
    kept.callsign = withoutTrailingStar(aircraft.base.identity.callsign);
    kept.registration = aircraft.base.identity.registration;
    pending_.push_back(std::move(kept));
    return false;
  }
  return true;
}

void StaticParking::assignStandsFromPT(std::vector<ParkedTrafficRecord>& records, std::size_t wanted,
                                       bool parkTrafficOnly) {
  StandTable* table = stands();
  if ((wanted == 0 && !parkTrafficOnly) || records.empty() || table == nullptr) {
    return;
  }
  const DaySlot now = currentSlot();
  for (const ParkedTrafficRecord& record : records) {
    if (!parkTrafficOnly && pending_.size() >= wanted) {
      break;
    }
    const std::string& callsign = record.identity.callsign;
    if (callsign.empty() || live_.keys.contains(record.key) || live_.callsigns.contains(callsign) ||
        live_.callsigns.contains(callsign + "_") || engine_.findLiveByKey(record.key) != nullptr) {
      continue;
    }
    AircraftIdentity identity = record.identity;
    bool cargo = false;
    if (const std::optional<RegistrationData> known = findRegcode(identity.registration)) {
      identity.airline = known->opr.empty() ? known->airl : known->opr;
      identity.icaoType = known->type.empty() ? identity.icaoType : known->type;
      cargo = known->cargo;
    }
    if (identity.airline.empty() && !setAirlineFromCallsign(identity)) {
      identity.airline = "PVT";
    }
    const AircraftBase base = buildAircraftObject(identity);
    const double halfSpan = halfSpanNm(identity.icaoType);
    const StandAircraft fit{identity.callsign, identity.airline, identity.icaoType, halfSpan, base.category, cargo};
    const GeoPoint where{record.latitude, record.longitude};
    const StandIterator found = nearestFreeStand(*table, where, fit, kParkedStandReachNm, false);
    if (found == table->end()) {
      gf_logIndented(fmt::format("[{:10}: {:8x} {:8} {:12}, hh:{} ===> no stand for PT {}", record.parkingSpot,
                                 record.key, identity.icaoType, identity.registration, record.halfHour,
                                 fmt::format("{:.6f},{:.6f}", record.latitude, record.longitude)));
      continue;
    }
    ParkingPosition& stand = *found;
    if (stand.staticTaken || stand.reserved || (stand.neighbourTaken && neighbourPendingCollides(stand, halfSpan))) {
      continue;
    }
    if (!standGivenUp(record, stand.id, now)) {
      continue;
    }
    PendingStatic pending;
    pending.address = record.key;
    pending.fromUsage = 0;
    pending.standId = stand.id;
    pending.ageHalfHours = static_cast<std::uint32_t>(std::max(record.halfHour, 0));
    pending.airline = identity.airline;
    pending.icaoType = identity.icaoType;
    pending.callsign = callsign;
    pending.registration = identity.registration;
    pending_.push_back(std::move(pending));
    markTaken(stand);
  }
}

void StaticParking::takeLiveCallsigns() {
  if (services_.stopCollectingLive) {
    services_.stopCollectingLive();
  }
  live_ = services_.takeCollectedLive ? services_.takeCollectedLive() : LiveIdentities{};
}

}  // namespace crv
