#pragma once

// Saving what was learned at the park airport (usage, enlarged stands,
// changed cargo kinds, hand-made stands, the airport's own settings) to its
// learned file, so that the next visit starts from it.

#include <filesystem>
#include <string_view>

#include "airports/apf_record.h"
#include "airports/stand_table.h"

namespace crv {

// The record the learned file is written from. Handmade: every stand in full
// with all its entries and fresh quality factors. Otherwise the entries that
// came from the base file are removed from the table itself, and only the
// stands that are manual, carry usage or were changed are kept. Placeholder
// entries are never part of it.
ApfRecord learnedFileRecord(std::string_view icao, const ParkAirportHeader& header, StandTable& stands,
                            bool handmade);

// Writes the learned file to the learned folder of the header's publisher
// (created when missing) by temporary file and rename, and reports the
// outcome on the status line. Never throws: a failure (a folder that cannot
// be made included) is reported and answered false, so that the caller
// still disables the park airport. standUpdates and
// airportParametersChanged() are reset after either outcome.
bool saveAirportFile(std::string_view icao, const ParkAirportHeader& header, StandTable& stands);

}  // namespace crv
