#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/simconnect/simconnect.h"

namespace platform {

// What the simulator knows of one of its objects (the user aircraft or any
// other), in the units in which the stand-in keeps it. A position write
// (tens of thousands a second) sets the first eight values and reads or
// sets a few of the next: aligned, they fill one cache line and part of
// the next, whichever record holds the state.
struct alignas(64) SimObjectState {
  double latitudeDegrees = 0.0;
  double longitudeDegrees = 0.0;
  double pitchRadians = 0.0;
  double bankRadians = 0.0;
  double headingRadians = 0.0;  // true
  double altitudeFeet = 0.0;
  double altitudeAboveGroundFeet = 0.0;
  double groundAltitudeFeet = 0.0;
  double verticalSpeedFeetPerSecond = 0.0;
  double trueAirspeedKnots = 0.0;
  double groundSpeedKnots = 0.0;
  bool onGround = true;
  std::int64_t lightStates = 0;  // LIGHT STATES bit mask
  double staticCgToGroundFeet = 8.0;
  double staticPitchRadians = 0.0;
  double spoilersHandlePercent = 0.0;
  double throttle1Percent = 0.0;
  double throttle2Percent = 0.0;
  std::string title;
  std::string atcId;
  std::string atcModel;
};

// The position part of one SetDataOnSimObject, as it reached the object.
struct RecordedPose {
  double latitudeDegrees = 0.0;
  double longitudeDegrees = 0.0;
  double pitchRadians = 0.0;
  double bankRadians = 0.0;
  double headingRadians = 0.0;
  double altitudeFeet = 0.0;
};

struct RecordedClientEvent {
  std::string eventName;  // the simulator's name, "GEAR_SET"
  DWORD clientEventId = 0;
  DWORD data = 0;
};

// One object of the simulator other than the user aircraft, with everything
// that was done to it. Records stay after the object is removed.
struct SimObjectRecord {
  DWORD objectId = 0;
  SIMCONNECT_SIMOBJECT_TYPE type = SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT;
  bool createdByClient = false;       // by AICreateNonATCAircraft, else a foreign object
  std::uint64_t ownerConnection = 0;  // the creating connection; its close removes the object
  std::string title;                  // as asked for at the create
  std::string tailNumber;             // as asked for at the create, uncut
  SIMCONNECT_DATA_INITPOSITION initPosition{};
  SimObjectState state;
  bool removed = false;
  int releaseControlCount = 0;
  bool frozenLatitudeLongitude = false;
  bool frozenAltitude = false;
  bool frozenAttitude = false;
  bool enginesRunning = false;
  std::map<std::string, DWORD> lastEventData;  // by simulator event name
  std::vector<RecordedClientEvent> clientEvents;
  std::vector<RecordedPose> poses;           // every position write, in order
  std::vector<std::string> flightPlanPaths;  // every accepted AISetAircraftFlightPlan
  int dataWriteCount = 0;                    // SetDataOnSimObject calls that reached it
};

}  // namespace platform
