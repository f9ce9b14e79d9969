// The registration of a new connection, call by call, against the table of
// identifiers, variables, units and types that the simulator link uses.

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/simconnect/sim_installation.h"
#include "platform/simconnect/sim_standin.h"
#include "simlink/sim_definitions.h"

namespace crv {
namespace {

using platform::SimCall;
using platform::SimFunction;

struct ExpectedCall {
  SimFunction function;
  std::string arguments;
};

std::vector<ExpectedCall> expectedRegistration() {
  std::vector<ExpectedCall> calls;
  auto subscribe = [&](int id, const char* name) {
    calls.push_back({SimFunction::SubscribeToSystemEvent, std::to_string(id) + ", \"" + name + "\""});
  };
  subscribe(201, "Sim");
  subscribe(202, "ObjectAdded");
  subscribe(203, "ObjectRemoved");
  subscribe(205, "FlightLoaded");
  subscribe(204, "Frame");

  // Data types: FLOAT64 4, INT64 2, STRING32 6, STRINGV 11; epsilon 0 and
  // datum id SIMCONNECT_UNUSED on every entry.
  auto datum = [&](int definition, const char* name, const char* unit, int type) {
    const std::string unitText = unit == nullptr ? "null" : "\"" + std::string(unit) + "\"";
    calls.push_back({SimFunction::AddToDataDefinition, std::to_string(definition) + ", \"" + name + "\", " + unitText +
                                                           ", " + std::to_string(type) + ", 0, 4294967295"});
  };
  datum(407, "TITLE", nullptr, 11);
  datum(408, "ATC MODEL", nullptr, 6);
  datum(409, "SIM ON GROUND", "Bool", 2);
  datum(402, "Plane Latitude", "degree", 4);
  datum(402, "Plane Longitude", "degree", 4);
  datum(402, "Plane Pitch degrees", "radians", 4);
  datum(402, "Plane Bank degrees", "radians", 4);
  datum(402, "Plane Heading degrees true", "radians", 4);
  datum(402, "Plane Altitude", "feet", 4);
  datum(402, "Vertical Speed", "feet per second", 4);
  datum(402, "Airspeed True", "knots", 4);
  datum(403, "Plane Latitude", "degree", 4);
  datum(403, "Plane Longitude", "degree", 4);
  datum(403, "Plane Pitch degrees", "radians", 4);
  datum(403, "Plane Bank degrees", "radians", 4);
  datum(403, "Plane Heading degrees true", "radians", 4);
  datum(403, "Plane Altitude", "feet", 4);
  datum(403, "Plane Alt Above Ground", "feet", 4);
  datum(403, "Ground Velocity", "knots", 4);
  datum(403, "ZULU TIME", "Seconds", 2);
  datum(403, "ZULU DAY OF YEAR", "Number", 2);
  datum(403, "ZULU YEAR", "Number", 2);
  datum(403, "LIGHT STATES", "Mask", 2);
  datum(405, "Static CG to Ground", "feet", 4);
  datum(405, "Static Pitch", "radians", 4);
  datum(406, "Light On States", "Mask", 2);
  datum(404, "Plane Alt Above Ground", "feet", 4);
  datum(404, "Ground Altitude", "feet", 4);
  datum(404, "SIM ON GROUND", "Bool", 2);
  datum(404, "ATC ID", nullptr, 6);
  datum(401, "SPOILERS HANDLE POSITION", "percent", 4);
  datum(401, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", 4);
  datum(401, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", 4);

  auto mapEvent = [&](int id, const char* name) {
    calls.push_back({SimFunction::MapClientEventToSimEvent, std::to_string(id) + ", \"" + name + "\""});
  };
  mapEvent(219, "GEAR_SET");
  mapEvent(220, "ENGINE_AUTO_START");
  mapEvent(221, "ENGINE_AUTO_SHUTDOWN");
  mapEvent(222, "THROTTLE_SET");
  mapEvent(217, "FLAPS_SET");
  mapEvent(218, "SPOILERS_SET");
  mapEvent(207, "NAV_LIGHTS_SET");
  mapEvent(206, "BEACON_LIGHTS_SET");
  mapEvent(210, "LANDING_LIGHTS_SET");
  mapEvent(208, "TAXI_LIGHTS_SET");
  mapEvent(209, "STROBES_SET");
  mapEvent(212, "LOGO_LIGHTS_SET");
  mapEvent(211, "CABIN_LIGHTS_SET");
  mapEvent(213, "ALL_LIGHTS_TOGGLE");
  mapEvent(214, "FREEZE_LATITUDE_LONGITUDE_SET");
  mapEvent(215, "FREEZE_ALTITUDE_SET");
  mapEvent(216, "FREEZE_ATTITUDE_SET");

  for (const int id : {207, 206, 210, 208, 209, 212, 211, 213, 217, 218, 219, 221, 222, 214, 215, 216}) {
    calls.push_back({SimFunction::AddClientEventToNotificationGroup, "301, " + std::to_string(id) + ", 1"});
  }
  calls.push_back({SimFunction::SetNotificationGroupPriority, "301, 1"});
  return calls;
}

TEST(SimDefinitionsTest, RegistersEveryIdentifierInOrderWithItsUnitAndType) {
  auto sim = std::make_shared<platform::SimulatorStandIn>();
  platform::ScopedSimulator installed(sim);
  HANDLE handle = nullptr;
  ASSERT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), S_OK);
  sim->clearCalls();

  setupSimConnect(handle);

  const std::vector<SimCall> calls = sim->calls();
  const std::vector<ExpectedCall> expected = expectedRegistration();
  ASSERT_EQ(calls.size(), expected.size());
  for (std::size_t index = 0; index < expected.size(); ++index) {
    SCOPED_TRACE(calls[index].text());
    EXPECT_EQ(calls[index].function, expected[index].function);
    EXPECT_EQ(calls[index].arguments, expected[index].arguments);
    EXPECT_EQ(calls[index].result, S_OK);
  }
}

TEST(SimDefinitionsTest, TheSimulatorRefusesNoneOfTheRegistrations) {
  auto sim = std::make_shared<platform::SimulatorStandIn>();
  platform::ScopedSimulator installed(sim);
  HANDLE handle = nullptr;
  ASSERT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), S_OK);

