#include "tools/trace-plot/trace_plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include <cairo.h>
#include <fmt/format.h>

#include "foundation/geodesy.h"
#include "tools/trace-plot/label_layout.h"

namespace crv::trace {

namespace {

constexpr double kMetersPerDegree = 111132.95;
constexpr double kMargin = 50.0;
constexpr double kPlanShare = 0.62;
constexpr std::array<std::array<double, 3>, 8> kColours{{{0.85, 0.1, 0.1},
                                                          {0.1, 0.35, 0.85},
                                                          {0.1, 0.6, 0.2},
                                                          {0.8, 0.45, 0.0},
                                                          {0.55, 0.1, 0.7},
                                                          {0.0, 0.6, 0.65},
                                                          {0.6, 0.5, 0.1},
                                                          {0.4, 0.4, 0.4}}};

struct Box {
  double x = 0.0;
  double y = 0.0;
  double width = 0.0;
  double height = 0.0;
};

struct Range {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void take(double v) {
    low = std::min(low, v);
    high = std::max(high, v);
  }
  double span() const { return high - low; }
  void widen(double atLeast) {
    if (span() < atLeast) {
      const double middle = (low + high) / 2.0;
      low = middle - atLeast / 2.0;
      high = middle + atLeast / 2.0;
    }
  }
};

void setColour(cairo_t* cr, std::size_t index) {
  const auto& c = kColours[index % kColours.size()];
  cairo_set_source_rgb(cr, c[0], c[1], c[2]);
}

void text(cairo_t* cr, double x, double y, const std::string& s, double size = 12.0) {
  cairo_set_font_size(cr, size);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, s.c_str());
}

// A tick step of 1, 2 or 5 times a power of ten giving about five ticks.
double tickStep(double span) {
  const double raw = span / 5.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0, 10.0}) {
    if (raw <= factor * power) {
      return factor * power;
    }
  }
  return 10.0 * power;
}

// One graph of a value over time for every object.
void drawGraph(cairo_t* cr, const Box& box, const std::string& label, const Range& time, Range values,
               const std::vector<std::vector<std::pair<double, double>>>& series) {
  values.widen(10.0);
  // A little room above and below, so that no line runs along the frame.
  const double room = values.span() * 0.05;
  values.low -= room;
  values.high += room;
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_rectangle(cr, box.x, box.y, box.width, box.height);
  cairo_fill(cr);
  auto xOf = [&](double t) { return box.x + (t - time.low) / time.span() * box.width; };
  auto yOf = [&](double v) { return box.y + box.height - (v - values.low) / values.span() * box.height; };
  cairo_set_line_width(cr, 0.5);
  cairo_set_source_rgb(cr, 0.8, 0.8, 0.8);
  const double valueStep = tickStep(values.span());
  for (double v = std::ceil(values.low / valueStep) * valueStep; v <= values.high; v += valueStep) {
    cairo_move_to(cr, box.x, yOf(v));
    cairo_line_to(cr, box.x + box.width, yOf(v));
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    text(cr, box.x - 45.0, yOf(v) + 4.0, axisNumber(v), 10.0);
    cairo_set_source_rgb(cr, 0.8, 0.8, 0.8);
  }
  const double timeStep = tickStep(time.span());
  for (double t = std::ceil(time.low / timeStep) * timeStep; t <= time.high; t += timeStep) {
    cairo_move_to(cr, xOf(t), box.y);
    cairo_line_to(cr, xOf(t), box.y + box.height);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    text(cr, xOf(t) - 10.0, box.y + box.height + 14.0, axisNumber(t) + " s", 10.0);
    cairo_set_source_rgb(cr, 0.8, 0.8, 0.8);
  }
  cairo_set_line_width(cr, 1.5);
  for (std::size_t i = 0; i < series.size(); ++i) {
    setColour(cr, i);
    bool first = true;
    for (const auto& [t, v] : series[i]) {
      if (first) {
        cairo_move_to(cr, xOf(t), yOf(v));
        first = false;
      } else {
        cairo_line_to(cr, xOf(t), yOf(v));
      }
    }
    cairo_stroke(cr);
  }
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1.0);
  cairo_rectangle(cr, box.x, box.y, box.width, box.height);
  cairo_stroke(cr);
  text(cr, box.x + 6.0, box.y + 16.0, label, 13.0);
}

