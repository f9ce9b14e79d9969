// The trace tool draws flights that went through the engine: a take-off and
// a landing at a shipped airport, written as PNGs into the build folder to
// be looked at (not compared with a reference picture).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include "airports/airports_database.h"
#include "tests/traffic/flight_driver.h"
#include "tools/trace-plot/label_layout.h"
#include "tools/trace-plot/trace_file.h"
#include "tools/trace-plot/trace_plot.h"

namespace crv::testing {
namespace {

// A grid of stands east of the airport's reference point.
StandTable standGrid(const GeoPoint& origin, std::vector<trace::StandMark>& marks) {
  StandTable stands;
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 8; ++column) {
      const GeoPoint at = gf_destination(gf_destination(origin, 1.5708, 600.0 + column * 160.0), 0.0, row * 400.0);
      const std::string name = fmt::format("{}{}", row == 0 ? 'D' : 'E', column + 1);
      stands.emplace_back(name, std::vector<UsageEntry>{}, std::array<double, 3>{at.latitude, at.longitude, 0.0},
                          22.0, true, true, true);
      marks.push_back({name, at.latitude, at.longitude, 0.0, 22.0});
    }
  }
  return stands;
}

std::filesystem::path pictureFolder() {
  const std::filesystem::path folder = CRVN_PICTURE_DIR;
  std::filesystem::create_directories(folder);
  return folder;
}

TEST(TracePlot, DrawsATakeOffAndALandingAtAShippedAirport) {
  AirportsDatabase airports;
  ASSERT_TRUE(readAirportsFile(std::filesystem::path(CRVN_SOURCE_DIR) / "data" / "airports_msfs.xml", airports));
  const AirportRecord* eham = findAirportRecord(airports, "EHAM");
  ASSERT_NE(eham, nullptr);
  const GeoPoint airport{eham->lat, eham->lon};

  struct Flight {
    const char* name;
    std::vector<TrackPoint> track;
    double seconds;
  };
  const GeoPoint approachStart = gf_destination(airport, 3.14159265, 8.0 * kFeetPerNm);
  const Flight flights[] = {
      {"takeoff",
       TrackBuilder(airport.latitude, airport.longitude, 0.0)
           .leg(20, 12, 240, 0, 0, 4)
           .leg(8, 40, 240, 0, 0, 2)
           .leg(8, 80, 240, 0, 0, 2)
           .leg(8, 120, 240, 0, 0, 2)
           .leg(8, 150, 240, 0, 0, 2)
           .leg(120, 160, 240, 2000, 0, 4)
           .leg(60, 200, 240, 2000, 1.5, 4)
           .points(),
       260.0},
      {"landing",
       TrackBuilder(approachStart.latitude, approachStart.longitude, 2400.0)
           .leg(206, 140, 0, -700)
           .leg(12, 120, 0, 0, 0, 3)
           .leg(12, 80, 0, 0, 0, 3)
           .leg(12, 40, 0, 0, 0, 3)
           .leg(30, 15, 0, 0, 3.0, 3)
           .leg(50, 15, 90, 0, 0, 4)
           .points(),
       390.0},
  };
  for (const Flight& flight : flights) {
    std::vector<trace::StandMark> marks;
    FlightDriver driver;
    driver.setParkAirport(airport, standGrid(airport, marks));
    driver.addFlight(48001, "KLM1", "B738", flight.track);
    driver.runUntilSecond(flight.seconds);
    const std::filesystem::path csv = pictureFolder() / fmt::format("{}.csv", flight.name);
    driver.writeTrace(csv);
    const trace::Trace trace = trace::readTraceFile(csv);
    ASSERT_EQ(trace.size(), 1U) << flight.name;
    EXPECT_GT(trace.begin()->second.size(), 1000U) << flight.name;
    const std::filesystem::path png = pictureFolder() / fmt::format("{}.png", flight.name);
    std::filesystem::remove(png);
    trace::PlotOptions options;
    options.title = fmt::format("EHAM {} (B738 through the engine)", flight.name);
    trace::drawTracePng(trace, marks, options, png);
    ASSERT_TRUE(std::filesystem::exists(png));
    std::ifstream in(png, std::ios::binary);
    char signature[8] = {};
    in.read(signature, sizeof signature);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG") << flight.name;
  }
}

