#include "feed/json_reading.h"

#include <optional>
#include <stdexcept>
#include <utility>

#include <gtest/gtest.h>

namespace crv {
namespace {

using nlohmann::json;

TEST(ParseHexIdTest, ReadsTheLeadingHexDigitsInEitherCase) {
  const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
      {"2710", 10000u},        {"abc123", 0xabc123u},  {"ABC123", 0xabc123u},
      {"484f6d~", 0x484f6du},  {"ffffffff", 0xffffffffu}, {"x484f6d", {}},        {"", {}},
      {"100000000", {}}};  // beyond 32 bits
  for (const auto& [text, key] : cases) EXPECT_EQ(parseHexId(text), key) << text;
}

TEST(JsonNumberTest, TakesNumbersOnlyAndReadsEverythingElseAsZero) {
  const std::pair<json, double> cases[] = {{json(42), 42.0}, {json(-42), -42.0}, {json(42u), 42.0},
                                           {json(4.25), 4.25}, {json("42"), 0.0},  {json(nullptr), 0.0},
                                           {json(true), 0.0},  {json::array({1}), 0.0}};
  for (const auto& [value, number] : cases) EXPECT_DOUBLE_EQ(jsonNumber(value), number) << value.dump();
}

TEST(JsonLookupTest, LookupsAreSafeOnAnyValue) {
  EXPECT_TRUE(jsonAt(json::array({1}), 1).is_null());
  EXPECT_TRUE(jsonAt(json{{"a", 1}}, 0).is_null());
  const json answer = {{"server", "rt1"}, {"number", 5}};
  EXPECT_TRUE(jsonHasKey(answer, "server"));
  EXPECT_FALSE(jsonHasKey(answer, "GUID"));
  EXPECT_FALSE(jsonHasKey(json::array({"server"}), "server"));
  EXPECT_EQ(jsonStringValue(answer, "server", "?"), "rt1");
  EXPECT_EQ(jsonStringValue(answer, "number", "?"), "?");
  EXPECT_EQ(jsonStringValue(json("text"), "server", "?"), "?");
}

TEST(AnswerStatusTest, AbsentIsHundredAndANonObjectThrows) {
  EXPECT_EQ(answerStatus(json::object()), kStatusAbsent);
  EXPECT_EQ(answerStatus(json{{"status", 406}}), 406);
  EXPECT_THROW(answerStatus(json::array({1, 2})), nlohmann::json::exception);
  EXPECT_THROW(answerStatus(json{{"status", "200"}}), nlohmann::json::exception);
  // A lying server's number that no int holds is refused, not converted.
  EXPECT_EQ(answerStatus(json{{"status", 406.0}}), 406);
  EXPECT_THROW(answerStatus(json::parse(R"({"status": 1e300})")), std::range_error);
  EXPECT_THROW(answerStatus(json::parse(R"({"status": -3e9})")), std::range_error);
  EXPECT_THROW(answerStatus(json::parse(R"({"status": 4294967496})")), std::range_error);
  EXPECT_EQ(answerMessage(json::object()), "");
}

TEST(AnswerPaceTest, ThePaceIsTakenAsTheServiceGivesItAndIsTwoSecondsWhenAbsent) {
  EXPECT_EQ(answerPace(json::object(), "rrl"), 2000);
  EXPECT_EQ(answerPace(json{{"wrrl", 20}}, "rrl"), 2000);
  // No pace is too short or too long: 0 and below make no pause at all.
  for (const int pace : {20, 0, -500, 60001, 864000000}) {
    EXPECT_EQ(answerPace(json{{"rrl", pace}}, "rrl"), pace);
  }
  EXPECT_EQ(answerPace(json{{"wrrl", 2500.75}}, "wrrl"), 2500);
  // A value of the wrong kind, or an answer that is no object, throws into
  // the request's own handler, as the status does.
  EXPECT_THROW(answerPace(json{{"rrl", "fast"}}, "rrl"), nlohmann::json::type_error);
  EXPECT_THROW(answerPace(json{{"rrl", nullptr}}, "rrl"), nlohmann::json::type_error);
  EXPECT_THROW(answerPace(json::array(), "rrl"), nlohmann::json::type_error);
  // A number that no int holds is no pace, not one cut down to 32 bits.
  EXPECT_THROW(answerPace(json{{"wrrl", 1e15}}, "wrrl"), std::range_error);
  EXPECT_THROW(answerPace(json::parse(R"({"rrl": 4294967316})"), "rrl"), std::range_error);
}

TEST(ParseAnswerTest, NestingDeeperThanTheLimitIsRefusedBeforeParsing) {
  const auto nested = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  EXPECT_EQ(jsonNestingDepth(R"({"a":"[[[[","b":[{"c":"\"]"}]})"), 3u);  // brackets in texts do not count
  EXPECT_EQ(parseAnswer(nested(kMaximumAnswerDepth)).size(), 1u);
  EXPECT_THROW(parseAnswer(nested(kMaximumAnswerDepth + 1)), AnswerTooDeep);
  EXPECT_TRUE(parseAnswerOrDiscarded(nested(100000)).is_discarded());
  EXPECT_TRUE(parseAnswerOrDiscarded("{\"a\":").is_discarded());
  EXPECT_THROW(parseAnswer("<html>"), nlohmann::json::parse_error);
}

}  // namespace
}  // namespace crv