constexpr double kPi = 3.141592653589793;
// Markers keep this far inside a plan's frame.
constexpr double kPlanInsetPixels = 14.0;
// Samples this near the lowest altitude of the trace are on the ground.
constexpr double kGroundBandFeet = 50.0;

// Metres north and east of the trace's first position.
struct Projection {
  double originLatitude = 0.0;
  double originLongitude = 0.0;
  double cosLatitude = 1.0;
  double northOf(double latitude) const { return (latitude - originLatitude) * kMetersPerDegree; }
  double eastOf(double longitude) const {
    double difference = longitude - originLongitude;
    difference -= 360.0 * std::round(difference / 360.0);
    return difference * kMetersPerDegree * cosLatitude;
  }
};

struct PlanArea {
  Range north;
  Range east;
  void take(const Projection& projection, double latitude, double longitude) {
    north.take(projection.northOf(latitude));
    east.take(projection.eastOf(longitude));
  }
  double span() const { return std::max(north.span(), east.span()); }
};

void drawCircleMarker(cairo_t* cr, double x, double y) {
  cairo_arc(cr, x, y, 5.0, 0.0, 2.0 * kPi);
  cairo_fill(cr);
}

void drawSquareMarker(cairo_t* cr, double x, double y) {
  cairo_rectangle(cr, x - 4.0, y - 4.0, 8.0, 8.0);
  cairo_fill(cr);
}

// What the marks of the plan mean, in its top left corner.
void drawLegend(cairo_t* cr, const Box& box, bool withStands) {
  const double x = box.x + 8.0;
  const double y = box.y + 8.0;
  const double rows = withStands ? 4.0 : 3.0;
  cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.9);
  cairo_rectangle(cr, x, y, 250.0, rows * 18.0 + 8.0);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  drawCircleMarker(cr, x + 12.0, y + 13.0);
  text(cr, x + 26.0, y + 17.0, "first position the simulator received", 11.0);
  drawSquareMarker(cr, x + 12.0, y + 31.0);
  text(cr, x + 26.0, y + 35.0, "last position, with the object id", 11.0);
  cairo_set_line_width(cr, 2.0);
  cairo_move_to(cr, x + 4.0, y + 49.0);
  cairo_line_to(cr, x + 20.0, y + 49.0);
  cairo_stroke(cr);
  text(cr, x + 26.0, y + 53.0, "track, one colour per aircraft", 11.0);
  if (withStands) {
    cairo_set_source_rgba(cr, 0.3, 0.3, 0.3, 0.25);
    cairo_arc(cr, x + 12.0, y + 67.0, 6.0, 0.0, 2.0 * kPi);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    text(cr, x + 26.0, y + 71.0, "stand", 11.0);
  }
}