TEST(TracePlot, LabelsOfAircraftStandingCloseTogetherStayApartAndInsideTheFrame) {
  const trace::PlotRect frame{50.0, 50.0, 500.0, 400.0};
  struct Case {
    const char* name;
    double anchorX;
    double anchorY;
    int count;
  };
  for (const Case& c : {Case{"a crowd at the airport", 300.0, 250.0, 20}, Case{"a crowd in a corner", 52.0, 52.0, 8},
                        Case{"a crowd at the right edge", 548.0, 250.0, 8}}) {
    std::vector<trace::LabelRequest> labels;
    for (int i = 0; i < c.count; ++i) {
      labels.push_back({c.anchorX + i * 0.5, c.anchorY + i * 0.3, 40.0, 12.0});
    }
    const auto spots = trace::placeLabels(labels, frame);
    ASSERT_EQ(spots.size(), labels.size()) << c.name;
    std::vector<trace::PlotRect> placed;
    for (std::size_t i = 0; i < spots.size(); ++i) {
      if (!spots[i]) continue;
      EXPECT_TRUE(spots[i]->inside(frame)) << c.name << ": label " << i;
      EXPECT_EQ(spots[i]->width, 40.0) << c.name;
      for (const trace::PlotRect& other : placed) {
        EXPECT_FALSE(spots[i]->overlaps(other)) << c.name << ": label " << i;
      }
      placed.push_back(*spots[i]);
    }
    EXPECT_EQ(placed.size(), labels.size()) << c.name << ": every label finds a free spot";
  }
}

TEST(TracePlot, AxisNumbersAreWholeAndNeverMinusZero) {
  for (const auto& [value, shown] : std::vector<std::pair<double, std::string>>{
           {-0.0, "0"}, {-0.4, "0"}, {0.4, "0"}, {-0.6, "-1"}, {2500.0, "2500"}, {-120.2, "-120"}}) {
    EXPECT_EQ(trace::axisNumber(value), shown) << value;
  }
}

TEST(TracePlot, BadFilesGiveAClearErrorAndNoPicture) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"", "the trace is empty"},
      {"object,seconds\n", "no column 'latitude'"},
      {"object,seconds,latitude,longitude,altitude_ft,heading_rad,true_airspeed_kt\n1,0,52,4,0,0\n",
       "line 2: 6 fields"},
      {"object,seconds,latitude,longitude,altitude_ft,heading_rad,true_airspeed_kt\n1,0,52,x,0,0,0\n",
       "line 2: longitude is not a number"},
      {"object,seconds,latitude,longitude,altitude_ft,heading_rad,true_airspeed_kt\n1,0,nan,4,0,0,0\n",
       "line 2: latitude is not a number"},
      {"object,seconds,latitude,longitude,altitude_ft,heading_rad,true_airspeed_kt\n-1,0,52,4,0,0,0\n",
       "line 2: object is no object id"},
      {"object,seconds,latitude,longitude,altitude_ft,heading_rad,true_airspeed_kt\n1,0,95,4,0,0,0\n",
       "line 2: position out of range"},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.text);
    try {
      trace::readTrace(in);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const trace::TraceFileError& error) {
      EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
    }
  }
  const std::filesystem::path png = pictureFolder() / "never.png";
  EXPECT_THROW(trace::drawTracePng({}, {}, {}, png), trace::TraceFileError);
  EXPECT_FALSE(std::filesystem::exists(png));
  EXPECT_THROW(trace::readTraceFile(pictureFolder() / "missing.csv"), trace::TraceFileError);
}

}  // namespace
}  // namespace crv::testing
