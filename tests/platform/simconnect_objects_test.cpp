// AI objects in the simulator stand-in: creates and their failures, the
// assigned id, ObjectAdded and ObjectRemoved, release of control, client
// events, position writes, flight plans and the exceptions of bad calls.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>
#include <string>
#include <memory>

#include <gtest/gtest.h>

#include "platform/os/ansi_code_page.h"
#include "tests/platform/simconnect_test_support.h"
#include "tests/support/temp_folder.h"

namespace crv::testing {
namespace {

using platform::SimFunction;

class SimConnectObjects : public StandInFixture {
 protected:
  void SetUp() override {
    handle = openConnection();
    registerLikeTheLink(handle);
    inbox.fetch(handle);
  }

  // Creates an aircraft and returns the id that ObjectAdded tells.
  DWORD create(const char* tail, bool onGround = false) {
    EXPECT_EQ(SimConnect_AICreateNonATCAircraft(handle, "Airbus A320 Lufthansa", tail,
                                                initPosition(47.47, 8.56, 5000.0, onGround), 104),
              S_OK);
    const auto added = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
    EXPECT_EQ(added.size(), 1U);
    return added.empty() ? 0 : added[0].as<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>().dwData;
  }

  SIMCONNECT_RECV_EXCEPTION onlyException() {
    const auto exceptions = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EXCEPTION);
    EXPECT_EQ(exceptions.size(), 1U);
    return exceptions.empty() ? SIMCONNECT_RECV_EXCEPTION{} : exceptions[0].as<SIMCONNECT_RECV_EXCEPTION>();
  }

  DWORD lastPacket() {
    DWORD packet = 0;
    EXPECT_EQ(SimConnect_GetLastSentPacketID(handle, &packet), S_OK);
    return packet;
  }

  HANDLE handle = nullptr;
};

TEST_F(SimConnectObjects, ACreateBringsTheAssignedIdAndObjectAdded) {
  ASSERT_EQ(SimConnect_AICreateNonATCAircraft(handle, "Airbus A320 Lufthansa", "DLH4AB",
                                              initPosition(47.47, 8.56, 5000.0, false), 104),
            S_OK);
  const auto messages = inbox.fetch(handle);
  ASSERT_EQ(messages.size(), 2U);
  ASSERT_EQ(std::tuple(messages[0].id(), messages[1].id()),
            std::tuple(DWORD{SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID}, DWORD{SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE}));
  const auto assigned = messages[0].as<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>();
  const auto added = messages[1].as<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>();
  EXPECT_EQ(std::tuple(assigned.dwRequestID, added.uEventID, added.dwData),
            std::tuple(DWORD{104}, kEventObjectAdded, assigned.dwObjectID));
  EXPECT_GT(assigned.dwObjectID, sim->userObjectId());

  const auto object = sim->object(assigned.dwObjectID);
  ASSERT_TRUE(object.has_value());
  EXPECT_EQ(object->title + "|" + object->state.atcId, "Airbus A320 Lufthansa|DLH4AB");
  EXPECT_DOUBLE_EQ(object->state.altitudeFeet, 5000.0);
  EXPECT_FALSE(object->state.onGround);
  EXPECT_NEAR(object->state.headingRadians, 1.5707963, 1e-6);  // 90 degrees in the create

  // A static create stands on its wheels on the ground and takes the next id.
  const DWORD parked = create("CRVN17", true);
  EXPECT_EQ(parked, assigned.dwObjectID + 1);
  const platform::SimObjectState state = sim->object(parked)->state;
  EXPECT_TRUE(state.onGround);
  EXPECT_DOUBLE_EQ(state.altitudeFeet, sim->userAircraft().groundAltitudeFeet + state.staticCgToGroundFeet);
  EXPECT_DOUBLE_EQ(state.altitudeAboveGroundFeet, state.staticCgToGroundFeet);
}

TEST_F(SimConnectObjects, TheProbeTellsTheTailNumberAsAtcIdCutTo31Bytes) {
  const std::string longTail(40, 'X');
  const DWORD id = create(longTail.c_str());
  sim->setGroundInfo(id, 1234.5, 400.0, false);
  ASSERT_EQ(SimConnect_RequestDataOnSimObjectType(handle, 101, kDefProbe, 20000, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT),
            S_OK);
  const auto replies = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE);
  ASSERT_EQ(replies.size(), 2U);
  const auto reply = replies[1].as<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE>();
  EXPECT_EQ(reply.dwObjectID, id);
  const auto block = replies[1].dataBlock();
  ASSERT_EQ(block.size(), 56U);
  EXPECT_DOUBLE_EQ(valueAt<double>(block, 0), 1234.5);
  EXPECT_DOUBLE_EQ(valueAt<double>(block, 8), 400.0);
  EXPECT_EQ(valueAt<std::int64_t>(block, 16), 0);
  EXPECT_EQ(textAt(block, 24), longTail.substr(0, 31));
}

