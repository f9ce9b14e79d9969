// Regcode files: a user's text file in input/my_regcodes, and the same bytes
// as the delivered AIG-regcodes XML. Every entry read has a title, and its
// registrations are sorted, unique and of a registration's length; a text
// file gives at most one entry a line.

#include <algorithm>

#include "aircraftdata/regcodes.h"
#include "fuzz/support/fuzz_support.h"

namespace {

void requireSortedUnique(const crv::RegcodeEntry& entry) {
  crv::fuzz::require(std::is_sorted(entry.regs.begin(), entry.regs.end()) &&
                         std::adjacent_find(entry.regs.begin(), entry.regs.end()) == entry.regs.end(),
                     "registrations sorted and unique");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  const std::string_view bytes = crv::fuzz::inputText(data, size);
  crv::fuzz::clearScratchFolder();
  const auto folder = crv::fuzz::scratchFolder() / "my_regcodes";
  crv::fuzz::writeBytes(folder / "mine.txt", bytes);

  std::vector<crv::RegcodeEntry> entries;
  crv::gf_readRegcodeFiles(folder, entries);
  require(entries.size() <= static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1,
          "at most one entry a line");
  for (const crv::RegcodeEntry& entry : entries) {
    requireSortedUnique(entry);
    require(!entry.special || !entry.regs.empty(), "a special entry has registrations");
    for (const std::string& registration : entry.regs) {
      require(registration.size() >= crv::kMinRegcodeBytes && registration.size() <= crv::kMaxRegcodeBytes,
              "registration of 3 to 12 bytes");
    }
  }

  const auto xml = crv::fuzz::scratchFolder() / "AIG-regcodes.xml";
  crv::fuzz::writeBytes(xml, bytes);
  std::vector<crv::RegcodeEntry> aigEntries;
  crv::gf_readAigRegcodes(xml, aigEntries);
  for (std::size_t i = 0; i < aigEntries.size(); ++i) {
    require(!aigEntries[i].title.empty(), "every AIG entry has a title");
    require(i == 0 || aigEntries[i].title != aigEntries[i - 1].title, "no title repeats the one before");
    requireSortedUnique(aigEntries[i]);
  }
  return 0;
}
