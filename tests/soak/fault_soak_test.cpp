// The whole program against both stand-ins while they inject one fault
// after another. The faults a session rides out leave it running; the ones
// that end it end it with the right exit reason, and the program starts a
// new session. A simulator that quits ends the program; started again, it
// waits for the simulator to come back and reads what it learned at the park
// airport. At the end the program closes within a second, parameters.xml and
// the learned airport file are whole and the log stayed small. A damaged
// LiveriesScanned.xml ends the session with its error and stays as it is
// until the user asks for a scan, and a logout that never answers holds
// closing for seconds only, the learned file written before it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <tuple>
#include <thread>
#include <fmt/format.h>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "airports/airport_locations.h"
#include "airports/stand_table.h"
#include "app/program_parts.h"
#include "feed/json_reading.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "tests/app/program_harness.h"
#include "tests/app/window_user.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;
using standin::Answer;

constexpr auto kWithin = 20s;
constexpr const char* kRateLimitText = "Too many requests, slow down";

struct Fault {
  std::string name;
  std::function<void(ProgramHarness&)> inject;
};

std::string deeplyNested() {
  return "{\"status\":200,\"data\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
}

// Faults after which the same session goes on: the readers log and ask again.
std::vector<Fault> survivableFaults() {
  const auto onTraffic = [](Answer answer) {
    return [answer](ProgramHarness& h) { h.rt().queueAnswer(standin::kTrafficPath, answer); };
  };
  return {
      {"a stalled answer",
       onTraffic(Answer::json({{"status", 200}, {"rrl", 2000}, {"data", nlohmann::json::object()}}, 1500ms))},
      {"HTTP 500", onTraffic(Answer::httpError(500, "<html>Internal error</html>"))},
      {"malformed JSON", onTraffic(Answer::raw("{\"status\":200,\"data\":{\"484f6d\":[1,"))},
      {"deeply nested JSON",
       [](ProgramHarness& h) {
         h.rt().queueAnswer(standin::kTrafficPath, Answer::raw(deeplyNested()));
         h.rt().queueAnswer(standin::kWeatherPath, Answer::raw(deeplyNested()));
       }},
      {"a cut connection", onTraffic(Answer::cutConnection())},
      {"HTTP 429", onTraffic(Answer::httpError(429, "Too Many Requests"))},
      {"a rate limit in the body (406)",
       [](ProgramHarness& h) {
         h.rt().queueJson(standin::kTrafficPath, {{"status", kStatusNoDataNow}, {"message", kRateLimitText}});
         h.rt().queueJson(standin::kWeatherPath, {{"status", kStatusNoDataNow}, {"message", kRateLimitText}});
       }},
      {"a huge bad answer", onTraffic(Answer::raw("<html>" + std::string(2'000'000, 'x')))},
      {"a failed create", [](ProgramHarness& h) { h.sim().failNextCreateLater(); }},
      {"a simulator exception",
       [](ProgramHarness& h) { h.sim().raiseException(SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1, 0); }},
  };
}

struct EndingFault {
  Fault fault;
  std::string exitLine;
};

// Faults that end the session; the program restarts it.
std::vector<EndingFault> endingFaults() {
  return {
      {{"an error status in the body",
        [](ProgramHarness& h) { h.rt().queueJson(standin::kTrafficPath, {{"status", kStatusReauthenticate}}); }},
       "Exiting: READER ERROR"},
      {{"a failed simulator request",
        [](ProgramHarness& h) { h.sim().failNext(platform::SimFunction::RequestDataOnSimObjectType, 1); }},
       "Exiting: SIMCONNECT ERROR"},
  };
}

std::size_t trafficRequests(ProgramHarness& h) { return h.rt().requestCount(standin::kTrafficPath); }

constexpr const char* kPublisher = "SoakPub";

// Schiphol's base file with five gates, among them the user's (D7) and the
// spots of the scenario's parked aircraft.
std::string schipholAirportFile() {
  std::string stands;
  const std::tuple<const char*, double, double> gates[] = {{"D4", 52.3095, 4.7630},
                                                           {"D6", 52.3080, 4.7680},
                                                           {"D7", 52.3105, 4.7683},
                                                           {"D8", 52.3100, 4.7710},
                                                           {"E18", 52.3110, 4.7610}};
  for (const auto& [name, latitude, longitude] : gates) {
    stands += fmt::format(
        R"(<parkpos id="{}" latitude="{:.6f}" longitude="{:.6f}" heading="90.0" radius="30.0" cargo="false" )"
        R"(ramp="false"/>)",
        name, latitude, longitude);
  }
  return fmt::format(
      R"(<meta><info name="author" value="CRVN"/><info name="version" value="11.0.2"/>)"
      R"(<info name="date" value="Dec 05, 2026"/><info name="MSFS" value="2020"/></meta>)"
      R"(<parameters><parameter name="airport_name" value="Schiphol"/>)"
      R"(<parameter name="publisher" value="{}"/><parameter name="altitude" value="-11"/></parameters>)"
      R"(<parkpositions>{}</parkpositions>)",
      kPublisher, stands);
}

