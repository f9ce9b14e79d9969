#pragma once

// Writing an airport file: the meta block, the parameters and the stands,
// three top-level elements without an enclosing root, saved by temporary
// file and rename.

#include <filesystem>
#include <string>

#include "airports/apf_record.h"
#include "foundation/files.h"

namespace pugi {
class xml_document;
}  // namespace pugi

namespace crv {

// Builds the document of the record: every stand in full form (Full), or in
// learned mode: a manual stand, and every stand of a handmade airport, in
// full form, a stand with a changed radius or cargo kind in learned form, any
// other in bare form (id alone), each with one opt per usage entry in use
// (placeholders left out), and the per-airport settings after the other
// parameters. False when an element could not be added.
bool buildAirportDocument(pugi::xml_document& document, const ApfRecord& record, ApfWriteMode mode);

// Appends the parameters element of the record.
bool writeAirportParameters(pugi::xml_document& document, const ApfRecord& record, ApfWriteMode mode);

// Builds the document and saves it to the path (temporary file and rename:
// an old file stays whole when anything fails). True when it was written.
bool writeAirportFile(const ApfRecord& record, const std::filesystem::path& path, ApfWriteMode mode,
                      Durability durability = Durability::Durable);

}  // namespace crv
