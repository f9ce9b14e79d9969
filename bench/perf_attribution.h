#pragma once

// Reads a perf profile of the crvn process (perf record with call graphs)
// and tells which of its samples were spent in the simulator stand-in.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace crv::bench {

enum class SampleOwner { Product, StandIn };

// The owner of one sample from its frames, innermost first: the first frame
// that is a SimConnect call makes it the stand-in's, the first frame of the
// product (namespace crv, e.g. the dispatch procedure the stand-in calls)
// the product's; library frames in between (malloc, memcpy) belong to
// whichever comes first. A sample with neither is the product's.
SampleOwner sampleOwner(const std::vector<std::string_view>& framesInnermostFirst);

struct ProfileShares {
  std::size_t samples = 0;
  std::size_t standInSamples = 0;
};

// Counts the samples of a profile by `perf script`; none when perf fails.
ProfileShares attributeProfile(const std::filesystem::path& perfData);
// The same from the text of `perf script -F ip,sym`.
ProfileShares attributeScript(std::string_view scriptText);

// The functions with the most samples of their own, as perf report lists
// them ("12.34%  name").
std::vector<std::string> topFunctions(const std::filesystem::path& perfData, std::size_t count);

}  // namespace crv::bench
