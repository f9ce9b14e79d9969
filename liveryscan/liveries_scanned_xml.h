#pragma once

// output/LiveriesScanned.xml: the result of a livery scan and the only way
// it reaches the livery indexes. A scan writes it (whole, by an atomic
// replace); every session preparation reads it until the indexes of this
// process are built.
//
//   <meta>...</meta>
//   <liveries>
//     <liv airl="DLH" type="A320" cargo="true" title="..." atcid="D-AIZA"/>
//   </liveries>
//
// "cargo" and "atcid" are written only when set; the folder number is not
// stored (liveries read back have folder number 0).

#include <cstdint>
#include <functional>

#include "aircraftdata/livery_data.h"

namespace crv {

// What processScannedLiveries tells the main window.
struct LiveryCountDisplay {
  // The livery count of the status panel.
  std::function<void(std::uint64_t count)> showLiveryCount;
  std::function<void()> repaint;
};

// Writes scannedLiveries() (nothing when it is empty) and logs
// "<n> liveries in <path>".
void writeLiveriesScannedXml();

// Empties and fills scannedLiveries() from the file, sorted as a scan sorts.
// Throws UserErrorException 51 (missing, or damaged: not XML), 52 (no <liveries>),
// 999 (a <liv> without airl, type or title) and 533 (no livery at all).
void readLiveriesScannedXml();

// The indexes of this process are built (and no new scan asked for a clear).
bool liveriesProcessed();

// Once per process (until a new scan clears the livery database): reads the
// file and builds the livery indexes and registration codes from it.
// Later calls log "Processing scanned liveries skipped; already done in
// previous start-up". The reader's errors pass to the caller.
void processScannedLiveries(const LiveryCountDisplay& display);

}  // namespace crv
