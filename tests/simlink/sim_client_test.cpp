// The SimClient thread against the simulator stand-in: the registration of
// a new connection, waiting for the simulator, telling 2020 from 2024,
// quitting, broken connections and the closed handle.

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "simlink/sim_definitions.h"
#include "tests/simlink/link_test_support.h"

namespace crv::testing {
namespace {

using platform::SimFunction;

class SimClientTest : public SimLinkFixture {};

TEST_F(SimClientTest, RetriesTheOpenUntilTheSimulatorRunsAndRegistersOnce) {
  sim->setSimulatorRunning(false);
  client.start();
  ASSERT_TRUE(waitUntil([&] { return countOf(SimFunction::Open) >= 2; }));
  EXPECT_EQ(statusLineText(), "Waiting for MSFS 2020 ...");
  EXPECT_FALSE(link.simConnectedFlag.load());

  sim->setSimulatorRunning(true);
  // The flight runs last, after the connection is logged and shown; the
  // limit is loose for a busy machine.
  ASSERT_TRUE(waitUntil([&] { return link.simRunning.load(); }, std::chrono::seconds(30)));
  EXPECT_TRUE(link.display().simConnected.load());
  EXPECT_TRUE(link.simConnectedFlag.load());
  EXPECT_EQ(countOf(SimFunction::SetNotificationGroupPriority), 1U);
  const std::string log = logText();  // the waiting is logged once
  EXPECT_NE(log.find("Waiting for MSFS 2020 ..."), std::string::npos);
  EXPECT_EQ(log.find("Waiting for MSFS 2020 ..."), log.rfind("Waiting for MSFS 2020 ..."));
  EXPECT_TRUE(logged("MSFS 2020 (11.0.282174.999) connected")) << logText();
  EXPECT_EQ(link.display().simulatorText(), "MSFS 2020 (11.0.282174.999)");
}

TEST_F(SimClientTest, AStopClosesTheConnectionAndForgetsTheHandle) {
  connect();
  stopClient();
  EXPECT_EQ(sim->openConnectionCount(), 0);
  EXPECT_TRUE(logged("SimConnect closed ok"));
  EXPECT_FALSE(link.display().simConnected.load());
  EXPECT_EQ(link.connection().handle(), nullptr);

  // A later call of the worker fails instead of reaching a closed connection.
  sim->clearCalls();
  EXPECT_FALSE(link.connection().requestStaticCg(150));
  const auto calls = callsOf(SimFunction::RequestDataOnSimObject);
  ASSERT_EQ(calls.size(), 1U);
  EXPECT_EQ(calls[0].connection, 0U);
  EXPECT_EQ(calls[0].result, E_FAIL);
}

// A stop requested already keeps the first exit reason.
TEST_F(SimClientTest, QuittingTheSimulatorEndsTheSessionAndANewSessionConnectsAgain) {
  connect();
  sim->quit();
  ASSERT_TRUE(waitUntil([&] { return client.finished(); }));
  EXPECT_TRUE(stopRequested());
  EXPECT_EQ(exits(), std::vector<LinkExitReason>{LinkExitReason::simWasClosed});
  EXPECT_FALSE(link.simRunning.load());
  EXPECT_TRUE(logged("Flight Simulator no longer connected, CRVN will stop ..."));
  EXPECT_EQ(link.connection().handle(), nullptr);
  stopClient();

  // The next session: the link is reset and a new thread waits for the
  // simulator; a stop while it waits ends it promptly.
  clearStopRequest();
  link.resetSession();
  EXPECT_FALSE(link.simConnectedFlag.load());
  const std::size_t opensBefore = countOf(SimFunction::Open);
  client.start();
  ASSERT_TRUE(waitUntil([&] { return countOf(SimFunction::Open) > opensBefore; }));
  EXPECT_FALSE(link.display().simConnected.load());
  const auto stopAt = std::chrono::steady_clock::now();
  stopClient();
  EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::seconds(2));  // loose for a busy machine
  EXPECT_EQ(exits().size(), 1U);
  client.start();
  sim->setSimulatorRunning(true);
  ASSERT_TRUE(waitUntil([&] { return link.display().simConnected.load(); }));
  EXPECT_EQ(sim->openConnectionCount(), 1);

  raiseStop();
  sim->quit();
  ASSERT_TRUE(waitUntil([&] { return client.finished(); }));
  EXPECT_EQ(exits().size(), 1U);
  const std::string log = logText();
  EXPECT_EQ(log.find("no longer connected"), log.rfind("no longer connected"));
}

TEST_F(SimClientTest, ABrokenConnectionIsReportedAsDisconnected) {
  connect();
  sim->breakConnections();
  ASSERT_TRUE(waitUntil([&] { return client.finished(); }));
  EXPECT_EQ(exits(), std::vector<LinkExitReason>{LinkExitReason::simWasClosed});
  EXPECT_GE(countOf(SimFunction::CallDispatch), static_cast<std::size_t>(kDispatchFailuresForDisconnect));
}

TEST_F(SimClientTest, TheOtherSimulatorEndsTheThreadWithUserError71) {
  setMsfs2020(false);
  // The flight flag as a session before this one may have left it: only the
  // session reset lowers it.
  link.simRunning.store(true);
  client.start();
  ASSERT_TRUE(waitUntil([&] { return client.finished(); }));
  EXPECT_EQ(errorLineText(),
            "71: MSFS 2020 is running ..., switch Simulator, or select the right sim in the drop down list above");
  // A user error leaves the session to the user: no stop, no exit reason,
  // and the flight flag as it was.
  EXPECT_FALSE(stopRequested());
  EXPECT_TRUE(exits().empty());
  EXPECT_EQ(sim->openConnectionCount(), 0);
  EXPECT_TRUE(link.simRunning.load());
}

TEST_F(SimClientTest, AVersionMismatchEndsTheThreadWithUserError95AndClosesTheConnection) {
  connect();
  ASSERT_TRUE(link.simRunning.load());
  sim->raiseException(SIMCONNECT_EXCEPTION_VERSION_MISMATCH, 0, 3);
  ASSERT_TRUE(waitUntil([&] { return client.finished(); }));
  EXPECT_EQ(errorLineText(), "95: SimConnect Version Mismatch, dwIndex: 3");
  EXPECT_FALSE(stopRequested());
  EXPECT_EQ(sim->openConnectionCount(), 0);
  EXPECT_TRUE(logged("SimConnect closed ok"));
  // The flight still counts as running for the worker, whose next request
  // fails on the forgotten handle instead of reaching a closed connection.
  EXPECT_TRUE(link.simRunning.load());
  EXPECT_EQ(link.connection().handle(), nullptr);
  EXPECT_FALSE(link.connection().requestAircraftInRange(10000));
}

TEST_F(SimClientTest, TheSimulatorRefusesNoneOfTheRegistrations) {
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
}  // namespace crv::testing
