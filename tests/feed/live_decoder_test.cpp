#include "feed/live_decoder.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include <fmt/format.h>

#include "foundation/status_line.h"
#include "tests/feed/feed_test_support.h"

namespace crv {
namespace {

using nlohmann::json;

using testing::kSchiphol;

LiveDecodeContext baseContext(const FeedHooks& hooks) {
  LiveDecodeContext context;
  context.ownPosition = kSchiphol;
  context.rangeNm = 40.0;
  context.hooks = &hooks;
  return context;
}

// The decoded fields as "name=value" words; "-" for a value not reported.
std::string describe(const LiveTrafficRecord& r) {
  const auto degrees = [](std::optional<double> radians) {
    return radians ? fmt::format("{:.1f}", *radians / kDegreesToRadians) : std::string("-");
  };
  const AircraftIdentity& id = r.identity;
  return fmt::format("key={:x} lat={} lon={} alt={} air={} gs={} trk={} vs={} tas={} bank={} hdg={} time={} "
                     "type={} reg={} cs={} route={}-{}",
                     r.key, r.latitude, r.longitude, r.altitudeFeet, r.airborne, r.speedKnots, r.trackDegrees,
                     r.verticalSpeedFpm, r.trueAirspeedKnots, degrees(r.bankRadians), degrees(r.trueHeadingRadians),
                     r.timestamp, id.icaoType, id.registration, id.callsign, id.departure, id.destination);
}

void expectWords(const std::string& description, const std::string& words) {
  std::istringstream expected(words);
  for (std::string word; expected >> word;) {
    EXPECT_THAT(" " + description + " ", ::testing::HasSubstr(" " + word + " "));
  }
}

struct LiveCase {
  const char* name;
  std::function<void(json&)> change;
  // Words the record's description must hold; empty: the aircraft is dropped.
  std::string expected;
  std::function<void(LiveDecodeContext&)> setup = nullptr;
};

const auto nearPark = [](LiveDecodeContext& context) { context.parkAirport = kSchiphol; };

const LiveCase kLiveCases[] = {
    {"a plain airborne airliner keeps every field", nullptr,
     "key=484f6d lat=52.35 lon=4.8 alt=12000 air=true gs=250 trk=90 vs=1500 tas=300 bank=-5.0 hdg=91.0 "
     "time=1765000000.5 type=B738 reg=PH-BXA cs=KLM1234 route=EHAM-EGLL"},
    {"a null barometric altitude takes the geometric one, corrected by the QNH",
     [](json& a) { a[4] = nullptr; a[18] = 3500; }, "alt=3200", [](LiveDecodeContext& c) { c.qnhHpa = 1003; }},
    {"no altitude at all is on the ground", [](json& a) { a[4] = "high"; a[18] = nullptr; }, "alt=0 air=false",
     nearPark},
    {"30 ft above the park elevation at 100 kt is on the ground, without a bank", [](json& a) { a[4] = 30; a[5] = 100; },
     "alt=0 air=false bank=-", [](LiveDecodeContext& c) { c.parkElevationFeet = 0.0; c.parkAirport = kSchiphol; }},
    {"100 ft above the park elevation at 50 kt is airborne", [](json& a) { a[4] = 100; a[5] = 50; },
     "alt=100 air=true", [](LiveDecodeContext& c) { c.parkElevationFeet = 0.0; }},
    {"without a park elevation 500 ft at 60 kt is airborne", [](json& a) { a[4] = 500; a[5] = 60; }, "air=true"},
    {"30 kt is on the ground at any height", [](json& a) { a[5] = 30; }, "air=false", nearPark},
    {"a ground aircraft 6 nm from the park airport is dropped", [](json& a) { a[5] = 30; a[1] = 52.41; }, "", nearPark},
    {"key 2710 (10000) is dropped", [](json& a) { a[0] = "2710"; }, ""},
    {"key 2711 passes", [](json& a) { a[0] = "2711"; }, "key=2711"},
    {"a key that is a number gives no key", [](json& a) { a[0] = 4738925; }, ""},
    {"a true heading of 0 gives 360 and turns a track of 0 into 360", [](json& a) { a[25] = 0; a[3] = 0; },
     "trk=360 hdg=360.0"},
    {"a true heading above 360 drops the aircraft", [](json& a) { a[25] = 360.5; }, ""},
    {"a negative true heading gives none", [](json& a) { a[25] = -3; }, "hdg=-"},
    {"a missing true heading gives none", [](json& a) { a[25] = nullptr; }, "hdg=-"},
    {"another source gives no true heading", [](json& a) { a[17] = "mlat"; }, "hdg=-"},
    {"a reported true airspeed of 0 stays 0", [](json& a) { a[20] = 0; }, "tas=0"},
    {"true airspeed -1 at 7000 ft gives 250 kt", [](json& a) { a[20] = -1; a[4] = 7000; }, "tas=250"},
    {"a true airspeed text at 12000 ft gives 350 kt", [](json& a) { a[20] = "fast"; }, "tas=350"},
    {"a true airspeed of 1e12 kt is taken as none", [](json& a) { a[20] = 1e12; }, "tas=350"},
    {"a registration of 13 characters drops the aircraft", [](json& a) { a[9] = "ABCDEFGHIJKLM"; }, ""},
    {"registration null is empty", [](json& a) { a[9] = "null"; }, "reg= cs=KLM1234"},
    {"type 0 means none, and no type is not injected", [](json& a) { a[8] = "0"; }, ""},
    {"type ZZZZ means none", [](json& a) { a[8] = "ZZZZ"; }, ""},
    // The type and category rules themselves are the aircraft data's.
    {"emitter category B2 is rejected", [](json& a) { a[28] = "B2"; }, ""},
    {"an empty category injects any type", [](json& a) { a[8] = "GLID"; a[28] = ""; }, "type=GLID"},
    // A lying answer must not give the engine a speed, track or climb no aircraft has.
    {"a negative ground speed is dropped", [](json& a) { a[5] = -5; }, ""},
    {"a ground speed of 1e9 kt is dropped", [](json& a) { a[5] = 1e9; }, ""},
    {"a track of 400 is dropped", [](json& a) { a[3] = 400; }, ""},
    {"a negative track is dropped", [](json& a) { a[3] = -10; }, ""},
    {"a vertical speed of 1e6 fpm is dropped", [](json& a) { a[15] = -1e6; }, ""},
    {"an altitude of 1e7 ft is dropped", [](json& a) { a[4] = 1e7; }, ""},
    {"a bank of 1e300 is none", [](json& a) { a[23] = 1e300; }, "bank=-"},
    {"bank 0 is none", [](json& a) { a[23] = 0; }, "bank=-"},
    {"bank -1 is none", [](json& a) { a[23] = -1; }, "bank=-"},
    {"a bank text is none", [](json& a) { a[23] = "left"; }, "bank=-"},
    {"latitude above 90 is dropped", [](json& a) { a[1] = 90.5; }, ""},
    {"longitude below -180 is dropped", [](json& a) { a[2] = -180.5; }, ""},
    {"a position next to 0,0 is dropped", [](json& a) { a[1] = 0.0001; a[2] = -0.0001; }, "",
     [](LiveDecodeContext& c) { c.ownPosition = GeoPoint{}; }},
    {"an aircraft beyond the range is dropped", [](json& a) { a[1] = 53.1; }, ""},
    {"callsign null is empty", [](json& a) { a[13] = "null"; }, "cs="},
    {"a callsign with @ is emptied", [](json& a) { a[13] = "KL@M"; }, "cs="},
    {"callsign ERARMTR0 is dropped", [](json& a) { a[13] = "ERARMTR0"; }, ""},
    {"callsign AIRPORT1 is dropped", [](json& a) { a[13] = "AIRPORT1"; }, ""},
    {"no registration and no callsign is dropped", [](json& a) { a[9] = "null"; a[13] = "null"; }, ""},
    {"departure and destination null are empty", [](json& a) { a[11] = "null"; a[12] = 5; }, "route=-"},
    // Malformed arrays: skipped without a crash (the values themselves are read as json_reading does).
    {"an object in place of the array", [](json& a) { a = json{{"hex", "484f6d"}}; }, ""},
    {"nested arrays in every slot", [](json& a) { for (auto& v : a) v = json::array({1, 2}); }, ""},
};

TEST(LiveDecoderTest, DecodesOrDropsEveryCase) {
  testing::resetFeedGlobals();
  testing::LogCapture log;
  FeedHooks hooks;
  for (const LiveCase& liveCase : kLiveCases) {
    SCOPED_TRACE(liveCase.name);
    json array = testing::liveArray();
    if (liveCase.change) liveCase.change(array);
    LiveDecodeContext context = baseContext(hooks);
    if (liveCase.setup) liveCase.setup(context);
    LiveDecodeState state;
    std::vector<LiveTrafficRecord> records;
    processLine(array, context, state, records);
    if (liveCase.expected.empty()) {
      EXPECT_TRUE(records.empty());
    } else {
      ASSERT_EQ(records.size(), 1u);
      expectWords(describe(records[0]), liveCase.expected);
    }
  }
  // Plausibility failures leave no trace in the log.
  EXPECT_FALSE(log.contains("lalo"));
  EXPECT_FALSE(log.contains("true heading"));
}

TEST(LiveDecoderTest, ABlockedCallsignIsReportedOnceAndItsChangeIsShown) {
  testing::resetFeedGlobals();
  FeedHooks hooks;
  std::vector<std::uint32_t> reported;
  hooks.reportBlockedCallsign = [&](std::uint32_t key) { reported.push_back(key); };
  LiveDecodeContext context = baseContext(hooks);
  context.blockedCallsign = "KLM1234";
  LiveDecodeState state;
  std::vector<LiveTrafficRecord> records;

  processLine(testing::liveArray(), context, state, records);
  EXPECT_EQ(statusLineText(), "Reader: Live aircraft KLM1234 blocked");
  clearStatusLine();
  processLine(testing::liveArray(), context, state, records);
  EXPECT_EQ(statusLineText(), "");

  // Another aircraft passes; once the user blocks its callsign, the old block
  // is reported lifted, then the new one is reported.
  json other = testing::liveArray("4840d6");
  other[13] = "KLM99";
  processLine(other, context, state, records);
  EXPECT_EQ(records.size(), 1u);
  context.blockedCallsign = "KLM99";
  processLine(other, context, state, records);
  EXPECT_EQ(statusLineText(), "Reader: Live aircraft KLM1234 no longer blocked");
  processLine(other, context, state, records);
  EXPECT_EQ(statusLineText(), "Reader: Live aircraft KLM99 blocked");
  EXPECT_EQ(reported, (std::vector<std::uint32_t>{0x484f6d, 0x4840d6}));
  EXPECT_EQ(records.size(), 1u);
}

// The timestamp is kept even from a dropped aircraft.
TEST(LiveDecoderTest, WhileBufferingCallsignsAndKeysAreCollectedBeforeTheGroundFilter) {
  FeedHooks hooks;
  LiveDecodeContext context = baseContext(hooks);
  context.buffering = true;
  LiveDecodeState state;
  std::vector<LiveTrafficRecord> records;
  json onGround = testing::liveArray("4840d6");
  onGround[5] = 10;  // on the ground, no park airport: dropped after collecting
  onGround[13] = "KLM7";
  onGround[10] = 1765001234;
  processLine(onGround, context, state, records);
  EXPECT_DOUBLE_EQ(state.latestTimestamp, 1765001234.0);
  json noCallsign = testing::liveArray("4840d7");
  noCallsign[13] = "null";
  processLine(noCallsign, context, state, records);
  context.buffering = false;
  processLine(testing::liveArray("4840d8"), context, state, records);
  EXPECT_EQ(records.size(), 2u);
  EXPECT_EQ(state.bufferedCallsigns, (std::set<std::string>{"KLM7"}));
  EXPECT_EQ(state.bufferedKeys, (std::set<std::uint32_t>{0x4840d6, 0x4840d7}));
}

}  // namespace
}  // namespace crv
