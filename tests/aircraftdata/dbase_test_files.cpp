#include "tests/aircraftdata/dbase_test_files.h"

#include <stdexcept>
#include <utility>

#include <pugixml.hpp>

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/data_file_key.h"
#include "tools/datatool/stream_encrypt.h"

namespace crv::testing {

DbaseXml::DbaseXml() {
  sections_ = {
      {"aircrafts", R"(<aircraft types="B738, A320,C172"/><aircraft types="B744,GLF5,EC35,F16,A388"/>)"},
      {"high_performance", R"(<hpf types="F16"/>)"}, {"heavy", R"(<hvy types="B744,A388"/>)"},
      {"large", R"(<lar types="B738,A320"/>)"},        {"buzjet", R"(<bzj types="GLF5"/>)"},
      {"rotorcraft", R"(<rot types="EC35"/>)"},        {"cargo_types", R"(<cargo_type types="B744"/>)"},
      {"similar_types", R"(<similar types="A320,A319,A318"/><similar types="B738"/>)"},
      {"ICAO_airlines", R"(<ICAO codes="DLH,BAW"/><ICAO codes="FDX"/>)"}, {"cargo_operators", R"(<ICAO codes="FDX"/>)"},
      {"publishers", R"(<pub names="FlyTampa,Fly Tampa"/><pub names="Aerosoft"/>)"},
      {"wingspans",
       R"(<wingspan type="B738" meters="35.79"/><wingspan type="B744" meters="64.44"/>)"
       R"(<wingspan type="A388" meters="79.75"/><wingspan type="C172" meters="11.00"/>)"
       R"(<wingspan type="GLF5" meters="28.50"/><wingspan type="EC35" meters="10.20"/>)"
       R"(<wingspan type="F16" meters="9.96"/>)"},
      {"fixes", R"(<fx wro="B77F" cor="B744"/>)"}, {"simaddons20", R"(<simaddon20 arpts="EDDF,EGLL"/>)"},
      {"thirdparties20", R"(<thirdpartie20 pub="FlyTampa" arpts="EHAM 140, LOWW 77"/>)"},
      {"thirdparties24", R"(<thirdpartie24 pub="Aerosoft" arpts="EDDK 80"/>)"},
      {"dbase", R"(<db reg="D-ABCD" airl="DLH" type="A320" opr="Lufthansa" cargo="false"/>)"
                R"(<db reg="N123AB" airl="UAL" type="B738" opr="United" cargo="no"/>)"},
  };
}

DbaseXml& DbaseXml::set(const std::string& section, std::string innerXml) {
  sections_[section] = std::move(innerXml);
  return *this;
}

DbaseXml& DbaseXml::remove(const std::string& section) {
  sections_.erase(section);
  return *this;
}

std::string DbaseXml::text() const {
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
  for (const auto& [name, inner] : sections_) {
    xml += "<" + name + ">" + inner + "</" + name + ">\n";
  }
  return xml;
}

void writeEncrypted(const std::filesystem::path& path, std::string_view plain) {
  writeFile(path, datatool::encryptBytes(kDataFileKey, plain));
}

void installDbaseXml(const std::string& xml) {
  pugi::xml_document document;
  if (!document.load_string(xml.c_str())) {
    throw std::runtime_error("test database does not parse");
  }
  installAircraftDatabase(buildAircraftDatabase(document));
}

}  // namespace crv::testing
