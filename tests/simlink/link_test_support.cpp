#include "tests/simlink/link_test_support.h"

#include <algorithm>
#include <thread>

#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"

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
      link(queues, SimLinkHooks{[this](const LinkEvent& event) {
                                  std::lock_guard lock(hookMutex_);
                                  events_.push_back(event);
                                },
                                [this](LinkExitReason reason) {
                                  std::lock_guard lock(hookMutex_);
                                  exits_.push_back(reason);
                                },
                                [this](const std::string& stand) {
                                  std::lock_guard lock(hookMutex_);
                                  stands_.push_back(stand);
                                },
                                [] {}}),
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
  stopClient();
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

std::vector<LinkEvent> SimLinkFixture::events() const {
  std::lock_guard lock(hookMutex_);
  return events_;
}

std::vector<LinkEvent> SimLinkFixture::eventsOfType(SimEventType type) const {
  std::vector<LinkEvent> found = events();
  std::erase_if(found, [&](const LinkEvent& event) { return event.type != type; });
  return found;
}

std::vector<LinkExitReason> SimLinkFixture::exits() const {
  std::lock_guard lock(hookMutex_);
  return exits_;
}

std::vector<std::string> SimLinkFixture::stands() const {
  std::lock_guard lock(hookMutex_);
  return stands_;
}

std::vector<platform::SimCall> SimLinkFixture::callsOf(platform::SimFunction function) const {
  std::vector<platform::SimCall> found = sim->calls();
  std::erase_if(found, [&](const platform::SimCall& call) { return call.function != function; });
  return found;
}

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
