#include "feed/traffic_reader.h"

#include <gtest/gtest.h>

#include <thread>

#include <fmt/format.h>

#include "feed/json_reading.h"
#include "feed/reader_threads.h"
#include "foundation/clock.h"
#include "foundation/settings.h"
#include "tests/feed/feed_test_support.h"

namespace crv {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using standin::Answer;

using testing::kSchiphol;
constexpr const char* kLive = "locationtraffic";
constexpr const char* kParked = "parkedtraffic";
constexpr const char* kLiveBody =
    "GUID=g-1&top=52.97&bottom=51.64&left=3.67&right=5.85&querytype=locationtraffic&toffset=0";

class TrafficReaderTest : public testing::FeedTest {
 protected:
  TrafficReaderTest() {
    traffic_.setGuid("g-1");
    weather_.setGuid("g-1");
  }

  void queueHistory(const json& data) {
    standIn_.queueJson(standin::kTrafficPath, {{"status", 200}, {"rrl", 20}, {"data", data}}, {}, kLive);
  }
  void queueLive(const json& answer) { standIn_.queueJson(standin::kTrafficPath, answer, {}, kLive); }

  void startReader() { trafficThread_ = std::thread([this] { traffic_.receive(status_); }); }
  void startReaderThreadBody() { trafficThread_ = std::thread([this] { gf_trafficReader(traffic_, weather_); }); }
  // Stops the reader and gives the time it took to end.
  std::chrono::steady_clock::duration stopReader() {
    const auto start = std::chrono::steady_clock::now();
    traffic_.requestStop();
    trafficThread_.join();
    return std::chrono::steady_clock::now() - start;
  }
  std::vector<std::string> trafficBodies() const { return standIn_.bodies(standin::kTrafficPath); }

