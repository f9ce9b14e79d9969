// The registration of a new connection: accepted whole by the simulator, and
// with definitions of the sizes of the blocks the link reads and writes.

#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "platform/simconnect/sim_installation.h"
#include "platform/simconnect/sim_standin.h"
#include "simlink/sim_definitions.h"

namespace crv {
namespace {

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

// The bytes of the fixed-size fields of each definition; the user's title is a
// text of any length.
TEST(SimDefinitionsTest, DefinitionSizesMatchTheBlocksTheLinkReadsAndWrites) {
  std::map<std::uint32_t, std::size_t> fixedSize;
  for (const DataDefinitionEntry& entry : dataDefinitionEntries()) {
    if (entry.type == SIMCONNECT_DATATYPE_FLOAT64 || entry.type == SIMCONNECT_DATATYPE_INT64) {
      fixedSize[entry.definitionId] += 8;
    } else if (entry.type == SIMCONNECT_DATATYPE_STRING32) {
      fixedSize[entry.definitionId] += 32;
    }
  }
  EXPECT_EQ(fixedSize, (std::map<std::uint32_t, std::size_t>{
                           {401, 24}, {402, 64}, {403, 96}, {404, 56}, {405, 16}, {406, 8}, {408, 32}, {409, 8}}));
}

}  // namespace
}  // namespace crv
