// manifest.json of an add-on package: the search never throws; a manifest
// gives information only when its text, line ends left out, is one JSON
// object; one that is no JSON (blanks alone included) ends the search with
// its exception line, and a file without a line gives none.

#include <nlohmann/json.hpp>

#include "airportscan/publisher_lookup.h"
#include "airportscan/scan_log.h"
#include "fuzz/support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  const std::string_view bytes = crv::fuzz::inputText(data, size);
  const std::filesystem::path package = crv::fuzz::scratchFolder() / "Community" / "pkg";
  crv::fuzz::writeBytes(package / "manifest.json", bytes);
  crv::ScanLog log;
  std::optional<crv::ManifestInfo> found;
  try {
    found = crv::gf_searchManifest(package / "scenery" / "a.bgl", crv::fuzz::scratchFolder(), log);
  } catch (...) {
    require(false, "the manifest search never throws");
  }
  std::string joined;
  for (const char c : bytes) {
    if (c != '\n' && c != '\r') joined.push_back(c);
  }
  const nlohmann::json document = nlohmann::json::parse(joined, nullptr, false);
  require(!found || (!bytes.empty() && document.is_object()), "only a JSON object gives information");
  const std::vector<std::string> lines = log.lines();
  const bool endedByException =
      !lines.empty() && lines.back().starts_with("exception in gf_searchManifest: ");
  require(found || bytes.empty() || !(document.is_discarded() || document.is_object()) || endedByException,
          "a manifest that is no JSON, or an object with a member of another type, ends the search");
  crv::fuzz::clearScratchFolder();
  return 0;
}
