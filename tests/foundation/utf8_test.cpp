#include "foundation/utf8.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "foundation/errors.h"

namespace crv {
namespace {

TEST(ErrorsTest, UserErrorMessageCarriesTheCodeExceptNinetyNine) {
  EXPECT_STREQ(UserErrorException(60, "dbase.xml cannot be read").what(), "60: dbase.xml cannot be read");
  EXPECT_STREQ(UserErrorException(99, "plain").what(), "plain");
}

TEST(Utf8Test, RoundTripsEveryPlane) {
  const std::string text = "Zürich \xE2\x82\xAC \xF0\x9F\x9B\xA9 ok";
  const std::u16string wide = utf8ToUtf16(text);
  EXPECT_EQ(wide.size(), 14U);  // the plane above the first takes a surrogate pair
  EXPECT_EQ(utf16ToUtf8(wide), text);
  EXPECT_TRUE(utf8ToUtf16("").empty());
  EXPECT_TRUE(utf16ToUtf8(u"").empty());
}

// The code, direction and text of the refusal.
template <typename Conversion>
std::string refusal(Conversion convert) {
  try {
    convert();
  } catch (const win32::Utf8ConversionException& error) {
    return fmt::format("{} {} {}", error.errorCode(), static_cast<int>(error.direction()), error.what());
  }
  return "no exception";
}

TEST(Utf8Test, InvalidUtf8AndUnpairedSurrogatesAreRefusedWithError1113) {
  const std::string utf8Refusal = fmt::format("1113 {} Invalid UTF-8 sequence found in input string.",
                                              static_cast<int>(win32::ConversionDirection::Utf8ToUtf16));
  for (const char* bad : {"\xC3\x28", "\xC0\xAF", "\xED\xA0\x80", "abc\xE2\x82", "\xFF"}) {
    EXPECT_EQ(refusal([&] { utf8ToUtf16(bad); }), utf8Refusal) << bad;
  }
  const std::string utf16Refusal = fmt::format("1113 {} Invalid UTF-16 sequence found in input string.",
                                               static_cast<int>(win32::ConversionDirection::Utf16ToUtf8));
  for (const std::u16string& bad : {std::u16string(1, char16_t(0xD800)), std::u16string(u"a") + char16_t(0xDC00),
                                   std::u16string{char16_t(0xD83D), u'x'}}) {
    EXPECT_EQ(refusal([&] { utf16ToUtf8(bad); }), utf16Refusal);
  }
}

TEST(Utf8Test, WideLinesSplitAtLineFeedsAndKeepCarriageReturns) {
  std::vector<std::string> lines{"kept"};
  wideLinesToUtf8(u"one\r\ntwo\n\nlast", lines);
  EXPECT_EQ(lines, (std::vector<std::string>{"kept", "one\r", "two", "", "last"}));
  std::vector<std::string> single;
  wideLinesToUtf8(u"x\n", single);
  EXPECT_EQ(single, std::vector<std::string>{"x"});
}

}  // namespace
}  // namespace crv
