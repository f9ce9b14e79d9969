// Connections to the simulator stand-in: open and its failures, the OPEN
// message, close, quit, broken connections, packet ids and the recording.

#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/platform/simconnect_test_support.h"
#include "tests/support/environment.h"
#include "tests/support/temp_folder.h"

namespace crv::testing {
namespace {

using platform::SimFunction;

class SimConnectConnection : public StandInFixture {};

TEST_F(SimConnectConnection, OpenFailsUntilTheSimulatorRunsThenSendsOpenFirst) {
  sim->setSimulatorRunning(false);
  HANDLE handle = nullptr;
  EXPECT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), E_FAIL);
  EXPECT_EQ(handle, nullptr);

  sim->setSimulatorRunning(true);
  sim->failNextOpens(2);
  EXPECT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), E_FAIL);
  EXPECT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), E_FAIL);
  ASSERT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), S_OK);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(sim->openConnectionCount(), 1);

  const auto messages = inbox.fetch(handle);
  ASSERT_EQ(messages.size(), 1U);
  ASSERT_EQ(messages[0].id(), SIMCONNECT_RECV_ID_OPEN);
  const auto open = messages[0].as<SIMCONNECT_RECV_OPEN>();
  EXPECT_EQ(open.dwSize, sizeof(SIMCONNECT_RECV_OPEN));
  EXPECT_STREQ(open.szApplicationName, "KittyHawk");
  EXPECT_EQ(open.dwApplicationVersionMajor, 11U);
  EXPECT_EQ(sim->calls().at(0).text(), "Open(\"CRVN\", null, 0, null, 0)");
}

TEST_F(SimConnectConnection, ClosedAndUnknownHandlesFailEveryCall) {
  HANDLE handle = openConnection();
  EXPECT_EQ(SimConnect_Close(handle), S_OK);
  EXPECT_EQ(SimConnect_Close(handle), E_FAIL);
  EXPECT_EQ(sim->openConnectionCount(), 0);

  DWORD packet = 7;
  for (HANDLE bad : {handle, static_cast<HANDLE>(nullptr)}) {
    EXPECT_EQ(inbox.dispatch(bad), E_FAIL);
    EXPECT_EQ(SimConnect_SubscribeToSystemEvent(bad, 201, "Sim"), E_FAIL);
    EXPECT_EQ(SimConnect_RequestDataOnSimObject(bad, 109, 403, 0, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0), E_FAIL);
    EXPECT_EQ(SimConnect_AIRemoveObject(bad, 100, 105), E_FAIL);
    EXPECT_EQ(SimConnect_GetLastSentPacketID(bad, &packet), E_FAIL);
  }
  EXPECT_EQ(packet, 7U);
  EXPECT_TRUE(inbox.messages.empty());
}

TEST(SimConnectInstallation, HandlesOfAnEarlierSimulatorFailInTheNextOne) {
  HANDLE old = nullptr;
  {
    auto first = std::make_shared<platform::SimulatorStandIn>();
    platform::ScopedSimulator installed(first);
    ASSERT_EQ(SimConnect_Open(&old, "CRVN", nullptr, 0, nullptr, 0), S_OK);
    EXPECT_THROW(platform::ScopedSimulator(std::make_shared<platform::SimulatorStandIn>()), std::logic_error);
  }
  auto second = std::make_shared<platform::SimulatorStandIn>();
  platform::ScopedSimulator installed(second);
  HANDLE fresh = nullptr;
  ASSERT_EQ(SimConnect_Open(&fresh, "CRVN", nullptr, 0, nullptr, 0), S_OK);
  EXPECT_NE(fresh, old);
  MessageInbox inbox;
  EXPECT_EQ(inbox.dispatch(old), E_FAIL);
  EXPECT_EQ(SimConnect_Close(old), E_FAIL);
}

TEST_F(SimConnectConnection, QuitSendsQuitThenTheConnectionIsDead) {
  HANDLE handle = openConnection();
  registerLikeTheLink(handle);
  ASSERT_EQ(SimConnect_AICreateNonATCAircraft(handle, "Livery", "DLH1", initPosition(47.46, 8.55, 0, true), 104), S_OK);
  inbox.fetch(handle);

  sim->quit();
  // Until the QUIT is fetched a call is taken and does nothing; after it, calls fail.
  EXPECT_EQ(SimConnect_RequestDataOnSimObject(handle, 109, 403, 0, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0), S_OK);
  DWORD packet = 0;
  EXPECT_EQ(SimConnect_GetLastSentPacketID(handle, &packet), S_OK);
  const auto messages = inbox.fetch(handle);
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_EQ(messages[0].id(), SIMCONNECT_RECV_ID_QUIT);
  EXPECT_EQ(messages[0].bytes.size(), sizeof(SIMCONNECT_RECV));
  EXPECT_EQ(SimConnect_RequestDataOnSimObject(handle, 110, 403, 0, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0), E_FAIL);
  EXPECT_EQ(inbox.dispatch(handle), E_FAIL);
  EXPECT_EQ(sim->object(100)->removed, true);

  HANDLE next = nullptr;
  EXPECT_EQ(SimConnect_Open(&next, "CRVN", nullptr, 0, nullptr, 0), E_FAIL);
  EXPECT_EQ(SimConnect_Close(handle), S_OK);
  sim->setSimulatorRunning(true);
  EXPECT_EQ(SimConnect_Open(&next, "CRVN", nullptr, 0, nullptr, 0), S_OK);
}

TEST_F(SimConnectConnection, ABrokenConnectionFailsWithoutQuit) {
  HANDLE handle = openConnection();
  sim->breakConnections();
  EXPECT_EQ(inbox.dispatch(handle), E_FAIL);
  EXPECT_EQ(inbox.dispatch(handle), E_FAIL);
  EXPECT_TRUE(inbox.messages.empty());
  EXPECT_EQ(SimConnect_TransmitClientEvent(handle, 0, 213, 0, kGroup, 0), E_FAIL);
}

