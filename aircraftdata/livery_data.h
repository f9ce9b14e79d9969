#pragma once

// One installed AI livery as the livery scan finds it, and the list of all of
// them as the livery indexes receive it.

#include <cstdint>
#include <list>
#include <string>
#include <string_view>

namespace crv {

// The airline code of a livery that belongs to no airline.
inline constexpr std::string_view kGenericAirline = "ZZZ";
// The airline code of a private aircraft and of a livery that names no airline.
inline constexpr std::string_view kPrivateAirline = "PVT";

struct LiveryData {
  std::string airl;   // airline ICAO code, "ZZZ" generic, "PVT" private
  std::string type;   // ICAO type designator
  std::string title;  // the title under which the simulator creates the livery
  std::string atcid;  // the livery's registration; empty when it has none
  std::uint32_t folderIndex = 0;  // livery folder it was found in; 0 when read back
  bool cargo = false;             // a freighter livery
};

// Title, airline, type, registration and cargo flag are equal; the folder
// number takes no part.
bool liveryEquals(const LiveryData& a, const LiveryData& b);

using LiveryList = std::list<LiveryData>;

// Brings the list into the order the indexes expect: by airline, then type,
// then title (then registration and cargo flag, so that the order never
// depends on the order of the scan), without adjacent equal liveries.
void sortScannedLiveries(LiveryList& liveries);

// The list the livery scan fills (or reads back from LiveriesScanned.xml)
// and the indexes are built from. Session worker only.
LiveryList& scannedLiveries();

}  // namespace crv
