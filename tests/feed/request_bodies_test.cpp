#include "feed/request_bodies.h"

#include <gtest/gtest.h>

namespace crv {
namespace {

const QueryBox kBox{52.4449, 52.1651, 4.5351, 4.975};

TEST(PercentEncodeTest, KeepsUnreservedCharactersAndEncodesEveryOtherByte) {
  EXPECT_EQ(percentEncode("abcXYZ019-._~"), "abcXYZ019-._~");
  EXPECT_EQ(percentEncode("a&b=c d+e%f"), "a%26b%3Dc%20d%2Be%25f");
  EXPECT_EQ(percentEncode("\xC3\xA9"), "%C3%A9");
  EXPECT_EQ(percentEncode(""), "");
}

// The other bodies are checked where the readers send them.
TEST(RequestBodiesTest, CoordinatesAreRoundedAndFieldsComeInOrder) {
  EXPECT_EQ(historyBody("g", kBox, 15),
            "GUID=g&top=52.44&bottom=52.17&left=4.54&right=4.97&querytype=locationtraffic&toffset=15"
            "&buffercount=5&buffertime=6");
  EXPECT_EQ(nearestMetarBody("g", 5, 52.30861, -4.76389), "GUID=g&toffset=5&lat=52.3086&lon=-4.7639");
}

TEST(RequestBodiesTest, FormValuesArePercentEncoded) {
  EXPECT_EQ(loginBody("key&software=evil"), "license=key%26software%3Devil&software=CRVN_11.0.2");
  EXPECT_EQ(logoutBody("a b"), "GUID=a%20b");
  EXPECT_EQ(weatherBody("g", 0, 0, 0, 0, "E&H"), "GUID=g&querytype=locwx&toffset=0&lat=0.0000&lon=0.0000&alt=0&airports=E%26H");
}

TEST(RequestBodiesTest, TheWeatherAltitudeIsWholeFeetAndNeverBelowZero) {
  EXPECT_EQ(weatherAltitudeFeet(-50.0), 0);
  EXPECT_EQ(weatherAltitudeFeet(0.99), 0);
  EXPECT_EQ(weatherAltitudeFeet(1.0), 1);
  EXPECT_EQ(weatherAltitudeFeet(35999.9), 35999);
}

}  // namespace
}  // namespace crv
