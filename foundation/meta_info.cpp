#include "foundation/meta_info.h"

#include <fmt/format.h>

#include <pugixml.hpp>
#include <string>
#include <utility>

#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/version.h"

namespace crv {

StringParameter metaAuthor("author", "");
StringParameter metaDate("date", "");
StringParameter metaVersion("version", "");
StringParameter metaCopyright("copyright",
                              "Copyright CRVN. Free to use and share with CRVN, unchanged and without charge.");
StringParameter metaMsfs("MSFS", "");
StringParameter metaP3d("P3D", "");

bool writeMetaInfo(pugi::xml_node node, std::string_view simulatorFolderName) {
  if (!node) return false;
  pugi::xml_node meta = node.append_child("meta");
  if (!meta) return false;
  const std::pair<const StringParameter*, std::string> entries[] = {
      {&metaAuthor, std::string(kProgramName)},
      {&metaVersion, formatVersion(programVersionData())},
      {&metaDate, dateText()},
      {&metaCopyright, metaCopyright.defaultValue()},
      {&metaMsfs, simulatorFolderName == kSimFolderMsfs2020 ? "2020" : "2024"},
  };
  for (const auto& [entry, value] : entries) {
    pugi::xml_node info = meta.append_child("info");
    if (!info) return false;
    if (!info.append_attribute("name").set_value(entry->name().c_str())) return false;
    if (!info.append_attribute("value").set_value(value.c_str())) return false;
  }
  return true;
}

bool writeMetaInfo(pugi::xml_node node) { return writeMetaInfo(node, simFolderName()); }

bool readMetaInfo(const pugi::xml_document& document, StringParameter& entry) {
  try {
    const pugi::xpath_node found =
        document.select_node(fmt::format("/meta/info[@name='{}']", entry.name()).c_str());
    if (!found) {
      entry.setValue("");
      return false;
    }
    entry.setValue(found.node().attribute("value").value());
    return true;
  } catch (const pugi::xpath_exception& e) {
    const char* description = e.result().description();
    gf_logLine(description != nullptr && *description != '\0' ? description : "No error");
    return false;
  }
}

bool metaBlockAccepted(const pugi::xml_document& document) {
  return readMetaInfo(document, metaAuthor) && readMetaInfo(document, metaDate) &&
         readMetaInfo(document, metaVersion);
}

}  // namespace crv
