#include "liveryscan/model_code.h"

#include <unordered_map>

#include <fmt/format.h>

#include "aircraftdata/type_lookups.h"
#include "foundation/text.h"
#include "liveryscan/cfg_lines.h"
#include "liveryscan/scan_reports.h"

namespace crv {
namespace {

// The simulator's stock aircraft folders and their types; exact names.
const std::unordered_map<std::string_view, std::string_view>& stockModelTypes() {
  static const std::unordered_map<std::string_view, std::string_view> types{
      {"Asobo_FlightDesignCT", "FDCT"}, {"Asobo_Longitude", "C700"},
      {"Asobo_VL3", "VL3"},             {"Asobo_Savage_Cub", "SAVG"},
      {"Asobo_Savage_ShockUltra", "SAVG"}, {"Asobo_XCub", "CC19"},
      {"Asobo_Pitts", "PTS2"},          {"Asobo_SR22", "SR22"},
      {"Asobo_Icon", "A5"},             {"Asobo_TBM930", "TBM9"},
      {"Asobo_KingAir350", "B350"},     {"Asobo_E330", "E300"},
      {"Asobo_DV20", "DV20"},           {"Asobo_DR400", "DR40"},
      {"Asobo_DA62", "DA62"},           {"Asobo_DA40_TDI", "DA40"},
      {"Asobo_DA40_NG", "DA40"},        {"Asobo_Cap10C", "CP10"},
      {"Asobo_CJ4", "C25C"},            {"Asobo_C152", "C152"},
      {"Asobo_C152_Aerobat", "C152"},   {"Asobo_C172sp_AS1000", "C172"},
      {"Asobo_C172sp_classic", "C172"}, {"Asobo_Bonanza_G36", "BE36"},
      {"Asobo_Baron_G58", "B58T"},      {"Asobo_B747_8i", "B748"},
      {"Asobo_B787_10", "B78X"},        {"Asobo_208B_GRAND_CARAVAN_EX", "C208"},
      {"Asobo_A320_NEO", "A20N"},       {"FlyByWire_A320_NEO", "A20N"},
  };
  return types;
}

constexpr std::size_t kModelCodeLength = 4;
constexpr std::size_t kRelativePrefixLength = 3;  // "..\" or "../"

}  // namespace

std::string readTypeDesignatorLine(std::string_view line) {
  std::string value = regexValue(line, "icao_type_designator");
  if (value.size() > kModelCodeLength) value.resize(kModelCodeLength);
  return toUpper(value);
}

std::string readBaseContainerLine(std::string_view line) {
  const std::string value = regexValue(line, "base_container");
  if (value.size() <= kRelativePrefixLength) return {};
  const auto found = stockModelTypes().find(std::string_view(value).substr(kRelativePrefixLength));
  return found == stockModelTypes().end() ? std::string() : toUpper(found->second);
}

std::string modelOfAircraftCfg(std::string_view path, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::string code = readTypeDesignatorLine(line);
    if (!code.empty()) return checkModelCode(code, path);
  }
  return modelFromBaseContainer(path, lines);
}

std::string modelFromBaseContainer(std::string_view path, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    const std::string code = readBaseContainerLine(line);
    if (!code.empty()) return checkModelCode(code, path);
  }
  // The two makers' own packages carry no type on purpose.
  if (path.find("pmdg-aircraft-7") == std::string_view::npos && path.find("fnx-aircraft-3") == std::string_view::npos) {
    addInvalidAircraftCfgLine(
        fmt::format("Line icao_type_designator= is missing in [General] section of {}", path));
  }
  return {};
}

std::string checkModelCode(const std::string& code, std::string_view path) {
  if (isKnownType(code)) return code;
  const auto& fixes = modelFixMap();
  const auto fix = fixes.find(code);
  if (fix != fixes.end()) {
    addFixLine(fmt::format("Model fix: {} found in {} changed into {}", code, path, fix->second));
    return fix->second;
  }
  reportInvalidModel(code, path);
  return {};
}

void reportInvalidModel(std::string_view code, std::string_view path) {
  scanReports().invalidModels.add(fmt::format("{:16} in {}", code, path));
}

}  // namespace crv