  setupSimConnect(handle);

  struct Inbox {
    static void receive(SIMCONNECT_RECV* message, DWORD, void* context) {
      static_cast<std::vector<DWORD>*>(context)->push_back(message->dwID);
    }
  };
  std::vector<DWORD> received;
  SimConnect_CallDispatch(handle, &Inbox::receive, &received);
  // OPEN and the "Sim" state that follows the subscription; no exception.
  EXPECT_EQ(received, (std::vector<DWORD>{SIMCONNECT_RECV_ID_OPEN, SIMCONNECT_RECV_ID_EVENT}));
}

TEST(SimDefinitionsTest, DefinitionSizesMatchTheBlocksTheLinkReadsAndWrites) {
  std::map<std::uint32_t, std::size_t> fixedSize;
  for (const DataDefinitionEntry& entry : dataDefinitionEntries()) {
    switch (entry.type) {
      case SIMCONNECT_DATATYPE_FLOAT64:
      case SIMCONNECT_DATATYPE_INT64:
        fixedSize[entry.definitionId] += 8;
        break;
      case SIMCONNECT_DATATYPE_STRING32:
        fixedSize[entry.definitionId] += 32;
        break;
      default:
        break;
    }
  }
  EXPECT_EQ(fixedSize[401], 24U);
  EXPECT_EQ(fixedSize[402], 64U);
  EXPECT_EQ(fixedSize[403], 96U);
  EXPECT_EQ(fixedSize[404], 56U);
  EXPECT_EQ(fixedSize[405], 16U);
  EXPECT_EQ(fixedSize[406], 8U);
  EXPECT_EQ(fixedSize[408], 32U);
  EXPECT_EQ(fixedSize[409], 8U);
}

}  // namespace
}  // namespace crv
