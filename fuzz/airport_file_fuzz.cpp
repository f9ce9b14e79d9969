// An airport file as a base file and as the learned file of the same airport.
// Whatever it holds: the reader answers a text or throws the user errors it
// documents; every stand read has usable coordinates and radius and usage
// with distinct numbers; a learned file that does not load is
// kept aside byte for byte; and what is saved reads back to the same file.

#include <pugixml.hpp>
#include <set>

#include "airports/airport_locations.h"
#include "airports/apf_reader.h"
#include "airports/apf_stand_parser.h"
#include "airports/learned_save.h"
#include "airports/stand_distances.h"
#include "foundation/errors.h"
#include "fuzz/support/fuzz_support.h"

namespace {

using crv::fuzz::require;

constexpr std::string_view kBaseFile =
    R"(<meta><info name="author" value="a"/><info name="version" value="1.0.0"/><info name="date" value="d"/></meta>)"
    R"(<parameters><parameter name="airport_name" value="Schiphol"/><parameter name="publisher" value="P"/>)"
    R"(<parameter name="altitude" value="-11"/></parameters><parkpositions>)"
    R"(<parkpos id="D7" latitude="52.3105" longitude="4.7683" radius="30"/>)"
    R"(<parkpos id="D8" latitude="52.3106" longitude="4.7697" radius="30"/></parkpositions>)";

void checkStands(const crv::StandTable& stands) {
  for (const crv::ParkingPosition& stand : stands) {
    require(stand.latitude >= -90.0 && stand.latitude <= 90.0, "latitude in range");
    require(stand.longitude >= -180.0 && stand.longitude <= 180.0, "longitude in range");
    require(stand.radius >= 0.0 && stand.radius <= crv::metersToNm(crv::kMaxStandRadiusMeters), "radius in range");
    std::set<std::uint32_t> ids;
    for (const crv::UsageEntry& entry : stand.usage) {
      require(entry.id != 0 && ids.insert(entry.id).second, "usage numbers are distinct");
    }
  }
}

// Reads the base file; false when it was refused.
bool read(crv::StandTable& stands, crv::ParkAirportHeader& header) {
  crv::QualityFactors quality;
  stands.clear();
  try {
    const std::string answer = crv::gf_readApf("airports/my_thirdparty/EHAM.xml", "EHAM", header, quality, stands);
    checkStands(stands);
    return answer.empty() || answer == "no stands found";
  } catch (const crv::UserErrorException&) {
    return false;  // no altitude or a repeated stand name
  }
}

// The airport files lie relative to the program folder, the working folder:
// the scratch folder while one input runs, libFuzzer's own folder otherwise.
class InScratchFolder {
 public:
  InScratchFolder() : previous_(std::filesystem::current_path()) {
    crv::fuzz::clearScratchFolder();
    std::filesystem::current_path(crv::fuzz::scratchFolder());
  }
  ~InScratchFolder() { std::filesystem::current_path(previous_); }
  InScratchFolder(const InScratchFolder&) = delete;
  InScratchFolder& operator=(const InScratchFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes = crv::fuzz::inputText(data, size);
  const InScratchFolder folder;
  crv::StandTable stands;
  crv::ParkAirportHeader header;

  // The input as the base file.
  crv::fuzz::writeBytes("airports/my_thirdparty/EHAM.xml", bytes);
  read(stands, header);

  // The input as the learned file of a good base file.
  crv::fuzz::writeBytes("airports/my_thirdparty/EHAM.xml", kBaseFile);
  const std::filesystem::path learned = crv::learnedPathFor("EHAM", "P");
  crv::fuzz::writeBytes(learned, bytes);
  pugi::xml_document document;
  const bool loads = static_cast<bool>(document.load_buffer(data, size));
  require(read(stands, header), "a good base file is read whatever its learned file holds");
  if (!loads) {
    require(!std::filesystem::exists(learned), "a learned file that does not load is moved aside");
    require(crv::fuzz::readBytes(learned.parent_path() / "EHAM.0.xml") == bytes,
            "it is kept byte for byte");
    return 0;
  }
  crv::saveAirportFile("EHAM", header, stands);
  const std::string saved = crv::fuzz::readBytes(learned);
  require(read(stands, header), "the saved learned file is read");
  crv::saveAirportFile("EHAM", header, stands);
  require(crv::fuzz::readBytes(learned) == saved, "what is saved reads back to the same file");
  return 0;
}
