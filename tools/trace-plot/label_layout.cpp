#include "tools/trace-plot/label_layout.h"

#include <array>
#include <cmath>
#include <string>

#include <fmt/format.h>

namespace crv::trace {

namespace {

constexpr double kFirstDistancePixels = 6.0;
constexpr double kDistanceStepPixels = 6.0;
constexpr double kLastDistancePixels = 90.0;

}  // namespace

bool PlotRect::overlaps(const PlotRect& other) const {
  return x < other.x + other.width && other.x < x + width && y < other.y + other.height && other.y < y + height;
}

bool PlotRect::inside(const PlotRect& frame) const {
  return x >= frame.x && y >= frame.y && x + width <= frame.x + frame.width && y + height <= frame.y + frame.height;
}

std::vector<std::optional<PlotRect>> placeLabels(const std::vector<LabelRequest>& labels, const PlotRect& frame) {
  std::vector<std::optional<PlotRect>> placed;
  placed.reserve(labels.size());
  std::vector<PlotRect> taken;
  for (const LabelRequest& label : labels) {
    const double w = label.width;
    const double h = label.height;
    std::optional<PlotRect> spot;
    for (double d = kFirstDistancePixels; d <= kLastDistancePixels && !spot; d += kDistanceStepPixels) {
      // Right above, right below, left above, left below, above, below,
      // right, left.
      const std::array<std::array<double, 2>, 8> corners{{{d, -d - h},
                                                          {d, d},
                                                          {-d - w, -d - h},
                                                          {-d - w, d},
                                                          {-w / 2.0, -d - h},
                                                          {-w / 2.0, d},
                                                          {d, -h / 2.0},
                                                          {-d - w, -h / 2.0}}};
      for (const auto& [dx, dy] : corners) {
        const PlotRect candidate{label.anchorX + dx, label.anchorY + dy, w, h};
        bool clear = candidate.inside(frame);
        for (const PlotRect& other : taken) {
          clear = clear && !candidate.overlaps(other);
        }
        if (clear) {
          spot = candidate;
          break;
        }
      }
    }
    if (spot) {
      taken.push_back(*spot);
    }
    placed.push_back(spot);
  }
  return placed;
}

std::string axisNumber(double value) {
  const double whole = std::round(value);
  return fmt::format("{:.0f}", whole == 0.0 ? 0.0 : whole);
}

}  // namespace crv::trace
