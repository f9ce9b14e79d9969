// The per-frame flush and the binding of new objects, against the simulator
// stand-in with the real SimClient thread: creates with the callsign as tail
// number, binding, release and freeze, failed creates, removals, positions
// once per frame and the busy-mutex rule, FLAPS_SET and the paused link.

#include <cstring>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "foundation/status_line.h"
#include "simlink/sim_ids.h"
#include "tests/simlink/link_test_support.h"
#include "tests/support/pattern_matcher.h"

namespace crv::testing {
namespace {

using platform::SimCall;
using platform::SimFunction;

// A create the given degrees north of the user aircraft at Zurich.
CreateRequest createRequest(std::uint32_t key, const std::string& callsign, double northDegrees, bool onGround) {
  CreateRequest request;
  request.position.latitude = defaultTestWorld().userAircraft.latitudeDegrees + northDegrees;
  request.position.longitude = defaultTestWorld().userAircraft.longitudeDegrees;
  request.position.altitudeFeet = onGround ? 0.0 : 3000.0;
  request.position.headingDegrees = 270.0;
  request.position.onGround = onGround ? 1 : 0;
  request.callsign = callsign;
  request.liveryTitle = "Airbus A320 Test Livery";
  request.key = key;
  return request;
}

// Waits the given time, yielding meanwhile. A sleep shorter than a
// millisecond returns at once on Windows, which would leave a worker taking
// the mutex in a tight loop.
void pauseBriefly(std::chrono::microseconds pause) {
  const auto until = std::chrono::steady_clock::now() + pause;
  while (std::chrono::steady_clock::now() < until) {
    std::this_thread::yield();
  }
}

class SimFlushTest : public SimLinkFixture {
 protected:
  // Connected, with the user aircraft's object id known.
  void connectWithUserKnown() {
    connect();
    link.user().getUserAcPosition();
    settle();
    ASSERT_EQ(link.user().objectId(), sim->userObjectId());
  }

  // An aircraft that the simulator has and the link knows as seen before.
  DWORD foreignAircraft(const std::string& atcId) {
    platform::SimObjectState state = sim->userAircraft();
    state.latitudeDegrees += 0.01;
    state.atcId = atcId;
    return sim->addForeignObject(state);
  }

