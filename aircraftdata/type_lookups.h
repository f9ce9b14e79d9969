#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/size_category.h"

namespace crv {

// The size category of a type: the first of the sets large, heavy, buzjet,
// rotorcraft, high performance that holds it; Light for any other type.
SizeCategory categoryOfTypeSets(const TypeSets& sets, std::string_view type);
// The same through the database's category index.
SizeCategory categoryOfType(const AircraftDatabase& database, std::string_view type);

// The same in the loaded database.
SizeCategory aircraftCategory(std::string_view type);

// Half the wing span of a type in nautical miles: its own value, else the
// average of its category.
double wingspanOfType(std::string_view type);

// The largest half wing span of the database, nautical miles.
double largestHalfWingSpan();

// Exact, case-sensitive membership; false for an empty text.
bool isKnownType(std::string_view type);
bool isIcaoAirline(std::string_view airline);

// The spellings under which a registration is looked up, in order: for a
// registration of at least 5 characters that does not begin with 'N' and has
// no hyphen, first two characters + '-' + rest and first character + '-' +
// rest; always last the registration as given.
std::vector<std::string> registrationVariants(std::string_view registration);

// The data of the first variant that the database knows; none for an empty
// or unknown registration.
std::optional<RegistrationData> findRegcode(std::string_view registration);
std::string regcodeOperator(std::string_view registration);
std::string regcodeAirline(std::string_view registration);

// A known registration shorter than 6 characters that occurs in the text
// (case-sensitive); the first in sorted order when several do.
std::optional<std::string> findRegcodeInText(std::string_view text);

// The display name of the first publisher one of whose names occurs in the
// text, letter case ignored; "unknown" when none does.
std::string findPublisher(std::string_view text);
std::size_t publisherCount();

// What checkThirdpartyLine works on: the publisher and ICAO code it looks
// for and the parking count it fills.
struct ThirdpartyLineContext {
  std::string publisher;
  std::string icao;
  int parkingCount = 0;
};

// False when the line does not begin with the ICAO code. Otherwise true, and
// the line from its fifth character on is read as a whole number into the
// parking count; when it is no number, a warning is logged and the count
// stays as it was.
bool checkThirdpartyLine(ThirdpartyLineContext& context, std::string_view line);

// Read-only views of loaded tables that other parts search.
const TextHashMap<std::string>& modelFixMap();
const TextSet& simAddonAirportSet();
const std::vector<ThirdpartyAirports>& thirdpartyAirportLists(bool msfs2024);

}  // namespace crv
