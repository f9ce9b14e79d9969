// The ground under the stand-in's objects: an AI aircraft feels it through
// its position writes as the simulator's own aircraft do, on an airport of
// the world or on the field around the user aircraft.

#include <tuple>

#include <gtest/gtest.h>

#include "tests/platform/simconnect_test_support.h"

namespace crv::testing {
namespace {

constexpr double kAirportLatitude = 47.0;
constexpr double kAirportLongitude = 8.0;
constexpr double kAirportFeet = 1000.0;
constexpr double kFieldFeet = 1416.0;  // the default user aircraft's ground
constexpr double kCgFeet = 8.0;        // an object's centre of gravity on its wheels

platform::SimWorld worldWithOneAirport() {
  platform::SimWorld world;
  world.airports.push_back({kAirportLatitude, kAirportLongitude, kAirportFeet, 5000.0});
  return world;
}

class SimGround : public ::testing::Test {
 protected:
  SimGround() : sim(std::make_shared<platform::SimulatorStandIn>(worldWithOneAirport())), installed(sim) {
    EXPECT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), S_OK);
    registerLikeTheLink(handle);
    inbox.fetch(handle);
  }

  DWORD create(double latitude, double altitudeFeet, bool onGround) {
    SimConnect_AICreateNonATCAircraft(handle, "T", "KLM1", initPosition(latitude, kAirportLongitude, altitudeFeet, onGround),
                                      104);
    const auto added = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
    return added.empty() ? 0 : added[0].as<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>().dwData;
  }

  void moveTo(DWORD id, double latitude, double altitudeFeet) {
    double position[8] = {latitude, kAirportLongitude, 0.0, 0.0, 0.0, altitudeFeet, 0.0, 140.0};
    ASSERT_EQ(SimConnect_SetDataOnSimObject(handle, kDefAiPosition, id, 0, 0, 64, position), S_OK);
  }

  // What the link's probe (request 101) tells of the object: height above
  // ground, ground altitude, SIM ON GROUND.
  std::tuple<double, double, std::int64_t> probe(DWORD id) {
    SimConnect_RequestDataOnSimObjectType(handle, 101, kDefProbe, 200000, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
    for (const ReceivedMessage& reply : withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE)) {
      if (reply.as<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE>().dwObjectID == id) {
        const auto block = reply.dataBlock();
        return {valueAt<double>(block, 0), valueAt<double>(block, 8), valueAt<std::int64_t>(block, 16)};
      }
    }
    ADD_FAILURE() << "no reply for object " << id;
    return {};
  }

  std::shared_ptr<platform::SimulatorStandIn> sim;
  platform::ScopedSimulator installed;
  MessageInbox inbox;
  HANDLE handle = nullptr;
};

// An arrival created in the air sinks onto the airport's runway, rolls on it
// and climbs away again; the simulator tells the ground contact each time.
TEST_F(SimGround, AnAircraftCreatedInTheAirTouchesDownWhereItsWheelsMeetTheGround) {
  const DWORD id = create(kAirportLatitude - 0.02, 1500.0, false);
  EXPECT_EQ(probe(id), std::tuple(500.0, kAirportFeet, std::int64_t{0}));
  const struct {
    double altitudeFeet;
    double aboveGroundFeet;
    std::int64_t onGround;
  } steps[] = {
      {1100.0, 100.0, 0},
      {kAirportFeet + kCgFeet + 1.5, kCgFeet + 1.5, 0},
      {kAirportFeet + kCgFeet + 1.0, kCgFeet + 1.0, 1},  // within the tolerance
      {kAirportFeet + kCgFeet, kCgFeet, 1},              // on its wheels
      {kAirportFeet + 2.0, 2.0, 1},                      // sent below its wheels: still on the ground
      {kAirportFeet - 50.0, 0.0, 1},
      {kAirportFeet + 60.0, 60.0, 0},                    // lift-off
  };
  for (const auto& step : steps) {
    moveTo(id, kAirportLatitude, step.altitudeFeet);
    EXPECT_EQ(probe(id), std::tuple(step.aboveGroundFeet, kAirportFeet, step.onGround)) << step.altitudeFeet;
    EXPECT_EQ(sim->object(id)->state.onGround, step.onGround == 1) << step.altitudeFeet;
  }
}

// Away from every airport of the world the ground is the field the user
// aircraft stands on; a create on the ground stands on its wheels there.
TEST_F(SimGround, OutsideTheAirportsTheFieldAroundTheUserHolds) {
  const double outside = kAirportLatitude + 0.1;  // 11 km north, beyond the 5 km
  const DWORD parked = create(outside, 0.0, true);
  EXPECT_EQ(probe(parked), std::tuple(kCgFeet, kFieldFeet, std::int64_t{1}));
  EXPECT_DOUBLE_EQ(sim->object(parked)->state.altitudeFeet, kFieldFeet + kCgFeet);

  const DWORD flying = create(outside, kFieldFeet + 200.0, false);
  EXPECT_EQ(probe(flying), std::tuple(200.0, kFieldFeet, std::int64_t{0}));
  // Over the airport, 1000 ft: 416 ft below the field, on the airport's ground.
  moveTo(flying, kAirportLatitude + 0.04, kAirportFeet + kCgFeet);
  EXPECT_EQ(probe(flying), std::tuple(kCgFeet, kAirportFeet, std::int64_t{1}));
}

TEST(SimWorldAirports, AirportsAreReadAndBadOnesNamed) {
  const platform::SimWorld world = platform::parseSimWorld(
      R"({"airports": [{"name": "EHAM", "latitude": 52.31, "longitude": 4.76, "elevationFeet": -11},
                       {"latitude": 47.46, "longitude": 8.55, "elevationFeet": 1416, "radiusMeters": 3000}]})");
  ASSERT_EQ(world.airports.size(), 2U);
  EXPECT_EQ(std::tuple(world.airports[0].elevationFeet, world.airports[0].radiusMeters, world.airports[1].radiusMeters),
            std::tuple(-11.0, 10000.0, 3000.0));
  const struct {
    const char* json;
    const char* expected;
  } cases[] = {
      {R"({"airports": {}})", "'airports' must be a list"},
      {R"({"airports": [5]})", "'airports[0]' must be an object"},
      {R"({"airports": [{"latitude": 1, "longitude": 2}]})", "'airports[0].elevationFeet' is missing"},
      {R"({"airports": [{"latitude": 1, "longitude": 2, "elevationFeet": 0, "radius": 5}]})",
       "unknown member 'airports[0].radius'"},
      {R"({"airports": [{"latitude": 95, "longitude": 2, "elevationFeet": 0}]})", "'airports[0].latitude' must lie"},
  };
  for (const auto& c : cases) {
    try {
      platform::parseSimWorld(c.json);
      ADD_FAILURE() << c.json << " was taken";
    } catch (const platform::SimWorldError& error) {
      EXPECT_THAT(error.what(), ::testing::HasSubstr(c.expected));
    }
  }
}

}  // namespace
}  // namespace crv::testing
