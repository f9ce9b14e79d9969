#include "tools/download-standin/site_builder.h"

#include <fmt/format.h>
#include <pugixml.hpp>
#include <zip.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>

#include "aircraftdata/data_file_key.h"
#include "foundation/files.h"
#include "foundation/meta_info.h"
#include "foundation/text.h"
#include "tools/datatool/stream_encrypt.h"

namespace crv::standin {

namespace {

// The file type of a symbolic link in a Unix mode as zip archives store it.
constexpr zip_uint32_t kUnixSymbolicLink = 0120000;

namespace fs = std::filesystem;

constexpr int kStandsPerRow = 12;
constexpr double kStandSpacingDegrees = 0.0006;
constexpr double kDegreesPerRadian = 57.29577951308232;

pugi::xml_document loadXml(const fs::path& path) {
  pugi::xml_document document;
  if (!document.load_file(path.c_str())) {
    throw std::runtime_error("download-standin: cannot read " + path.string());
  }
  return document;
}

struct AirportFacts {
  double latitude = 0.0;
  double longitude = 0.0;
  int altitudeFeet = 0;
  std::string name;
};

std::map<std::string, AirportFacts> airportFacts(const fs::path& dataFolder, const std::set<std::string>& codes) {
  std::map<std::string, AirportFacts> facts;
  const pugi::xml_document airports = loadXml(dataFolder / "airports_msfs.xml");
  for (const pugi::xml_node airport : airports.child("airports").children("airport")) {
    const std::string code = airport.attribute("code").as_string();
    if (codes.contains(code)) {
      facts[code] = {airport.attribute("lat").as_double(), airport.attribute("lon").as_double(),
                     airport.attribute("alt").as_int(), code};
    }
  }
  const pugi::xml_document names = loadXml(dataFolder / "airports_msfs_names.xml");
  for (const pugi::xml_node airport : names.child("AirportNames").children("airport")) {
    const auto found = facts.find(airport.attribute("ICAO").as_string());
    if (found != facts.end()) {
      found->second.name = airport.attribute("name").as_string();
    }
  }
  return facts;
}

void appendParameter(pugi::xml_node parameters, const char* name, const std::string& value) {
  pugi::xml_node parameter = parameters.append_child("parameter");
  parameter.append_attribute("name") = name;
  parameter.append_attribute("value") = value.c_str();
}

void addZipEntry(zip_t* archive, const ZipEntrySpec& entry) {
  if (entry.name.ends_with('/')) {
    if (zip_dir_add(archive, entry.name.c_str(), ZIP_FL_ENC_UTF_8) < 0) {
      throw std::runtime_error(fmt::format("zip: cannot add {}: {}", entry.name, zip_strerror(archive)));
    }
    return;
  }
  zip_source_t* source = zip_source_buffer(archive, entry.content.data(), entry.content.size(), 0);
  if (source == nullptr) {
    throw std::runtime_error(fmt::format("zip: cannot add {}: {}", entry.name, zip_strerror(archive)));
  }
  const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
  if (index < 0) {
    zip_source_free(source);
    throw std::runtime_error(fmt::format("zip: cannot add {}: {}", entry.name, zip_strerror(archive)));
  }
  if (entry.link) {
    const zip_uint32_t attributes = static_cast<zip_uint32_t>(kUnixSymbolicLink | 0777) << 16;
    zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX, attributes);
  }
}

std::vector<std::string> simaddonCodes(const pugi::xml_document& dbase) {
  std::vector<std::string> codes;
  for (const pugi::xml_node node : dbase.child("simaddons20").children("simaddon20")) {
    for (std::string& code : splitTrim(node.attribute("arpts").as_string(), ',')) {
      codes.push_back(std::move(code));
    }
  }
  return codes;
}

}  // namespace