// One plan view (north up) of the area: stands, tracks, first and last
// positions, and the object ids set apart from each other.
void drawPlan(cairo_t* cr, const Box& box, const std::string& caption, const Projection& projection, PlanArea area,
              const Trace& trace, const std::vector<StandMark>& stands) {
  area.north.widen(200.0);
  area.east.widen(200.0);
  const double scale = std::min((box.width - 2.0 * kPlanInsetPixels) / area.east.span(),
                                (box.height - 2.0 * kPlanInsetPixels) / area.north.span());
  const double xCentre = box.x + box.width / 2.0;
  const double yCentre = box.y + box.height / 2.0;
  const double eastMiddle = (area.east.low + area.east.high) / 2.0;
  const double northMiddle = (area.north.low + area.north.high) / 2.0;
  auto xOf = [&](double longitude) { return xCentre + (projection.eastOf(longitude) - eastMiddle) * scale; };
  auto yOf = [&](double latitude) { return yCentre - (projection.northOf(latitude) - northMiddle) * scale; };
  const PlotRect frame{box.x, box.y, box.width, box.height};

  cairo_set_source_rgb(cr, 0.96, 0.96, 0.93);
  cairo_rectangle(cr, box.x, box.y, box.width, box.height);
  cairo_fill(cr);
  cairo_save(cr);
  cairo_rectangle(cr, box.x, box.y, box.width, box.height);
  cairo_clip(cr);
  for (const StandMark& s : stands) {
    const double x = xOf(s.longitude);
    const double y = yOf(s.latitude);
    const double r = std::max(s.radiusMeters * scale, 2.0);
    cairo_set_source_rgba(cr, 0.3, 0.3, 0.3, 0.25);
    cairo_arc(cr, x, y, r, 0.0, 2.0 * kPi);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_set_line_width(cr, 1.0);
    const double heading = s.headingDegrees * kDegreesToRadians;
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + std::sin(heading) * r, y - std::cos(heading) * r);
    cairo_stroke(cr);
  }
  std::vector<LabelRequest> labels;
  std::vector<std::pair<std::string, std::size_t>> labelTexts;
  std::size_t index = 0;
  for (const auto& [id, samples] : trace) {
    setColour(cr, index);
    cairo_set_line_width(cr, 2.0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const double x = xOf(samples[i].longitude);
      const double y = yOf(samples[i].latitude);
      if (i == 0) {
        cairo_move_to(cr, x, y);
      } else {
        cairo_line_to(cr, x, y);
      }
    }
    cairo_stroke(cr);
    const TraceSample& first = samples.front();
    const TraceSample& last = samples.back();
    drawCircleMarker(cr, xOf(first.longitude), yOf(first.latitude));
    drawSquareMarker(cr, xOf(last.longitude), yOf(last.latitude));
    const PlotRect marker{xOf(last.longitude) - 4.0, yOf(last.latitude) - 4.0, 8.0, 8.0};
    if (marker.inside(frame)) {
      const std::string label = fmt::format("{}", id);
      cairo_set_font_size(cr, 11.0);
      cairo_text_extents_t extents{};
      cairo_text_extents(cr, label.c_str(), &extents);
      labels.push_back({xOf(last.longitude), yOf(last.latitude), extents.x_advance + 2.0, 12.0});
      labelTexts.emplace_back(label, index);
    }
    ++index;
  }
  const std::vector<std::optional<PlotRect>> spots = placeLabels(labels, frame);
  for (std::size_t i = 0; i < spots.size(); ++i) {
    if (!spots[i]) {
      continue;
    }
    const PlotRect& spot = *spots[i];
    setColour(cr, labelTexts[i].second);
    const double nearX = std::clamp(labels[i].anchorX, spot.x, spot.x + spot.width);
    const double nearY = std::clamp(labels[i].anchorY, spot.y, spot.y + spot.height);
    if (std::hypot(nearX - labels[i].anchorX, nearY - labels[i].anchorY) > 10.0) {
      cairo_set_line_width(cr, 0.6);
      cairo_move_to(cr, labels[i].anchorX, labels[i].anchorY);
      cairo_line_to(cr, nearX, nearY);
      cairo_stroke(cr);
    }
    text(cr, spot.x + 1.0, spot.y + 10.0, labelTexts[i].first, 11.0);
  }
  cairo_restore(cr);

  // Scale bar, frame, north and caption.
  const double barMeters = tickStep((box.width - 2.0 * kPlanInsetPixels) / scale);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 2.0);
  cairo_move_to(cr, box.x + 10.0, box.y + box.height - 12.0);
  cairo_line_to(cr, box.x + 10.0 + barMeters * scale, box.y + box.height - 12.0);
  cairo_stroke(cr);
  text(cr, box.x + 10.0, box.y + box.height - 18.0,
       barMeters >= 1000.0 ? fmt::format("{:.0f} km", barMeters / 1000.0) : fmt::format("{:.0f} m", barMeters), 11.0);
  cairo_set_line_width(cr, 1.0);
  cairo_rectangle(cr, box.x, box.y, box.width, box.height);
  cairo_stroke(cr);
  text(cr, box.x + box.width - 30.0, box.y + 20.0, "N", 14.0);
  text(cr, box.x, box.y - 6.0, caption, 12.0);
}

