// Data requests, system events and frames of the simulator stand-in, on its
// manual clock.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/simconnect/sim_variables.h"
#include "tests/platform/simconnect_test_support.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

class SimConnectRequests : public StandInFixture {
 protected:
  void SetUp() override {
    handle = openConnection();
    registerLikeTheLink(handle);
    const auto messages = inbox.fetch(handle);
    ASSERT_TRUE(withId(messages, SIMCONNECT_RECV_ID_EXCEPTION).empty());
  }

  std::vector<ReceivedMessage> dataReplies() { return withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_SIMOBJECT_DATA); }
  // A request of data on the user aircraft.
  HRESULT requestUser(DWORD requestId, DWORD definition, SIMCONNECT_PERIOD period = SIMCONNECT_PERIOD_ONCE) {
    return SimConnect_RequestDataOnSimObject(handle, requestId, definition, SIMCONNECT_OBJECT_ID_USER, period, 0, 0, 0, 0);
  }

  HANDLE handle = nullptr;
};

TEST_F(SimConnectRequests, TheUserAircraftReplyCarriesItsStateInTheAskedUnits) {
  platform::SimObjectState user = sim->userAircraft();
  user.latitudeDegrees = 50.0331;
  user.longitudeDegrees = 8.5706;
  user.pitchRadians = -0.05;
  user.bankRadians = 0.1;
  user.headingRadians = 4.0;
  user.altitudeFeet = -12.0;
  user.altitudeAboveGroundFeet = 3.5;
  user.groundSpeedKnots = 12.25;
  user.lightStates = 0x305;
  sim->setUserAircraft(user);
  sim->setSimulatorUtc(1735689610);  // 1 January 2025, 00:00:10

  ASSERT_EQ(requestUser(109, kDefUserAircraft), S_OK);
  const auto replies = dataReplies();
  ASSERT_EQ(replies.size(), 1U);
  const auto header = replies[0].as<SIMCONNECT_RECV_SIMOBJECT_DATA>();
  EXPECT_EQ(std::tuple(header.dwRequestID, header.dwObjectID, header.dwDefineID),
            std::tuple(DWORD{109}, sim->userObjectId(), kDefUserAircraft));
  const auto block = replies[0].dataBlock();
  ASSERT_EQ(block.size(), 96U);
  const double doubles[] = {50.0331, 8.5706, -0.05, 0.1, 4.0, -12.0, 3.5, 12.25};
  for (std::size_t index = 0; index < std::size(doubles); ++index) {
    EXPECT_DOUBLE_EQ(valueAt<double>(block, 8 * index), doubles[index]) << index;
  }
  const std::int64_t integers[] = {10, 1, 2025, 0x305};  // seconds of the day, day of the year, year, lights
  for (std::size_t index = 0; index < std::size(integers); ++index) {
    EXPECT_EQ(valueAt<std::int64_t>(block, 64 + 8 * index), integers[index]) << index;
  }
}

TEST_F(SimConnectRequests, OnceRepliesComeInRequestOrderWithTitleAndModel) {
  platform::SimObjectState user = sim->userAircraft();
  user.title.assign(60, 'T');
  user.title += "itle";
  user.atcModel = "$$:B738";
  sim->setUserAircraft(user);
  requestUser(106, kDefTitle);
  requestUser(107, kDefAtcModel);
  auto replies = dataReplies();
  ASSERT_EQ(replies.size(), 2U);
  EXPECT_EQ(replies[0].as<SIMCONNECT_RECV_SIMOBJECT_DATA>().dwRequestID, 106U);
  EXPECT_EQ(textAt(replies[0].dataBlock(), 0), user.title);
  EXPECT_EQ(replies[0].dataBlock().size() % 4, 0U);
  EXPECT_EQ(replies[1].as<SIMCONNECT_RECV_SIMOBJECT_DATA>().dwRequestID, 107U);
  EXPECT_EQ(replies[1].dataBlock().size(), 32U);
  EXPECT_EQ(textAt(replies[1].dataBlock(), 0), "$$:B738");

  user.title = "";
  user.atcModel = "";
  sim->setUserAircraft(user);
  requestUser(106, kDefTitle);
  requestUser(107, kDefAtcModel);
  replies = dataReplies();
  ASSERT_EQ(replies.size(), 2U);
  EXPECT_EQ(textAt(replies[0].dataBlock(), 0), "");
  EXPECT_EQ(replies[0].dataBlock().size(), 4U);
  EXPECT_EQ(textAt(replies[1].dataBlock(), 0), "");
}