TEST_F(SimConnectObjects, ACreateFailsAtOnceOrLaterWithItsPacketId) {
  sim->failNext(SimFunction::AICreateNonATCAircraft);
  EXPECT_EQ(SimConnect_AICreateNonATCAircraft(handle, "T", "FAIL1", initPosition(47.47, 8.56, 0, true), 104), E_FAIL);
  EXPECT_TRUE(inbox.fetch(handle).empty());

  sim->failNextCreateLater();
  ASSERT_EQ(SimConnect_AICreateNonATCAircraft(handle, "T", "FAIL2", initPosition(47.47, 8.56, 0, true), 104), S_OK);
  const DWORD packet = lastPacket();
  const auto messages = inbox.fetch(handle);
  ASSERT_EQ(messages.size(), 1U);
  const auto exception = messages[0].as<SIMCONNECT_RECV_EXCEPTION>();
  EXPECT_EQ(exception.dwException, SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED);
  EXPECT_EQ(exception.dwSendID, packet);
  EXPECT_EQ(sim->objects().size(), 1U);  // only the user aircraft

  // The failure is used up: the next create works.
  EXPECT_GT(create("OK1"), 0U);
}

// A long run keeps no records of removed objects: they go at the next
// create, while the objects still in the simulator stay reachable by id and
// alone count against the limit.
TEST(SimConnectObjectLimit, ALongRunForgetsRemovedObjectsAndCountsOnlyLiveOnes) {
  platform::SimWorld world;
  world.maxObjects = 3;
  platform::StandInOptions options;
  options.recordCalls = false;
  auto sim = std::make_shared<platform::SimulatorStandIn>(world, options);
  platform::ScopedSimulator installed(sim);
  HANDLE handle = nullptr;
  ASSERT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), S_OK);
  registerLikeTheLink(handle);
  MessageInbox inbox;
  inbox.fetch(handle);
  const auto createOne = [&](const char* tail) {
    SimConnect_AICreateNonATCAircraft(handle, "T", tail, initPosition(47.0, 8.0, 3000.0, false), 104);
    const auto assigned = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    return assigned.size() == 1 ? assigned[0].as<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>().dwObjectID : DWORD{0};
  };
  const DWORD first = createOne("A1");
  const DWORD second = createOne("A2");
  const DWORD third = createOne("A3");
  ASSERT_NE(third, 0U);
  SimConnect_AIRemoveObject(handle, first, 105);
  SimConnect_AIRemoveObject(handle, third, 105);
  const DWORD fourth = createOne("A4");
  const DWORD fifth = createOne("A5");
  ASSERT_NE(fifth, 0U);
  EXPECT_EQ(createOne("A6"), 0U);  // the limit: second, fourth and fifth
  EXPECT_FALSE(sim->object(first).has_value());

  double position[8] = {47.5, 8.6, 0.05, -0.1, 3.0, 6000.0, 10.0, 250.0};
  for (const DWORD id : {second, fourth, fifth, first, third}) {
    position[0] += 0.01;
    SimConnect_SetDataOnSimObject(handle, kDefAiPosition, id, 0, 0, 64, position);
  }
  const auto exceptions = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EXCEPTION);
  EXPECT_EQ(exceptions.size(), 2U);  // the writes to the two removed
  EXPECT_DOUBLE_EQ(sim->object(second)->state.latitudeDegrees, 47.51);
  EXPECT_DOUBLE_EQ(sim->object(fifth)->state.latitudeDegrees, 47.53);
  EXPECT_EQ(sim->objects().size(), 4U);  // the user aircraft and three
}

