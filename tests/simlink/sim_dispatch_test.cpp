// The dispatch of single simulator messages: which simulator connected,
// flight state, new flights, object events, frames and unknown messages.

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/errors.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "platform/simconnect/sim_messages.h"
#include "tests/simlink/link_test_support.h"
#include "tests/support/thrown_text.h"

namespace crv::testing {
namespace {

class SimDispatchTest : public SimLinkFixture {
 protected:
  void deliver(platform::SimMessage message) {
    link.dispatch(reinterpret_cast<const SIMCONNECT_RECV*>(message.data()), static_cast<DWORD>(message.size()));
  }

  void open(const std::string& name) { deliver(platform::makeOpenMessage({name, 11, 2, 3, 4})); }

  std::string errorOf(const std::string& name) { return thrownText<UserErrorException>([&] { open(name); }); }
};

TEST_F(SimDispatchTest, TellsTheSimulatorByItsNameWithPunctuationLeftOut) {
  open("");  // only logged
  EXPECT_FALSE(link.display().simConnected.load() || !link.display().simulatorText().empty());
  EXPECT_TRUE(logged("! Simulator name empty?"));
  open("Kitty-Hawk!");
  EXPECT_EQ(link.display().simulatorText(), "MSFS 2020 (11.2.3.4)");
  EXPECT_TRUE(link.display().simConnected.load());
  EXPECT_TRUE(logged("MSFS 2020 (11.2.3.4) connected"));

  EXPECT_EQ(errorOf("SunRise"),
            "71: MSFS 2024 is running ..., switch Simulator, or select the right sim in the drop down list above");
  setMsfs2020(false);
  EXPECT_EQ(errorOf("KittyHawk"),
            "71: MSFS 2020 is running ..., switch Simulator, or select the right sim in the drop down list above");
  EXPECT_EQ(errorOf("Sun_Rise"), "(nothing thrown)");
  EXPECT_EQ(link.display().simulatorText(), "MSFS 2024");
  EXPECT_EQ(errorOf("Flight Sim X (10.0)"), "77: 'Flight Sim X 100' not being MSFS 2020 or MSFS 2024 connects ... ?");
}

TEST_F(SimDispatchTest, TheSimEventTellsWhetherAFlightRuns) {
  deliver(platform::makeEventMessage(SIMCONNECT_UNUSED, 201, 1));
  EXPECT_TRUE(link.simRunning.load() && link.display().flightRunning.load());
  deliver(platform::makeEventMessage(SIMCONNECT_UNUSED, 201, 0));
  EXPECT_FALSE(link.simRunning.load() || link.display().flightRunning.load());
  deliver(platform::makeEventMessage(SIMCONNECT_UNUSED, 201, 1));
  deliver(platform::makeQuitMessage());
  EXPECT_FALSE(link.simRunning.load());
  EXPECT_TRUE(link.quitReceived());
}

// A new flight file or a loaded flight ends the session with new flight,
// unless a stop was requested already.
TEST_F(SimDispatchTest, ALoadedFlightOrANewFlightFileEndsTheSessionOnce) {
  deliver(platform::makeFileNameMessage(205, "flights/other.FLT"));
  EXPECT_TRUE(stopRequested());
  EXPECT_TRUE(logged("===> SimConnect: New file event"));
  clearStopRequest();
  deliver(platform::makeEventMessage(SIMCONNECT_UNUSED, 205, 0));
  EXPECT_TRUE(logged("SimConnect: flight loaded event"));
  deliver(platform::makeFileNameMessage(205, "flights/other.FLT"));
  EXPECT_EQ(exits(), (std::vector<LinkExitReason>{LinkExitReason::newFlight, LinkExitReason::newFlight}));
}

TEST_F(SimDispatchTest, OnlyAircraftObjectsAreListedAndRemoved) {
  deliver(platform::makeObjectAddRemoveMessage(202, 150, SIMCONNECT_SIMOBJECT_TYPE_BOAT));
  deliver(platform::makeObjectAddRemoveMessage(203, 151, SIMCONNECT_SIMOBJECT_TYPE_GROUND));
  EXPECT_TRUE(link.binding().objectAddedList().empty());
  EXPECT_TRUE(events().empty());

  deliver(platform::makeObjectAddRemoveMessage(202, 152, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT));
  deliver(platform::makeObjectAddRemoveMessage(202, 2, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT));  // not above the user
  EXPECT_EQ(link.binding().objectAddedList(), std::vector<std::uint32_t>{152});
  deliver(platform::makeObjectAddRemoveMessage(203, 1, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT));
  EXPECT_EQ(events(), (std::vector<LinkEvent>{{1, 0, SimEventType::removed, 0.0, 0.0}}));
}

TEST_F(SimDispatchTest, TheFrameRateIsTakenFromEveryThirtiethFrame) {
  queues.simFrameRate.store(60.0F);
  for (int frame = 1; frame < kFramesPerRateSample; ++frame) {
    deliver(platform::makeFrameMessage(204, 24.0F + static_cast<float>(frame), 1.0F));
  }
  EXPECT_EQ(queues.simFrameRate.load(), 60.0F);
  deliver(platform::makeFrameMessage(204, 42.0F, 1.0F));
  EXPECT_EQ(queues.simFrameRate.load(), 42.0F);
  for (int frame = 1; frame < kFramesPerRateSample; ++frame) {
    deliver(platform::makeFrameMessage(204, 20.0F, 1.0F));
  }
  EXPECT_EQ(queues.simFrameRate.load(), 42.0F);
  deliver(platform::makeFrameMessage(204, NAN, 1.0F));  // a garbled thirtieth
  EXPECT_EQ(queues.simFrameRate.load(), 42.0F);
}

TEST_F(SimDispatchTest, GarbledNumbersNeverReachTheEngineOrTheUserAircraft) {
  const auto deliverData = [this](SIMCONNECT_RECV_ID messageId, platform::ObjectDataHeader header, const auto& values) {
    std::vector<std::byte> block(sizeof(values));
    std::memcpy(block.data(), &values, sizeof(values));
    deliver(platform::makeObjectDataMessage(messageId, header, block));
  };
  const double nan = std::nan("");
  for (const double latitude : {nan, 1e300}) {
    deliverData(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, {109, 1, 403, 1, 1, 12},
                UserAcData{.latitude = latitude, .longitude = 4.76});
  }
  EXPECT_EQ(link.user().data().latitude, 0.0);
  deliverData(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, {102, 150, 404, 1, 1, 2}, std::array<double, 2>{nan, 0.01});
  struct {
    double aboveGround = 0.0;
    double groundAltitude = INFINITY;
    std::int64_t onGround = 1;
    char atcId[32] = "PH-BXA";
  } inRange;
  deliverData(SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, {101, 150, 401, 1, 1, 4}, inRange);
  EXPECT_TRUE(events().empty());
}

// Ignored messages are silent; unknown ones are logged.
TEST_F(SimDispatchTest, CutIgnoredAndUnknownMessagesChangeNothing) {
  for (const DWORD id : {12U, 16U, 27U}) {
    deliver(platform::makeRawMessage(id, std::vector<std::byte>(8)));
  }
  EXPECT_FALSE(logged("Unknown Dispatch"));
  deliver(platform::makeRawMessage(99, {}));
  EXPECT_TRUE(logged("! Unknown Dispatch dwID 99"));

  platform::SimMessage open = platform::makeOpenMessage(platform::msfs2020Identity());
  open.resize(40);
  deliver(open);
  platform::SimMessage reply = platform::makeObjectDataMessage(
      SIMCONNECT_RECV_ID_SIMOBJECT_DATA, platform::ObjectDataHeader{109, 1, 403, 1, 1, 12},
      std::vector<std::byte>(96));
  reply.resize(reply.size() - 8);
  deliver(reply);
  EXPECT_FALSE(link.display().simConnected.load());
  EXPECT_EQ(link.user().objectId(), kUnknownUserObjectId);
  // The size field of a message is trusted only as far as the bytes go.
  SIMCONNECT_RECV header{4, 0, SIMCONNECT_RECV_ID_EVENT};
  link.dispatch(&header, sizeof(header));
  link.dispatch(nullptr, 0);
  EXPECT_FALSE(link.simRunning.load());
}

}  // namespace
}  // namespace crv::testing
