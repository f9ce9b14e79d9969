#include "airports/apf_parameters.h"

#include <fmt/format.h>

#include <pugixml.hpp>

#include "airports/apf_record.h"

namespace crv {
namespace {

// The parameter element of that name, by the form "/parameters/parameter
// [@name='<name>']" without an XPath query, so that no name can break one.
pugi::xml_node findParameter(const pugi::xml_document& document, std::string_view name) {
  for (pugi::xml_node parameter : document.child("parameters").children("parameter")) {
    if (name == parameter.attribute("name").value()) return parameter;
  }
  return {};
}

bool readsTrue(const char* text) {
  const char first = text[0];
  return first == '1' || first == 't' || first == 'T' || first == 'y' || first == 'Y';
}

}  // namespace

std::optional<bool> getApfBool(const pugi::xml_document& document, std::string_view name) {
  const pugi::xml_node parameter = findParameter(document, name);
  if (!parameter) return std::nullopt;
  return readsTrue(parameter.attribute("value").value());
}

std::optional<std::int32_t> getApfNumber(const pugi::xml_document& document, std::string_view name) {
  const pugi::xml_node parameter = findParameter(document, name);
  if (!parameter) return std::nullopt;
  return parameter.attribute("value").as_int(0);
}

std::optional<std::string> getApfParameter(const pugi::xml_document& document, std::string_view name) {
  const pugi::xml_node parameter = findParameter(document, name);
  if (!parameter) return std::nullopt;
  return std::string(parameter.attribute("value").value());
}

bool appendApfParameter(pugi::xml_node parameters, std::string_view name, std::string_view value) {
  pugi::xml_node parameter = parameters.append_child("parameter");
  if (!parameter) return false;
  const std::string nameText(name);
  const std::string valueText(value);
  return parameter.append_attribute("name").set_value(nameText.c_str()) &&
         parameter.append_attribute("value").set_value(valueText.c_str());
}

std::optional<std::string> loadApfDocument(pugi::xml_document& document, const std::filesystem::path& path) {
  const pugi::xml_parse_result result = document.load_file(path.c_str());
  if (result) return std::nullopt;
  return std::string(result.description());
}

std::string readApfPublisher(const std::filesystem::path& path) {
  pugi::xml_document document;
  if (loadApfDocument(document, path)) return {};
  return getApfParameter(document, "publisher").value_or("");
}

std::string readApfOrigin(const std::filesystem::path& path) {
  pugi::xml_document document;
  if (loadApfDocument(document, path)) return fmt::format("'{}' not found)", path.string());
  const std::string publisher = getApfParameter(document, "publisher").value_or("");
  if (!publisher.empty() && publisher != kUnknownPublisher) return {};
  constexpr std::size_t kKnownNameLength = 4;
  const std::string manufacturer = getApfParameter(document, "manufacturer").value_or("");
  const std::string creator = getApfParameter(document, "creator").value_or("");
  if (manufacturer.size() >= kKnownNameLength || creator.size() >= kKnownNameLength) return {};
  return fmt::format("{}={}, {}={}", "manufacturer", manufacturer, "creator", creator);
}

}  // namespace crv
