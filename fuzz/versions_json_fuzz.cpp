// versions.json: a text that is not valid JSON is refused with a reason; a
// version is found only under its key of an object, with three parts that
// are the integer values of numbers, and any other member says why it is
// none.

#include <cmath>
#include <exception>

#include "feed/versions_file.h"
#include "fuzz/support/fuzz_support.h"

namespace {

// The part as the version reads it: a number cut toward zero.
bool readAs(const nlohmann::json& member, const char* name, int part) {
  const auto found = member.find(name);
  return found != member.end() && found->is_number() && std::trunc(found->get<double>()) == part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  std::string problem;
  const std::optional<nlohmann::json> document = crv::parseVersionsText(crv::fuzz::inputText(data, size), problem);
  if (!document) {
    require(!problem.empty(), "a refused versions.json says why");
    return 0;
  }
  for (const char* key : {"simaddon", "aig", "dbase"}) {
    const bool present = document->is_object() && document->contains(key);
    try {
      const std::optional<crv::VersionData> published = crv::publishedVersion(*document, key);
      if (!published) {
        require(!present, "only an absent member is not found");
        continue;
      }
      require(present && (*document)[key].is_object(), "a version comes from an object under its key");
      const nlohmann::json& member = (*document)[key];
      require(readAs(member, "major", published->major) && readAs(member, "minor", published->minor) &&
                  readAs(member, "patch", published->patch),
              "each part is its number's integer value");
    } catch (const std::exception& error) {
      require(present, "only a member that is there can be unreadable");
      require(error.what()[0] != '\0', "an unreadable member says why");
    }
  }
  return 0;
}
