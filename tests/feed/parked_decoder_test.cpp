#include "feed/parked_decoder.h"

#include <gtest/gtest.h>

#include <functional>

#include <fmt/format.h>

#include "tests/feed/feed_test_support.h"

namespace crv {
namespace {

using nlohmann::json;

// 2026-12-05 10:00:00 UTC
constexpr std::int64_t kTenOClock = 1796464800;

json parkedArray() {
  return json::array({52.3086, 4.7639, "D4", "B744", "PH-BFA", kTenOClock, "KLM591"});
}

// The fields a record carries, in one line.
std::string describe(const ParkedTrafficRecord& r) {
  return fmt::format("{:x} {} {} {} {} {} {} {} {}", r.key, r.latitude, r.longitude, r.parkingSpot,
                     r.identity.airline, r.identity.icaoType, r.identity.registration, r.identity.callsign, r.halfHour);
}

struct ParkedCase {
  const char* name;
  const char* key;
  std::function<void(json&)> change;
  const char* expected;  // the record described, or "" when it is dropped
};

const ParkedCase kParkedCases[] = {
    {"a plain parked aircraft", "4840d6", nullptr, "4840d6 52.3086 4.7639 D4  B744 PH-BFA KLM591 20"},
    {"key 2710 is dropped", "2710", nullptr, ""},
    {"a key without hex digits is dropped", "zz", nullptr, ""},
    {"10:29:30 is half hour 21", "4840d6", [](json& a) { a[5] = kTenOClock + 29 * 60 + 30; },
     "4840d6 52.3086 4.7639 D4  B744 PH-BFA KLM591 21"},
    {"a floating report time is rounded", "4840d6", [](json& a) { a[5] = kTenOClock + 29 * 60 + 29.6; },
     "4840d6 52.3086 4.7639 D4  B744 PH-BFA KLM591 21"},
    {"a report time text is a type error", "4840d6", [](json& a) { a[5] = "10:00"; }, ""},
    {"a report time beyond 64 bits is dropped", "4840d6", [](json& a) { a[5] = 1e300; }, ""},
    {"a registration of 13 characters is emptied and the aircraft stays", "4840d6",
     [](json& a) { a[4] = "ABCDEFGHIJKLM"; }, "4840d6 52.3086 4.7639 D4  B744  KLM591 20"},
    {"B747 is stored as B744", "4840d6", [](json& a) { a[3] = "B747"; }, "4840d6 52.3086 4.7639 D4  B744 PH-BFA KLM591 20"},
    {"type ZZZZ is none and dropped", "4840d6", [](json& a) { a[3] = "ZZZZ"; }, ""},
    {"latitude beyond 90 is dropped", "4840d6", [](json& a) { a[0] = 91.0; }, ""},
    {"a callsign of seven characters and a point loses the point", "4840d6", [](json& a) { a[6] = "KLM1234."; },
     "4840d6 52.3086 4.7639 D4  B744 PH-BFA KLM1234 20"},
    {"a callsign of 9 characters is emptied", "4840d6", [](json& a) { a[6] = "KLM123456"; },
     "4840d6 52.3086 4.7639 D4  B744 PH-BFA  20"},
    {"a callsign with 00000 is emptied", "4840d6", [](json& a) { a[6] = "A000001"; },
     "4840d6 52.3086 4.7639 D4  B744 PH-BFA  20"},
    {"a parking spot that is no text drops the aircraft", "4840d6", [](json& a) { a[2] = 4; }, ""},
    {"an empty spot equals the empty reserved stand", "4840d6", [](json& a) { a[2] = ""; }, ""},
    {"the user's stand is skipped", "4840d6", [](json& a) { a[2] = "F4"; }, ""},
    {"an object in place of the array", "4840d6", [](json& a) { a = json{{"lat", 52.3}}; }, ""},
};

TEST(ParkedDecoderTest, DecodesOrDropsEveryCase) {
  testing::LogCapture log;
  testing::installTestAircraftDatabase();
  const FeedHooks hooks;
  ParkedDecodeContext context;
  context.reservedStandName = "";
  context.userStandName = "F4";
  context.hooks = &hooks;
  for (const ParkedCase& parkedCase : kParkedCases) {
    json array = parkedArray();
    if (parkedCase.change) parkedCase.change(array);
    std::vector<ParkedTrafficRecord> records;
    processParkedTrafficLine(parkedCase.key, array, context, records);
    const std::string decoded = records.empty() ? "" : describe(records[0]);
    EXPECT_EQ(decoded, parkedCase.expected) << parkedCase.name;
  }
  EXPECT_TRUE(log.contains("===> processParkedTrafficLine: report time is string, not a number"));
  EXPECT_FALSE(log.contains("lalo"));
}

TEST(ParkedDecoderTest, RegistrationDataFillsTheAirlineTypeAndMissingNames) {
  testing::installTestAircraftDatabase();
  const FeedHooks hooks;
  ParkedDecodeContext context;
  context.hooks = &hooks;
  std::vector<ParkedTrafficRecord> records;

  // A registration without a callsign lends its name to the callsign; an
  // operator replaces the airline.
  processParkedTrafficLine("4007f1", json::array({51.47, -0.45, "501", "0", "G-XLEA", kTenOClock, "null"}), context,
                           records);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(describe(records[0]), "4007f1 51.47 -0.45 501 XYZ A388 G-XLEA G-XLEA 20");

  // A callsign that is a known registration becomes the registration.
  processParkedTrafficLine("4840d6", json::array({52.30, 4.76, "D4", "", "null", kTenOClock, "PH-BFB"}), context,
                           records);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(describe(records[1]), "4840d6 52.3 4.76 D4 KLM B744 PH-BFB PH-BFB 20");

  // A type the database does not know is dropped.
  processParkedTrafficLine("4840d7", json::array({52.30, 4.76, "D5", "C172", "PH-ABC", kTenOClock, "null"}), context,
                           records);
  EXPECT_EQ(records.size(), 2u);

  // So is one of a size category the user switched off.
  FeedHooks noHeavies = hooks;
  noHeavies.isCategoryEnabled = [](SizeCategory category) { return category != SizeCategory::Heavy; };
  context.hooks = &noHeavies;
  processParkedTrafficLine("4840d8", parkedArray(), context, records);  // B744
  processParkedTrafficLine("4840d9", json::array({52.30, 4.76, "D5", "B738", "PH-BXA", kTenOClock, "KLM1"}), context,
                           records);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[2].identity.icaoType, "B738");
}

}  // namespace
}  // namespace crv