// The stand names of an airport file, in file order.
std::vector<std::string> standIds(const pugi::xml_document& file) {
  std::vector<std::string> ids;
  for (const pugi::xml_node stand : file.child("parkpositions").children("parkpos")) {
    ids.emplace_back(stand.attribute("id").value());
  }
  return ids;
}

TEST(FaultSoak, EveryFaultIsSurvivedOrEndsTheSessionAndTheProgramClosesCleanly) {
  // The program's own stand table: Schiphol becomes the park airport.
  ProgramHarness harness([](SessionOptions& options) { options.engineConfig.stands = &parkAirportStands(); });
  writeFile(harness.folder() / "airports" / "my_thirdparty" / "EHAM.xml", schipholAirportFile());
  harness.start();
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();

  for (int round = 0; round < 2; ++round) {
    for (const Fault& fault : survivableFaults()) {
      SCOPED_TRACE(fault.name);
      const std::uint64_t sessions = harness.session().sessionsStarted();
      const std::size_t before = trafficRequests(harness);
      fault.inject(harness);
      // Three more requests: the fault's answer was taken and the reader asked again.
      ASSERT_TRUE(ProgramHarness::waitFor([&] { return trafficRequests(harness) >= before + 3; }, kWithin))
          << harness.log();
      EXPECT_EQ(harness.session().sessionsStarted(), sessions);
    }
    for (const EndingFault& ending : endingFaults()) {
      SCOPED_TRACE(ending.fault.name);
      const std::uint64_t sessions = harness.session().sessionsStarted();
      ending.fault.inject(harness);
      ASSERT_TRUE(ProgramHarness::waitFor(
          [&] { return harness.session().sessionsStarted() > sessions; }, kWithin))
          << harness.log();
      ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
    }
  }
  const std::string log = harness.log();
  EXPECT_EQ(harness.session().sessionsStarted(), 1u + 2u * endingFaults().size());
  for (const EndingFault& ending : endingFaults()) {
    EXPECT_NE(log.find(ending.exitLine), std::string::npos) << ending.exitLine;
  }
  EXPECT_NE(log.find(fmt::format("curl traffic msg: {}", kRateLimitText)), std::string::npos);
  EXPECT_NE(log.find(fmt::format("{} json weather {}", kStatusNoDataNow, kRateLimitText)), std::string::npos);

  // The simulator quits: the program ends. Started again before the
  // simulator is back, it waits for it and then runs a session.
  harness.sim().quit();
  ASSERT_TRUE(harness.waitForExit(kWithin).has_value()) << harness.log();
  const std::size_t beforeComeback = trafficRequests(harness);
  EXPECT_NE(harness.log().find("Exiting: SIM WAS CLOSED"), std::string::npos);
  harness.startAgain();
  ASSERT_TRUE(harness.waitForLog("Waiting for MSFS 2020 ...", kWithin)) << harness.log();
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(harness.session().display().phase.load(), SessionDisplay::Phase::waitingForSimulator);
  harness.sim().setSimulatorRunning(true);
  ASSERT_TRUE(harness.waitUntilRunning()) << harness.log();
  EXPECT_TRUE(harness.waitForLog("Read from learned airport file", kWithin)) << harness.log();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return trafficRequests(harness) >= beforeComeback + 3; }, kWithin))
      << harness.log();

  // A refused login ends the program's sessions: it waits for the user.
  harness.rt().queueJson(standin::kAuthPath, {{"status", kStatusKeyRefused}});
  harness.rt().queueJson(standin::kTrafficPath, {{"status", kStatusReauthenticate}});
  ASSERT_TRUE(harness.waitForLog("did not accept the account key", kWithin)) << harness.log();

  const auto clicked = std::chrono::steady_clock::now();
  harness.clickClose();
  ASSERT_TRUE(harness.waitForExit(kWithin).has_value()) << harness.log();
  EXPECT_LT(std::chrono::steady_clock::now() - clicked, 1s);

  // Learned at Schiphol, saved when the simulator quit, read back and saved
  // again at the end: whole, and no stand twice.
  const std::filesystem::path learned = harness.folder() / learnedPathFor("EHAM", kPublisher);
  ASSERT_TRUE(std::filesystem::exists(learned)) << harness.log();
  pugi::xml_document learnedFile;
  ASSERT_TRUE(learnedFile.load_file(learned.c_str())) << readFile(learned);
  std::vector<std::string> ids = standIds(learnedFile);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end()) << readFile(learned);
  // The parked jumbo at D4 needed a larger stand.
  EXPECT_NE(std::find(ids.begin(), ids.end(), "D4"), ids.end()) << readFile(learned);

  pugi::xml_document parameters;
  ASSERT_TRUE(parameters.load_file(parametersFilePath().c_str()));
  EXPECT_TRUE(parameters.child("parameters").find_child_by_attribute("parameter", "name", "RANGE"));
  // Two 200 KB nested answers and two 2 MB bad ones went by: the log took
  // excerpts only (the run before the simulator quit is in Log0.txt).
  EXPECT_LT(readFile(harness.folder() / "Log0.txt").size(), 1'000'000u);
  EXPECT_LT(harness.log().size(), 1'000'000u);
}

