// versions.json: a text that is not one JSON object is refused with a
// reason; a version that is found has three parts from 0 up, and a member
// that is neither found nor missing says why.

#include "feed/versions_file.h"
#include "fuzz/support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  std::string problem;
  const std::optional<nlohmann::json> document = crv::parseVersionsText(crv::fuzz::inputText(data, size), problem);
  if (!document) {
    require(!problem.empty(), "a refused versions.json says why");
    return 0;
  }
  require(document->is_object(), "an accepted versions.json is an object");
  for (const char* key : {"simaddon", "aig", "dbase"}) {
    const crv::PublishedVersion published = crv::publishedVersion(*document, key);
    switch (published.state) {
      case crv::PublishedVersion::State::Found:
        require(published.version.major >= 0 && published.version.minor >= 0 && published.version.patch >= 0,
                "a published version has no negative part");
        break;
      case crv::PublishedVersion::State::Missing:
        require(!document->contains(key), "only an absent member is missing");
        break;
      case crv::PublishedVersion::State::Invalid:
        require(!published.problem.empty(), "an unusable member says why");
        break;
    }
  }
  return 0;
}
