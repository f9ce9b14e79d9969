#include "tests/aircraftdata/livery_test_lists.h"

#include <stdexcept>
#include <utility>

#include "aircraftdata/aircraft_database.h"
#include "tests/support/temp_folder.h"

namespace crv::testing {

LiveryData livery(std::string airline, std::string type, std::string title, std::string registration, bool cargo) {
  LiveryData data;
  data.airl = std::move(airline);
  data.type = std::move(type);
  data.title = std::move(title);
  data.atcid = std::move(registration);
  data.cargo = cargo;
  return data;
}

LiveryList sortedLiveries(std::initializer_list<LiveryData> liveries) {
  LiveryList list(liveries);
  sortScannedLiveries(list);
  return list;
}

void installShippedDbase() {
  const TempFolder folder;
  if (!readDbase(CRVN_SHIPPED_DBASE_ENC, folder / "dbase.xml")) {
    throw std::runtime_error("the shipped database does not load");
  }
}

}  // namespace crv::testing