TEST(SimConnectObjectLimit, ObjectsBeyondTheLimitAreRefused) {
  platform::SimWorld world;
  world.maxObjects = 2;
  auto sim = std::make_shared<platform::SimulatorStandIn>(world);
  platform::ScopedSimulator installed(sim);
  HANDLE handle = nullptr;
  ASSERT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), S_OK);
  for (const char* tail : {"A1", "A2", "A3"}) {
    ASSERT_EQ(SimConnect_AICreateNonATCAircraft(handle, "T", tail, initPosition(0, 0, 0, true), 104), S_OK);
  }
  MessageInbox inbox;
  const auto exceptions = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EXCEPTION);
  ASSERT_EQ(exceptions.size(), 1U);
  EXPECT_EQ(exceptions[0].as<SIMCONNECT_RECV_EXCEPTION>().dwException, SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS);
  EXPECT_EQ(exceptions[0].as<SIMCONNECT_RECV_EXCEPTION>().dwSendID, 3U);
  EXPECT_EQ(sim->objects().size(), 3U);  // the user aircraft and two
}

TEST_F(SimConnectObjects, RemovalSendsObjectRemovedAndBadIdsRaiseExceptions) {
  const DWORD id = create("DLH1");
  ASSERT_EQ(SimConnect_AIRemoveObject(handle, id, 105), S_OK);
  const auto removed = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
  ASSERT_EQ(removed.size(), 1U);
  const auto event = removed[0].as<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>();
  EXPECT_EQ(std::tuple(event.uEventID, event.dwData, event.eObjType),
            std::tuple(kEventObjectRemoved, id, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT));
  EXPECT_TRUE(sim->object(id)->removed);

  ASSERT_EQ(SimConnect_AIRemoveObject(handle, id, 105), S_OK);
  auto exception = onlyException();
  EXPECT_EQ(exception.dwException, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID);
  EXPECT_EQ(exception.dwSendID, lastPacket());

  ASSERT_EQ(SimConnect_AIRemoveObject(handle, sim->userObjectId(), 105), S_OK);
  EXPECT_EQ(onlyException().dwException, SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE);
  ASSERT_EQ(SimConnect_AIReleaseControl(handle, 4242, 103), S_OK);
  EXPECT_EQ(onlyException().dwException, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID);
  ASSERT_EQ(SimConnect_TransmitClientEvent(handle, id, 217, 2, kGroup, 0), S_OK);
  EXPECT_EQ(onlyException().dwException, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID);

  sim->failNext(SimFunction::AIRemoveObject);
  EXPECT_EQ(SimConnect_AIRemoveObject(handle, create("DLH2"), 105), E_FAIL);
}

TEST_F(SimConnectObjects, ReleaseFreezeAndClientEventsAreRecordedPerObject) {
  const DWORD id = create("SWR12");
  SimConnect_AIReleaseControl(handle, id, 103);
  for (DWORD freeze : {214, 215, 216}) SimConnect_TransmitClientEvent(handle, id, freeze, 1, kGroup, 0);
  SimConnect_AIReleaseControl(handle, id, 103);
  SimConnect_TransmitClientEvent(handle, id, 217, 2, kGroup, 0);
  SimConnect_AIReleaseControl(handle, id, 103);
  for (const auto& [event, data] : {std::pair<DWORD, DWORD>{207, 1}, {211, 1}, {206, 0}, {220, 0}, {219, 1}}) {
    SimConnect_TransmitClientEvent(handle, id, event, data, kGroup, 0);
  }
  EXPECT_TRUE(withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EXCEPTION).empty());

  const auto object = sim->object(id);
  ASSERT_TRUE(object.has_value());
  EXPECT_EQ(object->releaseControlCount, 3);
  EXPECT_TRUE(object->frozenLatitudeLongitude && object->frozenAltitude && object->frozenAttitude &&
              object->enginesRunning);
  EXPECT_EQ(object->lastEventData.at("FLAPS_SET"), 2U);
  EXPECT_EQ(object->lastEventData.at("GEAR_SET"), 1U);
  EXPECT_EQ(object->state.lightStates, 0x201);  // nav and cabin on, beacon off
  ASSERT_EQ(object->clientEvents.size(), 9U);
  EXPECT_EQ(object->clientEvents[3].eventName, "FLAPS_SET");

  // ALL_LIGHTS_TOGGLE on the user aircraft.
  SimConnect_TransmitClientEvent(handle, SIMCONNECT_OBJECT_ID_USER, 213, 0, kGroup, 0);
  EXPECT_EQ(sim->userAircraft().lightStates, 0x31F);
  EXPECT_EQ(sim->object(sim->userObjectId())->clientEvents.back().eventName, "ALL_LIGHTS_TOGGLE");
}

