#include "foundation/geodesy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <utility>

namespace crv {
namespace {

constexpr double kPi = std::numbers::pi;

TEST(GeodesyTest, DistancesAreMinutesOfArcTakingTheShortWay) {
  struct Case {
    GeoPoint from, to;
    double distanceNm;
  };
  const Case cases[] = {{{52.0, 4.7}, {53.0, 4.7}, 60.0},        {{-0.5, 100.0}, {0.5, 100.0}, 60.0},
                        {{0.0, 10.0}, {0.0, 11.0}, 60.0},        {{52.3086, 4.7639}, {52.3086, 4.7639}, 0.0},
                        {{0.0, 179.5}, {0.0, -179.5}, 60.0},     {{0.0, 0.0}, {0.0, 180.0}, 10800.0},
                        {{90.0, 0.0}, {-90.0, 0.0}, 10800.0}};
  for (const Case& c : cases) EXPECT_NEAR(gf_distanceNm(c.from, c.to), c.distanceNm, 1e-6) << c.to.longitude;
}

TEST(GeodesyTest, BearingsToTheFourQuartersAndToTheSamePoint) {
  struct Case {
    GeoPoint from, to;
    double bearing;
  };
  // West is 3 pi / 2, never -pi / 2.
  const Case cases[] = {{{10.0, 20.0}, {11.0, 20.0}, 0.0},        {{10.0, 20.0}, {9.0, 20.0}, kPi},
                        {{0.0, 20.0}, {0.0, 21.0}, kPi / 2},      {{0.0, 20.0}, {0.0, 19.0}, 3 * kPi / 2},
                        {{52.3086, 4.7639}, {52.3086, 4.7639}, 0.0}};
  for (const Case& c : cases) EXPECT_NEAR(gf_bearing(c.from, c.to), c.bearing, 1e-12) << c.bearing;
}

TEST(GeodesyTest, BearingsStayInsideZeroToAFullCircle) {
  // Just west of due north the angle rounds up to a full circle; due north
  // along a negative zero it comes out as -0.0.
  const std::pair<GeoPoint, GeoPoint> cases[] = {{{0.0, 0.0}, {1.0, -1e-15}},
                                                 {{52.0, 4.0}, {53.0, 4.0 - 1e-13}},
                                                 {{0.0, 0.0}, {1.0, -0.0}},
                                                 {{0.0, -0.0}, {1.0, 0.0}}};
  for (const auto& [from, to] : cases) {
    const double bearing = gf_bearing(from, to);
    EXPECT_GE(bearing, 0.0) << to.longitude;
    EXPECT_LT(bearing, 2 * kPi) << to.longitude;
    EXPECT_FALSE(std::signbit(bearing)) << to.longitude;
  }
}

TEST(GeodesyTest, AntipodalPointsGiveHalfTheCircumferenceWithoutNaN) {
  // Points where rounding pushes the haversine term just above one.
  const GeoPoint points[] = {{-11.056008330198168, -1.4992175852974583},
                             {3.727038335139838, -38.21467600280707},
                             {83.28678920685826, 134.441259436187},
                             {36.3161193347527, 3.176801095884798}};
  for (const GeoPoint& point : points) {
    const GeoPoint antipode{-point.latitude, point.longitude < 0.0 ? point.longitude + 180.0 : point.longitude - 180.0};
    const double distance = gf_distanceNm(point, antipode);
    ASSERT_FALSE(std::isnan(distance)) << point.latitude << " " << point.longitude;
    EXPECT_NEAR(distance, 10800.0, 1e-3);
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

TEST(GeodesyTest, DestinationStaysInsideTheLongitudeRangeAndNeverGivesNaN) {
  const GeoPoint start{0.0, 179.99};
  const GeoPoint east = gf_destination(start, kPi / 2, 2.0 * kFeetPerNm);
  EXPECT_LT(east.longitude, -179.9);
  EXPECT_NEAR(gf_distanceNm(start, east), 2.0, 1e-6);
  const GeoPoint same = gf_destination({10.0, 190.0}, 1.0, 0.0);
  EXPECT_NEAR(same.latitude, 10.0, 1e-12);
  EXPECT_NEAR(same.longitude, -170.0, 1e-9);
  // Over the pole.
  const GeoPoint end = gf_destination({89.9999999, 0.0}, 0.0, 1.0 * kFeetPerNm);
  EXPECT_FALSE(std::isnan(end.latitude));
  EXPECT_FALSE(std::isnan(end.longitude));
}

}  // namespace
}  // namespace crv
