// parameters.xml as a user or a damaged disk may leave it. A file that does
// not load (or nests far too deep) is kept aside byte for byte; whatever the
// file held, afterwards parameters.xml loads, holds every setting once, its
// integers lie within their limits, it is not much larger than what it was
// made from, and a second load reads the same settings.

#include <cstdint>
#include <vector>

#include <pugixml.hpp>

#include "foundation/parameters_file.h"
#include "foundation/paths.h"
#include "fuzz/support/fuzz_support.h"

namespace {

std::size_t nodesNamed(const pugi::xml_document& document, const std::string& key) {
  std::size_t count = 0;
  for (pugi::xml_node node : document.child("parameters").children("parameter")) {
    count += key == node.attribute("name").value() ? 1 : 0;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  const std::string_view bytes = crv::fuzz::inputText(data, size);
  crv::fuzz::clearScratchFolder();
  crv::setDataFolderPath(crv::fuzz::scratchFolder());
  const std::filesystem::path path = crv::parametersFilePath();
  crv::fuzz::writeBytes(path, bytes);
  pugi::xml_document original;
  const bool parses = static_cast<bool>(original.load_buffer(data, size));

  const crv::LoadLists lists = crv::buildLoadLists();
  crv::loadParameters(lists);

  std::filesystem::path setAside = path;
  setAside += crv::kSetAsideSuffix;
  if (!parses) {
    require(crv::fuzz::readBytes(setAside) == bytes, "an unreadable file is kept aside byte for byte");
  }
  if (std::filesystem::exists(setAside)) {
    require(crv::fuzz::readBytes(setAside) == bytes, "what is set aside is the file as it was");
  }
  const std::string saved = crv::fuzz::readBytes(path);
  require(saved.size() <= 16 * size + 16384, "a save is not much larger than its file");
  pugi::xml_document document;
  require(static_cast<bool>(document.load_string(saved.c_str())), "the saved file loads");
  for (const crv::IntParameter* setting : lists.bareInts) {
    require(setting->value() >= setting->minimum() && setting->value() <= setting->maximum(), "integers in limits");
    require(nodesNamed(document, setting->name()) >= 1, "every integer setting is stored");
  }
  for (const crv::IntControlParameter* setting : lists.intControls) {
    require(setting->value() >= setting->minimum() && setting->value() <= setting->maximum(), "integers in limits");
  }
  for (const crv::BoolControlParameter* setting : lists.checkBoxes) {
    require(nodesNamed(document, setting->name()) >= 1, "every check box is stored");
  }

  // A second load reads the same settings (it may still drop a repeated
  // empty livery-folder key that the first left behind).
  std::vector<std::int64_t> first;
  for (const crv::IntParameter* setting : lists.bareInts) first.push_back(setting->value());
  for (const crv::IntControlParameter* setting : lists.intControls) first.push_back(setting->value());
  for (const crv::BoolControlParameter* setting : lists.checkBoxes) first.push_back(setting->value());
  crv::loadParameters(lists);
  std::vector<std::int64_t> second;
  for (const crv::IntParameter* setting : lists.bareInts) second.push_back(setting->value());
  for (const crv::IntControlParameter* setting : lists.intControls) second.push_back(setting->value());
  for (const crv::BoolControlParameter* setting : lists.checkBoxes) second.push_back(setting->value());
  require(first == second, "a second load reads the same settings");
  return 0;
}
