#include "airports/park_airport_state.h"

#include <atomic>

namespace crv {
namespace {

std::atomic<bool> handmade{false};
std::atomic<bool> parametersChanged{false};
std::atomic<bool> active{false};

}  // namespace

bool handmadeAirport() { return handmade.load(); }
void setHandmadeAirport(bool value) { handmade.store(value); }

bool airportParametersChanged() { return parametersChanged.load(); }
void setAirportParametersChanged(bool value) { parametersChanged.store(value); }

bool parkAirportActive() { return active.load(); }
bool setParkAirportActive(bool value) { return active.exchange(value); }

}  // namespace crv
