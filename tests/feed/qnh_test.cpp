#include <gsl/narrow>
#include <gtest/gtest.h>

#include "feed/weather_reader.h"
#include "tests/feed/feed_test_support.h"

namespace crv {
namespace {

using nlohmann::json;

struct QnhCase { const char* name; json data; int expected; };

TEST(ExtractQnhTest, ReadsEveryFormTheServiceSends) {
  testing::LogCapture log;
  const std::vector<QnhCase> cases = {
      {"integer hPa", {{"QNH", 1021}}, 1021}, {"float rounds half away from zero", {{"QNH", 1012.5}}, 1013},
      {"float rounds down", {{"QNH", 1012.4}}, 1012}, {"text: the leading whole number", {{"QNH", "1012.5"}}, 1012},
      {"text 29.92 reads 29", {{"QNH", "29.92"}}, 29}, {"negative text", {{"QNH", "-5hPa"}}, -5},
      {"inHg hundredths", {{"QNH", 2992}}, 1013}, {"inHg hundredths as text", {{"QNH", "2992"}}, 1013},
      {"1081 is inHg too", {{"QNH", 1081}}, 366}, {"1080 stays hPa", {{"QNH", 1080}}, 1080},
      {"text without digit", {{"QNH", "n/a"}}, 1013}, {"text beyond 32 bits", {{"QNH", "99999999999"}}, 1013},
      {"null value", {{"QNH", nullptr}}, 1013}, {"boolean value", {{"QNH", true}}, 1013},
      {"no QNH member", {{"METAR", "EHAM"}}, 1013}, {"empty object", json::object(), 1013},
      {"not an object", json::array({1013}), 1013}, {"null data", json(), 1013},
  };
  for (const QnhCase& qnhCase : cases) {
    EXPECT_EQ(extractQNH(qnhCase.data), qnhCase.expected) << qnhCase.name;
  }
  EXPECT_EQ(testing::missingPieces(log.text(), {"===> No QNH found in data", "===> extractQNH: n/a"}), "");
}

TEST(ExtractQnhTest, AFloatBeyondThirtyTwoBitsIsANarrowingError) {
  EXPECT_THROW(extractQNH(json{{"QNH", 1e12}}), gsl::narrowing_error);
  EXPECT_THROW(extractQNH(json{{"QNH", 5000000000LL}}), gsl::narrowing_error);
}

}  // namespace
}  // namespace crv