TEST_F(SimConnectRequests, ASecondRequestRepliesOncePerSecondOfTheClock) {
  ASSERT_EQ(requestUser(108, kDefOnGround, SIMCONNECT_PERIOD_SECOND), S_OK);
  EXPECT_TRUE(dataReplies().empty());
  sim->advanceClock(999ms);
  EXPECT_TRUE(dataReplies().empty());
  sim->advanceClock(1ms);
  auto replies = dataReplies();
  ASSERT_EQ(replies.size(), 1U);
  EXPECT_EQ(valueAt<std::int64_t>(replies[0].dataBlock(), 0), 1);

  sim->updateObjectState(SIMCONNECT_OBJECT_ID_USER, [](platform::SimObjectState& user) { user.onGround = false; });
  sim->advanceClock(2500ms);
  replies = dataReplies();
  ASSERT_EQ(replies.size(), 2U);
  EXPECT_EQ(valueAt<std::int64_t>(replies[1].dataBlock(), 0), 0);
  EXPECT_EQ(replies[1].as<SIMCONNECT_RECV_SIMOBJECT_DATA>().dwRequestID, 108U);

  // Period NEVER ends it.
  requestUser(108, kDefOnGround, SIMCONNECT_PERIOD_NEVER);
  sim->advanceClock(3s);
  EXPECT_TRUE(dataReplies().empty());
}

TEST_F(SimConnectRequests, TheProbeRepliesForEveryAircraftWithinTheRadiusUserIncluded) {
  platform::SimObjectState nearby = sim->userAircraft();
  nearby.latitudeDegrees += 0.05;  // about 5.6 km north
  nearby.atcId = "NEAR1";
  platform::SimObjectState distant = sim->userAircraft();
  distant.latitudeDegrees += 1.0;  // about 111 km north
  distant.atcId = "FAR1";
  const DWORD nearId = sim->addForeignObject(nearby);
  sim->addForeignObject(distant);
  sim->addForeignObject(nearby, SIMCONNECT_SIMOBJECT_TYPE_BOAT);
  inbox.fetch(handle);

  struct Case {
    DWORD radiusMeters;
    std::vector<DWORD> objectIds;
  };
  const Case cases[] = {{0, {sim->userObjectId()}},
                        {5000, {sim->userObjectId()}},
                        {6000, {sim->userObjectId(), nearId}},
                        {200000, {sim->userObjectId(), nearId, nearId + 1}}};
  for (const Case& c : cases) {
    ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(handle, 101, kDefProbe, c.radiusMeters,
                                                    SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT),
              S_OK);
    const auto replies = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE);
    ASSERT_EQ(replies.size(), c.objectIds.size()) << c.radiusMeters;
    for (std::size_t index = 0; index < replies.size(); ++index) {
      const auto reply = replies[index].as<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE>();
      EXPECT_EQ(reply.dwRequestID, 101U);
      EXPECT_EQ(reply.dwObjectID, c.objectIds[index]);
      EXPECT_EQ(reply.dwentrynumber, index + 1);
      EXPECT_EQ(reply.dwoutof, replies.size());
    }
  }

  // An object the simulator removed answers no more; the others keep their order.
  ASSERT_TRUE(sim->removeObjectFromSimulator(nearId));
  const DWORD laterId = sim->addForeignObject(nearby);
  inbox.fetch(handle);
  ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(handle, 101, kDefProbe, 200000, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT),
            S_OK);
  std::vector<DWORD> answered;
  for (const auto& reply : withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE)) {
    answered.push_back(reply.as<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE>().dwObjectID);
  }
  EXPECT_EQ(answered, (std::vector<DWORD>{sim->userObjectId(), nearId + 1, laterId}));

  SimConnect_RequestDataOnSimObjectType(handle, 101, kDefProbe, 200001, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
  const auto refused = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EXCEPTION);
  ASSERT_EQ(refused.size(), 1U);
  EXPECT_EQ(refused[0].as<SIMCONNECT_RECV_EXCEPTION>().dwException, SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS);
}