  // The release and client-event calls, each as "R(arguments)" or "E(arguments)".
  std::string objectCalls() const {
    std::string found;
    for (const SimCall& call : sim->calls()) {
      if (call.function == SimFunction::AIReleaseControl || call.function == SimFunction::TransmitClientEvent) {
        found += (call.function == SimFunction::AIReleaseControl ? "R(" : "E(") + call.arguments + ") ";
      }
    }
    return found;
  }
};

TEST_F(SimFlushTest, LiveAndStaticCreatesAreBoundReleasedFrozenAndReported) {
  connectWithUserKnown();
  queues.queueCreateAc(createRequest(4000123, "DLH4AB", 0.02, false));
  advanceFramesAndSettle(1);
  queues.queueCreateAc(createRequest(17, "EZY55", 0.001, true));
  advanceFramesAndSettle(1);

  std::string creates;  // title, tail number, on ground, heading and the request id of each create
  for (const SimCall& call : callsOf(SimFunction::AICreateNonATCAircraft)) {
    creates += fmt::format("{}|{}|{}|{}|{}; ", call.texts.at(0).value_or("-"), call.texts.at(1).value_or("-"),
                           call.initPosition->OnGround, call.initPosition->Heading, call.id(call.numbers.size() - 1));
  }
  EXPECT_THAT(creates, crv::testing::MatchesPattern("Airbus A320 Test Livery\\|DLH4AB\\|0\\|[^|]*\\|104; "
                                              "Airbus A320 Test Livery\\|EZY55\\|1\\|270\\|[0-9]+; "));

  // The engine's probe of the aircraft around the user binds both; the
  // freeze events go out with the next frame.
  ASSERT_TRUE(link.connection().requestAircraftInRange(50000));
  settle();
  advanceFramesAndSettle(1);
  // type, key, tail number and height above ground (a live bind's; a static
  // bind carries none); released and frozen
  std::string bound;
  for (const LinkEvent& event : events()) {
    const auto object = sim->object(event.objectId);
    ASSERT_TRUE(object);
    const double height = event.type == SimEventType::boundLive ? object->state.altitudeAboveGroundFeet : 0.0;
    bound += fmt::format("{} {} {} {} {} {}; ", static_cast<int>(event.type), event.key, object->tailNumber,
                         event.value2 == height, object->releaseControlCount,
                         object->frozenLatitudeLongitude && object->frozenAltitude && object->frozenAttitude);
  }
  EXPECT_EQ(bound, fmt::format("{} 4000123 DLH4AB true 1 true; {} 17 EZY55 true 1 true; ",
                               static_cast<int>(SimEventType::boundLive), static_cast<int>(SimEventType::boundStatic)));
}

TEST_F(SimFlushTest, ACreateRefusedLaterIsReportedAndARefusedCreateCallEndsTheSession) {
  connectWithUserKnown();
  sim->failNextCreateLater();
  queues.queueCreateAc(createRequest(4000200, "BAW12", 0.0, true));
  advanceFramesAndSettle(1);
  settle();  // the exception arrives with the next dispatch
  EXPECT_EQ(events(), (std::vector<LinkEvent>{{0, 4000200, SimEventType::createFailed, 0.0, 0.0}}));
  EXPECT_EQ(requestErrors.load(), 0);

  sim->failNext(SimFunction::AICreateNonATCAircraft);
  queues.queueCreateAc(createRequest(4000300, "AFR7", 0.0, true));
  advanceFramesAndSettle(1);
  EXPECT_EQ(requestErrors.load(), 1);
  EXPECT_TRUE(queues.simLinkPaused.load());
  EXPECT_EQ(events().back(), (LinkEvent{0, 4000300, SimEventType::createFailed, 0.0, 0.0}));
  EXPECT_TRUE(logged("! Simcon call to create ac in sim failed, hexid:4000300, liv: 'Airbus A320 Test Livery', "
                     "callsign: AFR7)"));

  // Paused: nothing queued now is ever sent.
  queues.queueCreateAc(createRequest(4000301, "AFR8", 0.0, true));
  queues.queueClientEvent(150, toId(ClientEventId::GearSet), 1);
  advanceFramesAndSettle(2);
  EXPECT_EQ(countOf(SimFunction::AICreateNonATCAircraft), 2U);
  EXPECT_EQ(countOf(SimFunction::TransmitClientEvent), 0U);
  stopClient();
  EXPECT_TRUE(link.binding().sentPackets().empty());
}

// Before the user's object id is known nothing at or below id 2 is sent;
// after, the user is never removed.
TEST_F(SimFlushTest, RemovalsComeBackAsRemovedEventsAndTheUserIsNeverRemoved) {
  connect();
  ASSERT_EQ(link.user().objectId(), kUnknownUserObjectId);
  queues.appendPosition(AiPositionBlock{}, 2);
  queues.swapPositionBuffers();
  queues.queueRemoveAc(2);
  advanceFramesAndSettle(1);
  EXPECT_EQ(countOf(SimFunction::SetDataOnSimObject) + countOf(SimFunction::AIRemoveObject), 0U);
  EXPECT_TRUE(logged("SimConnect call to remove ac with objectid 2"));

  link.user().getUserAcPosition();
  const DWORD other = foreignAircraft("N123AB");
  settle();
  ASSERT_EQ(link.user().objectId(), sim->userObjectId());
  queues.queueRemoveAc(other);
  queues.queueRemoveAc(sim->userObjectId());
  advanceFramesAndSettle(1);
  settle();
  const auto removes = callsOf(SimFunction::AIRemoveObject);
  ASSERT_EQ(removes.size(), 1U);
  EXPECT_EQ(removes[0].id(0), other);
  EXPECT_EQ(removes[0].id(1), 105U);
  EXPECT_EQ(eventsOfType(SimEventType::removed), (std::vector<LinkEvent>{{other, 0, SimEventType::removed, 0.0, 0.0}}));
  EXPECT_TRUE(logged("===> SimConnect call to remove ac with objectid 1"));
}

// A busy mutex skips the frame; the next one sends the positions, once, and
// the held events whole and in order.
TEST_F(SimFlushTest, ABusyMutexSkipsTheFrameAndTheNextSendsEverythingOnce) {
  connectWithUserKnown();
  const DWORD first = foreignAircraft("N1");
  const DWORD second = foreignAircraft("N2");
  settle();

  AiPositionBlock block{.latitude = 47.5, .longitude = 8.6, .altitudeFeet = 2500.0};
  queues.appendPosition(block, first);
  queues.appendPosition(block, sim->userObjectId());  // never sent
  block.latitude = 47.6;
  queues.appendPosition(block, second);
  ASSERT_TRUE(queues.swapPositionBuffers());
  queues.queueClientEvent(first, toId(ClientEventId::GearSet), 1);
  queues.setLights(first, LightSwitches{1, 1, 0, 1, 0, 1, 0});
  queues.setCabinLights(second, 1);
  {
    std::lock_guard busy(queues.simConnectMutex());
    advanceFramesAndSettle(1);
    EXPECT_EQ(countOf(SimFunction::SetDataOnSimObject) + countOf(SimFunction::TransmitClientEvent), 0U);
  }
  advanceFramesAndSettle(1);
  const auto writes = callsOf(SimFunction::SetDataOnSimObject);
  ASSERT_EQ(writes.size(), 2U);
  EXPECT_TRUE(writes[0].arguments.starts_with("402, " + std::to_string(first) + ", 0, 0, 64, "))
      << writes[0].arguments;
  EXPECT_EQ(writes[1].id(1), second);
  ASSERT_EQ(writes[1].data.size(), sizeof(AiPositionBlock));
  AiPositionBlock sent;
  std::memcpy(&sent, writes[1].data.data(), sizeof(sent));
  EXPECT_DOUBLE_EQ(sent.latitude, 47.6);
  EXPECT_DOUBLE_EQ(sim->object(second)->state.altitudeFeet, 2500.0);
  std::string events;  // object, event=value, group and flags of each; the lights in their fixed order
  for (const SimCall& event : callsOf(SimFunction::TransmitClientEvent)) {
    events += fmt::format("{}:{}={}/{}/{} ", event.id(0) == first ? 1 : 2, event.id(1), event.id(2), event.id(3),
                          event.id(4));
  }
  EXPECT_EQ(events, "1:219=1/301/0 1:207=1/301/0 1:206=1/301/0 1:210=0/301/0 1:208=1/301/0 1:209=0/301/0 "
                    "1:212=1/301/0 1:211=0/301/0 2:211=1/301/0 ");
  EXPECT_EQ(sim->object(first)->lastEventData.at("TAXI_LIGHTS_SET"), 1U);

  advanceFramesAndSettle(1);
  EXPECT_EQ(countOf(SimFunction::SetDataOnSimObject), 2U);
}

// Each field of the position block reaches the simulator in the unit its
// data definition names: degrees of position, radians of attitude, feet,
// feet per second and knots.
TEST_F(SimFlushTest, EveryFieldOfAPositionReachesTheSimulatorInItsOwnUnit) {
  connectWithUserKnown();
  const DWORD object = foreignAircraft("N9");
  settle();
  const AiPositionBlock block{.latitude = 47.4581,
                              .longitude = 8.5492,
                              .pitchRadians = -0.061,
                              .bankRadians = 0.262,
                              .headingRadians = 4.712,
                              .altitudeFeet = 3250.0,
                              .verticalSpeedFps = -12.5,
                              .trueAirspeedKnots = 161.0};
  queues.appendPosition(block, object);
  ASSERT_TRUE(queues.swapPositionBuffers());
  advanceFramesAndSettle(1);
  const platform::SimObjectState state = sim->object(object)->state;
  const std::vector<std::pair<double, double>> arrivedAndSent = {
      {state.latitudeDegrees, block.latitude},      {state.longitudeDegrees, block.longitude},
      {state.pitchRadians, block.pitchRadians},     {state.bankRadians, block.bankRadians},
      {state.headingRadians, block.headingRadians}, {state.altitudeFeet, block.altitudeFeet},
      {state.verticalSpeedFeetPerSecond, block.verticalSpeedFps}, {state.trueAirspeedKnots, block.trueAirspeedKnots}};
  for (std::size_t field = 0; field < arrivedAndSent.size(); ++field) {
    EXPECT_NEAR(arrivedAndSent[field].first, arrivedAndSent[field].second, 1e-9) << "field " << field;
  }
}

TEST_F(SimFlushTest, FlapsAreWrappedInAReleaseOfAiControl) {
  connectWithUserKnown();
  const DWORD object = foreignAircraft("N10");
  settle();
  queues.queueClientEvent(object, toId(ClientEventId::FlapsSet), 8192);
  advanceFramesAndSettle(1);
  const std::string id = std::to_string(object);
  EXPECT_THAT(objectCalls(), crv::testing::MatchesPattern("R\\(" + id + ", 103\\) E\\(" + id + ", 217, 8192, 301, 0\\) R\\([^)]*\\) "));

  // A refused FLAPS_SET: the release before it, no release after, a status line.
  sim->clearCalls();
  sim->failNext(SimFunction::TransmitClientEvent);
  queues.queueClientEvent(object, toId(ClientEventId::FlapsSet), 0);
  advanceFramesAndSettle(1);
  EXPECT_THAT(objectCalls(), crv::testing::MatchesPattern("R\\([^)]*\\) E\\([^)]*\\) "));
  EXPECT_EQ(statusLineText(), "SimConnect TransmitClientEvent: 217 fails");
  EXPECT_FALSE(queues.simLinkPaused.load());
}

TEST_F(SimFlushTest, EveryEngineCallOfTheConnectionTakesTheMutex) {
  connectWithUserKnown();
  const DWORD object = foreignAircraft("N11");
  settle();
  std::atomic<bool> done{false};
  std::unique_lock busy(queues.simConnectMutex());
  std::thread worker([&] {
    queues.setSpoilersThrottle(object, true, true);
    done.store(true);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(done.load());
  busy.unlock();
  worker.join();
  const auto writes = callsOf(SimFunction::SetDataOnSimObject);
  ASSERT_EQ(writes.size(), 1U);
  EXPECT_TRUE(writes[0].arguments.starts_with("401, " + std::to_string(object) + ", 0, 0, 24, "))
      << writes[0].arguments;
  // Spoilers, throttle 1 and 2, written at once.
  const auto levers = [&] {
    const auto state = sim->object(object)->state;
    return fmt::format("{} {} {}", state.spoilersHandlePercent, state.throttle1Percent, state.throttle2Percent);
  };
  EXPECT_EQ(levers(), "100 -100 -100");
  queues.setSpoilersThrottle(object, true, false);
  EXPECT_EQ(levers(), "100 100 100");
  queues.setSpoilersThrottle(object, false, true);
  EXPECT_EQ(levers(), "0 0 0");
}

TEST_F(SimFlushTest, AWorkerAndTheSimClientShareTheQueues) {
  connectWithUserKnown();
  const DWORD object = foreignAircraft("N12");
  settle();
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    AiPositionBlock block;
    for (int step = 1; !stop.load(); ++step) {
      block.latitude = static_cast<double>(step) / 1000.0;
      queues.appendPosition(block, object);
      queues.swapPositionBuffers();
      if (step % 10 == 0) {
        queues.queueClientEvent(object, toId(ClientEventId::ThrottleSet), static_cast<std::uint32_t>(step));
      }
      pauseBriefly(std::chrono::microseconds(300));
    }
  });
  advanceFramesAndSettle(40);
  stop.store(true);
  worker.join();

  const auto writes = callsOf(SimFunction::SetDataOnSimObject);
  ASSERT_FALSE(writes.empty());
  double previous = 0.0;
  for (const SimCall& write : writes) {
    AiPositionBlock sent;
    std::memcpy(&sent, write.data.data(), sizeof(sent));
    EXPECT_GT(sent.latitude, previous);
    previous = sent.latitude;
  }
  const auto throttles = callsOf(SimFunction::TransmitClientEvent);
  for (std::size_t index = 1; index < throttles.size(); ++index) {
    EXPECT_EQ(throttles[index].id(2), throttles[index - 1].id(2) + 10);
  }
}

}  // namespace
}  // namespace crv::testing
