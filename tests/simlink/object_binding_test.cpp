// Binding new objects to waiting creates, ground information, and the
// simulator's exception messages, one reply at a time.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/errors.h"
#include "foundation/session_flags.h"
#include "foundation/status_line.h"
#include "tests/simlink/link_test_support.h"
#include "tests/support/thrown_text.h"

namespace crv::testing {
namespace {

AircraftInRange inRange(const std::string& atcId, double aboveGroundFeet = 0.0) {
  AircraftInRange aircraft;
  aircraft.altitudeAboveGroundFeet = aboveGroundFeet;
  aircraft.groundAltitudeFeet = 1416.0;
  aircraft.simOnGround = aboveGroundFeet < 1.0 ? 1 : 0;
  aircraft.atcId = atcId;
  return aircraft;
}

SIMCONNECT_RECV_EXCEPTION exceptionMessage(DWORD code, DWORD sendId = 0, DWORD index = 0) {
  return {{sizeof(SIMCONNECT_RECV_EXCEPTION), 0, SIMCONNECT_RECV_ID_EXCEPTION}, code, sendId, index};
}

class ObjectBindingTest : public SimLinkFixture {
 protected:
  ObjectBinding& binding = link.binding();
};

TEST_F(ObjectBindingTest, TwoWaitingCreatesWithOneCallsignAreBoundInTheirOrder) {
  binding.addSentPacket({5, 4000001, "SWR12"});
  binding.addSentPacket({6, 4000002, "SWR12"});
  binding.onObjectAdded(200);
  binding.onObjectAdded(201);
  binding.onAircraftInRange(201, inRange("SWR12", 1200.0));
  binding.onAircraftInRange(200, inRange("SWR12"));

  EXPECT_EQ(events(), (std::vector<LinkEvent>{{201, 4000001, SimEventType::boundLive, 0.0, 1200.0},
                                              {200, 4000002, SimEventType::boundLive, 0.0, 0.0}}));
  EXPECT_TRUE(binding.sentPackets().empty());
  EXPECT_TRUE(binding.objectAddedList().empty());
}

TEST_F(ObjectBindingTest, ANewObjectThatNoCreateClaimsIsLoggedAndNeverBound) {
  binding.addSentPacket({5, 4000001, "DLH1"});
  binding.onObjectAdded(400);
  binding.onObjectAdded(401);
  binding.onAircraftInRange(400, inRange("", 0.0));
  binding.onAircraftInRange(401, inRange("N777XY", 12.4));

  EXPECT_TRUE(events().empty());
  EXPECT_TRUE(binding.objectAddedList().empty());
  EXPECT_EQ(binding.sentPackets().size(), 1U);
  EXPECT_EQ(missingPieces(logText(), {"just spawned, but not by CRVN, oid: 400, callsign '', altaboveGnd:0 ft, "
                                      "onground:1, gnd_alt:1416 ft",
                                      "oid: 401, callsign 'N777XY', altaboveGnd:12 ft, onground:0"}),
            "");

  // Seen before now: at most ground information, never a binding.
  binding.onAircraftInRange(400, inRange("DLH1"));
  EXPECT_TRUE(eventsOfType(SimEventType::boundLive).empty());
  EXPECT_EQ(eventsOfType(SimEventType::groundInfo).size(), 1U);
}

// Objects at or below the user's id (2 while it is unknown) are ignored.
TEST_F(ObjectBindingTest, GroundInformationUpTo2500FeetForNamedObjectsAndStaticCgRepliesReachTheEngine) {
  binding.onAircraftInRange(500, inRange("BAW1", 2500.0));
  binding.onAircraftInRange(501, inRange("BAW2", 2500.5));
  binding.onAircraftInRange(502, inRange("BAW3*", 10.0));
  binding.onAircraftInRange(503, inRange("", 10.0));
  binding.onAircraftInRange(kUnknownUserObjectId, inRange("USER", 0.0));

  EXPECT_EQ(events(), (std::vector<LinkEvent>{{500, 0, SimEventType::groundInfo, 1416.0, 2500.0}}));
  binding.onAircraftInRange(504, inRange("BAW4", 0.0));
  binding.onStaticCg(600, 9.5, -0.01);
  EXPECT_EQ(events(), (std::vector<LinkEvent>{{500, 0, SimEventType::groundInfo, 1416.0, 2500.0},
                                              {504, 1, SimEventType::groundInfo, 1416.0, 0.0},
                                              {600, 0, SimEventType::staticCg, 9.5, -0.01}}));
}

TEST_F(ObjectBindingTest, ARefusedCreateIsMatchedByItsPacketId) {
  binding.addSentPacket({0, 4000009, "KLM1"});  // kept without its id
  binding.addSentPacket({41, 4000010, "KLM2"});
  binding.addSentPacket({42, 18, "KLM3"});

  binding.onSimException(exceptionMessage(SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED, 77));
  binding.onSimException(exceptionMessage(SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED, 0));
  EXPECT_TRUE(events().empty());
  EXPECT_EQ(binding.sentPackets().size(), 3U);

  binding.onSimException(exceptionMessage(SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED, 41));
  EXPECT_EQ(events(), (std::vector<LinkEvent>{{0, 4000010, SimEventType::createFailed, 0.0, 0.0}}));
  ASSERT_EQ(binding.sentPackets().size(), 2U);
  EXPECT_EQ(binding.sentPackets()[1].callsign, "KLM3");  // the last took the freed place
}

// An unrecognized id is logged only once the user is known and no stop is requested.
TEST_F(ObjectBindingTest, EveryOtherExceptionHasItsOwnReaction) {
  binding.onSimException(exceptionMessage(SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID));
  EXPECT_FALSE(logged("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"));
  link.user().onUserPosition(UserAcData{.latitude = 47.46, .longitude = 8.55}, 1);
  raiseStop();
  binding.onSimException(exceptionMessage(SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID));
  EXPECT_FALSE(logged("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"));
  clearStopRequest();
  binding.onSimException(exceptionMessage(SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID));
  EXPECT_TRUE(logged("===> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"));

  EXPECT_EQ(thrownText<UserErrorException>(
                [&] { binding.onSimException(exceptionMessage(SIMCONNECT_EXCEPTION_VERSION_MISMATCH, 3, 4)); }),
            "95: SimConnect Version Mismatch, dwIndex: 4");
  binding.onSimException(exceptionMessage(SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS));
  EXPECT_EQ(statusLineText(), "SimConnect: too many objects (max 1000)");
  binding.onSimException(exceptionMessage(SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE));
  binding.onSimException(exceptionMessage(SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED));
  binding.onSimException(exceptionMessage(SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE));
  binding.onSimException(exceptionMessage(31));
  const std::string log = logText();
  EXPECT_EQ(testing::missingPieces(log, {"\nSIMCONNECT_EXCEPTION_INVALID_DATA_SIZE",
                                         "===> SimConnect exception: load flight plan failed",
                                         "\nSIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE",
                                         "===> SIMCONNECT_EXCEPTION #31"}), "");
}

}  // namespace
}  // namespace crv::testing
