#include "liveryscan/liveries_scanned_xml.h"

#include <filesystem>
#include <system_error>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "aircraftdata/livery_database.h"
#include "foundation/errors.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/meta_info.h"
#include "foundation/paths.h"

namespace crv {
namespace {

// Collects the saved document in one text.
class TextWriter : public pugi::xml_writer {
 public:
  void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
  std::string text;
};

constexpr int kFileNotFound = 51;
constexpr int kNoLiveriesSection = 52;
constexpr int kNoLiveries = 533;
constexpr int kMissingAttribute = 999;

std::string requiredAttribute(const pugi::xml_node& node, const char* name) {
  const pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) {
    throw UserErrorException(kMissingAttribute,
                             fmt::format("Missing required attribute '{}' in <{}>", name, node.name()));
  }
  return attribute.value();
}

}  // namespace

void writeLiveriesScannedXml() {
  const LiveryList& liveries = scannedLiveries();
  if (liveries.empty()) return;
  pugi::xml_document document;
  writeMetaInfo(document);
  pugi::xml_node root = document.append_child("liveries");
  for (const LiveryData& livery : liveries) {
    pugi::xml_node node = root.append_child("liv");
    node.append_attribute("airl").set_value(livery.airl.c_str());
    node.append_attribute("type").set_value(livery.type.c_str());
    if (livery.cargo) node.append_attribute("cargo").set_value("true");
    node.append_attribute("title").set_value(livery.title.c_str());
    if (!livery.atcid.empty()) node.append_attribute("atcid").set_value(livery.atcid.c_str());
  }
  const auto& path = programPaths().liveriesScannedXml;
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  // Replaced whole: a failed write leaves the previous scan's file as it was.
  TextWriter writer;
  writer.text.reserve(liveries.size() * 96);
  document.save(writer);
  const bool saved = writeFileAtomically(path, writer.text);
  gf_logLine(saved ? fmt::format("'{}' saved", path.string()) : fmt::format("could not save to '{}'", path.string()));
  gf_logLine(fmt::format("{} liveries in {}", liveries.size(), path.string()));
}

void readLiveriesScannedXml() {
  LiveryList& liveries = scannedLiveries();
  liveries.clear();
  const std::string path = programPaths().liveriesScannedXml.string();
  pugi::xml_document document;
  if (const pugi::xml_parse_result result = document.load_file(path.c_str()); !result) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
      throw UserErrorException(kFileNotFound, fmt::format("File {} not found", path));
    }
    throw UserErrorException(kFileNotFound, fmt::format("File {} is damaged ({})", path, result.description()));
  }
  const pugi::xml_node root = document.child("liveries");
  if (!root) {
    throw UserErrorException(kNoLiveriesSection, fmt::format("{} does not contain a <liveries> section", path));
  }
  try {
    for (const pugi::xml_node node : root.children("liv")) {
      LiveryData livery;
      livery.airl = requiredAttribute(node, "airl");
      livery.type = requiredAttribute(node, "type");
      livery.title = requiredAttribute(node, "title");
      livery.atcid = node.attribute("atcid").value();
      livery.cargo = node.attribute("cargo").as_bool(false);
      liveries.push_back(std::move(livery));
    }
  } catch (const UserErrorException&) {
    liveries.clear();
    throw;
  }
  if (liveries.empty()) throw UserErrorException(kNoLiveries, path + " does not contain liveries");
  sortScannedLiveries(liveries);
  gf_logLine(fmt::format("{} liveries read from {}", liveries.size(), path));
}

bool liveriesProcessed() { return liveryDatabase().isBuilt(); }

void processScannedLiveries(const LiveryCountDisplay& display) {
  if (liveriesProcessed()) {
    gf_logLine("Processing scanned liveries skipped; already done in previous start-up");
    scannedLiveries().clear();
    return;
  }
  readLiveriesScannedXml();
  if (display.showLiveryCount) display.showLiveryCount(scannedLiveries().size());
  if (display.repaint) display.repaint();
  liveryDatabase().build(scannedLiveries());
  if (display.repaint) display.repaint();
  scannedLiveries().clear();
}

}  // namespace crv
