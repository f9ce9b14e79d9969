#pragma once

// The settings an airport keeps for itself: its learned file records their
// values when the airport is left, and puts them back (in memory and on the
// window, never in parameters.xml) when it becomes the park airport again.

#include <functional>

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

namespace crv {

// What switching the automatic range on or off from an airport file does to
// RANGE; the session provides both (it keeps the manual range).
struct AutoRangeHooks {
  std::function<void()> switchOn;   // keep RANGE as the manual range, apply the automatic range
  std::function<void()> switchOff;  // RANGE back to the manual range
};
void setAutoRangeHooks(AutoRangeHooks hooks);
AutoRangeHooks currentAutoRangeHooks();

// Appends the eleven override parameters with the values in effect, in file
// order (MAX_LIVE only when MAX_LIVE_SEL differs from its default). False
// when one could not be added.
bool writeAirportOverrides(pugi::xml_node parameters);

// Applies the overrides of a learned file in reading order, each logged as
// an indented "<key>: <value>" line. Absent keys leave their settings
// unchanged, except MAX_LIVE (MAX_LIVE_SEL back to its default, 500) and
// parking_percentage (30). Numbers are brought into their settings' ranges,
// except parking_percentage, which the file may set beyond its box's range.
void applyAirportOverrides(const pugi::xml_document& learned);

// The parking percentage of an airport without a learned file.
inline constexpr int kDefaultParkingPercentage = 30;

}  // namespace crv
