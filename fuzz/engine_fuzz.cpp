// The traffic engine fed with what the decoder can let through: batches of
// live records (any value within the decoder's bounds, repeated keys,
// callsigns and times, history snapshots) through the intake, many engine
// steps, the simulator binding and removing what the engine creates. No
// create and no position block the engine hands to the simulator holds NaN
// or infinity, and no point of any aircraft's path does.

#include <cmath>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "feed/live_decoder.h"
#include "fuzz/support/fuzz_support.h"
#include "tests/traffic/engine_harness.h"

namespace {

using crv::fuzz::require;

constexpr std::uint32_t kFirstKey = 20000;
constexpr std::uint32_t kKeyCount = 8;

crv::LiveTrafficRecord decodedRecord(FuzzedDataProvider& input, double& clock) {
  static const char* const kCallsigns[] = {"KLM1", "DLH2", "", "RYR12AB", "KLM1"};
  static const char* const kTypes[] = {"A320", "B738", "B744", "C172", "EC35", "CL60", ""};
  crv::LiveTrafficRecord r;
  r.key = kFirstKey + input.ConsumeIntegralInRange<std::uint32_t>(0, kKeyCount - 1);
  r.identity.callsign = input.PickValueInArray(kCallsigns);
  r.identity.icaoType = input.PickValueInArray(kTypes);
  r.identity.registration = input.ConsumeBool() ? "D-AIPA" : "";
  r.latitude = 50.0 + input.ConsumeFloatingPointInRange(-1.0, 1.0);
  r.longitude = 8.5 + input.ConsumeFloatingPointInRange(-1.0, 1.0);
  r.altitudeFeet = input.ConsumeBool() ? 0.0 : input.ConsumeFloatingPointInRange(0.0, crv::kMaximumAltitudeFeet);
  r.airborne = r.altitudeFeet > 0.0;
  r.speedKnots = input.ConsumeFloatingPointInRange(0.0, crv::kMaximumGroundSpeedKnots);
  r.trackDegrees = input.ConsumeFloatingPointInRange(0.0, 360.0);
  r.verticalSpeedFpm =
      input.ConsumeFloatingPointInRange(-crv::kMaximumVerticalSpeedFpm, crv::kMaximumVerticalSpeedFpm);
  r.trueAirspeedKnots = input.ConsumeFloatingPointInRange(0.0, crv::kMaximumTrueAirspeedKnots);
  if (input.ConsumeBool()) {
    r.trueHeadingRadians = input.ConsumeFloatingPointInRange(1e-9, 2.0 * M_PI);
    r.hasTrueHeading = true;
  }
  if (r.airborne && input.ConsumeBool()) {
    r.bankRadians = input.ConsumeFloatingPointInRange(-M_PI, M_PI);
  }
  // Mostly ascending times, sometimes repeated, old or far off.
  clock += input.ConsumeFloatingPointInRange(-30.0, 60.0);
  r.timestamp = input.ConsumeIntegralInRange(0, 20) == 0 ? input.ConsumeFloatingPointInRange(0.0, 4e9) : clock;
  return r;
}

void requireFinite(std::initializer_list<double> values, const char* what) {
  for (const double value : values) require(std::isfinite(value), what);
}

// Checks what the engine handed to the simulator since the last look and
// forgets it, so that a long input keeps no growing record of every frame.
// The simulator binds every aircraft the engine asked for.
void checkAndBindHandedOver(crv::testing::EngineHarness& harness, std::uint32_t& nextObjectId) {
  for (const auto& create : harness.creates) {
    const crv::InitPosition& p = create.item.position;
    requireFinite({p.latitude, p.longitude, p.altitudeFeet, p.pitchDegrees, p.bankDegrees, p.headingDegrees},
                  "every create position finite");
    harness.bindLive(create.item.key, nextObjectId++);
  }
  for (const auto& update : harness.positions) {
    const crv::AiPositionBlock& b = update.item.block;
    requireFinite({b.latitude, b.longitude, b.pitchRadians, b.bankRadians, b.headingRadians, b.altitudeFeet,
                   b.verticalSpeedFps, b.trueAirspeedKnots},
                  "every position block finite");
  }
  harness.creates.clear();
  harness.positions.clear();
  harness.removes.clear();
  harness.clientEvents.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  crv::testing::EngineHarness harness;
  double clock = 1765000000.0;
  std::uint32_t nextObjectId = 500;
  for (int round = 0; round < 40 && input.remaining_bytes() > 0; ++round) {
    std::vector<crv::LiveTrafficRecord> batch;
    const auto count = input.ConsumeIntegralInRange<std::size_t>(0, 12);
    for (std::size_t i = 0; i < count; ++i) batch.push_back(decodedRecord(input, clock));
    switch (input.ConsumeIntegralInRange(0, 3)) {
      case 0: harness.feedSnapshot(std::move(batch), input.ConsumeIntegralInRange<std::uint32_t>(0, 30)); break;
      case 1: harness.objectRemoved(input.ConsumeIntegralInRange<std::uint32_t>(500, nextObjectId)); break;
      case 2: harness.createFailed(kFirstKey + input.ConsumeIntegralInRange<std::uint32_t>(0, kKeyCount - 1)); break;
      default: harness.feedLive(std::move(batch)); break;
    }
    harness.step(input.ConsumeIntegralInRange(1, 200));
    checkAndBindHandedOver(harness, nextObjectId);
  }
  harness.step(3100);  // every record handed over is due by now
  checkAndBindHandedOver(harness, nextObjectId);

  for (const crv::LiveAc& aircraft : harness.engine.liveAircraft()) {
    for (const crv::PathPoint& point : aircraft.path) {
      requireFinite({point.latitude, point.longitude, point.altitudeFeet, point.speedKnots, point.trackDegrees,
                     point.verticalSpeedFpm, point.trueAirspeedKnots, point.trueHeadingRadians, point.bankRadians},
                    "every path point finite");
    }
  }
  return 0;
}