// A user's bad day at closing: the livery scan's stored result was damaged
// (the session ends with the reader's error, the file stays as it is, the
// user ticks the liveries box and closes the window: the program starts again
// and scans), then the logout hangs. The program still closes within
// seconds, with what it learned written.
TEST(FaultSoak, ADamagedLiveriesFileAndAStalledLogoutLoseNothing) {
  ProgramHarness harness([](SessionOptions& options) {
    options.engineConfig.stands = &parkAirportStands();
    options.scanLiveries = programSessionOptions().scanLiveries;
    options.requestTimeouts.transfer = 30s;  // the service's own limit
  });
  writeFile(harness.folder() / "airports" / "my_thirdparty" / "EHAM.xml", schipholAirportFile());
  const std::filesystem::path liveries = harness.folder() / "liveries";
  writeFile(liveries / "klm-a320" / "aircraft.cfg",
            "[General]\nicao_type_designator=A320\n[fltsim.0]\ntitle=AI A320 KLM\nicao_airline=KLM\n");
  const std::string damaged = "<liveries><liv airl=\"KLM\" type=\"A3";
  const std::filesystem::path scanned = harness.folder() / "output" / "LiveriesScanned.xml";
  writeFile(scanned, damaged);
  const std::string liveriesFolder = liveries.string();
  harness.storeSettings({{"SIM_CHOICE", kSimChoiceMsfs2020},
                         {"SCAN_LIVERIES", "false"},
                         {"LIG_AUTOMATIC", "false"},
                         {"lfolder0", liveriesFolder}});
  harness.start();
  ASSERT_TRUE(ProgramHarness::waitFor([] { return errorLineText().starts_with("51: File "); }, kWithin))
      << errorLineText() << harness.log();
  ASSERT_TRUE(harness.waitForLog("Exiting: SYSTEM ERROR", kWithin)) << harness.log();
  EXPECT_EQ(readFile(scanned), damaged);

  // Closing down has saved the settings and waits for the user.
  ASSERT_TRUE(ProgramHarness::waitFor(
      [&] {
        const std::string log = harness.log();
        return log.find("TIME_SHIFT_MINS=", log.find("Exiting: SYSTEM ERROR")) != std::string::npos;
      },
      kWithin))
      << harness.log();
  // The last save's flush and a logout without a login take far less than
  // this: the tick then comes while closing down waits for the close.
  std::this_thread::sleep_for(1s);
  WindowUser user(harness.window());
  ASSERT_TRUE(user.click(par_SCAN_LIVERIES.controlId()));
  // The error stays up until the user closes the window; the close then
  // restarts the program for the new setting.
  EXPECT_FALSE(ProgramHarness::waitFor([&] { return harness.session().sessionsStarted() >= 2; }, 1s))
      << harness.log();
  harness.clickClose();
  ASSERT_TRUE(harness.waitUntilRunning(40s)) << harness.log();
  EXPECT_NE(readFile(scanned).find("title=\"AI A320 KLM\""), std::string::npos) << harness.log();
  EXPECT_EQ(harness.log().find("LiveriesScanned.xml not found"), std::string::npos);

  // Something learned at Schiphol, then a logout that never answers.
  ASSERT_TRUE(ProgramHarness::waitFor([] { return standUpdates() >= 1; }, kWithin)) << harness.log();
  harness.rt().queueAnswer(standin::kDeauthPath, Answer::hang());
  const auto clicked = std::chrono::steady_clock::now();
  harness.clickClose();
  ASSERT_TRUE(harness.waitForExit(kWithin).has_value()) << harness.log();
  EXPECT_LT(std::chrono::steady_clock::now() - clicked, 5s);
  EXPECT_EQ(harness.rt().requestCount(standin::kDeauthPath), 1u);

  const std::filesystem::path learned = harness.folder() / learnedPathFor("EHAM", kPublisher);
  pugi::xml_document learnedFile;
  ASSERT_TRUE(learnedFile.load_file(learned.c_str())) << harness.log();
  EXPECT_FALSE(standIds(learnedFile).empty());
}

}  // namespace
}  // namespace crv::testing
