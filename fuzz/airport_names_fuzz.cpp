// airports_msfs_names.xml: any file leaves the map filled with entries that
// have both a code and a name, or empty, and what was in the map before has
// no part in it, even when the file names the same codes.

#include "airports/airport_names.h"
#include "fuzz/support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto path = crv::fuzz::scratchFolder() / crv::kAirportNamesFile;
  crv::fuzz::writeBytes(path, crv::fuzz::inputText(data, size));
  crv::AirportNameMap fresh;
  crv::readAirportNamesFile(path, fresh);
  crv::AirportNameMap reused{{"STALE", "left from before"}, {"EHAM", "left from before"}};
  crv::readAirportNamesFile(path, reused);
  crv::fuzz::require(reused == fresh, "the map is emptied first");
  for (const auto& [code, name] : fresh) {
    crv::fuzz::require(!code.empty() && !name.empty(), "every entry has a code and a name");
  }
  return 0;
}
