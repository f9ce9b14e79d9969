#include "aircraftdata/livery_data.h"

#include <tuple>

namespace crv {

bool liveryEquals(const LiveryData& a, const LiveryData& b) {
  return a.title == b.title && a.airl == b.airl && a.type == b.type && a.atcid == b.atcid &&
         a.cargo == b.cargo;
}

void sortScannedLiveries(LiveryList& liveries) {
  liveries.sort([](const LiveryData& a, const LiveryData& b) {
    return std::tie(a.airl, a.type, a.title, a.atcid, a.cargo) <
           std::tie(b.airl, b.type, b.title, b.atcid, b.cargo);
  });
  liveries.unique(liveryEquals);
}

LiveryList& scannedLiveries() {
  static LiveryList liveries;
  return liveries;
}

}  // namespace crv
