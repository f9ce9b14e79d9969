#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/simconnect/sim_object.h"
#include "platform/simconnect/simconnect.h"

namespace platform {

struct SimVariable;

// One variable of a data definition as the client added it, bound to the
// stand-in's variable and unit.
struct DataDatum {
  std::string name;
  std::optional<std::string> unit;  // none for a null unit argument
  SIMCONNECT_DATATYPE type = SIMCONNECT_DATATYPE_INVALID;
  const SimVariable* variable = nullptr;
  double unitFactor = 1.0;  // base units per one unit asked for
  bool movesObject = false;  // the datum moves or turns the object
};

// Binds a variable name, unit and data type to a datum. Gives the exception
// code that the simulator sends back for a refused one.
struct DatumBinding {
  std::optional<DataDatum> datum;
  SIMCONNECT_EXCEPTION refusal = SIMCONNECT_EXCEPTION_NONE;
  DWORD refusedArgument = 0;  // 1-based number of the argument refused
};
DatumBinding bindDatum(std::string_view name, const char* unit, SIMCONNECT_DATATYPE type);

// Size of a fixed-size data type in a data block; 0 for STRINGV.
std::size_t fixedDatumSize(SIMCONNECT_DATATYPE type);

// Size of a whole definition when every datum has a fixed size, else 0.
std::size_t fixedDefinitionSize(const std::vector<DataDatum>& definition);

// Appends the datum's value for an object to a reply's data block.
// utcSeconds is the simulator's UTC time (seconds since 1970).
void appendDatum(std::vector<std::byte>& block, const DataDatum& datum, const SimObjectState& state,
                 std::int64_t utcSeconds);

// Writes one datum from a data block into an object; read-only variables
// are left alone.
void applyDatum(SimObjectState& state, const DataDatum& datum, const std::byte* bytes);


// The simulator's date of a UTC time.
struct ZuluDate {
  std::int64_t secondsOfDay = 0;
  std::int64_t dayOfYear = 1;  // 1 for January 1
  std::int64_t year = 1970;
};
ZuluDate zuluDateOf(std::int64_t utcSeconds);

}  // namespace platform
