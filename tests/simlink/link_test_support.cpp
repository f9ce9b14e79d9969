#include "tests/simlink/link_test_support.h"

#include <algorithm>
#include <thread>

#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "simlink/sim_definitions.h"

namespace crv::testing {

namespace {

void resetProcessFlags() {
  clearStopRequest();
  setUserClosedWindow(false);
  setMsfs2020(true);
  clearErrorLine();
  clearStatusLine();
}

}  // namespace

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void HookRecorder::pushEvent(const LinkEvent& event) {
  std::lock_guard lock(mutex_);
  events_.push_back(event);
}

void HookRecorder::recordExit(LinkExitReason reason) {
  std::lock_guard lock(mutex_);
  exits_.push_back(reason);
}

void HookRecorder::rememberStand(const std::string& stand) {
  std::lock_guard lock(mutex_);
  stands_.push_back(stand);
}

std::vector<LinkEvent> HookRecorder::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<LinkEvent> HookRecorder::eventsOfType(SimEventType type) const {
  std::lock_guard lock(mutex_);
  std::vector<LinkEvent> found;
  std::copy_if(events_.begin(), events_.end(), std::back_inserter(found),
               [&](const LinkEvent& event) { return event.type == type; });
  return found;
}

std::vector<LinkExitReason> HookRecorder::exits() const {
  std::lock_guard lock(mutex_);
  return exits_;
}

std::vector<std::string> HookRecorder::stands() const {
  std::lock_guard lock(mutex_);
  return stands_;
}

platform::SimWorld defaultTestWorld() {
  platform::SimWorld world;
  world.userAircraft.latitudeDegrees = 47.4647;
  world.userAircraft.longitudeDegrees = 8.5492;
  world.userAircraft.altitudeFeet = 1416.0;
  world.userAircraft.groundAltitudeFeet = 1416.0;
  world.userAircraft.onGround = true;
  world.userAircraft.title = "Airbus A320 Neo Asobo";
  world.userAircraft.atcModel = "A20N";
  return world;
}

SimLinkFixture::SimLinkFixture(platform::SimWorld world)
    : sim(std::make_shared<platform::SimulatorStandIn>(std::move(world))),
      installed(sim),
      link(queues, SimLinkHooks{[this](const LinkEvent& event) { hooks.pushEvent(event); },
                                [this](LinkExitReason reason) { hooks.recordExit(reason); },
                                [this](const std::string& stand) { hooks.rememberStand(stand); }, [] {}}),
      client(link) {
  resetProcessFlags();
  setDataFolderPath(folder.path() / "data");
  openLog(folder / "Log.txt");
  queues.setRequestErrorCallback([this] {
    ++requestErrors;
    raiseStop();
  });
  link.reserveSession();
}

SimLinkFixture::~SimLinkFixture() {
  client.requestStop();
  client.join();
  closeLog();
  resetProcessFlags();
}

void SimLinkFixture::connect() {
  client.start();
  ASSERT_TRUE(waitUntil([&] { return link.display().simConnected.load(); }));
  settle();
}

void SimLinkFixture::stopClient() {
  client.requestStop();
  client.join();
}

void SimLinkFixture::settle() {
  ASSERT_TRUE(waitUntil([&] { return sim->pendingMessageCount() == 0 || client.finished(); }));
  const std::size_t dispatched = countOf(platform::SimFunction::CallDispatch);
  ASSERT_TRUE(waitUntil(
      [&] { return client.finished() || countOf(platform::SimFunction::CallDispatch) > dispatched; }));
}

void SimLinkFixture::advanceFramesAndSettle(int count) {
  for (int frame = 0; frame < count; ++frame) {
    sim->advanceFrames(1);
    settle();
  }
}

void SimLinkFixture::openHere() {
  ASSERT_TRUE(link.connection().open());
  setupSimConnect(link.connection().handle());
  pump();
}

void SimLinkFixture::pump() {
  SimConnect_CallDispatch(link.connection().handle(), &SimLink::simDispatchProc, &link);
}

std::vector<platform::SimCall> SimLinkFixture::callsOf(platform::SimFunction function) const {
  std::vector<platform::SimCall> found;
  for (platform::SimCall& call : sim->calls()) {
    if (call.function == function) {
      found.push_back(std::move(call));
    }
  }
  return found;
}

std::size_t SimLinkFixture::countOf(platform::SimFunction function) const {
  const std::vector<platform::SimCall> calls = sim->calls();
  return static_cast<std::size_t>(
      std::count_if(calls.begin(), calls.end(), [&](const platform::SimCall& call) { return call.function == function; }));
}

std::string SimLinkFixture::logText() const { return readFile(folder / "Log.txt"); }

CreateRequest createRequest(std::uint32_t key, const std::string& callsign, double latitude, double longitude,
                            bool onGround) {
  CreateRequest request;
  request.position.latitude = latitude;
  request.position.longitude = longitude;
  request.position.altitudeFeet = onGround ? 0.0 : 3000.0;
  request.position.headingDegrees = 270.0;
  request.position.onGround = onGround ? 1 : 0;
  request.callsign = callsign;
  request.liveryTitle = "Airbus A320 Test Livery";
  request.key = key;
  return request;
}

}  // namespace crv::testing