std::string versionsJsonText(const SiteVersions& versions) {
  const auto member = [](const VersionData& version) {
    return fmt::format(R"({{"major": {}, "minor": {}, "patch": {}}})", version.major, version.minor, version.patch);
  };
  return fmt::format("{{\n  \"simaddon\": {},\n  \"aig\": {},\n  \"dbase\": {}\n}}\n", member(versions.simaddon),
                     member(versions.aig), member(versions.dbase));
}

void writeZip(const fs::path& path, const std::vector<ZipEntrySpec>& entries) {
  fs::create_directories(path.parent_path());
  int code = 0;
  const std::u8string name = path.u8string();  // libzip takes UTF-8 names on every system
  zip_t* archive = zip_open(reinterpret_cast<const char*>(name.c_str()), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (archive == nullptr) {
    throw std::runtime_error(fmt::format("zip: cannot create {} (libzip error {})", path.string(), code));
  }
  try {
    for (const ZipEntrySpec& entry : entries) {
      addZipEntry(archive, entry);
    }
  } catch (...) {
    zip_discard(archive);
    throw;
  }
  if (zip_close(archive) != 0) {
    const std::string reason = zip_strerror(archive);
    zip_discard(archive);
    throw std::runtime_error(fmt::format("zip: cannot write {}: {}", path.string(), reason));
  }
}

void writeEncrypted(const fs::path& path, std::string_view plain) {
  fs::create_directories(path.parent_path());
  if (!writeFileAtomically(path, datatool::encryptBytes(kDataFileKey, plain))) {
    throw std::runtime_error("download-standin: cannot write " + path.string());
  }
}

std::vector<ArchivedAirport> archivedAirports(const fs::path& dataFolder, const bool msfs2024) {
  const pugi::xml_document dbase = loadXml(dataFolder / "dbase.xml");
  struct Listed {
    std::string icao;
    std::string publisher;
    int stands;
  };
  std::vector<Listed> listed;
  for (const std::string& code : simaddonCodes(dbase)) {
    listed.push_back({code, "simaddon", 0});
  }
  const char* section = msfs2024 ? "thirdparties24" : "thirdparties20";
  const char* element = msfs2024 ? "thirdpartie24" : "thirdpartie20";
  for (const pugi::xml_node node : dbase.child(section).children(element)) {
    for (const std::string& line : splitTrim(node.attribute("arpts").as_string(), ',')) {
      listed.push_back({line.substr(0, 4), node.attribute("pub").as_string(), std::stoi(line.substr(4))});
    }
  }
  std::set<std::string> codes;
  for (const Listed& airport : listed) {
    codes.insert(airport.icao);
  }
  const std::map<std::string, AirportFacts> facts = airportFacts(dataFolder, codes);
  std::vector<ArchivedAirport> airports;
  const auto add = [&](const std::string& icao, const std::string& publisher, int stands) {
    const auto found = facts.find(icao);
    if (found == facts.end()) {
      throw std::runtime_error("download-standin: " + icao + " is not in the airports database");
    }
    const AirportFacts& fact = found->second;
    // Stand counts that no list gives follow from the code, so they stay the same run to run.
    int letters = 0;
    for (const char c : icao) {
      letters += c;
    }
    const int count = stands > 0 ? stands : 40 + (letters % 9) * 20;
    airports.push_back({icao, fact.name, publisher, fact.latitude, fact.longitude, fact.altitudeFeet, count});
  };
  for (const Listed& airport : listed) {
    add(airport.icao, airport.publisher, airport.stands);
  }
  for (const std::string& code : codes) {
    add(code, "stock", 0);
  }
  return airports;
}

std::string archivedAirportXml(const ArchivedAirport& airport, const bool msfs2024) {
  pugi::xml_document document;
  writeMetaInfo(document, msfs2024 ? "MSFS2024" : "MSFS");
  pugi::xml_node parameters = document.append_child("parameters");
  appendParameter(parameters, "airport_name", airport.name);
  appendParameter(parameters, "publisher", airport.publisher);
  appendParameter(parameters, "altitude", std::to_string(airport.altitudeFeet));
  appendParameter(parameters, "num_parkpos", std::to_string(airport.stands));
  if (airport.publisher == "stock") {
    appendParameter(parameters, "RT_traffic_week", "30");
  }
  pugi::xml_node stands = document.append_child("parkpositions");
  const double longitudeSpacing = kStandSpacingDegrees / std::max(0.1, std::cos(airport.latitude / kDegreesPerRadian));
  for (int i = 0; i < airport.stands; ++i) {
    const int row = i / kStandsPerRow;
    const int column = i % kStandsPerRow;
    pugi::xml_node stand = stands.append_child("parkpos");
    const std::string id = fmt::format("{}{}", static_cast<char>('A' + row % 26), column + 1 + (row / 26) * 100);
    stand.append_attribute("id") = id.c_str();
    stand.append_attribute("latitude") = fmt::format("{:.6f}", airport.latitude + 0.005 + row * kStandSpacingDegrees).c_str();
    stand.append_attribute("longitude") = fmt::format("{:.6f}", airport.longitude + column * longitudeSpacing).c_str();
    stand.append_attribute("heading") = fmt::format("{:.1f}", row % 2 == 0 ? 180.0 : 0.0).c_str();
    stand.append_attribute("radius") = fmt::format("{:.1f}", column % 4 == 0 ? 40.0 : 24.0).c_str();
    stand.append_attribute("cargo") = i % 7 == 6 ? "true" : "false";
    stand.append_attribute("ramp") = i % 5 == 4 ? "true" : "false";
  }
  std::ostringstream text;
  document.save(text);
  return text.str();
}

fs::path archivedAirportPath(const ArchivedAirport& airport) {
  const fs::path file = airport.icao + ".xml";
  if (airport.publisher == "stock" || airport.publisher == "simaddon") {
    return fs::path("archive") / airport.publisher / file;
  }
  return fs::path("archive") / "thirdparty" / airport.publisher / file;
}

std::vector<ZipEntrySpec> sampleAddonEntries(const fs::path& dataFolder) {
  std::vector<ZipEntrySpec> entries{{"my_simaddon2024/", ""}};
  for (const std::string& code : simaddonCodes(loadXml(dataFolder / "dbase.xml"))) {
    entries.push_back({"my_simaddon2024/" + code + ".xml", "archive/simaddon/" + code + ".xml"});
  }
  return entries;
}

void buildSampleSite(const fs::path& siteFolder, const fs::path& dataFolder, const SiteVersions& versions) {
  fs::create_directories(siteFolder);
  if (!writeFileAtomically(siteFolder / "versions.json", versionsJsonText(versions))) {
    throw std::runtime_error("download-standin: cannot write versions.json");
  }
  std::string dbase;
  if (!readFileBytes(dataFolder / "dbase.xml", dbase)) {
    throw std::runtime_error("download-standin: cannot read dbase.xml");
  }
  writeEncrypted(siteFolder / "dbase.enc", dbase);
  writeEncrypted(siteFolder / "AIG-regcodes.enc",
                 "<?xml version=\"1.0\"?>\n<AIG-regcodes>\n"
                 "  <livery title=\"AIG Airbus A320 KLM\" reg=\"PH-BCA,PH-BCB\"/>\n"
                 "  <livery title=\"AIG Boeing 737-800 KLM\" reg=\"PH-BXA\"/>\n"
                 "</AIG-regcodes>\n");
  writeZip(siteFolder / "mysimaddon24" / "my_simaddon2024.zip", sampleAddonEntries(dataFolder));
  for (const bool msfs2024 : {false, true}) {
    const fs::path area = siteFolder / (msfs2024 ? "MSFS2024" : "MSFS");
    for (const ArchivedAirport& airport : archivedAirports(dataFolder, msfs2024)) {
      const fs::path path = area / archivedAirportPath(airport);
      fs::create_directories(path.parent_path());
      if (!writeFileAtomically(path, archivedAirportXml(airport, msfs2024))) {
        throw std::runtime_error("download-standin: cannot write " + path.string());
      }
    }
  }
}

}  // namespace crv::standin
