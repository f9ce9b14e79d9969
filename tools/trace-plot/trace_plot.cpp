#include "tools/trace-plot/trace_plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include <cairo.h>
#include <fmt/format.h>

#include "foundation/geodesy.h"

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
    text(cr, box.x - 45.0, yOf(v) + 4.0, fmt::format("{:.0f}", v), 10.0);
    cairo_set_source_rgb(cr, 0.8, 0.8, 0.8);
  }
  const double timeStep = tickStep(time.span());
  for (double t = std::ceil(time.low / timeStep) * timeStep; t <= time.high; t += timeStep) {
    cairo_move_to(cr, xOf(t), box.y);
    cairo_line_to(cr, xOf(t), box.y + box.height);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    text(cr, xOf(t) - 10.0, box.y + box.height + 14.0, fmt::format("{:.0f} s", t), 10.0);
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

void drawPlan(cairo_t* cr, const Box& box, const Trace& trace, const std::vector<StandMark>& stands) {
  Range north;
  Range east;
  double originLatitude = 0.0;
  double originLongitude = 0.0;
  bool haveOrigin = false;
  auto noteOrigin = [&](double latitude, double longitude) {
    if (!haveOrigin) {
      originLatitude = latitude;
      originLongitude = longitude;
      haveOrigin = true;
    }
  };
  for (const auto& [id, samples] : trace) {
    for (const TraceSample& s : samples) {
      noteOrigin(s.latitude, s.longitude);
    }
  }
  for (const StandMark& s : stands) {
    noteOrigin(s.latitude, s.longitude);
  }
  const double cosLatitude = std::cos(originLatitude * kDegreesToRadians);
  auto northOf = [&](double latitude) { return (latitude - originLatitude) * kMetersPerDegree; };
  auto eastOf = [&](double longitude) {
    double difference = longitude - originLongitude;
    difference -= 360.0 * std::round(difference / 360.0);
    return difference * kMetersPerDegree * cosLatitude;
  };
  for (const auto& [id, samples] : trace) {
    for (const TraceSample& s : samples) {
      north.take(northOf(s.latitude));
      east.take(eastOf(s.longitude));
    }
  }
  for (const StandMark& s : stands) {
    north.take(northOf(s.latitude));
    east.take(eastOf(s.longitude));
  }
  north.widen(200.0);
  east.widen(200.0);
  const double scale = std::min(box.width / east.span(), box.height / north.span());
  const double xCentre = box.x + box.width / 2.0;
  const double yCentre = box.y + box.height / 2.0;
  const double eastMiddle = (east.low + east.high) / 2.0;
  const double northMiddle = (north.low + north.high) / 2.0;
  auto xOf = [&](double longitude) { return xCentre + (eastOf(longitude) - eastMiddle) * scale; };
  auto yOf = [&](double latitude) { return yCentre - (northOf(latitude) - northMiddle) * scale; };

  cairo_set_source_rgb(cr, 0.96, 0.96, 0.93);
  cairo_rectangle(cr, box.x, box.y, box.width, box.height);
  cairo_fill(cr);
  // Scale bar.
  const double barMeters = tickStep(east.span());
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 2.0);
  cairo_move_to(cr, box.x + 10.0, box.y + box.height - 12.0);
  cairo_line_to(cr, box.x + 10.0 + barMeters * scale, box.y + box.height - 12.0);
  cairo_stroke(cr);
  text(cr, box.x + 10.0, box.y + box.height - 18.0,
       barMeters >= 1000.0 ? fmt::format("{:.0f} km", barMeters / 1000.0) : fmt::format("{:.0f} m", barMeters), 11.0);

  for (const StandMark& s : stands) {
    const double x = xOf(s.longitude);
    const double y = yOf(s.latitude);
    const double r = std::max(s.radiusMeters * scale, 2.0);
    cairo_set_source_rgba(cr, 0.3, 0.3, 0.3, 0.25);
    cairo_arc(cr, x, y, r, 0.0, 2.0 * 3.141592653589793);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_set_line_width(cr, 1.0);
    const double heading = s.headingDegrees * kDegreesToRadians;
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + std::sin(heading) * r, y - std::cos(heading) * r);
    cairo_stroke(cr);
    if (r >= 6.0) {
      text(cr, x + r + 2.0, y + 3.0, s.name, 9.0);
    }
  }
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
    cairo_arc(cr, xOf(first.longitude), yOf(first.latitude), 5.0, 0.0, 2.0 * 3.141592653589793);
    cairo_fill(cr);
    cairo_rectangle(cr, xOf(last.longitude) - 4.0, yOf(last.latitude) - 4.0, 8.0, 8.0);
    cairo_fill(cr);
    text(cr, xOf(last.longitude) + 7.0, yOf(last.latitude) - 6.0, fmt::format("{}", id), 11.0);
    ++index;
  }
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1.0);
  cairo_rectangle(cr, box.x, box.y, box.width, box.height);
  cairo_stroke(cr);
  text(cr, box.x + box.width - 30.0, box.y + 20.0, "N", 14.0);
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
  text(cr, kMargin, 28.0, options.title, 16.0);

  const double planHeight = (height - 2.0 * kMargin) * kPlanShare;
  const double graphHeight = (height - 2.0 * kMargin - planHeight - 60.0) / 2.0;
  drawPlan(cr, {kMargin, kMargin, width - 2.0 * kMargin, planHeight}, trace, stands);

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
