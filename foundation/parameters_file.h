#pragma once

// parameters.xml: every stored setting between runs.
//
//   <parameters>
//     <parameter name="LOG" value="true"/>
//     ...
//   </parameters>
//
// The whole file is read at the start of every session (gf_readParameters)
// and written again; a single setting is saved alone whenever it changes
// (the save operations load the file, change one node and write it back).
// Keys that no setting has are kept. Every load and every read-modify-write
// runs under one lock, and every write goes to a temporary file that is then
// renamed over parameters.xml. A file that exists but cannot be read is
// renamed to parameters.xml.bad (parameters.xml.bad1 and so on when that
// name is taken) and reported before anything new is written.

#include <string>
#include <vector>

#include "foundation/settings.h"

namespace pugi {
class xml_document;
}  // namespace pugi

namespace crv {

inline constexpr const char* kSetAsideSuffix = ".bad";

// The settings the load reads, in the order of reading and of appending
// absent nodes. The old keys that only the conversion after a version update
// reads (MSFS_2020, AI_PACKAGE_ORDER, CUSTOM_MAX_PARK, MAX_LIVE,
// LATERAL_RANGE, AIRPORT_RANGE, AUTO_RANGE_ABOVE_HEIGHT, AIRPORT_HEIGHT) are
// in none of them: the load never writes them back into the file, so that a
// later update cannot convert their defaults over the user's settings.
struct LoadLists {
  std::vector<BoolControlParameter*> checkBoxes;
  std::vector<IntParameter*> bareInts;
  std::vector<IntControlParameter*> intControls;
  std::vector<StringParameter*> texts;  // lfolder0..lfolder9 among them
  std::vector<StringControlParameter*> textControls;
};
LoadLists buildLoadLists();

// The old keys, in the order in which they are converted.
std::vector<const Parameter*> obsoleteParameters();

// Re-reads every setting (absent ones are written with their defaults),
// converts old settings after a version update and applies RANGE. Called at
// the start of every session.
void gf_readParameters();

// The full load: reads the lists into the objects and the window's controls,
// removes empty lfolder keys, appends absent keys and saves the file; writes
// a file of defaults when there is none.
void loadParameters(const LoadLists& lists);

// Reads parameters.xml into the document under the file's lock without
// changing the file. False when it is missing or cannot be read.
bool loadParametersDocument(pugi::xml_document& document);

// Readers of a loaded document: true when the key is there. An absent key
// gives the default. Integers are clamped into the setting's limits (a node
// without a value attribute reads 0), booleans are true for a text that
// begins with 1, t, T, y or Y, texts are taken as they stand.
bool readIntParameter(IntParameter& setting, const pugi::xml_document& document, bool logIt);
bool readBoolParameter(BoolParameter& setting, const pugi::xml_document& document);
bool readStringParameter(StringParameter& setting, const pugi::xml_document& document);
// As readStringParameter, but logs only a value that is not empty.
bool readLfolderParameter(StringParameter& setting, const pugi::xml_document& document);

// Read, and append a node with the value when the key is absent.
void ensureBoolParameter(BoolParameter& setting, pugi::xml_document& document);
void ensureIntParameter(IntParameter& setting, pugi::xml_document& document);
void ensureStringParameter(StringParameter& setting, pugi::xml_document& document);

// Append a node with the default to a new document; the value becomes the
// default.
void addInitBoolParameter(BoolParameter& setting, pugi::xml_document& document);
void addInitIntParameter(IntParameter& setting, pugi::xml_document& document);
void addInitStringParameter(StringParameter& setting, pugi::xml_document& document);

// Write this one setting's value into parameters.xml at once. Failures are
// logged ("Saving '<path>' failed"), never thrown.
void saveIntParameter(const IntParameter& setting);
void saveBoolParameter(const BoolParameter& setting);
void saveStringParameter(const StringParameter& setting);
void setStringParameterAndSave(StringParameter& setting, std::string value);

// Takes the setting's node out of parameters.xml; true when one was removed.
bool removeParameter(const Parameter& setting);

// "KEY=value" lines; dropped once the session is stopping.
void logIntParameter(const IntParameter& setting);
void logBoolParameter(const BoolParameter& setting);
void logStringParameter(const StringParameter& setting);

}  // namespace crv