TEST_F(SimConnectObjects, PositionWritesMoveTheObjectAndAreTracedWithTheirTime) {
  const DWORD first = create("AFR7");
  const DWORD second = create("AFR8");
  double position[8] = {47.5, 8.6, 0.05, -0.1, 3.0, 6000.0, 10.0, 250.0};
  for (int frame = 0; frame < 3; ++frame) {
    position[0] += 0.001;
    ASSERT_EQ(SimConnect_SetDataOnSimObject(handle, kDefAiPosition, first, 0, 0, 64, position), S_OK);
    sim->advanceClock(std::chrono::milliseconds(250));
  }
  SimConnect_SetDataOnSimObject(handle, kDefAiPosition, second, 0, 0, 64, position);
  const auto object = sim->object(first);
  ASSERT_EQ(object->poses.size(), 3U);
  EXPECT_DOUBLE_EQ(object->poses[2].headingRadians, 3.0);
  EXPECT_DOUBLE_EQ(object->state.altitudeFeet, 6000.0);

  const platform::SimTrace trace = sim->trace();
  ASSERT_EQ(trace.positionsOf(first).size(), 3U);
  ASSERT_EQ(trace.positionsOf(second).size(), 1U);
  EXPECT_NEAR(trace.positionsOf(first)[2].seconds - trace.positionsOf(first)[0].seconds, 0.5, 1e-9);
  EXPECT_DOUBLE_EQ(trace.positionsOf(first)[2].latitudeDegrees, 47.503);
  EXPECT_DOUBLE_EQ(trace.positionsOf(second)[0].trueAirspeedKnots, 250.0);

  TempFolder folder;
  ASSERT_TRUE(sim->writeTraceCsv(folder / "trace.csv"));
  std::ifstream in(folder / "trace.csv");
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header, platform::kTraceCsvHeader);
  EXPECT_EQ(std::count(std::istreambuf_iterator<char>(in), {}, '\n'), 4);
  EXPECT_FALSE(sim->writeTraceCsv(folder / "missing" / "trace.csv"));
}

// A run's trace goes to its file as the positions come, once a second on
// disk, and the stand-in keeps none of them: hours of traffic stay flat in
// memory.
TEST(SimConnectTraceFile, PositionsGoToTheFileAsTheyComeAndNoneStayInMemory) {
  TempFolder folder;
  const std::filesystem::path file = folder / "trace.csv";
  const auto lineCount = [&] {
    std::ifstream in(file);
    return std::count(std::istreambuf_iterator<char>(in), {}, '\n');
  };
  platform::StandInOptions options;
  options.traceFile = file;
  options.traceIntervalSeconds = 0.1;
  auto sim = std::make_shared<platform::SimulatorStandIn>(platform::SimWorld{}, options);
  {
    platform::ScopedSimulator installed(sim);
    MessageInbox inbox;
    HANDLE handle = nullptr;
    ASSERT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), S_OK);
    registerLikeTheLink(handle);
    ASSERT_EQ(SimConnect_AICreateNonATCAircraft(handle, "Airbus A320 Lufthansa", "DLH1",
                                                initPosition(47.47, 8.56, 5000.0, false), 104),
              S_OK);
    const auto added = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
    ASSERT_EQ(added.size(), 1U);
    const DWORD id = added[0].as<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>().dwData;
    EXPECT_EQ(lineCount(), 1);  // the header, from the start

    double position[8] = {47.5, 8.6, 0.0, 0.0, 3.0, 6000.0, 0.0, 250.0};
    for (int frame = 0; frame < 25; ++frame) {  // 20 ms apart: one in five is taken
      position[0] += 0.0001;
      ASSERT_EQ(SimConnect_SetDataOnSimObject(handle, kDefAiPosition, id, 0, 0, 64, position), S_OK);
      sim->advanceClock(std::chrono::milliseconds(20));
    }
    sim->advanceClock(std::chrono::milliseconds(500));
    ASSERT_EQ(SimConnect_SetDataOnSimObject(handle, kDefAiPosition, id, 0, 0, 64, position), S_OK);
    EXPECT_TRUE(sim->trace().empty());
    EXPECT_EQ(lineCount(), 1 + 6);  // on disk while the run goes on
    SimConnect_Close(handle);
  }
  sim.reset();
  std::ifstream in(file);
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header, platform::kTraceCsvHeader);
  std::string last;
  for (std::string line; std::getline(in, line);) last = line;
  EXPECT_NE(last.find(",1.000,47.50250000,8.60000000,6000.00,"), std::string::npos) << last;
}

