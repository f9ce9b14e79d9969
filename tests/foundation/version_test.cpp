#include "foundation/version.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/log_capture.h"

namespace crv {
namespace {

TEST(VersionTest, ReadsThreeNumbersWithAnySeparator) {
  EXPECT_EQ(VersionData("11.0.2"), VersionData(11, 0, 2));
  EXPECT_EQ(VersionData("11-0-2"), VersionData(11, 0, 2));
  EXPECT_EQ(VersionData(""), VersionData(0, 0, 0));
  EXPECT_EQ(formatVersion(VersionData("3.14.159")), "3.14.159");
  EXPECT_EQ(formatVersion(programVersionData()), "11.0.2");
}

TEST(VersionTest, ReadsAJsonObjectWithMissingMembersAsZero) {
  EXPECT_EQ(VersionData(R"({"major": 2, "patch": 5})"), VersionData(2, 0, 5));
  EXPECT_EQ(VersionData("[1, 2, 3]"), VersionData(0, 0, 0));
  // A number written with a fraction takes its integer value.
  EXPECT_EQ(VersionData(R"({"major": 11.0, "minor": 0, "patch": 2.0})"), VersionData(11, 0, 2));
}

TEST(VersionTest, FailuresAreLoggedAndKeepWhatWasRead) {
  testing::LogCapture log;
  EXPECT_EQ(VersionData("11.0"), VersionData(0, 0, 0));
  // The major part is read before the minor part overflows.
  EXPECT_EQ(VersionData("7.99999999999.1"), VersionData(7, 0, 0));
  EXPECT_EQ(VersionData(R"({"major": 4, "minor": "x"})"), VersionData(4, 0, 0));
  // Numbers too large for a field fail as in the text form, never truncated.
  EXPECT_EQ(VersionData(R"({"major": 5, "minor": 4294967297})"), VersionData(5, 0, 0));
  EXPECT_EQ(VersionData(R"({"major": 6, "minor": -2147483649})"), VersionData(6, 0, 0));
  EXPECT_EQ(VersionData(R"({"major": 7, "minor": 3e9})"), VersionData(7, 0, 0));
  EXPECT_EQ(VersionData(R"({"major": 2147483647, "minor": -2147483648, "patch": 1})"),
            VersionData(2147483647, -2147483648, 1));
  EXPECT_EQ(log.missing({"VersionData exception: parse error in version string"}), "");
}

TEST(VersionTest, AHugeTextIsAFailureNotACrash) {
  testing::LogCapture log;
  EXPECT_EQ(VersionData(std::string(200000, '1') + ".2.3"), VersionData(0, 0, 0));
  // A long JSON object is still read.
  EXPECT_EQ(VersionData(R"({"major": 3,)" + std::string(1000, ' ') + R"("patch": 1})"), VersionData(3, 0, 1));
  EXPECT_TRUE(log.contains("VersionData exception: "));
}

TEST(VersionTest, ComparesNumbersFieldByField) {
  EXPECT_GT(VersionData("11.0.10"), VersionData("11.0.2"));
  EXPECT_LT(VersionData("10.9.9"), VersionData("11.0.0"));
  EXPECT_LT(VersionData("11.0.1"), programVersionData());
  EXPECT_EQ(VersionData("011.000.002"), programVersionData());
}

}  // namespace
}  // namespace crv
