#include "foundation/text.h"

#include <gtest/gtest.h>

#include <gsl/narrow>
#include <limits>
#include <map>

namespace crv {
namespace {

using Pieces = std::vector<std::string>;

TEST(TextTest, TrimAndSplitKeepEmptyPieces) {
  EXPECT_EQ(trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(trim(" \t\r\n"), "");
  EXPECT_EQ(splitComma(" a , b,,c, "), (Pieces{"a", "b", "", "c", ""}));
  EXPECT_EQ(splitComma(""), Pieces{});
  EXPECT_EQ(splitTrim("x;y", ';'), (Pieces{"x", "y"}));
  EXPECT_EQ(splitCommaSortedUnique("KLM, AFR,KLM , BAW"), (Pieces{"AFR", "BAW", "KLM"}));
}

TEST(TextTest, CommaListsAreJoinedAndNormalised) {
  EXPECT_EQ(joinStrings({}), "");
  EXPECT_EQ(joinStrings({"a", "b", "c"}), "a,b,c");
  std::string spaced = " KLM , AFR\t,BAW ";
  normaliseCommaList(spaced);
  EXPECT_EQ(spaced, "KLM,AFR,BAW");
  std::string tight = "KLM,AFR";
  normaliseCommaList(tight);
  EXPECT_EQ(tight, "KLM,AFR");
}

TEST(TextTest, QuotedTextTakesTheFirstQuotedPiece) {
  EXPECT_EQ(quotedText(R"(title = "A320")"), "A320");
  EXPECT_EQ(quotedText("no quotes"), "no quotes");
  EXPECT_EQ(quotedText(R"(one " only)"), "");
  EXPECT_EQ(quotedText(R"(empty "" pair)"), "");
  EXPECT_EQ(quotedText(R"("a" and "b")"), "a");
}

TEST(TextTest, StarFormAndCase) {
  EXPECT_TRUE(isStarForm("KLM123", "KLM123*"));
  EXPECT_FALSE(isStarForm("KLM123", "KLM124*"));
  EXPECT_FALSE(isStarForm("KLM1", "KLM123*"));
  EXPECT_FALSE(equalsUpper("eddf", "eddf"));  // the first text must be upper case
  EXPECT_EQ(toUpper("ab-1z"), "AB-1Z");
}

TEST(TextTest, NumbersPercentagesAndPlurals) {
  EXPECT_EQ(formatNumber(2.0F), "2");
  EXPECT_EQ(formatNumber(2.5F), "2.5");
  EXPECT_EQ(percentOf(1, 3), 33);
  EXPECT_EQ(percentOf(2, 3), 67);
  EXPECT_EQ(percentOf(5, 0), 0);
  EXPECT_THROW(percentOf(std::numeric_limits<std::int64_t>::max() / 10, 1), gsl::narrowing_error);
  EXPECT_EQ(pluralSuffix(0), "s");
  EXPECT_EQ(pluralSuffix(-3), "");  // only counts above one, and none, take an s
  EXPECT_EQ(pluralSuffix(2), "s");
}

TEST(TextTest, BannerLineCentresItsText) {
  EXPECT_EQ(bannerLine(70, 0, false, false, "parameters"),
            std::string(34, '*') + " parameters " + std::string(34, '*'));
  EXPECT_EQ(bannerLine(9, 0, true, true, ""), "\n" + std::string(10, '*') + "\n");
  EXPECT_EQ(bannerLine(6, 0, false, false, "toolong"), "toolong");
}

TEST(TextTest, VariationIsThePercentageEitherWay) {
  std::map<double, int> seen;
  for (int i = 0; i < 200; ++i) ++seen[randomVariation(100.0, 10.0)];
  EXPECT_EQ(seen.size(), 2U);
  EXPECT_EQ(seen.begin()->first, 90.0);
  EXPECT_EQ(seen.rbegin()->first, 110.0);
  EXPECT_EQ(randomVariation(100.0, 0.0), 100.0);
}

}  // namespace
}  // namespace crv
