#include "airports/parked_file.h"

#include <fmt/format.h>

#include "airports/airport_locations.h"
#include "airports/apf_reader.h"
#include "airports/park_airport_panel.h"
#include "airports/park_airport_state.h"
#include "airports/quality_factors.h"
#include "airports/stand_names.h"
#include "foundation/setting_controls.h"
#include "foundation/settings.h"
#include "platform/window/control_model.h"

namespace crv {
namespace {

void applySoftLearningRule(const QualityFactors& quality, std::size_t standCount) {
  auto& controls = platform::mainWindowControls();
  if (quality.real >= kSoftLearningRealFactor && standCount >= kSoftLearningStandLimit) {
    if (par_LEARN_SOFT.value()) {
      par_LEARN_SOFT.setValue(false);
      setCheckBox(par_LEARN_SOFT);
      controls.setEnabled(par_LEARN_SOFT.controlId(), false);
      setAirportParametersChanged(true);
    }
  } else {
    controls.setEnabled(par_LEARN_SOFT.controlId(), true);
  }
}

void learnUserStand(const ParkedFileRequest& request, ParkAirportList& parkAirports) {
  if (!request.userPosition) return;
  const std::string name = standNameAtPosition(*request.userPosition, request.userOnGround);
  auto& entries = parkAirports.entries();
  if (!entries.empty() && entries.front().icao == request.icao) {
    if (!name.empty() && name != entries.front().stand) {
      entries.front().stand = name;
      parkAirports.addParkAirportEntry();
    }
    return;
  }
  entries.push_front({request.icao, name, request.airportPosition, 0.0});
  parkAirports.addParkAirportEntry();
}

// Marks the user's stand of the list reserved; answers its name, empty when
// the airport has no such stand.
std::string reserveUserStand(const ParkedFileRequest& request, const ParkAirportList& parkAirports, StandTable& stands) {
  std::string reserved;
  bool mark = false;
  const auto& entries = parkAirports.entries();
  if (!entries.empty() && entries.front().icao == request.icao && !entries.front().stand.empty()) {
    const auto stand = findStandByName(stands, entries.front().stand);
    if (stand != stands.end()) {
      reserved = stand->name;
      stand->reserved = true;
      mark = true;
    }
  }
  updateParkAirportPanel([&reserved, mark](ParkAirportPanel& panel) {
    panel.reservedStandName = reserved;
    panel.reservedStandMark = mark;
  });
  return reserved;
}

}  // namespace

ParkedFileResult lf_readParkedFile(const ParkedFileRequest& request, ParkAirportList& parkAirports, StandTable& stands,
                                   ParkAirportHeader& header, QualityFactors& quality) {
  emptyStandTable(stands);
  const std::string path = findAirportFilePath(request.icao);
  if (path.empty()) return {fmt::format("{} {} not found", "lf_readParkedFile", request.icao), "", std::nullopt};
  if (path.find(kUnknownPublisher) != std::string::npos) {
    return {fmt::format("{} {} has publisher:{}, {}", "lf_readParkedFile", request.icao, kUnknownPublisher, path), "",
            std::nullopt};
  }
  header = {};
  const std::string answer = gf_readApf(path, request.icao, header, quality, stands);
  if (answer.empty()) applySoftLearningRule(quality, stands.size());
  learnUserStand(request, parkAirports);
  stands.shrink_to_fit();
  std::string reserved = reserveUserStand(request, parkAirports, stands);
  updateParkAirportPanel([&](ParkAirportPanel& panel) {
    panel.fileRead = answer.empty();
    panel.panelText = header.airportName;
  });
  resetStandUpdates();
  ParkedFileResult result{answer, std::move(reserved), std::nullopt};
  if (answer.empty()) result.elevationFeet = static_cast<double>(header.altitudeFeet);
  return result;
}

}  // namespace crv