// A trace file that cannot be made is told once and the run goes on.
TEST(SimConnectTraceFile, AnUnwritableTraceFileLeavesTheSimulatorRunning) {
  TempFolder folder;
  platform::StandInOptions options;
  options.traceFile = folder / "missing" / "trace.csv";
  auto sim = std::make_shared<platform::SimulatorStandIn>(platform::SimWorld{}, options);
  platform::ScopedSimulator installed(sim);
  HANDLE handle = nullptr;
  EXPECT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), S_OK);
  EXPECT_FALSE(std::filesystem::exists(options.traceFile));
}

TEST_F(SimConnectObjects, SpoilerWritesDoNotMoveTheObjectAndBadWritesRaiseExceptions) {
  const DWORD id = create("AFR7");
  const double spoilers[3] = {100.0, -100.0, -100.0};
  ASSERT_EQ(SimConnect_SetDataOnSimObject(handle, kDefSpoilersThrottle, id, 0, 0, 24, const_cast<double*>(spoilers)),
            S_OK);
  const auto object = sim->object(id);
  EXPECT_DOUBLE_EQ(object->state.spoilersHandlePercent, 100.0);
  EXPECT_DOUBLE_EQ(object->state.throttle2Percent, -100.0);
  EXPECT_TRUE(object->poses.empty());
  EXPECT_TRUE(inbox.fetch(handle).empty());

  double position[8] = {47.5, 8.6, 0.05, -0.1, 3.0, 6000.0, 10.0, 250.0};
  SimConnect_SetDataOnSimObject(handle, kDefAiPosition, id, 0, 0, 56, position);
  EXPECT_EQ(onlyException().dwException, SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE);
  SimConnect_SetDataOnSimObject(handle, 499, id, 0, 0, 64, position);
  EXPECT_EQ(onlyException().dwException, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID);
  SimConnect_SetDataOnSimObject(handle, kDefAiPosition, 777, 0, 0, 64, position);
  EXPECT_EQ(onlyException().dwException, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID);
  SimConnect_SetDataOnSimObject(handle, kDefTitle, id, 0, 0, 64, position);
  EXPECT_EQ(onlyException().dwException, SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE);  // variable size
  EXPECT_EQ(SimConnect_SetDataOnSimObject(handle, kDefAiPosition, id, 0, 0, 64, nullptr), E_FAIL);
  EXPECT_EQ(sim->object(id)->dataWriteCount, 1);
}

