#pragma once

// The parameters element of an airport file:
//
//   <parameters>
//     <parameter name="airport_name" value="Schiphol"/>
//     ...
//   </parameters>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pugi {
class xml_document;
class xml_node;
}  // namespace pugi

namespace crv {

// Each reader is empty when no parameter element has the name.
// Present without a value: false. Else true for a first character 1, t, T, y
// or Y.
std::optional<bool> getApfBool(const pugi::xml_document& document, std::string_view name);
// Present without a value: 0. Else the value as a signed 32-bit integer (no
// number reads 0, beyond the range the nearest limit).
std::optional<std::int32_t> getApfNumber(const pugi::xml_document& document, std::string_view name);
// The value text; empty when the value attribute is missing.
std::optional<std::string> getApfParameter(const pugi::xml_document& document, std::string_view name);

// Appends <parameter name=".." value=".."/> to the node; false when it could
// not be added.
bool appendApfParameter(pugi::xml_node parameters, std::string_view name, std::string_view value);

// Loads an airport file with the parser's defaults; the parser's description
// of the failure otherwise.
std::optional<std::string> loadApfDocument(pugi::xml_document& document, const std::filesystem::path& path);

// The file's publisher parameter, or empty.
std::string readApfPublisher(const std::filesystem::path& path);

// Empty when the file says who made the airport: a publisher other than
// "unknown", or else a manufacturer or a creator of at least 4 characters.
// Otherwise the text "manufacturer=<m>, creator=<c>"; "'<path>' not found)"
// when the file does not load. The add-on scan takes a file for offline
// learning only when its origin is known.
std::string readApfOrigin(const std::filesystem::path& path);

}  // namespace crv
