#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "aircraftdata/size_category.h"

namespace pugi {
class xml_document;
}

namespace crv {

// What the database knows of one registration.
struct RegistrationData {
  std::string airl;  // airline code
  std::string type;  // ICAO type designator
  std::string opr;   // operator
  bool cargo = false;

  friend bool operator==(const RegistrationData&, const RegistrationData&) = default;
};

// One publisher of add-on airports and its known airports, each line an ICAO
// code followed by the number of parking positions of its archived file.
struct ThirdpartyAirports {
  std::string publisher;
  std::vector<std::string> airports;
};

// Hashing that lets a hash map be searched with a string_view.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

using TextSet = std::set<std::string, std::less<>>;
template <typename Value>
using TextHashMap = std::unordered_map<std::string, Value, TextHash, std::equal_to<>>;

struct TypeSets {
  TextSet all;
  TextSet highPerformance;
  TextSet heavy;
  TextSet large;
  TextSet buzjet;
  TextSet rotorcraft;
  TextSet cargo;
};

// Every table of the aircraft-type database (dbase.xml). Read-only once
// loaded.
struct AircraftDatabase {
  TypeSets typeSets;
  std::vector<std::vector<std::string>> similarTypeGroups;  // each sorted
  TextSet icaoAirlines;
  TextSet cargoOperators;
  std::vector<std::vector<std::string>> publisherNames;  // the first name is shown
  // The size category of every type of the category sets, by the order of
  // categoryOfType; a type not in it is Light.
  TextHashMap<SizeCategory> categoryByType;
  TextHashMap<double> halfSpanMap;  // type -> half span, nm
  double maxHalfSpan = 0.0;                                 // nm
  std::array<double, kSizeCategoryCount> categorySpanAverage{};  // half spans, nm
  TextHashMap<std::string> fixMap;  // wrong type -> correct type
  TextSet simaddonAirports20;
  std::vector<ThirdpartyAirports> thirdpartyAirports20;
  std::vector<ThirdpartyAirports> thirdpartyAirports24;
  TextHashMap<RegistrationData> knownRegistrations;
  // The registrations shorter than 6 characters, sorted: the ones that
  // findRegcodeInText looks for in a livery title.
  std::vector<std::string> shortRegistrations;
};

// The loaded database (empty tables before readDbase).
const AircraftDatabase& aircraftDatabase();

// Decrypts input/dbase.enc in memory and reads every table; a plain
// input/dbase.xml left by an interrupted earlier run is deleted first (it
// names the file in the parse error too). True on success; every failure is
// thrown:
//   std::runtime_error "<path> not available" or "<path> stream decrypt failed",
//   UserErrorException 60 for an XML parse error, 61 for a section that gives
//   no value. The tables loaded before stay as they are after a failure.
bool readDbase();
bool readDbase(const std::filesystem::path& encryptedPath, const std::filesystem::path& plainPath);

// Builds the tables from a parsed dbase.xml (the steps of readDbase after
// the decryption), logging what it skips. Throws UserErrorException 61.
AircraftDatabase buildAircraftDatabase(const pugi::xml_document& document);

// Makes the given tables the loaded database.
void installAircraftDatabase(AircraftDatabase database);

// Section readers of dbase.xml. Each list attribute is a comma list whose
// items are trimmed; empty items are left out.
std::vector<std::string> splitCommaList(std::string_view text);
// Every item of one attribute of the elements of one section into the set;
// throws UserErrorException 61 naming section, element and attribute when
// the set is empty afterwards.
void readXmlSection(const pugi::xml_document& document, const char* section, TextSet& target,
                    const char* element, const char* attribute);
// The "types" attribute of one section, merged into the target set; error 61
// when the section gives no type.
void readTypesSet(const pugi::xml_document& document, const char* section, TextSet& target,
                  const char* element);
// Element "ICAO", attribute "codes".
void readIcaoCodesSet(const pugi::xml_document& document, const char* section, TextSet& target);
// Elements with "pub" and "arpts"; no emptiness check.
void readThirdpartiesSection(const pugi::xml_document& document, const char* section,
                             std::vector<ThirdpartyAirports>& target, const char* element);

// The half span used for a category that has no wing span in the database
// (nautical miles).
double defaultCategoryHalfSpan(SizeCategory category);

}  // namespace crv
