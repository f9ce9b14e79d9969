#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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
  // Taken from the variable and the type once, at the binding, for the
  // writes: the variable's setter (null when read-only) and the datum's
  // size in a data block (0 for STRINGV).
  void (*write)(SimObjectState&, double) = nullptr;
  std::size_t size = 0;
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
constexpr std::size_t fixedDatumSize(SIMCONNECT_DATATYPE type) {
  switch (type) {
    case SIMCONNECT_DATATYPE_INT64:
    case SIMCONNECT_DATATYPE_FLOAT64:
      return 8;
    case SIMCONNECT_DATATYPE_STRING32:
      return 32;
    default:
      return 0;
  }
}

// Size of a whole definition when every datum has a fixed size, else 0.
std::size_t fixedDefinitionSize(const std::vector<DataDatum>& definition);

// Appends the datum's value for an object to a reply's data block.
// utcSeconds is the simulator's UTC time (seconds since 1970).
void appendDatum(std::vector<std::byte>& block, const DataDatum& datum, const SimObjectState& state,
                 std::int64_t utcSeconds);

// Writes one datum from a data block into an object; read-only variables
// are left alone.
inline void applyDatum(SimObjectState& state, const DataDatum& datum, const std::byte* bytes) {
  if (datum.write == nullptr) return;
  double value = 0.0;
  if (datum.type == SIMCONNECT_DATATYPE_FLOAT64) {
    std::memcpy(&value, bytes, sizeof(value));
  } else if (datum.type == SIMCONNECT_DATATYPE_INT64) {
    std::int64_t number = 0;
    std::memcpy(&number, bytes, sizeof(number));
    value = static_cast<double>(number);
  } else {
    return;
  }
  datum.write(state, value * datum.unitFactor);
}


// The simulator's date of a UTC time.
struct ZuluDate {
  std::int64_t secondsOfDay = 0;
  std::int64_t dayOfYear = 1;  // 1 for January 1
  std::int64_t year = 1970;
};
ZuluDate zuluDateOf(std::int64_t utcSeconds);

}  // namespace platform
