#pragma once

// Small helpers shared by the files of the live motion: angles, positions,
// the aircraft commands of the motion and the phase change.

#include <cmath>
#include <cstdint>
#include <optional>

#include "aircraftdata/aircraft_base.h"
#include "airports/parking_position.h"
#include "foundation/geodesy.h"
#include "simlink/queue_records.h"
#include "traffic/live_ac.h"
#include "traffic/motion/live_motion.h"

namespace crv::motion {

inline constexpr double kPi = 3.141592653589793;
// Two points closer than this in latitude and in longitude are one position.
inline constexpr double kSamePositionDegrees = 1e-8;
inline constexpr double kMetersPerDegreeLatitude = 111132.95;
inline constexpr std::int64_t kMinimumLegTicks = 25;
inline constexpr std::int32_t kWideAdvanceTicks = 3000;
inline constexpr std::int32_t kTakeOffRollDelayTicks = 5000;
inline constexpr std::int32_t kNarrowestAdvanceTicks = 1000;
// Ticks per hour over nautical miles: ticks = distanceNm x this / knots.
inline constexpr double kTicksPerHour = 360000.0;
inline constexpr double kNearParkAirportNm = 10.0;
// A surface record that reports less than this shows no movement of its own.
inline constexpr double kRestKnots = 1.0;

// -pi..pi.
double normalizedAngle(double radians);
// 0..2 pi.
double normalizedHeading(double radians);
double degreesOf(double radians);

GeoPoint pointOf(const PathPoint& p);
GeoPoint pointOf(const AiPositionBlock& block);
bool samePosition(const PathPoint& a, const PathPoint& b);
bool samePosition(const AiPositionBlock& block, const PathPoint& p);
double distanceNm(const PathPoint& a, const PathPoint& b);

// The nose a record shows: its true heading, else its track, which on the
// ground is the nose, not the way the aircraft moves; none for a track of 0,
// which feeds send for none.
std::optional<double> recordedNoseRadians(const PathPoint& p);
// A ground record reached on the bearing, against the nose it shows: the
// aircraft moves tail first, as when it is pushed back.
bool reachedTailFirst(const PathPoint& p, double movingBearingRadians);

bool isRotorcraft(const LiveAc& a);
const CategoryPerformance& performanceOf(const LiveAc& a);
bool logOn();

// The phase changes; the one left is kept as the previous phase.
void setPhase(LiveAc& a, FlightPhase phase);

// Client events of the motion; the spoiler events are never sent to a
// rotorcraft, the gear never to a rotorcraft.
void sendEvent(MotionContext& m, const LiveAc& a, std::uint32_t eventId, std::uint32_t value);
void setSpoilers(MotionContext& m, const LiveAc& a, std::uint32_t value);
void setGear(MotionContext& m, const LiveAc& a, std::uint32_t value);
void engineAutoStart(MotionContext& m, const LiveAc& a);
void setLights(MotionContext& m, const LiveAc& a, const LightSwitches& lights);
// Spoilers handle and throttle levers written at once (not for light aircraft).
void setLevers(MotionContext& m, const LiveAc& a, bool on, bool reverse);

// Throttle index 0 on the ground, 4 for a rotorcraft.
std::uint32_t idleThrottleIndex(const LiveAc& a);

// The park airport is set and lies within 10 nm of the aircraft.
bool nearParkAirport(const MotionContext& m, const LiveAc& a);

// The stand of the park airport with the id; null when none.
ParkingPosition* standById(MotionContext& m, std::uint32_t standId);

// The aircraft has left its stand: the stand is free and no longer its own.
void releaseStand(MotionContext& m, LiveAc& a);

// Rounded to whole ticks; NaN gives 0, infinities the longest time.
std::int64_t roundTicks(double ticks);
std::int64_t ticksForDistance(double distanceNm, double knots);

}  // namespace crv::motion
