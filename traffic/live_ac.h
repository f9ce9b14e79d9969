#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "aircraftdata/aircraft_base.h"
#include "simlink/ai_position_block.h"
#include "traffic/flight_vocabulary.h"
#include "traffic/live_path.h"
#include "traffic/path_point.h"

namespace crv {

inline constexpr std::uint32_t kThrottleIndexUnset = 5;
inline constexpr std::uint32_t kFlapsIndexUnset = 4;

// A turn of a ground leg as a quadratic Bezier curve in local metres from
// its origin: from the origin through the control point to the end point.
// Every value is NaN (the lengths 0) while no curve runs. The parameter comes
// first: a step without a curve reads no more of it.
struct CurveState {
  static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  double parameter = kNone;      // u, 0..1
  double parameterStep = kNone;  // increase of u a step
  double originLatitude = kNone;
  double originLongitude = kNone;
  double controlNorthMeters = kNone;
  double controlEastMeters = kNone;
  double endNorthMeters = kNone;
  double endEastMeters = kNone;
  double turnAngleDegrees = kNone;
  // Where the curve passes the point it rounds, and the share of the leg's
  // time (of u) it takes to get there; none: u runs evenly along the curve.
  double bendParameter = kNone;
  double bendTimeShare = kNone;
  // The length of the curve from its origin to each of kArcSteps + 1 even
  // steps of the Bezier parameter: u runs evenly along the length, not along
  // the parameter, whose points crowd where the curve is drawn to its nearer
  // point.
  static constexpr std::size_t kArcSteps = 32;
  std::array<double, kArcSteps + 1> arcMeters{};

  bool running() const { return parameter == parameter; }  // not NaN
  double lengthMeters() const { return arcMeters.back(); }
};

// A record of a parked aircraft near its stand: when it fell due, where it
// lay and the speed it reported.
struct StandRecord {
  std::int64_t dueTick = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  double speedKnots = 0.0;
};

// What the records of a parked aircraft showed since it came to rest where
// it stands: when it sets off is timed from them.
struct StandRest {
  static constexpr std::size_t kKeptRecords = 32;
  // The latest of them, oldest first.
  std::vector<StandRecord> records;
};

// The motion state of a live aircraft that the live step, the ground and air
// motion and the parking of live aircraft read and write.
struct LiveMotion {
  // Read on every step of a moving aircraft: kept together so that a step
  // touches few cache lines of the record.
  double latitudeRate = 0.0;          // degrees per tick on the current leg
  double longitudeRate = 0.0;
  double headingRateRadians = 0.0;    // per step
  double bankRateRadians = 0.0;
  double pitchRateRadians = 0.0;
  double climbPerTickFeet = 0.0;
  double legBearingRadians = 0.0;
  double heightAboveGroundFeet = 2500.0;
  std::uint32_t verticalProfileStage = 0;  // the flare state, 0 none
  bool approach = false;
  bool turnFirst = false;             // turn towards the leg while rolling onto it
  // The leg is driven tail first, as its records show: the aircraft turns
  // towards their nose instead of the leg.
  bool tailFirst = false;
  double tailFirstNoseRadians = 0.0;
  bool noseLowering = false;
  // standRecordsWaiting holds records: the step reads this flag instead of
  // the vector, which lies on a line of its own far down the record.
  bool standRecordsPending = false;
  CurveState curve;

  std::int64_t holdStartTick = 0;
  std::int32_t earliestAdvanceTicks = 1000;
  std::int32_t latestDelayTicks = 1000;
  double verticalSpeedFpm = 0.0;      // of the current leg
  double trueAirspeedKnots = 0.0;
  std::uint32_t groundInfoState = 1;
  bool holding = false;
  double courseRadians = 0.0;         // stored course; 0 until the aircraft moves
  double presetHeadingRadians = std::numeric_limits<double>::quiet_NaN();  // NaN: none
  double groundHeadingRadians = 0.0;
  bool cleanedUp = false;
  bool towed = false;
  bool takeOffRoll = false;
  bool landingRoll = false;
  bool landed = false;
  bool leavingStand = false;
  bool pushbackDirection = false;
  bool pushbackDirectionKnown = false;
  std::int32_t pushbackState = 0;
  std::int32_t takeOffStepCounter = 0;
  double pushedBackDistanceNm = 0.0;
  double standClosestNm = 0.0;
  double standLastNm = 0.0;
  std::int32_t standStepsAway = 0;
  std::int64_t standLastApproachTick = 0;
  bool standReached = false;

