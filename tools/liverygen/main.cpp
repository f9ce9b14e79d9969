// crvn-liverygen: writes a realistic list of installed liveries.
//
//   crvn-liverygen <dbase.xml> <LiveriesScanned.xml> [count] [airlines] [seed]
//                  [--aig <AIG-regcodes.xml>]

#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "aircraftdata/aircraft_database.h"
#include "tools/liverygen/livery_generator.h"

namespace {

int usage() {
  std::cerr << "usage: crvn-liverygen <dbase.xml> <LiveriesScanned.xml> [count] [airlines] [seed]"
               " [--aig <AIG-regcodes.xml>]\n";
  return 2;
}

bool writeText(const std::string& path, const std::string& text) {
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream << text;
  return static_cast<bool>(stream);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  std::string aigPath;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--aig" && i + 1 < argc) {
      aigPath = argv[++i];
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() < 2 || positional.size() > 5) return usage();
  try {
    pugi::xml_document dbase;
    if (!dbase.load_file(positional[0].c_str())) {
      std::cerr << "cannot read " << positional[0] << "\n";
      return 1;
    }
    const crv::AircraftDatabase database = crv::buildAircraftDatabase(dbase);
    crv::liverygen::GeneratorOptions options;
    if (positional.size() > 2) options.liveryCount = std::stoul(positional[2]);
    if (positional.size() > 3) options.airlineCount = std::stoul(positional[3]);
    if (positional.size() > 4) options.seed = static_cast<std::uint32_t>(std::stoul(positional[4]));
    const crv::LiveryList liveries = crv::liverygen::generateLiveries(database, options);
    if (!writeText(positional[1], crv::liverygen::liveriesScannedXml(liveries))) {
      std::cerr << "cannot write " << positional[1] << "\n";
      return 1;
    }
    if (!aigPath.empty() && !writeText(aigPath, crv::liverygen::generateAigRegcodesXml(liveries, options.seed))) {
      std::cerr << "cannot write " << aigPath << "\n";
      return 1;
    }
    std::cout << liveries.size() << " liveries written to " << positional[1] << "\n";
  } catch (const std::exception& e) {
    std::cerr << "crvn-liverygen: " << e.what() << "\n";
    return 1;
  }
  return EXIT_SUCCESS;
}
