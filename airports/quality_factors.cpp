#include "airports/quality_factors.h"

#include <fmt/format.h>

#include <algorithm>
#include <bitset>
#include <cmath>
#include <gsl/narrow>

namespace crv {
namespace {

constexpr double kScale = 0.00625;

double standWeight(const ParkingPosition& stand) {
  if (stand.radius <= 7.0) return 0.3;
  if (stand.radius <= 10.0) return 1.5;
  return 1.0;
}

// The contribution of the stand's entries of one kind, before weighting.
double usageScore(const ParkingPosition& stand, std::uint32_t kind) {
  std::int64_t entries = 0;
  std::int64_t halfHours = 0;
  std::bitset<8> weekdays;
  for (const UsageEntry& entry : stand.usage) {
    if (!entry.inUse() || (entry.kind != kSoftUsage) != (kind != kSoftUsage)) continue;
    ++entries;
    halfHours += static_cast<std::int64_t>(entry.hh.count());
    if (entry.day >= 1 && entry.day <= 7) weekdays.set(entry.day);
  }
  if (entries == 0) return 0.0;
  return static_cast<double>(std::min<std::int64_t>(20 * entries, 4000) + 10000 +
                             100 * static_cast<std::int64_t>(weekdays.count()) +
                             2 * std::min<std::int64_t>(halfHours, 600));
}

std::int32_t factorOf(double sum, double sumOfWeights) {
  const std::int32_t factor = gsl::narrow<std::int32_t>(std::round(sum / sumOfWeights * kScale));
  return std::clamp(factor, 0, 100);
}

}  // namespace

QualityFactors computeQualityFactors(const StandTable& stands) {
  const bool anyUsage =
      std::any_of(stands.begin(), stands.end(), [](const ParkingPosition& stand) { return !stand.usage.empty(); });
  if (!anyUsage) return {};
  double sumOfWeights = 0.0;
  double sumReal = 0.0;
  double sumSoft = 0.0;
  for (const ParkingPosition& stand : stands) {
    const double weight = standWeight(stand);
    sumOfWeights += weight;
    sumReal += usageScore(stand, kRealUsage) * weight;
    sumSoft += usageScore(stand, kSoftUsage) * weight;
  }
  if (!(sumOfWeights > 0.0)) return {0, 0};
  return {factorOf(sumReal, sumOfWeights), factorOf(sumSoft, sumOfWeights)};
}

std::string formatQualityFactors(const QualityFactors& factors) {
  if (factors.real < 0 && factors.soft < 0) return "  ";
  if (factors.real < kSoftLearningRealFactor) return fmt::format("{:2}/{:2}", factors.real, factors.soft);
  return fmt::format("{:2}", factors.real);
}

}  // namespace crv