  bool referenceElevationValid = false;
  double referenceElevationFeet = 0.0;
  double touchdownHeadingRadians = 0.0;
  bool above10000Lights = false;      // which light set was last sent
  bool below10000Lights = false;
  PathPoint pushbackTurnAside;        // the turn point kept for a push back to the right
  // Where the record offered before the newest lay (NaN: none yet).
  double lastRecordLatitude = std::numeric_limits<double>::quiet_NaN();
  double lastRecordLongitude = std::numeric_limits<double>::quiet_NaN();
  // When a parked aircraft that leaves sets off: when the recorded one began
  // to move away, not when the record that tells it came.
  std::int64_t standLeaveTick = 0;
  StandRest standRest;
  // Records that came while it waited to set off, or before it was active
  // on the stand it was created on (those heard since its first record, as
  // heard), oldest first.
  std::vector<PathPoint> standRecordsWaiting;
  // The due tick the last ground leg ended at, how late that was after its
  // point's own due tick (early when below 0), and the speed its records'
  // positions showed.
  std::int64_t groundLegEndTick = 0;
  std::int64_t groundLegLateTicks = 0;
  double groundLegShownKnots = 0.0;
  bool stepFaultLogged = false;       // a fault of this aircraft's step was logged
  bool nonFiniteLogged = false;       // a non-finite position of it was logged
};

// A record left out as a jump in speed from the path's last point, held
// until the next record shows whether the flight really changed its speed.
struct HeldSpeedJump {
  PathPoint point;
  double timestamp = 0.0;  // feed seconds; 0: none held
};

// A live aircraft of the feed. What every 10 ms step of an active aircraft
// reads lies together near the start, from the path's kept facts (at its
// end) through the per-step part of the motion, so that the step over a
// full table touches few cache lines of each record.
struct alignas(64) LiveAc {
  LivePath path;
  SimState state = SimState::buffer;
  FlightPhase phase = FlightPhase::birth;
  std::uint32_t objectId = 0;          // 0 until the simulator binds the object
  bool onGround = false;
  bool removeOnceCreated = false;      // removal asked while the create was under way
  bool dropFromBuffer = false;         // erased at the end of the step
  bool createCancelled = false;        // erased at the end of the step
  AiPositionBlock position;
  LiveMotion motion;                   // its per-step part first

  AircraftBase base;
  double standLatitude = 0.0;
  double standLongitude = 0.0;
  double standHeadingRadians = 0.0;
  std::uint64_t slot = 0;              // packed DaySlot
  std::uint32_t standId = 0;           // 0: none
  std::uint32_t throttleIndex = kThrottleIndexUnset;
  std::uint32_t flapsIndex = kFlapsIndexUnset;
  bool standCargo = false;
  double lastRecordTime = 0.0;         // feed seconds of the last applied record
  std::int64_t lastRecordDueTick = 0;  // the tick its point was due at
  HeldSpeedJump heldSpeedJump;
  std::chrono::system_clock::time_point parkedSince{};
  std::int32_t generatedLegs = 0;
  FlightPhase previousPhase = FlightPhase::birth;
  bool flightPlanWritten = false;
  bool spawnConflict = false;
  // Where the path ended at the last parking attempt, and where the last
  // collision check with static aircraft found the aircraft (degrees).
  double lastParkAttemptLatitude = 0.0;
  double lastParkAttemptLongitude = 0.0;
  double lastCollisionCheckLatitude = 0.0;
  double lastCollisionCheckLongitude = 0.0;
  // The log line of a removal that waits for its object to be bound.
  std::string removalLine;

  bool eraseRequested() const { return dropFromBuffer || createCancelled; }
};

// A new aircraft in state buffer and phase birth whose path holds the first point.
LiveAc makeLiveAc(const AircraftBase& base, const PathPoint& firstPoint, double timestamp);

// Until an aircraft that may be created parked on a stand, or was, is active
// there, its ground records are kept as heard (the latest ones), also those
// left out of its path: they tell whether it still rests there and when it
// sets off.
bool keepsRecordsHeardBeforeActive(const LiveAc& aircraft);
void holdRecordHeardBeforeActive(LiveAc& aircraft, const PathPoint& point);

}  // namespace crv
