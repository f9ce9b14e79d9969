// Whole flights: the engine with its live motion and rules, talking through
// the real simulator link to the simulator stand-in (the tests' SimScenario),
// fed batches of records anywhere within the decoder's bounds around its
// apron. After many steps, no AI object in the simulator and no position
// block of a live aircraft holds NaN or infinity. Seconds in which nothing
// can happen (the live delay before the first spawn) pass in one go.

#include <cmath>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "feed/live_decoder.h"
#include "fuzz/support/fuzz_support.h"
#include "tests/traffic/sim_scenario.h"
#include "tests/traffic/stand_grid.h"

namespace {

using crv::fuzz::require;

void requireFinite(std::initializer_list<double> values, const char* what) {
  for (const double value : values) require(std::isfinite(value), what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kTypes[] = {"A320", "B738", "B744", "C172", "EC35", "CL60"};
  FuzzedDataProvider input(data, size);
  // Nothing reads the stand-in's records of calls and positions here.
  platform::StandInOptions quiet;
  quiet.recordCalls = false;
  quiet.recordTrace = false;
  crv::testing::SimScenario scenario(crv::testing::standGrid(2, 6), quiet);
  // A simulator's usual rate: the link sends positions every fourth step.
  scenario.setFrameRate(25.0);
  double clock = 1000.0;
  for (int round = 0; round < 12 && input.remaining_bytes() > 0; ++round) {
    std::vector<crv::LiveTrafficRecord> batch;
    const auto count = input.ConsumeIntegralInRange<std::size_t>(0, 6);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t key = 20000 + input.ConsumeIntegralInRange<std::uint32_t>(0, 5);
      const crv::GeoPoint where{crv::testing::kApronOrigin.latitude + input.ConsumeFloatingPointInRange(-0.2, 0.2),
                                crv::testing::kApronOrigin.longitude + input.ConsumeFloatingPointInRange(-0.2, 0.2)};
      const double altitude = input.ConsumeBool() ? 0.0 : input.ConsumeFloatingPointInRange(0.0, 40000.0);
      clock += input.ConsumeFloatingPointInRange(-5.0, 30.0);
      crv::LiveTrafficRecord record = crv::testing::SimScenario::record(
          key, "FZ" + std::to_string(key), input.PickValueInArray(kTypes), where, clock,
          input.ConsumeFloatingPointInRange(0.0, crv::kMaximumGroundSpeedKnots),
          input.ConsumeFloatingPointInRange(0.0, 360.0), altitude);
      record.verticalSpeedFpm =
          input.ConsumeFloatingPointInRange(-crv::kMaximumVerticalSpeedFpm, crv::kMaximumVerticalSpeedFpm);
      if (record.airborne && input.ConsumeBool()) record.bankRadians = input.ConsumeFloatingPointInRange(-M_PI, M_PI);
      batch.push_back(record);
    }
    scenario.feed(std::move(batch));
    scenario.stepSkippingQuiet(input.ConsumeIntegralInRange(1, 500));
  }
  scenario.stepSkippingQuiet(3500);  // every record fed is due by now

  for (const platform::SimObjectRecord& object : scenario.sim->objects()) {
    const platform::SimObjectState& s = object.state;
    requireFinite({s.latitudeDegrees, s.longitudeDegrees, s.pitchRadians, s.bankRadians, s.headingRadians,
                   s.altitudeFeet, s.verticalSpeedFeetPerSecond, s.trueAirspeedKnots},
                  "every simulator object's state finite");
  }
  for (const crv::LiveAc& aircraft : scenario.engine.liveAircraft()) {
    const crv::AiPositionBlock& b = aircraft.position;
    requireFinite({b.latitude, b.longitude, b.pitchRadians, b.bankRadians, b.headingRadians, b.altitudeFeet,
                   b.verticalSpeedFps, b.trueAirspeedKnots},
                  "every live position block finite");
  }
  return 0;
}
