#pragma once

// How much learned usage the stands of an airport carry, as two numbers
// 0..100 (real and soft usage) for the status panel and the log.

#include <string>

#include "airports/apf_record.h"
#include "airports/stand_table.h"

namespace crv {

// (-1, -1) when no stand has any usage entry (entries taken out of use
// count here). Otherwise per stand and kind, over entries in use: n entries
// on d distinct weekdays with h half hours in all add
// (min(20 n, 4000) + 10000 + 100 d + 2 min(h, 600)) x w, where w is the
// stand's weight by radius (0.3 up to 7 nm); each sum is divided by the sum
// of all weights, times 0.00625, rounded and clamped to 0..100.
QualityFactors computeQualityFactors(const StandTable& stands);

// Two blanks when both are negative; "{:2}/{:2}" while the real factor is
// below 45; else the real factor alone, "{:2}".
std::string formatQualityFactors(const QualityFactors& factors);

// Soft learning is not allowed from this real factor on (at airports with
// enough stands), and the soft factor is not shown.
inline constexpr int kSoftLearningRealFactor = 45;

}  // namespace crv
