#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "airports/apf_reader.h"
#include "airports/park_airport_state.h"
#include "airports/stand_table.h"
#include "foundation/settings.h"
#include "tests/airports/stand_fixtures.h"
#include "tests/support/log_capture.h"

namespace crv::testing {

inline constexpr std::string_view kMetaBlock =
    R"(<meta><info name="author" value="CRVN"/><info name="version" value="11.0.2"/>)"
    R"(<info name="date" value="Dec 05, 2026"/><info name="MSFS" value="2020"/></meta>)";

// An airport file of the meta block, the parameters and the parkpos elements.
inline std::string apfText(std::string_view parameters, std::string_view parkpositions) {
  return std::string(kMetaBlock) + "<parameters>" + std::string(parameters) + "</parameters><parkpositions>" +
         std::string(parkpositions) + "</parkpositions>";
}

inline std::string parameter(std::string_view name, std::string_view value) {
  return "<parameter name=\"" + std::string(name) + "\" value=\"" + std::string(value) + "\"/>";
}

// The parameters of a base file.
inline std::string baseParameters(std::string_view publisher, std::string_view name = "Schiphol") {
  return parameter("airport_name", name) + parameter("publisher", publisher) + parameter("altitude", "-11");
}

// Two gates 100 m apart near the apron, D7 with one real usage entry.
inline std::string twoGates() {
  return R"(<parkpos id="D7" latitude="52.310500" longitude="4.768300" heading="90.0" radius="30.0" cargo="false" ramp="false">)"
         R"(<opt reg="PH-AAA" airl="KLM" type="B738" day="3" hh="14,15" cs="KLM1"/></parkpos>)"
         R"(<parkpos id="D8" latitude="52.310500" longitude="4.769773" heading="90.0" radius="30.0" cargo="false" ramp="false"/>)";
}

// Runs a test in a fresh program folder with the log in it, the stand table
// empty and the settings an airport file overrides at their defaults.
class AirportFilesTest : public ::testing::Test {
 protected:
  AirportFilesTest() : working_(folder_.path()) { resetState(); }
  ~AirportFilesTest() override { resetState(); }

  static void resetState() {
    parkAirportStands().clear();
    setHandmadeAirport(false);
    resetStandUpdates();
    setAirportParametersChanged(false);
    for (BoolControlParameter* setting : {&par_LEARN_SOFT, &par_AUTO_RANGE, &par_PARK_FAKE, &par_WEEK, &par_PARK_SOFT,
                                          &par_INITIAL_LOAD_ONLY, &par_RT_PARKTRAFFIC_ONLY}) {
      setting->setValue(setting->defaultValue());
    }
    for (IntControlParameter* setting :
         std::initializer_list<IntControlParameter*>{&par_MAX_LIVE_SEL, &par_RANGE, &par_parking_percentage, &par_MAX_FIT}) {
      setting->setValue(setting->defaultValue());
    }
  }

  std::filesystem::path path(const std::filesystem::path& relative) const { return folder_ / relative; }
  void write(const std::filesystem::path& relative, std::string_view text) const { writeFile(folder_ / relative, text); }
  std::string read(const std::filesystem::path& relative) const { return readFile(folder_ / relative); }
  std::string log() const { return log_.text(); }

  // The header the reader fills, kept by the test as the parking schedule keeps its own.
  ParkAirportHeader parkAirportHeader;

 private:
  TempFolder folder_;
  ScopedWorkingFolder working_;
  LogCapture log_;
};

}  // namespace crv::testing