TEST_F(SimConnectConnection, PacketIdsCountEverySentCallOfTheConnection) {
  HANDLE handle = openConnection();
  DWORD packet = 99;
  ASSERT_EQ(SimConnect_GetLastSentPacketID(handle, &packet), S_OK);
  EXPECT_EQ(packet, 0U);

  registerLikeTheLink(handle);  // 5 + 33 + 17 + 16 + 1 calls
  inbox.dispatch(handle);
  ASSERT_EQ(SimConnect_GetLastSentPacketID(handle, &packet), S_OK);
  EXPECT_EQ(packet, 72U);

  sim->failNext(SimFunction::AICreateNonATCAircraft);
  EXPECT_EQ(SimConnect_AICreateNonATCAircraft(handle, "T", "A1", initPosition(0, 0, 0, true), 104), E_FAIL);
  ASSERT_EQ(SimConnect_GetLastSentPacketID(handle, &packet), S_OK);
  EXPECT_EQ(packet, 72U);  // a failed call sends nothing

  ASSERT_EQ(SimConnect_AICreateNonATCAircraft(handle, "T", "A1", initPosition(0, 0, 0, true), 104), S_OK);
  ASSERT_EQ(SimConnect_GetLastSentPacketID(handle, &packet), S_OK);
  EXPECT_EQ(packet, 73U);
  EXPECT_EQ(SimConnect_GetLastSentPacketID(handle, nullptr), E_FAIL);
}

TEST_F(SimConnectConnection, TheRecordingKeepsEveryCallWithArgumentsAndThread) {
  HANDLE handle = openConnection();
  SimConnect_AddToDataDefinition(handle, 407, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRINGV, 0.0F, SIMCONNECT_UNUSED);
  std::thread other(
      [&] { SimConnect_RequestDataOnSimObject(handle, 106, 407, 0, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0); });
  const auto otherThread = other.get_id();
  other.join();
  SimConnect_AddClientEventToNotificationGroup(handle, 301, 207, TRUE);

  const auto calls = sim->calls();
  ASSERT_EQ(calls.size(), 4U);
  EXPECT_EQ(calls[1].text(), "AddToDataDefinition(407, \"TITLE\", null, 11, 0, 4294967295)");
  EXPECT_EQ(calls[1].thread, std::this_thread::get_id());
  EXPECT_EQ(calls[2].text(), "RequestDataOnSimObject(106, 407, 0, 1, 0, 0, 0, 0)");
  EXPECT_EQ(calls[2].thread, otherThread);
  EXPECT_EQ(calls[3].text(), "AddClientEventToNotificationGroup(301, 207, 1)");
  EXPECT_EQ(calls[3].connection, calls[0].connection);

  sim->clearCalls();
  EXPECT_TRUE(sim->calls().empty());
}

TEST(SimConnectWorldFile, OpenReachesTheWorldFileNamedByTheEnvironment) {
  // Nothing installed and no world file: no simulator runs.
  clearEnvironment(platform::kSimWorldVariable);
  HANDLE handle = nullptr;
  EXPECT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), E_FAIL);

  TempFolder folder;
  writeFile(folder / "broken.json", "{\"simulator\": 2024,");
  setEnvironment(platform::kSimWorldVariable, (folder / "broken.json").string());
  EXPECT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), E_FAIL);

  writeFile(folder / "world.json",
            R"({"simulator": 2024, "frameRate": 20,
                "userAircraft": {"latitude": 51.47, "longitude": -0.45, "title": "Heathrow Heavy"}})");
  setEnvironment(platform::kSimWorldVariable, (folder / "world.json").string());
  ASSERT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), S_OK);

  MessageInbox inbox;
  auto messages = inbox.fetch(handle);
  ASSERT_FALSE(messages.empty());
  EXPECT_STREQ(messages[0].as<SIMCONNECT_RECV_OPEN>().szApplicationName, "SunRise");

  // The calls on an open connection reach its simulator without a look at
  // the environment: only an open looks again.
  clearEnvironment(platform::kSimWorldVariable);
  EXPECT_EQ(SimConnect_AddToDataDefinition(handle, 407, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRINGV, 0.0F,
                                           SIMCONNECT_UNUSED),
            S_OK);
  SimConnect_AddToDataDefinition(handle, 407, "Plane Latitude", "degree", SIMCONNECT_DATATYPE_FLOAT64, 0.0F,
                                 SIMCONNECT_UNUSED);
  SimConnect_RequestDataOnSimObject(handle, 106, 407, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0);
  messages = withId(inbox.fetch(handle), SIMCONNECT_RECV_ID_SIMOBJECT_DATA);
  ASSERT_EQ(messages.size(), 1U);
  const auto block = messages[0].dataBlock();
  EXPECT_EQ(textAt(block, 0), "Heathrow Heavy");
  EXPECT_DOUBLE_EQ(valueAt<double>(block, 16), 51.47);  // after "Heathrow Heavy\0" padded to 16
  // A long run keeps no recording.
  ASSERT_NE(platform::simulatorOfOpenConnections(), nullptr);
  EXPECT_TRUE(platform::simulatorOfOpenConnections()->calls().empty());
  EXPECT_EQ(SimConnect_Close(handle), S_OK);

  EXPECT_EQ(platform::activeSimulator(), nullptr);
  EXPECT_EQ(platform::simulatorOfOpenConnections(), nullptr);
  EXPECT_EQ(SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0), E_FAIL);
}

}  // namespace
}  // namespace crv::testing
