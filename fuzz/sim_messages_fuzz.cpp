// Messages from the simulator, as the SimClient thread hands them to the
// link: any sequence of them (cut, too long, with foreign ids, garbage
// numbers) is taken without a crash; only a simulator or version mismatch is
// thrown; every event the engine gets and the user aircraft the feed gets
// hold finite numbers.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "foundation/errors.h"
#include "fuzz/support/fuzz_support.h"
#include "simlink/sim_link.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  std::vector<crv::LinkEvent> events;
  crv::SimLinkHooks hooks;
  hooks.pushSimEvent = [&events](const crv::LinkEvent& event) { events.push_back(event); };
  crv::SimQueues queues;
  crv::SimLink link(queues, hooks);
  link.reserveSession();

  // Each message: a two-byte length (little-endian), then that many bytes;
  // the dwSize inside the message may say anything.
  std::size_t offset = 0;
  while (offset + 2 <= size) {
    const std::size_t length = std::min<std::size_t>(data[offset] | (data[offset + 1] << 8U), size - offset - 2);
    offset += 2;
    std::vector<std::uint64_t> aligned(length / sizeof(std::uint64_t) + 1);
    std::memcpy(aligned.data(), data + offset, length);
    offset += length;
    try {
      link.dispatch(reinterpret_cast<const SIMCONNECT_RECV*>(aligned.data()), static_cast<DWORD>(length));
    } catch (const crv::UserErrorException&) {
      // The SimClient thread ends the session with it.
    }
  }
  for (const crv::LinkEvent& event : events) {
    require(std::isfinite(event.value1) && std::isfinite(event.value2), "event values finite");
  }
  const crv::UserAcData user = link.user().data();
  require(std::fabs(user.latitude) <= 90.0 && std::fabs(user.longitude) <= 180.0, "user aircraft on the globe");
  for (const double value : {user.pitchRadians, user.bankRadians, user.headingRadians, user.altitudeFeet,
                             user.altitudeAboveGroundFeet, user.groundSpeedKnots}) {
    require(std::isfinite(value), "user aircraft numbers finite");
  }
  require(std::isfinite(queues.simFrameRate.load()), "frame rate finite");
  link.resetSession();
  return 0;
}
