#pragma once

#include <optional>
#include <string>
#include <vector>

namespace crv::trace {

// A rectangle of the picture, in pixels, y down.
struct PlotRect {
  double x = 0.0;
  double y = 0.0;
  double width = 0.0;
  double height = 0.0;
  bool overlaps(const PlotRect& other) const;
  bool inside(const PlotRect& frame) const;
};

// A label to place: the point it names and the size of its text.
struct LabelRequest {
  double anchorX = 0.0;
  double anchorY = 0.0;
  double width = 0.0;
  double height = 0.0;
};

// Places each label, in order, at the first spot around its anchor (ever
// farther out) where it lies inside the frame and clear of every label
// placed before it; none where no spot up to 90 pixels out is free.
std::vector<std::optional<PlotRect>> placeLabels(const std::vector<LabelRequest>& labels, const PlotRect& frame);

// A value on an axis as whole units; a value that rounds to zero is "0",
// never "-0".
std::string axisNumber(double value);

}  // namespace crv::trace
