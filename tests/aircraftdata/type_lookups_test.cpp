#include "aircraftdata/type_lookups.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/aircraftdata/dbase_test_files.h"

namespace crv {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::DbaseXml;
using testing::LogCapture;
using testing::installDbaseXml;

constexpr double kNmPerMeter = 1.0 / 1852.0;

class TypeLookupsTest : public ::testing::Test {
 protected:
  void SetUp() override { installDbaseXml(DbaseXml().text()); }
};

TEST_F(TypeLookupsTest, CategoryComesFromTheTypeSetsAndUnknownTypesAreLight) {
  const std::pair<const char*, SizeCategory> cases[] = {
      {"B738", SizeCategory::Large}, {"F16", SizeCategory::HighPerf}, {"ZZZZ", SizeCategory::Light},
      {"", SizeCategory::Light},     {"b738", SizeCategory::Light}};  // exact case
  for (const auto& [type, category] : cases) EXPECT_EQ(aircraftCategory(type), category) << type;
  EXPECT_FALSE(isKnownType("a320") || isKnownType("") || isIcaoAirline("dlh"));
  EXPECT_TRUE(isIcaoAirline("DLH"));
}

TEST_F(TypeLookupsTest, TypeInSeveralSetsTakesTheFirstInTheFixedOrder) {
  installDbaseXml(DbaseXml().set("heavy", R"(<hvy types="B744,B738,GLF5"/>)").set("buzjet", R"(<bzj types="GLF5,EC35"/>)")
                      .set("rotorcraft", R"(<rot types="EC35,F16"/>)").text());
  EXPECT_EQ(aircraftCategory("B738"), SizeCategory::Large);       // large before heavy
  EXPECT_EQ(aircraftCategory("GLF5"), SizeCategory::Heavy);       // heavy before buzjet
  EXPECT_EQ(aircraftCategory("EC35"), SizeCategory::Buzjets);     // buzjet before rotorcraft
  EXPECT_EQ(aircraftCategory("F16"), SizeCategory::Rotorcraft);   // rotorcraft before hpf
}

TEST_F(TypeLookupsTest, WingspanIsTheTypesOwnHalfSpanElseItsCategoryAverage) {
  installDbaseXml(DbaseXml().set("aircrafts", R"(<aircraft types="B738,A320,C172,B744,GLF5,EC35,F16,A388,C150"/>)")
                      .set("wingspans", R"(<wingspan type="B738" meters="36"/><wingspan type="C172" meters="11"/>)"
                                        R"(<wingspan type="C150" meters="10"/>)").text());
  EXPECT_NEAR(wingspanOfType("B738"), 18 * kNmPerMeter, 1e-12);
  EXPECT_NEAR(wingspanOfType("A320"), 18 * kNmPerMeter, 1e-12);  // Large average
  EXPECT_NEAR(wingspanOfType("ZZZZ"), 5.25 * kNmPerMeter, 1e-12);  // Light average
  EXPECT_NEAR(wingspanOfType(""), 5.25 * kNmPerMeter, 1e-12);
  EXPECT_DOUBLE_EQ(wingspanOfType("B744"), defaultCategoryHalfSpan(SizeCategory::Heavy));
  EXPECT_NEAR(largestHalfWingSpan(), 18 * kNmPerMeter, 1e-12);
}

TEST(RegistrationVariantsTest, OnlyLongRegistrationsWithoutHyphenAreSplit) {
  EXPECT_THAT(registrationVariants("DABCD"), ElementsAre("DA-BCD", "D-ABCD", "DABCD"));
  EXPECT_THAT(registrationVariants("GABCDE"), ElementsAre("GA-BCDE", "G-ABCDE", "GABCDE"));
  for (const char* kept : {"N123AB", "NABCD", "G-ABCD", "AB-CD", "ABCD", ""}) {
    EXPECT_THAT(registrationVariants(kept), ElementsAre(kept));
  }
}

TEST_F(TypeLookupsTest, FindRegcodeTriesTheVariants) {
  installDbaseXml(DbaseXml().set("dbase", R"(<db reg="D-ABCD" airl="DLH" type="A320" opr="Lufthansa"/>)"
                                          R"(<db reg="HBJNA" airl="SWR" type="B77W"/><db airl="XYZ"/>)").text());
  EXPECT_EQ(findRegcode("DABCD"), (RegistrationData{"DLH", "A320", "Lufthansa", false}));
  // Stored without hyphen: only the plain spelling finds it.
  EXPECT_TRUE(findRegcode("HBJNA").has_value());
  EXPECT_FALSE(findRegcode("HB-JNA").has_value());
  EXPECT_FALSE(findRegcode("").has_value());  // even with a record stored without one
  EXPECT_FALSE(findRegcode("XYZZY").has_value());
  EXPECT_EQ(regcodeOperator("DABCD") + "|" + regcodeAirline("DABCD") + "|" + regcodeOperator("unknown"), "Lufthansa|DLH|");
}

TEST_F(TypeLookupsTest, FindRegcodeInTextLooksForShortRegistrations) {
  installDbaseXml(DbaseXml().set("dbase", R"(<db reg="PH-BXA"/><db reg="N123"/><db reg="G-ABC"/><db reg=""/>)").text());
  EXPECT_EQ(findRegcodeInText("AIG Boeing 737 N123 United").value_or("-"), "N123");
  EXPECT_EQ(findRegcodeInText("Livery G-ABC").value_or("-"), "G-ABC");
  EXPECT_FALSE(findRegcodeInText("KLM PH-BXA").has_value());  // 6 characters: not looked for
  EXPECT_FALSE(findRegcodeInText("livery n123").has_value());  // case-sensitive
  EXPECT_FALSE(findRegcodeInText("").has_value());
}

TEST_F(TypeLookupsTest, FindPublisherIgnoresCaseAndGivesTheFirstName) {
  installDbaseXml(DbaseXml().set("publishers", R"(<pub names="FlyTampa,Fly Tampa"/><pub names=" , "/><pub names="Aerosoft,,"/>)").text());
  // A stray comma's empty name matches nothing; a publisher without names still counts.
  EXPECT_EQ(findPublisher("flytampa-amsterdam") + " " + findPublisher("FLY TAMPA EHAM") + " " +
                findPublisher("aerosoft-airport-cologne") + " " + findPublisher("someone-else") + " " + findPublisher(""),
            "FlyTampa FlyTampa Aerosoft unknown unknown");
  EXPECT_EQ(publisherCount(), 3u);
}

TEST_F(TypeLookupsTest, CheckThirdpartyLineReadsTheParkingCount) {
  LogCapture log;
  ThirdpartyLineContext context{"FlyTampa", "EHAM", -1};
  EXPECT_FALSE(checkThirdpartyLine(context, "LOWW 77"));
  EXPECT_EQ(context.parkingCount, -1);
  EXPECT_TRUE(checkThirdpartyLine(context, "EHAM 140"));
  EXPECT_EQ(context.parkingCount, 140);
  EXPECT_TRUE(checkThirdpartyLine(context, "EHAM"));
  EXPECT_TRUE(checkThirdpartyLine(context, "EHAM x"));
  EXPECT_EQ(context.parkingCount, 140);  // unchanged by a line without a number
  EXPECT_THAT(log.text(), HasSubstr("===> FlyTampa EHAM EHAM x invalid number"));
}

}  // namespace
}  // namespace crv
