#include "foundation/geodesy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace crv {
namespace {

constexpr double kPi = std::numbers::pi;

TEST(GeodesyTest, OneDegreeOfLatitudeIsSixtyNauticalMiles) {
  EXPECT_NEAR(gf_distanceNm({52.0, 4.7}, {53.0, 4.7}), 60.0, 1e-9);
  EXPECT_NEAR(gf_distanceNm({-0.5, 100.0}, {0.5, 100.0}), 60.0, 1e-9);
  // Along the equator too: the sphere is one minute of arc per mile.
  EXPECT_NEAR(gf_distanceNm({0.0, 10.0}, {0.0, 11.0}), 60.0, 1e-9);
}

TEST(GeodesyTest, EqualPointsHaveNoDistanceAndCourseZero) {
  const GeoPoint point{52.3086, 4.7639};
  EXPECT_EQ(gf_distanceNm(point, point), 0.0);
  EXPECT_EQ(gf_bearing(point, point), 0.0);
}

TEST(GeodesyTest, BearingsToTheFourQuarters) {
  const GeoPoint origin{10.0, 20.0};
  EXPECT_NEAR(gf_bearing(origin, {11.0, 20.0}), 0.0, 1e-12);
  EXPECT_NEAR(gf_bearing(origin, {9.0, 20.0}), kPi, 1e-12);
  EXPECT_NEAR(gf_bearing({0.0, 20.0}, {0.0, 21.0}), kPi / 2, 1e-12);
  // West is 3 pi / 2, never -pi / 2.
  EXPECT_NEAR(gf_bearing({0.0, 20.0}, {0.0, 19.0}), 3 * kPi / 2, 1e-12);
}

TEST(GeodesyTest, AntipodalPointsGiveHalfTheCircumferenceWithoutNaN) {
  EXPECT_NEAR(gf_distanceNm({0.0, 0.0}, {0.0, 180.0}), 10800.0, 1e-6);
  EXPECT_NEAR(gf_distanceNm({90.0, 0.0}, {-90.0, 0.0}), 10800.0, 1e-6);
  // Points where rounding pushes the haversine term above one.
  for (double latitude : {0.0, 12.345, 45.0, 89.999, -33.3}) {
    for (double longitude : {0.0, 0.1, 77.7, 179.99}) {
      const double distance = gf_distanceNm({latitude, longitude}, {-latitude, longitude - 180.0});
      ASSERT_FALSE(std::isnan(distance)) << latitude << " " << longitude;
      EXPECT_NEAR(distance, 10800.0, 1e-3);
    }
  }
}

TEST(GeodesyTest, DestinationRoundTripsWithDistanceAndBearing) {
  const GeoPoint start{52.3086, 4.7639};
  for (double courseDeg : {0.0, 45.0, 90.0, 135.0, 200.0, 315.0}) {
    const double course = courseDeg * kDegreesToRadians;
    const double feet = 5.0 * kFeetPerNm;
    const GeoPoint end = gf_destination(start, course, feet);
    EXPECT_NEAR(gf_distanceNm(start, end), 5.0, 1e-6) << courseDeg;
    EXPECT_NEAR(gf_bearing(start, end), course, 1e-6) << courseDeg;
  }
}

TEST(GeodesyTest, DestinationStaysInsideTheLongitudeRange) {
  const GeoPoint start{0.0, 179.99};
  const GeoPoint east = gf_destination(start, kPi / 2, 2.0 * kFeetPerNm);
  EXPECT_LT(east.longitude, -179.9);
  EXPECT_NEAR(gf_distanceNm(start, east), 2.0, 1e-6);
  // The distance across the 180th meridian takes the short way.
  EXPECT_NEAR(gf_distanceNm({0.0, 179.5}, {0.0, -179.5}), 60.0, 1e-6);
  const GeoPoint same = gf_destination({10.0, 190.0}, 1.0, 0.0);
  EXPECT_NEAR(same.latitude, 10.0, 1e-12);
  EXPECT_NEAR(same.longitude, -170.0, 1e-9);
}

TEST(GeodesyTest, DestinationOverThePoleNeverGivesNaN) {
  const GeoPoint nearPole{89.9999999, 0.0};
  const GeoPoint end = gf_destination(nearPole, 0.0, 1.0 * kFeetPerNm);
  EXPECT_FALSE(std::isnan(end.latitude));
  EXPECT_FALSE(std::isnan(end.longitude));
}

}  // namespace
}  // namespace crv
