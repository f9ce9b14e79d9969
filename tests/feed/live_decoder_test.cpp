#include "feed/live_decoder.h"

#include <gtest/gtest.h>

#include <functional>

#include <fmt/format.h>

#include "foundation/clock.h"
#include "foundation/status_line.h"
#include "tests/feed/feed_test_support.h"

namespace crv {
namespace {

using nlohmann::json;

constexpr GeoPoint kSchiphol{52.3086, 4.7639};

LiveDecodeContext baseContext(const FeedHooks& hooks) {
  LiveDecodeContext context;
  context.ownPosition = kSchiphol;
  context.rangeNm = 40.0;
  context.hooks = &hooks;
  return context;
}

struct LiveCase {
  std::string name;
  std::function<void(json&)> change;
  std::function<void(LiveDecodeContext&)> setup;
  // Empty: the aircraft must be dropped.
  std::function<void(const LiveTrafficRecord&)> check;
};

std::vector<LiveCase> liveCases() {
  const auto dropped = std::function<void(const LiveTrafficRecord&)>();
  const auto nearPark = [](LiveDecodeContext& context) { context.parkAirport = kSchiphol; };
  return {
      {"a plain airborne airliner keeps every field", nullptr, nullptr,
       [](const LiveTrafficRecord& r) {
         const auto& id = r.identity;
         EXPECT_EQ(fmt::format("{:x} {} {} {} {} {} {} {} {} {:.6f} {:.6f} {} {} {} {} {} {} {} {} {} {} {}", r.key,
                               r.latitude, r.longitude, r.altitudeFeet, r.airborne, r.speedKnots, r.trackDegrees,
                               r.verticalSpeedFpm, r.trueAirspeedKnots, r.bankRadians.value_or(-99) / kDegreesToRadians,
                               r.trueHeadingRadians.value_or(-99) / kDegreesToRadians, r.hasTrueHeading, r.timestamp,
                               id.icaoType, id.registration, id.callsign, id.departure, id.destination, id.airline.empty(),
                               id.coupledCallsignSearched, r.stationary, r.dueTick),
                   "484f6d 52.35 4.8 12000 true 250 90 1500 300 -5.000000 91.000000 true 1765000000.5 B738 PH-BXA "
                   "KLM1234 EHAM EGLL true false false 0");
       }},
      {"a null barometric altitude takes the geometric one, corrected by the QNH",
       [](json& a) { a[4] = nullptr; a[18] = 3500; },
       [](LiveDecodeContext& c) { c.qnhHpa = 1003; },
       [](const LiveTrafficRecord& r) { EXPECT_DOUBLE_EQ(r.altitudeFeet, 3200.0); }},
      {"no altitude at all is on the ground", [](json& a) { a[4] = "high"; a[18] = nullptr; }, nearPark,
       [](const LiveTrafficRecord& r) { EXPECT_FALSE(r.airborne); EXPECT_DOUBLE_EQ(r.altitudeFeet, 0.0); }},
      {"30 ft above the park elevation at 100 kt is on the ground",
       [](json& a) { a[4] = 30; a[5] = 100; },
       [](LiveDecodeContext& c) { c.parkElevationFeet = 0.0; c.parkAirport = kSchiphol; },
       [](const LiveTrafficRecord& r) {
         EXPECT_FALSE(r.airborne);
         EXPECT_DOUBLE_EQ(r.altitudeFeet, 0.0);
         EXPECT_FALSE(r.bankRadians);
       }},
      {"100 ft above the park elevation at 50 kt is airborne", [](json& a) { a[4] = 100; a[5] = 50; },
       [](LiveDecodeContext& c) { c.parkElevationFeet = 0.0; },
       [](const LiveTrafficRecord& r) { EXPECT_TRUE(r.airborne); EXPECT_DOUBLE_EQ(r.altitudeFeet, 100.0); }},
      {"without a park elevation 500 ft at 60 kt is airborne", [](json& a) { a[4] = 500; a[5] = 60; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_TRUE(r.airborne); }},
      {"30 kt is on the ground at any height", [](json& a) { a[5] = 30; }, nearPark,
       [](const LiveTrafficRecord& r) { EXPECT_FALSE(r.airborne); }},
      {"a ground aircraft without a park airport is dropped", [](json& a) { a[5] = 30; }, nullptr, dropped},
      {"a ground aircraft 6 nm from the park airport is dropped", [](json& a) { a[5] = 30; a[1] = 52.41; },
       nearPark, dropped},
      {"key 2710 (10000) is dropped", [](json& a) { a[0] = "2710"; }, nullptr, dropped},
      {"key 2711 passes", [](json& a) { a[0] = "2711"; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_EQ(r.key, 10001u); }},
      {"a key text beginning with x gives no key", [](json& a) { a[0] = "x484f6d"; }, nullptr, dropped},
      {"a key that is a number gives no key", [](json& a) { a[0] = 4738925; }, nullptr, dropped},
      {"a true heading of 0 gives 2 pi and turns a track of 0 into 360",
       [](json& a) { a[25] = 0; a[3] = 0; }, nullptr,
       [](const LiveTrafficRecord& r) {
         ASSERT_TRUE(r.trueHeadingRadians);
         EXPECT_DOUBLE_EQ(*r.trueHeadingRadians, kFullCircle);
         EXPECT_DOUBLE_EQ(r.trackDegrees, 360.0);
       }},
      {"a true heading above 360 drops the aircraft", [](json& a) { a[25] = 360.5; }, nullptr, dropped},
      {"a negative true heading gives none", [](json& a) { a[25] = -3; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_FALSE(r.trueHeadingRadians); EXPECT_FALSE(r.hasTrueHeading); }},
      {"a missing true heading gives none", [](json& a) { a[25] = nullptr; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_FALSE(r.trueHeadingRadians); }},
      {"another source gives no true heading", [](json& a) { a[17] = "mlat"; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_FALSE(r.trueHeadingRadians); }},
      {"a reported true airspeed of 0 stays 0", [](json& a) { a[20] = 0; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_DOUBLE_EQ(r.trueAirspeedKnots, 0.0); }},
      {"true airspeed -1 at 7000 ft gives 250 kt", [](json& a) { a[20] = -1; a[4] = 7000; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_DOUBLE_EQ(r.trueAirspeedKnots, 250.0); }},
      {"a true airspeed text at 12000 ft gives 350 kt", [](json& a) { a[20] = "fast"; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_DOUBLE_EQ(r.trueAirspeedKnots, 350.0); }},
      {"a registration of 13 characters drops the aircraft", [](json& a) { a[9] = "ABCDEFGHIJKLM"; }, nullptr,
       dropped},
      {"registration null is empty", [](json& a) { a[9] = "null"; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_EQ(r.identity.registration, ""); }},
      {"type 0 means none, and no type is not injected", [](json& a) { a[8] = "0"; }, nullptr, dropped},
      {"type ZZZZ means none", [](json& a) { a[8] = "ZZZZ"; }, nullptr, dropped},
      {"emitter category B2 is rejected", [](json& a) { a[28] = "B2"; }, nullptr, dropped},
      // The type and category rules themselves are the aircraft data's.
      {"a glider is never injected", [](json& a) { a[8] = "GLID"; }, nullptr, dropped},
      {"an empty category injects any type", [](json& a) { a[8] = "GLID"; a[28] = ""; }, nullptr,
       [](const LiveTrafficRecord&) {}},
      {"emitter category null is accepted", [](json& a) { a[28] = "null"; }, nullptr,
       [](const LiveTrafficRecord&) {}},
      {"a missing emitter category is accepted", [](json& a) { a[28] = nullptr; }, nullptr,
       [](const LiveTrafficRecord&) {}},
      // A lying answer must not give the engine a speed, track or climb no aircraft has.
      {"a negative ground speed is dropped", [](json& a) { a[5] = -5; }, nullptr, dropped},
      {"a ground speed of 1e9 kt is dropped", [](json& a) { a[5] = 1e9; }, nullptr, dropped},
      {"a track of 400 is dropped", [](json& a) { a[3] = 400; }, nullptr, dropped},
      {"a negative track is dropped", [](json& a) { a[3] = -10; }, nullptr, dropped},
      {"a vertical speed of 1e6 fpm is dropped", [](json& a) { a[15] = -1e6; }, nullptr, dropped},
      {"an altitude of 1e7 ft is dropped", [](json& a) { a[4] = 1e7; }, nullptr, dropped},
      {"a true airspeed of 1e12 kt is taken as none", [](json& a) { a[20] = 1e12; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_DOUBLE_EQ(r.trueAirspeedKnots, 350.0); }},
      {"a bank of 1e300 is none", [](json& a) { a[23] = 1e300; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_FALSE(r.bankRadians); }},
      {"latitude above 90 is dropped", [](json& a) { a[1] = 90.5; }, nullptr, dropped},
      {"longitude below -180 is dropped", [](json& a) { a[2] = -180.5; }, nullptr, dropped},
      {"a position next to 0,0 is dropped", [](json& a) { a[1] = 0.0001; a[2] = -0.0001; },
       [](LiveDecodeContext& c) { c.ownPosition = GeoPoint{}; }, dropped},
      {"an aircraft beyond the range is dropped", [](json& a) { a[1] = 53.1; }, nullptr, dropped},
      {"callsign null is empty", [](json& a) { a[13] = "null"; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_EQ(r.identity.callsign, ""); }},
      {"a callsign with @ is emptied", [](json& a) { a[13] = "KL@M"; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_EQ(r.identity.callsign, ""); }},
      {"callsign ERARMTR0 is dropped", [](json& a) { a[13] = "ERARMTR0"; }, nullptr, dropped},
      {"callsign AIRPORT1 is dropped", [](json& a) { a[13] = "AIRPORT1"; }, nullptr, dropped},
      {"no registration and no callsign is dropped", [](json& a) { a[9] = "null"; a[13] = "null"; }, nullptr,
       dropped},
      {"departure and destination null are empty", [](json& a) { a[11] = "null"; a[12] = 5; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_EQ(r.identity.departure, ""); EXPECT_EQ(r.identity.destination, ""); }},
      {"bank 0 is none", [](json& a) { a[23] = 0; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_FALSE(r.bankRadians); }},
      {"bank -1 is none", [](json& a) { a[23] = -1; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_FALSE(r.bankRadians); }},
      {"a bank text is none", [](json& a) { a[23] = "left"; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_FALSE(r.bankRadians); }},
      // Malformed arrays: skipped without a crash.
      {"coordinates as texts read as 0 and are dropped", [](json& a) { a[1] = "52.3"; a[2] = "4.7"; },
       [](LiveDecodeContext& c) { c.ownPosition = GeoPoint{}; }, dropped},
      {"all values null", [](json& a) { a = json::array(); for (int i = 0; i < 48; ++i) a.push_back(nullptr); },
       nullptr, dropped},
      {"a short array", [](json& a) { a = json::array({"484f6d", 52.3}); }, nullptr, dropped},
      {"an object in place of the array", [](json& a) { a = json{{"hex", "484f6d"}}; }, nullptr, dropped},
      {"a text in place of the array", [](json& a) { a = "484f6d"; }, nullptr, dropped},
      {"nested arrays in every slot", [](json& a) { for (auto& v : a) v = json::array({1, 2}); }, nullptr, dropped},
      {"a whole-number latitude is a number", [](json& a) { a[1] = 52; a[2] = 5; }, nullptr,
       [](const LiveTrafficRecord& r) { EXPECT_DOUBLE_EQ(r.latitude, 52.0); }},
  };
}

TEST(LiveDecoderTest, DecodesOrDropsEveryCase) {
  testing::resetFeedGlobals();
  testing::LogCapture log;
  FeedHooks hooks;
  for (const LiveCase& liveCase : liveCases()) {
    SCOPED_TRACE(liveCase.name);
    json array = testing::liveArray();
    if (liveCase.change) {
      liveCase.change(array);
    }
    LiveDecodeContext context = baseContext(hooks);
    if (liveCase.setup) {
      liveCase.setup(context);
    }
    LiveDecodeState state;
    std::vector<LiveTrafficRecord> records;
    processLine(array, context, state, records);
    if (liveCase.check) {
      ASSERT_EQ(records.size(), 1u);
      liveCase.check(records.front());
    } else {
      EXPECT_TRUE(records.empty());
    }
  }
  // Plausibility failures leave no trace in the log.
  EXPECT_FALSE(log.contains("lalo"));
  EXPECT_FALSE(log.contains("true heading"));
}

TEST(LiveDecoderTest, TheTimestampIsKeptEvenForADroppedAircraft) {
  testing::resetFeedGlobals();
  FeedHooks hooks;
  json array = testing::liveArray();
  array[10] = 1765001234;
  array[0] = "2710";
  LiveDecodeState state;
  std::vector<LiveTrafficRecord> records;
  processLine(array, baseContext(hooks), state, records);
  EXPECT_TRUE(records.empty());
  EXPECT_DOUBLE_EQ(state.latestTimestamp, 1765001234.0);
}

TEST(LiveDecoderTest, ABlockedCallsignIsReportedOnceAndItsChangeIsShown) {
  testing::resetFeedGlobals();
  testing::LogCapture log;
  FeedHooks hooks;
  std::vector<std::uint32_t> reported;
  hooks.reportBlockedCallsign = [&](std::uint32_t key) { reported.push_back(key); };
  LiveDecodeContext context = baseContext(hooks);
  context.blockedCallsign = "KLM1234";
  LiveDecodeState state;
  std::vector<LiveTrafficRecord> records;

  processLine(testing::liveArray(), context, state, records);
  EXPECT_TRUE(records.empty());
  EXPECT_EQ(reported, std::vector<std::uint32_t>{0x484f6d});
  EXPECT_EQ(statusLineText(), "Reader: Live aircraft KLM1234 blocked");

  clearStatusLine();
  processLine(testing::liveArray(), context, state, records);
  EXPECT_TRUE(records.empty());
  EXPECT_EQ(reported.size(), 1u);
  EXPECT_EQ(statusLineText(), "");

  // Another aircraft passes.
  json other = testing::liveArray("4840d6");
  other[13] = "KLM99";
  processLine(other, context, state, records);
  EXPECT_EQ(records.size(), 1u);

  // The user blocks another callsign: the old block is reported lifted, then
  // the new one is reported.
  context.blockedCallsign = "KLM99";
  records.clear();
  processLine(other, context, state, records);
  EXPECT_EQ(statusLineText(), "Reader: Live aircraft KLM1234 no longer blocked");
  processLine(other, context, state, records);
  EXPECT_EQ(statusLineText(), "Reader: Live aircraft KLM99 blocked");
  EXPECT_EQ(reported, (std::vector<std::uint32_t>{0x484f6d, 0x4840d6}));
  EXPECT_TRUE(records.empty());
  EXPECT_TRUE(log.contains("Reader: Live aircraft KLM1234 blocked"));
}

TEST(LiveDecoderTest, WhileBufferingCallsignsAndKeysAreCollectedBeforeTheGroundFilter) {
  FeedHooks hooks;
  LiveDecodeContext context = baseContext(hooks);
  context.buffering = true;
  LiveDecodeState state;
  std::vector<LiveTrafficRecord> records;
  json onGround = testing::liveArray("4840d6");
  onGround[5] = 10;  // on the ground, no park airport: dropped after collecting
  onGround[13] = "KLM7";
  processLine(onGround, context, state, records);
  json noCallsign = testing::liveArray("4840d7");
  noCallsign[13] = "null";
  processLine(noCallsign, context, state, records);
  EXPECT_EQ(records.size(), 1u);
  EXPECT_EQ(state.bufferedCallsigns, (std::set<std::string>{"KLM7"}));
  EXPECT_EQ(state.bufferedKeys, (std::set<std::uint32_t>{0x4840d6, 0x4840d7}));

  context.buffering = false;
  processLine(testing::liveArray("4840d8"), context, state, records);
  EXPECT_EQ(state.bufferedKeys.size(), 2u);
}

}  // namespace
}  // namespace crv