// A write walks its definition datum by datum: a whole number, a text of 32
// bytes and a read-only variable take their room in the block and leave the
// values after them in place; only writable variables change.
TEST_F(SimConnectObjects, AMixedDefinitionWritesEachDatumFromItsPlaceInTheBlock) {
  constexpr DWORD kMixed = 470;
  SimConnect_AddToDataDefinition(handle, kMixed, "PLANE ALTITUDE", "feet", SIMCONNECT_DATATYPE_INT64, 0.0F,
                                 SIMCONNECT_UNUSED);
  SimConnect_AddToDataDefinition(handle, kMixed, "ATC ID", nullptr, SIMCONNECT_DATATYPE_STRING32, 0.0F,
                                 SIMCONNECT_UNUSED);
  SimConnect_AddToDataDefinition(handle, kMixed, "GROUND ALTITUDE", "meters", SIMCONNECT_DATATYPE_FLOAT64, 0.0F,
                                 SIMCONNECT_UNUSED);
  SimConnect_AddToDataDefinition(handle, kMixed, "AIRSPEED TRUE", "knots", SIMCONNECT_DATATYPE_FLOAT64, 0.0F,
                                 SIMCONNECT_UNUSED);
  const DWORD id = create("SWR5");
  inbox.fetch(handle);
  const platform::SimObjectState before = sim->object(id)->state;

  std::byte block[56] = {};
  const std::int64_t altitude = 7300;
  const char tail[] = "CHANGED";
  const double ground = 999.0;
  const double airspeed = 180.5;
  std::memcpy(block, &altitude, 8);
  std::memcpy(block + 8, tail, sizeof(tail));
  std::memcpy(block + 40, &ground, 8);
  std::memcpy(block + 48, &airspeed, 8);
  ASSERT_EQ(SimConnect_SetDataOnSimObject(handle, kMixed, id, 0, 0, 56, block), S_OK);
  EXPECT_TRUE(inbox.fetch(handle).empty());
  const platform::SimObjectState after = sim->object(id)->state;
  EXPECT_DOUBLE_EQ(after.altitudeFeet, 7300.0);
  EXPECT_DOUBLE_EQ(after.trueAirspeedKnots, 180.5);
  EXPECT_EQ(after.atcId, before.atcId);
  EXPECT_DOUBLE_EQ(after.groundAltitudeFeet, before.groundAltitudeFeet);
  EXPECT_DOUBLE_EQ(after.altitudeAboveGroundFeet, 7300.0 - before.groundAltitudeFeet);

  // A definition with a text of variable size has no size to write.
  SimConnect_AddToDataDefinition(handle, kMixed + 1, "PLANE ALTITUDE", "feet", SIMCONNECT_DATATYPE_FLOAT64, 0.0F,
                                 SIMCONNECT_UNUSED);
  SimConnect_AddToDataDefinition(handle, kMixed + 1, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRINGV, 0.0F,
                                 SIMCONNECT_UNUSED);
  inbox.fetch(handle);
  SimConnect_SetDataOnSimObject(handle, kMixed + 1, id, 0, 0, 8, block);
  EXPECT_EQ(onlyException().dwException, SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE);
  EXPECT_DOUBLE_EQ(sim->object(id)->state.altitudeFeet, 7300.0);
}

TEST_F(SimConnectObjects, FlightPlansAreRecordedOrRefused) {
  TempFolder folder;
  writeFile(folder / "orig_dest" / "101.pln", "<FlightPlan.FlightPlan>\n</FlightPlan.FlightPlan>\n");
  const ScopedWorkingFolder inFolder(folder.path());
  const DWORD id = create("KLM9");
  ASSERT_EQ(SimConnect_AISetAircraftFlightPlan(handle, id, "orig_dest/101.pln", 110), S_OK);
  EXPECT_EQ(sim->object(id)->flightPlanPaths, (std::vector<std::string>{"orig_dest/101.pln"}));

  sim->failNextFlightPlanLater();
  ASSERT_EQ(SimConnect_AISetAircraftFlightPlan(handle, id, "orig_dest/101.pln", 110), S_OK);
  const auto exception = onlyException();
  EXPECT_EQ(exception.dwException, SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED);
  EXPECT_EQ(exception.dwSendID, lastPacket());

  sim->failNext(SimFunction::AISetAircraftFlightPlan);
  EXPECT_NE(SimConnect_AISetAircraftFlightPlan(handle, id, "orig_dest/101.pln", 110), S_OK);
  EXPECT_EQ(sim->object(id)->flightPlanPaths.size(), 1U);

  platform::SimObjectState boat;
  const DWORD boatId = sim->addForeignObject(boat, SIMCONNECT_SIMOBJECT_TYPE_BOAT);
  inbox.fetch(handle);
  SimConnect_AISetAircraftFlightPlan(handle, boatId, "x.pln", 110);
  EXPECT_EQ(onlyException().dwException, SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE);
}

