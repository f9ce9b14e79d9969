// Decoding aircraft.cfg bytes and reading its single lines.

#include <gtest/gtest.h>

#include "liveryscan/cfg_lines.h"
#include "liveryscan/cfg_text.h"
#include "tests/liveryscan/scan_fixture.h"

namespace crv {
namespace {

using Lines = std::vector<std::string>;

struct DecodeCase {
  const char* name;
  std::string bytes;
  Lines expected;
  CfgEncoding encoding;
};

TEST(CfgTextTest, DecodesEveryEncodingAndLineEnd) {
  const std::string cafe = "title=Caf\xC3\xA9 \xE2\x82\xAC";  // "Café €" in UTF-8
  const DecodeCase cases[] = {
      {"UTF-8 LF", "title=Caf\xC3\xA9 \xE2\x82\xAC\nx", {cafe, "x"}, CfgEncoding::Utf8},
      {"UTF-8 BOM CRLF", "\xEF\xBB\xBFtitle=Caf\xC3\xA9 \xE2\x82\xAC\r\nx\r\n", {cafe, "x"}, CfgEncoding::Utf8WithBom},
      {"UTF-16LE CRLF", utf16Bytes(u"title=Caf\u00E9 \u20AC\r\nx\r\n", true), {cafe, "x"},
       CfgEncoding::Utf16LittleEndian},
      {"UTF-16BE CR", utf16Bytes(u"title=Caf\u00E9 \u20AC\rx", false), {cafe, "x"}, CfgEncoding::Utf16BigEndian},
      {"Windows-1252", "title=Caf\xE9 \x80\r\nx", {cafe, "x"}, CfgEncoding::Windows1252},
      {"CR only", "a\rb\r\rc", {"a", "b", "", "c"}, CfgEncoding::Utf8},
      {"mixed ends", "a\r\nb\nc\rd", {"a", "b", "c", "d"}, CfgEncoding::Utf8},
      {"overlong UTF-8 is 1252", "\xC0\xAF", {"\xC3\x80\xC2\xAF"}, CfgEncoding::Windows1252},
      {"lone surrogate", utf16Bytes(u"a\xD800" u"b", true), {"a\xEF\xBF\xBD" "b"}, CfgEncoding::Utf16LittleEndian},
      {"empty", "", {}, CfgEncoding::Utf8},
  };
  for (const DecodeCase& c : cases) {
    Lines lines;
    std::string problem;
    CfgEncoding encoding{};
    ASSERT_TRUE(decodeCfgText(c.bytes, lines, problem, &encoding)) << c.name;
    EXPECT_EQ(lines, c.expected) << c.name;
    EXPECT_EQ(encoding, c.encoding) << c.name;
  }
}

TEST(CfgTextTest, BytesWithNulAreNoText) {
  Lines lines;
  std::string problem;
  EXPECT_FALSE(decodeCfgText(std::string("\x7F" "ELF\0\0\x01[fltsim.0]", 14), lines, problem));
  EXPECT_NE(problem.find("NUL"), std::string::npos);
  EXPECT_TRUE(lines.empty());
}

struct KeyCase {
  const char* line;
  bool (*reader)(std::string_view, std::string&);
  bool matches;
  const char* value;
};

TEST(CfgLinesTest, KeyReadersFollowTheLinePattern) {
  const KeyCase cases[] = {
      {"title=Foo", readTitleLine, true, "Foo"},
      {"  TITLE = \"Foo Bar\"  ", readTitleLine, true, "Foo Bar"},
      {"title=\"\"", readTitleLine, false, ""},
      {"title=", readTitleLine, false, ""},
      {"title = Foo ; was \"Bar\"", readTitleLine, true, "Foo"},
      {"title = \"Foo; Bar\" // note", readTitleLine, true, "Foo; Bar"},
      {"title=Foo//old", readTitleLine, true, "Foo"},
      {"; title=Foo", readTitleLine, false, ""},
      {"   // title=Foo", readTitleLine, false, ""},
      {"subtitle=Foo", readTitleLine, false, ""},
      {"title_x=Foo", readTitleLine, false, ""},
      {"atc_id=D-AB", readAtcIdLine, false, ""},
      {"atc_id=D-AIZA;x", readAtcIdLine, true, "D-AIZA"},
      {"atc_id=N123;x", readAtcIdLine, true, "N123"},
      {"ATC_ID = \"D-AIZA\"", readAtcIdLine, true, "D-AIZA"},
      {"icao_airline=\"\"", readIcaoAirlineLine, true, "ZZZ"},
      {"icao_airline=ZZZZ", readIcaoAirlineLine, true, "ZZZ"},
      {"icao_airline=zzzz", readIcaoAirlineLine, true, "ZZZZ"},
      {"icao_airline=dlh", readIcaoAirlineLine, true, "DLH"},
      {"icao_airline=", readIcaoAirlineLine, false, ""},
      {"icao_airline= ; none", readIcaoAirlineLine, false, ""},
      {"atc_parking_types=GATE,CARGO", readParkingTypesLine, true, "GATE,CARGO"},
      {"texture=Lufthansa", readTextureLine, true, "Lufthansa"},
  };
  for (const KeyCase& c : cases) {
    std::string value;
    EXPECT_EQ(c.reader(c.line, value), c.matches) << c.line;
    if (c.matches) {
      EXPECT_EQ(value, c.value) << c.line;
    }
  }
}

TEST(CfgLinesTest, SectionHeaders) {
  const std::pair<const char*, const char*> cases[] = {
      {"[fltsim.3]", "3"},           {"  [FltSim.12]  ", "12"},      {"[FltSim.x]", ""},
      {"[fltsim.x]", "10000"},       {"[FLTSIM.]", "10000"},         {"[fltsim.3] ; old", "10000"},
      {"//[fltsim.1]", ""},          {"; [fltsim.1]", "10000"},      {" //[fltsim.1]", "10000"},
      {"[fltsim.-1]", "-1"},         {"[General]", ""},              {"title=[fltsim.1]", "10000"},
  };
  for (const auto& [line, number] : cases) EXPECT_EQ(fltsimSectionNumber(line), number) << line;
}

TEST(CfgLinesTest, AVeryLongLineIsAnOrdinaryLine) {
  const std::string line = "title=" + std::string(30000, 'x') + " [fltsim.1]";
  std::string value;
  EXPECT_FALSE(readTitleLine(line, value));
  EXPECT_TRUE(fltsimSectionNumber(line).empty());
  EXPECT_FALSE(hasAtcIdKey("atc_id=" + line));
  EXPECT_TRUE(isOverlong(line));
}

}  // namespace
}  // namespace crv