TEST_F(SimConnectRequests, StaticCgOfAnAiObjectAndBadRequestsRaiseExceptions) {
  ASSERT_EQ(SimConnect_AICreateNonATCAircraft(handle, "T", "CG1", initPosition(47.46, 8.55, 0, true), 104), S_OK);
  const DWORD id = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID)[0]
                       .as<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>()
                       .dwObjectID;
  sim->updateObjectState(id, [](platform::SimObjectState& state) {
    state.staticCgToGroundFeet = 11.5;
    state.staticPitchRadians = 0.02;
  });
  SimConnect_RequestDataOnSimObject(handle, 102, kDefStaticCg, id, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0);
  const auto replies = dataReplies();
  ASSERT_EQ(replies.size(), 1U);
  EXPECT_EQ(replies[0].as<SIMCONNECT_RECV_SIMOBJECT_DATA>().dwObjectID, id);
  EXPECT_DOUBLE_EQ(valueAt<double>(replies[0].dataBlock(), 0), 11.5);
  EXPECT_DOUBLE_EQ(valueAt<double>(replies[0].dataBlock(), 8), 0.02);

  SimConnect_RequestDataOnSimObject(handle, 102, kDefStaticCg, 9999, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0);
  SimConnect_RequestDataOnSimObject(handle, 102, 498, id, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0);
  const auto exceptions = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EXCEPTION);
  ASSERT_EQ(exceptions.size(), 2U);
  EXPECT_EQ(exceptions[0].as<SIMCONNECT_RECV_EXCEPTION>().dwException, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID);
  EXPECT_EQ(exceptions[0].as<SIMCONNECT_RECV_EXCEPTION>().dwIndex, 3U);
  EXPECT_EQ(exceptions[1].as<SIMCONNECT_RECV_EXCEPTION>().dwIndex, 2U);
}

TEST_F(SimConnectRequests, RefusedRegistrationsComeBackAsExceptions) {
  SimConnect_AddToDataDefinition(handle, 450, "PLANE WOBBLE", "feet", SIMCONNECT_DATATYPE_FLOAT64, 0.0F,
                                 SIMCONNECT_UNUSED);
  SimConnect_AddToDataDefinition(handle, 450, "Plane Altitude", "parsecs", SIMCONNECT_DATATYPE_FLOAT64, 0.0F,
                                 SIMCONNECT_UNUSED);
  SimConnect_AddToDataDefinition(handle, 450, "Plane Altitude", nullptr, SIMCONNECT_DATATYPE_FLOAT64, 0.0F,
                                 SIMCONNECT_UNUSED);
  SimConnect_AddToDataDefinition(handle, 450, "ATC ID", nullptr, SIMCONNECT_DATATYPE_FLOAT64, 0.0F, SIMCONNECT_UNUSED);
  SimConnect_SubscribeToSystemEvent(handle, 299, "Weather");
  SimConnect_MapClientEventToSimEvent(handle, 298, "MAKE_COFFEE");
  SimConnect_AddClientEventToNotificationGroup(handle, kGroup, 297, TRUE);
  SimConnect_SetNotificationGroupPriority(handle, 302, 1);

  const auto exceptions = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EXCEPTION);
  ASSERT_EQ(exceptions.size(), 8U);
  const DWORD expected[] = {SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED,
                            SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, SIMCONNECT_EXCEPTION_INVALID_DATA_TYPE,
                            SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED,
                            SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID,   SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID};
  const auto calls = sim->calls();
  for (std::size_t index = 0; index < exceptions.size(); ++index) {
    const auto exception = exceptions[index].as<SIMCONNECT_RECV_EXCEPTION>();
    EXPECT_EQ(exception.dwException, expected[index]) << index;
    // Each names the packet of its call.
    EXPECT_EQ(exception.dwSendID, calls[calls.size() - 9 + index].packetId) << index;
  }
}

