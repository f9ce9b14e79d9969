// Scenario files of the RealTraffic stand-in: a file is refused with
// std::runtime_error or read with ascending point times, and the answers the
// stand-in builds from it are valid JSON.

#include <nlohmann/json.hpp>

#include "fuzz/support/fuzz_support.h"
#include "tools/rt-standin/scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  using namespace crv::standin;
  const std::string_view text = crv::fuzz::inputText(data, size);
  const nlohmann::json document = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  if (document.is_discarded()) {
    return 0;
  }
  Scenario scenario;
  try {
    scenario = Scenario::fromJson(document);
  } catch (const std::runtime_error&) {
    return 0;
  }
  const AreaBox world{90.0, -90.0, -180.0, 180.0};
  for (const ScenarioFlight& flight : scenario.flights) {
    require(!flight.hexId.empty() && !flight.points.empty(), "every flight has an address and a point");
    for (std::size_t i = 1; i < flight.points.size(); ++i) {
      require(flight.points[i - 1].secondsFromStart < flight.points[i].secondsFromStart, "point times ascend");
    }
    const double first = flight.points.front().secondsFromStart;
    const double last = flight.points.back().secondsFromStart;
    require(!flightStateAt(flight, first - 1.0).has_value() || first - 1.0 == first,
            "no state before the first point");
    for (const double t : {first, (first + last) / 2.0, last}) {
      const auto state = flightStateAt(flight, t);
      require(state.has_value(), "a state at every time of the flight");
      require(liveTrafficArray(flight, *state, t).size() == 48, "a live array of 48 values");
    }
  }
  for (const double t : {0.0, 600.0}) {
    const std::string live = liveTrafficData(scenario, world, 0, t).dump();
    const std::string parked = parkedTrafficData(scenario, world, t).dump();
    require(nlohmann::json::accept(live) && nlohmann::json::accept(parked), "the answers are valid JSON");
  }
  return 0;
}