// The simulator loads a plan from the path it is given, read in the ANSI code
// page: a UTF-8 text of a path outside ASCII names no file it can open.
TEST_F(SimConnectObjects, APlanIsLoadedFromItsPathInTheAnsiCodePage) {
  TempFolder folder;
  const std::filesystem::path plan = folder / std::filesystem::path(u8"Jos\u00e9") / "7.pln";
  writeFile(plan, "<FlightPlan.FlightPlan>\n</FlightPlan.FlightPlan>\n");
  const DWORD id = create("KLM9");
  const std::string ansiText = platform::ansiTextOfPath(plan).value();
  const std::u8string utf8Path = plan.u8string();
  const std::string utf8Text(utf8Path.begin(), utf8Path.end());
  ASSERT_NE(ansiText, utf8Text);

  ASSERT_EQ(SimConnect_AISetAircraftFlightPlan(handle, id, utf8Text.c_str(), 110), S_OK);
  EXPECT_EQ(onlyException().dwException, SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED);
  ASSERT_EQ(SimConnect_AISetAircraftFlightPlan(handle, id, ansiText.c_str(), 110), S_OK);
  EXPECT_EQ(withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EXCEPTION).size(), 0U);
  EXPECT_EQ(sim->object(id)->flightPlanPaths, std::vector<std::string>{ansiText});
  // A plan that is not there is not loaded either.
  ASSERT_EQ(SimConnect_AISetAircraftFlightPlan(handle, id, "missing.pln", 110), S_OK);
  EXPECT_EQ(onlyException().dwException, SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED);
}

TEST_F(SimConnectObjects, ForeignObjectsComeAndGoWithTheirType) {
  platform::SimObjectState state = sim->userAircraft();
  state.atcId = "";
  const DWORD aircraft = sim->addForeignObject(state);
  const DWORD boat = sim->addForeignObject(state, SIMCONNECT_SIMOBJECT_TYPE_BOAT);
  sim->sendObjectAddRemove("ObjectAdded", 5000, SIMCONNECT_SIMOBJECT_TYPE_GROUND);
  EXPECT_TRUE(sim->removeObjectFromSimulator(aircraft));
  EXPECT_FALSE(sim->removeObjectFromSimulator(aircraft));
  EXPECT_FALSE(sim->removeObjectFromSimulator(sim->userObjectId()));

  const auto events = inbox.fetch(handle);
  const std::tuple<DWORD, DWORD, SIMCONNECT_SIMOBJECT_TYPE> expected[] = {
      {kEventObjectAdded, aircraft, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT},
      {kEventObjectAdded, boat, SIMCONNECT_SIMOBJECT_TYPE_BOAT},
      {kEventObjectAdded, 5000U, SIMCONNECT_SIMOBJECT_TYPE_GROUND},
      {kEventObjectRemoved, aircraft, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT}};
  ASSERT_EQ(events.size(), std::size(expected));
  for (std::size_t index = 0; index < events.size(); ++index) {
    const auto event = events[index].as<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>();
    EXPECT_EQ(std::tuple(event.uEventID, event.dwData, event.eObjType), expected[index]) << index;
  }
  EXPECT_FALSE(sim->object(boat)->createdByClient);
}

TEST_F(SimConnectObjects, ClosingTheConnectionRemovesItsObjects) {
  HANDLE watcher = openConnection();
  SimConnect_SubscribeToSystemEvent(watcher, 9203, "ObjectRemoved");
  const DWORD id = create("EZY1");
  platform::SimObjectState foreign;
  const DWORD foreignId = sim->addForeignObject(foreign);
  inbox.fetch(watcher);

  ASSERT_EQ(SimConnect_Close(handle), S_OK);
  EXPECT_TRUE(sim->object(id)->removed);
  EXPECT_FALSE(sim->object(foreignId)->removed);
  const auto removed = withId(inbox.fetch(watcher), SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
  ASSERT_EQ(removed.size(), 1U);
  EXPECT_EQ(removed[0].as<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>().uEventID, 9203U);
  EXPECT_EQ(removed[0].as<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>().dwData, id);
}

}  // namespace
}  // namespace crv::testing