TEST_F(SimConnectRequests, FramesComeAtTheFrameRateOfTheClock) {
  sim->advanceClock(1s);
  auto frames = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EVENT_FRAME);
  ASSERT_EQ(frames.size(), 30U);
  const auto frame = frames[0].as<SIMCONNECT_RECV_EVENT_FRAME>();
  EXPECT_EQ(frame.uEventID, kEventFrame);
  EXPECT_FLOAT_EQ(frame.fFrameRate, 30.0F);
  EXPECT_FLOAT_EQ(frame.fSimSpeed, 1.0F);

  sim->setFrameRate(45.0);
  SimConnect_RequestDataOnSimObject(handle, 150, kDefOnGround, SIMCONNECT_OBJECT_ID_USER,
                                    SIMCONNECT_PERIOD_VISUAL_FRAME, 0, 0, 0, 0);
  sim->advanceFrames(3);
  const auto messages = inbox.fetch(handle);
  frames = withId(messages, SIMCONNECT_RECV_ID_EVENT_FRAME);
  ASSERT_EQ(frames.size(), 3U);
  EXPECT_FLOAT_EQ(frames[2].as<SIMCONNECT_RECV_EVENT_FRAME>().fFrameRate, 45.0F);
  EXPECT_EQ(withId(messages, SIMCONNECT_RECV_ID_SIMOBJECT_DATA).size(), 3U);  // one reply per frame

  sim->setFrameRate(0.0);
  sim->advanceClock(5s);
  EXPECT_TRUE(withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EVENT_FRAME).empty());
  EXPECT_THROW(sim->advanceFrames(1), std::logic_error);
}

TEST_F(SimConnectRequests, SimEventAfterSubscribingAndOnEveryChange) {
  HANDLE second = openConnection();
  SimConnect_SubscribeToSystemEvent(second, 201, "Sim");
  auto events = withId(inbox.fetch(second), SIMCONNECT_RECV_ID_EVENT);
  ASSERT_EQ(events.size(), 1U);
  EXPECT_EQ(events[0].as<SIMCONNECT_RECV_EVENT>().uEventID, kEventSim);
  EXPECT_EQ(events[0].as<SIMCONNECT_RECV_EVENT>().dwData, 1U);

  sim->setFlightRunning(false);
  sim->setFlightRunning(false);  // no change, no event
  events = withId(inbox.fetch(second), SIMCONNECT_RECV_ID_EVENT);
  ASSERT_EQ(events.size(), 1U);
  EXPECT_EQ(events[0].as<SIMCONNECT_RECV_EVENT>().dwData, 0U);
}

TEST_F(SimConnectRequests, FlightLoadedComesAsEventOrAsFileName) {
  sim->loadFlight("flights/other.flt", platform::FlightLoadedForm::Event);
  sim->loadFlight("flights/other.flt", platform::FlightLoadedForm::FileName);
  const auto messages = inbox.fetch(handle);
  ASSERT_EQ(messages.size(), 2U);
  ASSERT_EQ(messages[0].id(), SIMCONNECT_RECV_ID_EVENT);
  EXPECT_EQ(messages[0].as<SIMCONNECT_RECV_EVENT>().uEventID, kEventFlightLoaded);
  ASSERT_EQ(messages[1].id(), SIMCONNECT_RECV_ID_EVENT_FILENAME);
  const auto file = messages[1].as<SIMCONNECT_RECV_EVENT_FILENAME>();
  EXPECT_EQ(file.uEventID, kEventFlightLoaded);
  EXPECT_STREQ(file.szFileName, "flights/other.flt");
}

TEST_F(SimConnectRequests, AnyMessageAndExceptionCanBeInjected) {
  sim->injectMessage(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID, std::vector<std::byte>(8));
  sim->injectMessage(99, {std::byte{1}});
  sim->raiseException(42, 3, 7);
  const auto messages = inbox.fetch(handle);
  ASSERT_EQ(messages.size(), 3U);
  EXPECT_EQ(messages[0].id(), 12U);
  EXPECT_EQ(messages[0].bytes.size(), 20U);
  EXPECT_EQ(messages[1].id(), 99U);
  EXPECT_EQ(messages[1].as<SIMCONNECT_RECV>().dwSize, 13U);
  const auto exception = messages[2].as<SIMCONNECT_RECV_EXCEPTION>();
  EXPECT_EQ(std::tuple(exception.dwException, exception.dwIndex), std::tuple(DWORD{42}, DWORD{7}));
}

