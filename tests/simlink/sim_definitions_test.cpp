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