  int status_ = 0;
};

TEST_F(TrafficReaderTest, TheHistoryGivesFiveBatchesThenLiveBatchesComeWithThirtySeconds) {
  json shortArray = testing::liveArray("4840d9");
  shortArray.erase(47);
  json longArray = testing::liveArray("4840d9");
  longArray.push_back(nullptr);
  queueHistory({{"buffer_2", {{"a", testing::liveArray()}, {"short", shortArray}, {"long", longArray}, {"number", 5}}}});
  queueLive({{"status", 200}, {"rrl", 20}, {"data", {{"a", testing::liveArray()}, {"b", testing::liveArray("4840d6")}}}});
  startReader();
  ASSERT_TRUE(waitForBatches(7, 5s));
  EXPECT_TRUE(traffic_.isReceiving());
  stopReader();
  EXPECT_FALSE(traffic_.isReceiving());
  EXPECT_EQ(status_, kStatusStopped);

  // Each batch as delay:records; the last is a plain answer without aircraft.
  std::string received;
  for (const auto& batch : reported().batches) received += fmt::format("{}:{} ", batch.delaySeconds, batch.records.size());
  EXPECT_THAT(received, ::testing::StartsWith("0:0 6:0 12:1 18:0 24:0 30:2 30:0 "));

  const auto bodies = trafficBodies();
  ASSERT_GE(bodies.size(), 3u);
  EXPECT_EQ(bodies[0], std::string(kLiveBody) + "&buffercount=5&buffertime=6");
  EXPECT_EQ(bodies[1], kLiveBody);
  EXPECT_TRUE(traffic_.isBuffering());
  const BufferedIdentities buffered = traffic_.takeBufferedIdentities();
  EXPECT_EQ(buffered.callsigns, std::set<std::string>{"KLM1234"});
  EXPECT_EQ(buffered.keys, (std::set<std::uint32_t>{0x484f6d, 0x4840d6}));
  EXPECT_TRUE(traffic_.takeBufferedIdentities().keys.empty());
  EXPECT_FALSE(log_.contains("processLine"));
}

TEST_F(TrafficReaderTest, TheWorkerTakesBufferedIdentitiesWhileTheReaderPublishesThem) {
  // Under ThreadSanitizer this shows that both sides hold the lock.
  traffic_.raiseBuffering();
  queueHistory(json::object());
  const char* keys[] = {"4840d1", "4840d2", "4840d3", "4840d4", "4840d5", "4840d6"};
  for (const char* key : keys) {
    queueLive({{"status", 200}, {"rrl", 20}, {"data", {{key, testing::liveArray(key)}}}});
  }
  startReader();
  std::set<std::uint32_t> taken;
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (taken.size() < std::size(keys) && std::chrono::steady_clock::now() < deadline) {
    taken.merge(traffic_.takeBufferedIdentities().keys);
    std::this_thread::yield();
  }
  stopReader();
  taken.merge(traffic_.takeBufferedIdentities().keys);
  EXPECT_EQ(taken, (std::set<std::uint32_t>{0x4840d1, 0x4840d2, 0x4840d3, 0x4840d4, 0x4840d5, 0x4840d6}));
}

// A failed history still starts the live loop.
TEST_F(TrafficReaderTest, LiveAnswersAreClassifiedInOrderAndOnlyAForeignStatusEndsTheLoop) {
  standIn_.queueJson(standin::kTrafficPath, {{"status", 406}, {"message", "busy"}}, {}, kLive);
  standIn_.queueAnswer(standin::kTrafficPath, Answer::cutConnection(), kLive);
  standIn_.queueAnswer(standin::kTrafficPath, Answer::raw(""), kLive);
  standIn_.queueAnswer(standin::kTrafficPath, Answer::httpError(500, "<html>oops</html>"), kLive);
  queueLive({{"status", 406}, {"message", "no data now"}});
  queueLive({{"status", 200}, {"rrl", 20}, {"data", json::array()}});
  queueLive({{"status", 200}, {"rrl", "fast"}, {"data", {{"a", testing::liveArray()}}}});
  queueLive({{"message", "who knows"}});
  startReader();
  trafficThread_.join();
  EXPECT_EQ(status_, kStatusAbsent);
  EXPECT_EQ(trafficBodies().size(), 8u);
  const auto received = reported().batches;  // the one answer with status 200
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].delaySeconds, 30u);

  const std::string text = log_.text();
  std::size_t position = 0;
  for (const char* piece : {"===>  buffer traffic msg busy", "===> buffer failed 406", "===> curl traffic code:",
                            "===> traffic receive: empty content", "/v4/traffic: HTTP 500: <html>oops</html>",
                            "===> receive: [json.exception.parse_error.101]",
                            "curl traffic msg: no data now", "===> receive: [json.exception.type_error.302]"}) {
    position = text.find(piece, position);
    ASSERT_NE(position, std::string::npos) << piece;
  }
}

