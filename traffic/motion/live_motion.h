#pragma once

// The motion of live aircraft: the 10 ms step of one aircraft along its path
// of timed points, the rules by which new feed points join the path, the
// extension of a path that runs dry, and the ground and air motion between
// points. Everything here runs on the session worker and works on the
// engine's tables without a lock.
//
// Angles are radians (headings 0..2 pi, differences normalised to -pi..pi);
// local offsets are flat-earth metres; every leg lasts at least 25 ticks.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "foundation/day_slot.h"
#include "foundation/geodesy.h"
#include "traffic/engine_hooks.h"
#include "traffic/live_ac.h"
#include "traffic/path_point.h"

namespace crv {

class TrafficEngine;
struct StaticAc;

// The calls of the motion into parking a live aircraft, the periodic live
// rules and the learning of stand usage. Each may be empty; the motion then
// does what is written beside it.
struct ParkingCalls {
  // Gives an aircraft about to stop a free stand near its path end and
  // drives it there. Empty: the aircraft stops where its path ends.
  std::function<void(LiveAc&, bool wide)> try2Park;
  // Acceptance of a new feed point in phase parking or parked. Empty: refused.
  std::function<bool(LiveAc&, PathPoint&)> checkStandApproach;
  // Keeps parked aircraft within the wanted count. Empty: nothing.
  std::function<void(int extra)> enforceMaxPark;
  // Queues the key for the same-identity check. Empty: nothing.
  std::function<void(std::uint32_t key)> queueIdentityCheck;
  // Records a real (soft = false) or guessed (soft = true) use of the stand
  // by the aircraft at the slot; true when it was added. Empty: false.
  std::function<bool(std::uint32_t standId, LiveAc&, DaySlot slot, bool soft, bool flying)> addStandOption;
};

// What the motion needs beside the engine: the QNH of the nearest weather
// report, where the park airport lies, and the calls above.
struct MotionContext {
  TrafficEngine* engine = nullptr;  // set once the engine is built
  // Written by the Weather Reader, read by the worker.
  std::atomic<int> qnhHpa{1013};
  // Valid while the engine's park airport is set.
  GeoPoint parkAirportPosition;
  ParkingCalls parking;

  TrafficEngine& eng() const { return *engine; }
};

// Fills the engine hooks of the live motion (advanceLiveAc, decodeExisting,
// configureActiveAircraft, onGroundSlots) with calls into the context; the
// context must outlive the engine, and its engine pointer be set before the
// first step.
void installLiveMotion(EngineHooks& hooks, MotionContext& context);

// ---- Live aircraft step ----
// Steps 3 and 4 of the engine's per-aircraft step: the next point when due,
// then the motion between points. An exception or a non-finite position is
// logged once per aircraft; the exception removes the aircraft, a non-finite
// position leaves the last good one standing.
void advanceLiveAc(MotionContext& m, LiveAc& a);
void nextPosMain(MotionContext& m, LiveAc& a);
void moveAc(MotionContext& m, LiveAc& a);
void retimeNextPoint(MotionContext& m, LiveAc& a, std::int64_t ticks);
void decodeExisting(MotionContext& m, LiveAc& a, PathPoint& p);
bool checkExtendingSituations(MotionContext& m, LiveAc& a, PathPoint& p);
bool checkNewPosDuringLanding(MotionContext& m, LiveAc& a, PathPoint& p);
bool acceptPoint(MotionContext& m, LiveAc& a, PathPoint& p);
void configureActiveAircraft(MotionContext& m, LiveAc& a);

// Earliest advance 3000 and latest delay 3000 (5000 during a take-off roll).
void resetAdvanceAndDelay(LiveAc& a);
// Generated legs stop: the front point falls due next tick, the counter is
// 0, advance and delay are reset.
void stopGeneratedLegs(MotionContext& m, LiveAc& a);
// Earliest advance and latest delay shrink by 100 ticks, not below 1000.
void shrinkAdvanceAndDelay(LiveAc& a);

// ---- Path extension and generated legs ----
// True when the path was extended; false when nothing could be added, and
// then whyNot, when given, says why in the words of the removal's log line.
bool extendPath(MotionContext& m, LiveAc& a, std::string* whyNot = nullptr);
void generateLegs(MotionContext& m, LiveAc& a, std::int32_t count);
void learnSoftStand(MotionContext& m, LiveAc& a, bool notFlying);
void arriveAtStand(MotionContext& m, LiveAc& a);
void markCargoStandUsed(MotionContext& m, LiveAc& a);

// ---- Ground motion ----
// No aircraft taxis faster than this, whatever its records ask to catch up.
inline constexpr double kTaxiMaximumKnots = 30.0;
void nextPosGround(MotionContext& m, LiveAc& a);
void groundConfigStep(MotionContext& m, LiveAc& a);
void followCurve(MotionContext& m, LiveAc& a);
void setupTurnCurve(LiveAc& a);
void splitLeg(LiveAc& a);
void checkSpeedSplit(LiveAc& a);
double legSpeed(const LiveAc& a);
double turnAngle(const LiveAc& a);
void timeGroundLeg(MotionContext& m, LiveAc& a);
void pushbackStart(MotionContext& m, LiveAc& a);
void pushbackStep(MotionContext& m, LiveAc& a);
void pullOut(MotionContext& m, LiveAc& a);
void startTakeoff(MotionContext& m, LiveAc& a);
void liftOff(MotionContext& m, LiveAc& a);
void landingRollStep(MotionContext& m, LiveAc& a);
// The landing roll is over, as the aircraft turns off the runway or stops on
// it: flaps and spoilers in, idle, the lights of a taxi.
void endLandingRoll(MotionContext& m, LiveAc& a);
bool takeoffSpeedsAhead(const LiveAc& a);

// A quadratic Bezier from the origin through the control point to the end
// point; false when no curve is set or u lies outside 0..1.
bool curvePointAndHeading(const CurveState& curve, GeoPoint& point, double& headingRadians, double u);

// ---- Air motion ----
void airStep(MotionContext& m, LiveAc& a);
// For the leg to the next point (the second of the path).
void flyVerticalProfile(MotionContext& m, LiveAc& a);
void takeoffStep(MotionContext& m, LiveAc& a);
void flareStep(MotionContext& m, LiveAc& a);
void onGroundSlots(MotionContext& m, LiveAc& a);
double descentRate(MotionContext& m, const LiveAc& a);
void climbOutRate(LiveAc& a, std::int64_t ticks);
void groundPointsWhileAirborne(MotionContext& m, LiveAc& a, std::int64_t ticks);
bool skipToAirbornePoint(MotionContext& m, LiveAc& a, std::size_t count);
void bankFromTurn(LiveAc& a, double turnRadians, std::int64_t ticks);
void highConfiguration(MotionContext& m, LiveAc& a);
void lowConfiguration(MotionContext& m, LiveAc& a);

// ---- Log lines of the motion ----
// "nextPosGround: <error> <aircraft line>, sz:<path size>".
std::string fmtNextPosGround(std::size_t pathSize, std::string_view errorText, std::string_view aircraftLine);
// "nextPosMain: <error> <aircraft line>, sz:<path size>, fs:<phase>, st:<state>".
std::string fmtNextPosMain(std::size_t pathSize, std::string_view errorText, std::string_view aircraftLine,
                           std::string_view phase, std::string_view state);

}  // namespace crv