// The whole trace, and beside it a closer view of the ground (the samples
// near the lowest altitude, and the stands) when that is much smaller.
void drawPlans(cairo_t* cr, const Box& box, const Trace& trace, const std::vector<StandMark>& stands) {
  Projection projection;
  double lowestFeet = std::numeric_limits<double>::infinity();
  bool haveOrigin = false;
  for (const auto& [id, samples] : trace) {
    for (const TraceSample& s : samples) {
      if (!haveOrigin) {
        projection = {s.latitude, s.longitude, std::cos(s.latitude * kDegreesToRadians)};
        haveOrigin = true;
      }
      lowestFeet = std::min(lowestFeet, s.altitudeFeet);
    }
  }
  PlanArea whole;
  PlanArea ground;
  for (const auto& [id, samples] : trace) {
    for (const TraceSample& s : samples) {
      whole.take(projection, s.latitude, s.longitude);
      if (s.altitudeFeet <= lowestFeet + kGroundBandFeet) {
        ground.take(projection, s.latitude, s.longitude);
      }
    }
  }
  for (const StandMark& s : stands) {
    whole.take(projection, s.latitude, s.longitude);
    ground.take(projection, s.latitude, s.longitude);
  }
  ground.north.widen(600.0);
  ground.east.widen(600.0);
  constexpr double kGap = 30.0;
  if (ground.span() * 3.0 < whole.span()) {
    const Box left{box.x, box.y, (box.width - kGap) / 2.0, box.height};
    const Box right{box.x + left.width + kGap, box.y, left.width, box.height};
    drawPlan(cr, left, "the whole area", projection, whole, trace, stands);
    drawPlan(cr, right, "on the ground", projection, ground, trace, stands);
    drawLegend(cr, left, !stands.empty());
  } else {
    drawPlan(cr, box, "", projection, whole, trace, stands);
    drawLegend(cr, box, !stands.empty());
  }
}

}  // namespace

std::vector<std::pair<double, double>> groundSpeedKnots(const std::vector<TraceSample>& samples) {
  std::vector<std::pair<double, double>> speeds;
  std::size_t from = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    const double seconds = samples[i].seconds - samples[from].seconds;
    if (seconds < 0.5) {
      continue;
    }
    const double nm = gf_distanceNm({samples[from].latitude, samples[from].longitude},
                                    {samples[i].latitude, samples[i].longitude});
    speeds.emplace_back(samples[i].seconds, nm / seconds * 3600.0);
    from = i;
  }
  return speeds;
}

void drawTracePng(const Trace& trace, const std::vector<StandMark>& stands, const PlotOptions& options,
                  const std::filesystem::path& pngFile) {
  if (trace.empty()) {
    throw TraceFileError("the trace holds no position");
  }
  const auto width = static_cast<double>(options.widthPixels);
  const auto height = static_cast<double>(options.heightPixels);
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, options.widthPixels, options.heightPixels),
      cairo_surface_destroy);
  std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()), cairo_destroy);
  cairo_t* cr = context.get();
  cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
  cairo_paint(cr);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_source_rgb(cr, 0, 0, 0);
  text(cr, kMargin, 24.0, options.title, 16.0);

  const double planHeight = (height - 2.0 * kMargin) * kPlanShare;
  const double graphHeight = (height - 2.0 * kMargin - planHeight - 60.0) / 2.0;
  drawPlans(cr, {kMargin, kMargin, width - 2.0 * kMargin, planHeight}, trace, stands);

  Range time;
  Range altitude;
  Range speed;
  std::vector<std::vector<std::pair<double, double>>> altitudes;
  std::vector<std::vector<std::pair<double, double>>> speeds;
  for (const auto& [id, samples] : trace) {
    auto& series = altitudes.emplace_back();
    for (const TraceSample& s : samples) {
      time.take(s.seconds);
      altitude.take(s.altitudeFeet);
      series.emplace_back(s.seconds, s.altitudeFeet);
    }
    speeds.push_back(groundSpeedKnots(samples));
    for (const auto& [t, v] : speeds.back()) {
      speed.take(v);
    }
  }
  time.widen(1.0);
  if (speeds.empty() || speed.span() != speed.span() || std::isinf(speed.low)) {
    speed = Range{};
    speed.take(0.0);
  }
  const double graphsTop = kMargin + planHeight + 30.0;
  drawGraph(cr, {kMargin, graphsTop, width - 2.0 * kMargin, graphHeight}, "altitude (ft)", time, altitude, altitudes);
  drawGraph(cr, {kMargin, graphsTop + graphHeight + 30.0, width - 2.0 * kMargin, graphHeight}, "ground speed (kt)",
            time, speed, speeds);
  cairo_surface_flush(surface.get());
  if (cairo_surface_write_to_png(surface.get(), pngFile.c_str()) != CAIRO_STATUS_SUCCESS) {
    throw TraceFileError(fmt::format("cannot write {}", pngFile.string()));
  }
}

}  // namespace crv::trace
