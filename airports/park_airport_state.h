#pragma once

// Flags of the park airport that the reader sets and the learned-file save
// reads.

namespace crv {

// The learned file in use replaced the base file's stands; the save then
// writes every stand in full. Set by the reader only.
bool handmadeAirport();
void setHandmadeAirport(bool handmade);

// A setting that an airport file may override was changed while the park
// airport is loaded (the window's handlers set it); the save then says so.
bool airportParametersChanged();
void setAirportParametersChanged(bool changed);

// The stand table holds the stands of the current park airport. The setter
// answers the value before.
bool parkAirportActive();
bool setParkAirportActive(bool active);

}  // namespace crv