// The reader keeps the service's pace however long it is, and a stop still
// ends the wait; a pace of 0 or below makes no pause at all.
TEST_F(TrafficReaderTest, ThePaceIsTheServicesHoweverLongOrShortAndAStopEndsItsWait) {
  constexpr int kTenDaysMs = 864000000;
  queueHistory(json::object());
  standIn_.queueJson(standin::kTrafficPath, {{"status", 200}, {"rrl", kTenDaysMs}}, {}, kLive);
  startReader();
  ASSERT_TRUE(standIn_.waitForRequests(standin::kTrafficPath, 2, 5s));
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (traffic_.trafficPaceMilliseconds() != kTenDaysMs && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(traffic_.trafficPaceMilliseconds(), kTenDaysMs);
  EXPECT_LT(stopReader(), 5s);
  EXPECT_EQ(status_, kStatusStopped);

  traffic_.reset();
  traffic_.setGuid("g-1");
  standIn_.queueJson(standin::kTrafficPath, {{"status", 200}, {"rrl", -1000}, {"data", json::object()}}, {}, kLive);
  for (const int pace : {-1000, 0, -1}) {
    queueLive({{"status", 200}, {"rrl", pace}});
  }
  const std::size_t before = standIn_.requestCount(standin::kTrafficPath);
  const auto start = std::chrono::steady_clock::now();
  startReader();
  // Four requests one after the other; a pause of the 2 s default between
  // them would take six seconds.
  ASSERT_TRUE(standIn_.waitForRequests(standin::kTrafficPath, before + 4, 10s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_LT(stopReader(), 5s);
}

// The reader checks its stop flag within 100 ms; the bound here is loose for
// a busy machine, yet far below the 30 s transfer limit that a reader waiting
// for its hanging request would reach. A stop asked for is no error. (A
// hanging live request: the weather reader's test.)
TEST_F(TrafficReaderTest, AStopEndsTheReaderQuicklyAndQuietlyWhileTheHistoryHangs) {
  standIn_.queueAnswer(standin::kTrafficPath, Answer::hang(), kLive);
  startReaderThreadBody();
  ASSERT_TRUE(standIn_.waitForRequests(standin::kTrafficPath, 1, 5s));
  EXPECT_LT(stopReader(), 10s);
  EXPECT_TRUE(traffic_.hasEnded());
  EXPECT_TRUE(reported().threadErrors.empty());
  EXPECT_FALSE(weather_.isStopRequested());
  EXPECT_FALSE(log_.contains("traffic code"));
}

// An ending status ends the reader, stops the weather reader and reports
// one error; the service's own 9999 is an error, never taken for a stop.
TEST_F(TrafficReaderTest, AnEndingStatusEndsTheReaderAndReportsIt) {
  struct Case { int status; bool unauthorized; const char* logged; };
  std::size_t reportedErrors = 0;
  for (const Case& c : {Case{401, true, "===> re-authentication to RT API is needed, restart CRVN"},
                        Case{403, false, "===> Traffic RT API: "},
                        Case{kStatusStopped, false, "===> Traffic RT API error: 9999"}}) {
    SCOPED_TRACE(c.status);
    traffic_.reset();
    traffic_.setGuid("g-1");
    weather_.reset();
    queueHistory(json::object());
    queueLive({{"status", c.status}});
    startReaderThreadBody();
    trafficThread_.join();
    EXPECT_TRUE(weather_.isStopRequested());
    const auto errors = reported().threadErrors;
    ASSERT_EQ(errors.size(), ++reportedErrors);
    EXPECT_EQ(errors.back(), (std::pair<std::string, bool>{"Traffic Reader", c.unauthorized}));
    EXPECT_TRUE(log_.contains(c.logged));
  }
  EXPECT_EQ(display_.trafficIndicator.load(), kIndicatorHidden);
  EXPECT_TRUE(log_.contains("          Traffic Reader connected"));
}

TEST_F(TrafficReaderTest, TheLiveBoxFollowsTheUserOnlyWhenAPositionIsKnownAndTheResetForgetsTheSession) {
  traffic_.computeTrafficBox(GeoPoint{}, 40.0);
  EXPECT_EQ(traffic_.liveBox(), kStartQueryBox);
  traffic_.computeTrafficBox(kSchiphol, 40.0);
  const QueryBox first = traffic_.liveBox();
  EXPECT_EQ(fmt::format("{:.6f} {:.6f} {:.4f} {:.4f}", first.top, first.bottom, first.left, first.right),
            "52.974787 51.642413 3.6736 5.8542");
  traffic_.computeTrafficBox({kSchiphol.latitude + 0.0001, kSchiphol.longitude}, 40.0);
  EXPECT_EQ(traffic_.liveBox(), first);  // a small move keeps the box
  traffic_.computeTrafficBox({kSchiphol.latitude + 0.0001, kSchiphol.longitude}, 20.0);
  EXPECT_NEAR(traffic_.liveBox().top, 52.3087 + 20 * 1.852 / 111.2, 1e-9);

  traffic_.computeTrafficBox(kSchiphol, 40.0);
  traffic_.setParkElevation(-11.0);
  traffic_.setQnh(990);
  traffic_.raiseBuffering();
  traffic_.setTimeOffsetMinutes(60);
  setLastTrafficTime(1796464800.0);
  traffic_.reset();
  EXPECT_EQ(fmt::format("'{}' {} {} {} {} {} {} {}", traffic_.guid(), traffic_.parkElevation().has_value(),
                        traffic_.qnh(), traffic_.isBuffering(), traffic_.timeOffsetMinutes(), traffic_.liveCount(),
                        traffic_.trafficShown(), lastTrafficTime()),
            "'' false 1013 false 0 0 true 0");
  EXPECT_EQ(traffic_.liveBox(), kStartQueryBox);
  // The same position is taken again after the reset.
  traffic_.computeTrafficBox(kSchiphol, 40.0);
  EXPECT_NE(traffic_.liveBox(), kStartQueryBox);
}

// How long ago the middle of the half hour lay that is the given number of
// half hours before the current one (half hours begin at hh:00:00 and
// hh:29:30).
double secondsAgoInHalfHour(int halfHoursBack) {
  const std::int64_t now = systemTimeSeconds();
  const std::int64_t dayStart = now - now % 86400;
  int slot = halfHourSlotAt(now) - halfHoursBack;
  std::int64_t day = dayStart;
  while (slot < 0) {
    slot += 48;
    day -= 86400;
  }
  const std::int64_t middle = day + (slot / 2) * 3600 + (slot % 2 == 0 ? 900 : 2700);
  return static_cast<double>(now - middle);
}

class ParkedTrafficTest : public TrafficReaderTest {
 protected:
  ParkedTrafficTest() {
    standin::Scenario scenario;
    const auto parked = [](const char* hex, const char* spot, const char* callsign, int ageHalfHours) {
      return standin::ScenarioParked{hex, 52.31, 4.77, spot, "B738", "", callsign, secondsAgoInHalfHour(ageHalfHours)};
    };
    scenario.parked = {
        parked("4840a1", "D4", "KLM1", 0),  parked("4840a2", "D4", "KLM2", 2),  // same spot, older
        parked("4840a3", "", "KLM3", 1),    parked("4840a4", "", "KLM4", 2),    // same empty spot, older
        parked("4840a5", "E5", "KLM1", 3),                                      // same callsign, older
        parked("4840a6", "F7", "KLM6", 5),  parked("4840a7", "G1", "KLM7", 4),
    };
    standIn_.setScenario(scenario);
    queueHistory(json::object());
    startReader();
    standIn_.waitForRequests(standin::kTrafficPath, 2, 5s);
  }

  std::vector<std::string> parkedCallsigns() {
    std::vector<std::string> callsigns;
    for (const ParkedTrafficRecord& record : traffic_.parkedTraffic()) {
      callsigns.push_back(record.identity.callsign + "@" + std::to_string(record.halfHour));
    }
    return callsigns;
  }
};

TEST_F(ParkedTrafficTest, KeepsTheYoungestPerSpotAndCallsignWithinTheLargestAge) {
  par_MAX_FIT.setValue(4);
  ASSERT_TRUE(traffic_.requestParkedTraffic(kSchiphol));
  EXPECT_EQ(traffic_.parkedStatus(), kParkedDone);
  EXPECT_EQ(parkedCallsigns(), (std::vector<std::string>{"KLM1@0", "KLM3@1", "KLM7@4"}));
  EXPECT_THAT(trafficBodies(), ::testing::Contains(
                                  "GUID=g-1&top=52.36&bottom=52.26&left=4.68&right=4.85&querytype=parkedtraffic&toffset=0"));

  par_RT_PARKTRAFFIC_ONLY.setValue(true);
  ASSERT_TRUE(traffic_.requestParkedTraffic(kSchiphol));
  EXPECT_EQ(parkedCallsigns(), (std::vector<std::string>{"KLM1@0", "KLM3@1", "KLM7@4", "KLM6@5"}));
}

TEST_F(ParkedTrafficTest, AnAnswerTooLateIsNeverTakenForTheNextRequest) {
  json late = {{"status", 200}, {"rrl", 20}, {"data", {{"4840b1", {52.31, 4.77, "Z9", "B738", "null", 0, "LATE1"}}}}};
  standIn_.queueJson(standin::kTrafficPath, late, 2000ms, kParked);
  EXPECT_FALSE(traffic_.requestParkedTraffic(kSchiphol));
  EXPECT_TRUE(log_.contains("ParkedTraffic receiving timed out after 1.5 seconds"));
  EXPECT_TRUE(traffic_.parkedTraffic().empty());
  // The next request gets its own answer, never the late one.
  ASSERT_TRUE(traffic_.requestParkedTraffic(kSchiphol));
  EXPECT_THAT(parkedCallsigns(), ::testing::AllOf(::testing::Not(::testing::IsEmpty()),
                                                  ::testing::Each(::testing::Not(::testing::StartsWith("LATE1")))));
}

TEST_F(ParkedTrafficTest, ServiceStatusesOfTheParkedRequest) {
  struct Case { Answer answer; int parkedStatus; const char* logged; };
  const auto status = [](int value) { return Answer::json({{"status", value}, {"message", "none"}}); };
  // A status that looks like the reader's own values (0, -1, 1) is a failure
  // too, not an empty success nor a wait until the time limit.
  const Case cases[] = {
      {status(406), kParkedDone, "===> parkedtraffic msg: none"},
      // A message of the wrong kind is an exception of the request, not an empty answer.
      {Answer::json({{"status", 406}, {"message", nullptr}}), kParkedFailed,
       "===> parkedtraffic: [json.exception.type_error.302]"},
      {status(401), 401, "===> RT Parkedtraffic: re-authentication to RT API is needed CRVN"},
      {status(402), 402, "===> RT Parkedtraffic error status: 402"},
      {status(0), kParkedFailed, "===> RT Parkedtraffic error status: 0"},
      {Answer::raw("{oops"), kParkedFailed, "===> parkedtraffic: invalid JSON"},
      // An error page of a server in between is classified as any answer.
      {Answer::httpError(502, "<html>Bad gateway</html>"), kParkedFailed, "===> parkedtraffic: invalid JSON"},
      {Answer::httpError(503, ""), kParkedFailed, "===> parkedtraffic: empty content"},
      {Answer::cutConnection(), kParkedFailed, "curl parkedtraffic code: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.logged);
    const std::size_t logBefore = log_.text().size();
    standIn_.queueAnswer(standin::kTrafficPath, c.answer, kParked);
    EXPECT_EQ(traffic_.requestParkedTraffic(kSchiphol), c.parkedStatus == kParkedDone);
    EXPECT_EQ(traffic_.parkedStatus(), c.parkedStatus);
    EXPECT_TRUE(traffic_.parkedTraffic().empty());
    EXPECT_NE(log_.text().find(c.logged, logBefore), std::string::npos);
  }
  EXPECT_FALSE(log_.contains("ParkedTraffic receiving timed out"));

  for (const int ending : {400, 403}) {
    standIn_.queueAnswer(standin::kTrafficPath, status(ending), kParked);
    EXPECT_THROW(traffic_.requestParkedTraffic(kSchiphol), std::runtime_error);
  }

  // Null, {} and [] members are skipped; the reader goes on with live traffic.
  standIn_.queueJson(standin::kTrafficPath,
                     {{"status", 200}, {"data", {{"4840c1", nullptr}, {"4840c2", json::object()}, {"4840c3", json::array()}}}},
                     {}, kParked);
  EXPECT_TRUE(traffic_.requestParkedTraffic(kSchiphol));
  EXPECT_TRUE(traffic_.parkedTraffic().empty());
  EXPECT_TRUE(traffic_.isReceiving());
}

}  // namespace
}  // namespace crv