// A variable asked for in any unit of its kind reads and writes the value the
// simulator keeps, converted: a wrong unit in a definition gives a wrong value.
TEST(SimConnectUnits, EachUnitReadsAndWritesTheKeptValueConverted) {
  struct Case {
    const char* variable;
    const char* unit;
    double platform::SimObjectState::*field;
    double kept;    // in the stand-in's own unit
    double inUnit;  // the same in the unit asked for
  };
  using State = platform::SimObjectState;
  const Case cases[] = {
      {"PLANE LATITUDE", "degrees", &State::latitudeDegrees, 50.0, 50.0},
      {"Plane Latitude", "radians", &State::latitudeDegrees, 50.0, 0.8726646259971648},
      {"PLANE LONGITUDE", "degree", &State::longitudeDegrees, -0.5, -0.5},
      {"PLANE HEADING DEGREES TRUE", "radians", &State::headingRadians, 1.5707963267948966, 1.5707963267948966},
      {"PLANE HEADING DEGREES TRUE", "degrees", &State::headingRadians, 1.5707963267948966, 90.0},
      {"PLANE PITCH DEGREES", "degrees", &State::pitchRadians, -0.1, -5.729577951308232},
      {"PLANE BANK DEGREES", "radian", &State::bankRadians, 0.3, 0.3},
      {"PLANE ALTITUDE", "feet", &State::altitudeFeet, 1000.0, 1000.0},
      {"PLANE ALTITUDE", "meters", &State::altitudeFeet, 1000.0, 304.8},
      {"VERTICAL SPEED", "feet per second", &State::verticalSpeedFeetPerSecond, 10.0, 10.0},
      {"VERTICAL SPEED", "feet per minute", &State::verticalSpeedFeetPerSecond, 10.0, 600.0},
      {"VERTICAL SPEED", "meters per second", &State::verticalSpeedFeetPerSecond, 10.0, 3.048},
      {"AIRSPEED TRUE", "knots", &State::trueAirspeedKnots, 100.0, 100.0},
      {"AIRSPEED TRUE", "feet per second", &State::trueAirspeedKnots, 100.0, 168.78098571011956},
      {"AIRSPEED TRUE", "kilometers per hour", &State::trueAirspeedKnots, 100.0, 185.2},
      {"AIRSPEED TRUE", "meters per second", &State::trueAirspeedKnots, 100.0, 51.44444444444444},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.variable) + " in " + c.unit);
    const platform::DatumBinding binding = platform::bindDatum(c.variable, c.unit, SIMCONNECT_DATATYPE_FLOAT64);
    ASSERT_TRUE(binding.datum.has_value());
    State state;
    state.*c.field = c.kept;
    std::vector<std::byte> block;
    platform::appendDatum(block, *binding.datum, state, 0);
    ASSERT_EQ(block.size(), sizeof(double));
    EXPECT_NEAR(valueAt<double>(block, 0), c.inUnit, 1e-9 * std::max(1.0, std::abs(c.inUnit)));

    State written;
    platform::applyDatum(written, *binding.datum, block.data());
    EXPECT_NEAR(written.*c.field, c.kept, 1e-9 * std::max(1.0, std::abs(c.kept)));
  }
  // A unit of another kind, or none, is refused as the simulator refuses it.
  for (const char* unit : {"feet", "knots", "bogus"}) {
    EXPECT_EQ(platform::bindDatum("PLANE HEADING DEGREES TRUE", unit, SIMCONNECT_DATATYPE_FLOAT64).refusedArgument, 3U)
        << unit;
  }
  EXPECT_FALSE(platform::bindDatum("PLANE ALTITUDE", nullptr, SIMCONNECT_DATATYPE_FLOAT64).datum.has_value());
}

TEST(SimConnectZuluDate, DatesOfUtcTimes) {
  struct Case {
    std::int64_t utc;
    std::int64_t secondsOfDay, dayOfYear, year;
  };
  const Case cases[] = {{0, 0, 1, 1970},
                        {1735689610, 10, 1, 2025},
                        {1735689599, 86399, 366, 2024},
                        {951782400, 0, 60, 2000},  // 29 February 2000
                        {-1, 86399, 365, 1969}};
  for (const Case& c : cases) {
    const platform::ZuluDate date = platform::zuluDateOf(c.utc);
    EXPECT_EQ(date.secondsOfDay, c.secondsOfDay) << c.utc;
    EXPECT_EQ(date.dayOfYear, c.dayOfYear) << c.utc;
    EXPECT_EQ(date.year, c.year) << c.utc;
  }
}

}  // namespace
}  // namespace crv::testing
