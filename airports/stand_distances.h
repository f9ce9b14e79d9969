#pragma once

namespace crv {

// One metre in nautical miles. Stand radii and every distance of the stand
// searches are nautical miles.
inline constexpr double kNmPerMeter = 0.0005399568034557236;

inline constexpr double metersToNm(double meters) { return meters * kNmPerMeter; }

// An aircraft fits a stand when its half span exceeds the stand's radius by
// at most this much.
inline constexpr double kFitToleranceNm = 0.0009719222462203025;            // 1.8 m
// A stand that is too small is still taken when the aircraft stands this
// close to it; the stand is then enlarged.
inline constexpr double kTakeSmallStandNm = 0.010799136069114472;           // 20 m
inline constexpr double kStandNameDistanceNm = 0.029697624190064796;        // 55 m
inline constexpr double kUsageFallbackDistanceNm = 0.0458963282937365;      // 85 m
inline constexpr double kEnlargementMarginNm = 0.0005399568034557236;       // 1 m
// Half spans up to this size score tight fits in small steps.
inline constexpr double kSizeStepLimitNm = 0.009611230689557531;            // 17.8 m
inline constexpr double kSmallStepNm = 0.00755939524838013;                 // 14 m
inline constexpr double kLargeStepNm = 0.011339092872570195;                // 21 m

}  // namespace crv
