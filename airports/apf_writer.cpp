#include "airports/apf_writer.h"

#include <fmt/format.h>

#include <pugixml.hpp>
#include <string_view>

#include "aircraftdata/type_lookups.h"
#include "airports/airport_overrides.h"
#include "airports/apf_parameters.h"
#include "airports/half_hours_text.h"
#include "foundation/files.h"
#include "foundation/geodesy.h"
#include "foundation/meta_info.h"

namespace crv {
namespace {

const char* boolText(bool value) { return value ? "true" : "false"; }

void addAttribute(pugi::xml_node node, const char* name, const char* value) {
  node.append_attribute(name).set_value(value);
}

void addAttribute(pugi::xml_node node, const char* name, const std::string& value) {
  node.append_attribute(name).set_value(value.c_str());
}

std::string radiusText(const ParkingPosition& stand) { return fmt::format("{:.1f}", stand.radius * kMetersPerNm); }

void writeFullForm(pugi::xml_node parkpos, const ParkingPosition& stand) {
  addAttribute(parkpos, "id", stand.name);
  addAttribute(parkpos, "latitude", fmt::format("{:.6f}", stand.latitude));
  addAttribute(parkpos, "longitude", fmt::format("{:.6f}", stand.longitude));
  addAttribute(parkpos, "heading", fmt::format("{:.1f}", stand.heading * kRadiansToDegrees));
  addAttribute(parkpos, "radius", radiusText(stand));
  if (stand.heli) {
    addAttribute(parkpos, "heli", "true");
  } else {
    addAttribute(parkpos, "cargo", boolText(stand.cargo));
  }
  addAttribute(parkpos, "ramp", boolText(stand.ramp));
  if (stand.manual) addAttribute(parkpos, "manual", "true");
}

void writeLearnedForm(pugi::xml_node parkpos, const ParkingPosition& stand) {
  addAttribute(parkpos, "id", stand.name);
  if (stand.radius_change) {
    addAttribute(parkpos, "radius_change", "true");
    addAttribute(parkpos, "radius", radiusText(stand));
  }
  if (stand.cargo_change) {
    addAttribute(parkpos, "cargo_change", "true");
    addAttribute(parkpos, "cargo", boolText(stand.cargo));
  }
}

void writeUsageEntry(pugi::xml_node opt, const UsageEntry& entry) {
  addAttribute(opt, "reg", entry.reg);
  if (!findRegcode(entry.reg)) {
    addAttribute(opt, "airl", entry.airl);
    addAttribute(opt, "type", entry.type);
  }
  if (entry.kind == kSoftUsage) addAttribute(opt, "soft", "true");
  // A learned file's weekday reads back signed: an odd one such as -1 is
  // written as it was read.
  addAttribute(opt, "day", std::to_string(static_cast<std::int32_t>(entry.day)));
  addAttribute(opt, "hh", bitsetToHours(entry.hh));
  if (!entry.cs.empty()) {
    addAttribute(opt, "cs", entry.cs2.empty() ? entry.cs : entry.cs + ":" + entry.cs2);
  }
}

void writeStand(pugi::xml_node parkpos, const ParkingPosition& stand, const ApfRecord& record, ApfWriteMode mode) {
  if (mode == ApfWriteMode::Full || stand.manual || record.handmade) {
    writeFullForm(parkpos, stand);
  } else if (stand.radius_change || stand.cargo_change) {
    writeLearnedForm(parkpos, stand);
  } else {
    addAttribute(parkpos, "id", stand.name);
  }
  if (mode != ApfWriteMode::Learned) return;
  for (const UsageEntry& entry : stand.usage) {
    if (entry.inUse() && !entry.placeholder) writeUsageEntry(parkpos.append_child("opt"), entry);
  }
}

}  // namespace

bool writeAirportParameters(pugi::xml_document& document, const ApfRecord& record, ApfWriteMode mode) {
  pugi::xml_node parameters = document.append_child("parameters");
  if (!parameters) return false;
  bool ok = appendApfParameter(parameters, "airport_name", record.airportName) &&
            appendApfParameter(parameters, "publisher", record.publisher);
  if (record.handmade) ok = ok && appendApfParameter(parameters, "handmade", "true");
  if (mode == ApfWriteMode::Full || record.handmade) {
    ok = ok && appendApfParameter(parameters, "altitude", std::to_string(record.altitudeFeet));
  }
  ok = ok && appendApfParameter(parameters, "num_parkpos", std::to_string(record.stands.size()));
  if (record.handmade) {
    ok = ok && appendApfParameter(parameters, "Qf_real", std::to_string(record.quality.real)) &&
         appendApfParameter(parameters, "Qf_soft", std::to_string(record.quality.soft));
  }
  if (record.publisher == kUnknownPublisher) {
    ok = ok && appendApfParameter(parameters, "BGLpath", record.bglPath) &&
         appendApfParameter(parameters, "manufacturer", record.manufacturer) &&
         appendApfParameter(parameters, "creator", record.creator);
  }
  if (mode == ApfWriteMode::Learned) ok = ok && writeAirportOverrides(parameters);
  return ok;
}

bool buildAirportDocument(pugi::xml_document& document, const ApfRecord& record, ApfWriteMode mode) {
  if (!writeMetaInfo(document)) return false;
  if (!writeAirportParameters(document, record, mode)) return false;
  pugi::xml_node parkpositions = document.append_child("parkpositions");
  if (!parkpositions) return false;
  for (const ParkingPosition& stand : record.stands) {
    writeStand(parkpositions.append_child("parkpos"), stand, record, mode);
  }
  return true;
}

bool writeAirportFile(const ApfRecord& record, const std::filesystem::path& path, ApfWriteMode mode,
                      Durability durability) {
  pugi::xml_document document;
  if (!buildAirportDocument(document, record, mode)) return false;
  return saveXml(document, path, durability);
}

}  // namespace crv
