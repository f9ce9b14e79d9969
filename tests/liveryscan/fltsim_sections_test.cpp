// The per-file task: aircraft.cfg files as people write them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/utf8.h"
#include "liveryscan/fltsim_sections.h"
#include "liveryscan/ivao_liveries.h"
#include "tests/liveryscan/scan_fixture.h"

namespace crv {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAreArray;

// Real-world quirks in one file: letter case of keys and headers, numbering
// gaps, $$: and TT: values, placeholder airlines, a missing atc_id, comments
// after values and on their own lines, duplicate keys, an empty section and
// a 30,000-character line.
std::string quirkyCfg() {
  return "[VERSION]\nmajor = 1\n\n[General]\nCategory = airplane\n"
         "ICAO_Type_Designator = \"a320\"   ; lower case on purpose\n\n"
         "[FLTSIM.0]\ntitle = \"AIG A320 Lufthansa Caf\xC3\xA9\"   ; the \"real\" name\nICAO_Airline = DLH\n"
         "atc_id = D-AIZA ; first aircraft\natc_parking_types = GATE\natc_airline = \"$$:Lufthansa\"\n"
         "ui_type = \"TT:ATCCOM.AC_MODEL_A320.0.text\"\n// icao_airline = BAW\n\n"
         "[fltsim.2]\ntitle=AIG A320 British Freighter\nicao_airline=BAWC\natc_id=G-EUPA\natc_parking_types=cargo\n"
         "[fltsim.3]\ntitle=AIG A320 Generic\nicao_airline=ZZZZ\natc_id=D-AIZA\n"
         "[fltsim.4]\ntitle=AIG A320 Private PH-AB\ndescription=" + std::string(30000, 'x') + "\n"
         "[fltsim.5]\n\n"
         "[fltsim.6]\ntitle=AIG A320 Twice\ntitle=AIG A320 Twice again\nicao_airline=DLH\n"
         "[fltsim.7]\ntitle = AIG A320 Lufthansa Caf\xC3\xA9\nicao_airline = DLH\n"
         "[fltsim.8]\ntitle=AIG A320 Unknown\nicao_airline=XYZ\natc_id = TT:ATCCOM.ATC_ID_TAIL\n"
         "[fltsim.9]\ntitle=AIG A320 Stub-STUB\nicao_airline=DLH\n";
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::string toWindows1252(const std::string& utf8) { return replaceAll(utf8, "\xC3\xA9", "\xE9"); }

class FltsimSectionsTest : public LiveryScanFixture {};

TEST_F(FltsimSectionsTest, QuirkyFileGivesTheSameLiveriesInEveryEncoding) {
  const std::string text = quirkyCfg();
  const std::pair<const char*, std::string> encodings[] = {
      {"UTF-8", text},
      {"UTF-8 BOM CRLF", "\xEF\xBB\xBF" + replaceAll(text, "\n", "\r\n")},
      {"CR only", replaceAll(text, "\n", "\r")},
      {"UTF-16LE CRLF", utf16Bytes(utf8ToUtf16(replaceAll(text, "\n", "\r\n")), true)},
      {"UTF-16BE", utf16Bytes(utf8ToUtf16(text), false)},
      {"Windows-1252 CRLF", toWindows1252(replaceAll(text, "\n", "\r\n"))},
  };
  for (const auto& [name, bytes] : encodings) {
    clearScanReportLists();
    const auto path = write("AI/A320/aircraft.cfg", bytes);
    const std::string file = path.string();
    const std::string folder = path.parent_path().string();
    EXPECT_THAT(describe(lf_searchLiveriesinFile(1, path)),
                ElementsAre("DLH A320 AIG A320 Lufthansa Caf\xC3\xA9 D-AIZA",
                            "BAW A320 AIG A320 British Freighter G-EUPA cargo", "ZZZ A320 AIG A320 Generic ",
                            "PVT A320 AIG A320 Private PH-AB PH-AB", "PVT A320 AIG A320 Unknown "))
        << name;
    const auto missing = [&](const char* header) {
      return file + " " + header + " icao_airline is missing, or it has invalid info ";
    };
    EXPECT_THAT(linesOf(scanReports().incompleteSections),
                UnorderedElementsAreArray({missing("[fltsim.4]"), missing("[fltsim.5]"), missing("[fltsim.6]"),
                                           missing("[fltsim.8]"), missing("[fltsim.9]"), folder + " [fltsim.5] misses title",
                                           folder + " [fltsim.6] has more than one title key",
                                           folder + " [fltsim.7] title 'AIG A320 Lufthansa Caf\xC3\xA9' already exists",
                                           std::string("invalid atc_id=TT:ATCCOM.ATC_ID_TAIL in: AIG A320 Unknown")}))
        << name;
    EXPECT_THAT(linesOf(scanReports().invalidAirlines), ElementsAre("XYZ          in " + file + " [fltsim.8]"));
  }
}

struct FileCase {
  const char* name;
  const char* path;
  std::string text;
  std::vector<std::string> liveries;
  const char* reportLine;  // expected line of the named list, with {path} and {folder}
  ReportList ScanReports::*list;
};

TEST_F(FltsimSectionsTest, FileLevelCases) {
  const std::string dlh = "\ntitle=T1\nicao_airline=DLH\n";
  const FileCase cases[] = {
      {"numbers 0 1 10001", "a/aircraft.cfg", "[general]\nicao_type_designator=A320\n[fltsim.0]" + dlh +
       "[fltsim.1]\n[fltsim.10001]\n", {},
       "{path} contains a [fltsim.x] section with a number < 0 or > 10000", &ScanReports::invalidFiles},
      {"number -1", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.-1]" + dlh, {},
       "{path} contains a [fltsim.x] section with a number < 0 or > 10000", &ScanReports::invalidFiles},
      {"number 10000 allowed, comment header", "a/aircraft.cfg",
       "icao_type_designator=A320\n[fltsim.10000]" + dlh + "; [fltsim.1]\n", {"DLH A320 T1 "}, nullptr, nullptr},
      {"no fltsim section", "a/aircraft.cfg", "[general]\nicao_type_designator=A320\n", {}, "{path}",
       &ScanReports::noFltsimSection},
      {"empty file", "a/aircraft.cfg", "", {}, nullptr, nullptr},
      {"one byte", "a/aircraft.cfg", "[", {}, nullptr, nullptr},
      {"binary junk", "a/aircraft.cfg", std::string("\x89PNG\0\0[fltsim.0]", 15), {},
       "{path} cannot be read: it holds NUL bytes, it is no text file", &ScanReports::invalidFiles},
      {"base container", "a/aircraft.cfg", "[VARIATION]\nbase_container = \"..\\Asobo_A320_NEO\"\n[FLTSIM.0]" + dlh,
       {"DLH A20N T1 "}, nullptr, nullptr},
      {"base container, other separator", "a/aircraft.cfg", "base_container=../Asobo_A320_NEO\n[FLTSIM.0]" + dlh,
       {"DLH A20N T1 "}, nullptr, nullptr},
      {"no model", "a/aircraft.cfg", "base_container=..\\Unknown_Jet\n[fltsim.0]" + dlh, {},
       "Line icao_type_designator= is missing in [General] section of {path}", &ScanReports::invalidFiles},
      {"no model, maker's own package", "fnx-aircraft-320/aircraft.cfg", "[fltsim.0]" + dlh, {}, nullptr, nullptr},
      {"model fix", "a/aircraft.cfg", "icao_type_designator=B73H8\n[fltsim.0]" + dlh, {"DLH B738 T1 "},
       "Model fix: B73H found in {path} changed into B738", &ScanReports::fixes},
      {"invalid model", "a/aircraft.cfg", "icao_type_designator=XX99\n[fltsim.0]" + dlh, {},
       "XX99             in {path}", &ScanReports::invalidModels},
      {"bracket rules", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\ntitle=AIG [new] A320\n"
       "icao_airline=DLH\n[fltsim.1]\ntitle=T2\nab=c[d]\nicao_airline=DLH\n",
       {"DLH A320 AIG [new] A320 ", "PVT A320 T2 "}, "{path} [fltsim.1] icao_airline is missing, or it has invalid info ",
       nullptr},
      {"heavy without airline", "a/aircraft.cfg", "icao_type_designator=B744\n[fltsim.0]\ntitle=T\natc_id=N999XX\n",
       {}, "'{folder}' '[fltsim.0]' has no airline and regcode not in dbase", &ScanReports::incompleteSections},
      {"airline from registration", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\ntitle=T\n"
       "atc_id=G-EUPA\n", {"BAW A320 T G-EUPA"}, nullptr, nullptr},
      {"second atc_id after several parts", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\ntitle=T\n"
       "icao_airline=dlhx\natc_id=D-AIZA,D-AIZB\natc_id=D-AIZC\n", {"DLH A320 T D-AIZC"}, nullptr, nullptr},
      {"repeated atc_id drops", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\ntitle=T\n"
       "icao_airline=DLH\natc_id=D-AIZA\nmodel=x atc_id=y\n", {}, "{folder}, [fltsim.0], has more than one atc_id key",
       &ScanReports::incompleteSections},
      {"commented second atc_id drops (;)", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\ntitle=T\n"
       "icao_airline=DLH\natc_id = \"PH-BXA\"\n;atc_id=\"PH-BXB\"\n", {},
       "{folder}, [fltsim.0], has more than one atc_id key", &ScanReports::incompleteSections},
      {"commented second atc_id drops (; before more keys)", "a/aircraft.cfg", "icao_type_designator=A320\n"
       "[fltsim.0]\ntitle=T\natc_id=PH-BXA\n ; atc_id=PH-BXB\nicao_airline=DLH\n[fltsim.1]\ntitle=T2\n"
       "icao_airline=KLM\n", {"KLM A320 T2 "},
       "{folder}, [fltsim.0], has more than one atc_id key", &ScanReports::incompleteSections},
      {"commented second atc_id drops (//)", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\ntitle=T\n"
       "icao_airline=DLH\natc_id = \"PH-BXA\"\n  //atc_id=\"PH-BXB\"\nui_variation=x\n", {},
       "{folder}, [fltsim.0], has more than one atc_id key", &ScanReports::incompleteSections},
      {"commented second atc_id above a line of one blank drops", "a/aircraft.cfg", "icao_type_designator=A320\n"
       "[fltsim.0]\ntitle=T\nicao_airline=DLH\natc_id=D-AIZA\n//atc_id=D-AIZB\n \n", {},
       "{folder}, [fltsim.0], has more than one atc_id key", &ScanReports::incompleteSections},
      {"second atc_id in a trailing comment drops", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\n"
       "title=T\nicao_airline=DLH\natc_id=PH-BXA\nui_variation=x // was atc_id=PH-BXB\n", {},
       "{folder}, [fltsim.0], has more than one atc_id key", &ScanReports::incompleteSections},
      {"commented atc_id after several parts is no second one", "a/aircraft.cfg", "icao_type_designator=A320\n"
       "[fltsim.0]\ntitle=T\nicao_airline=DLH\natc_id=D-AIZA,D-AIZB\n;atc_id=D-AIZC\natc_id=D-AIZD\n",
       {"DLH A320 T D-AIZD"}, nullptr, nullptr},
      {"commented atc_id before the first one", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\ntitle=T\n"
       "icao_airline=DLH\n//atc_id=D-AIZC\natc_id=D-AIZD\n", {"DLH A320 T D-AIZD"}, nullptr, nullptr},
      {"commented second title keeps the section, a commented second icao_airline drops it", "a/aircraft.cfg",
       "icao_type_designator=A320\n[fltsim.0]\ntitle=T\nicao_airline=DLH\natc_id=D-AIZA\n;title=T2\n// title=T3\n"
       "; icao_airline=BAW\n// atc_parking_types=CARGO\natc_parking_types=GATE\n", {},
       "{folder} [fltsim.0] has more than one icao_airline key", &ScanReports::incompleteSections},
      {"commented second atc_parking_types drops", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\n"
       "title=T\nicao_airline=DLH\natc_parking_types=GATE\n// atc_parking_types=CARGO\nui_variation=x\n", {},
       "{folder} [fltsim.0] has more than one atc_parking_types key", &ScanReports::incompleteSections},
      {"commented section below a livery is a section of its own", "a/aircraft.cfg", "icao_type_designator=A320\n"
       "[fltsim.0]\ntitle=T\nicao_airline=DLH\natc_id=D-AIZA\n;[fltsim.1]\n;title=T2\n;atc_id=D-AIZB\n",
       {"DLH A320 T D-AIZA"}, "{folder} ;[fltsim.1] misses title", &ScanReports::incompleteSections},
      {"maker placeholder airline", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\ntitle=T\n"
       "icao_airline=RFO\n", {}, nullptr, nullptr},
      {"other makers' titles", "a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\ntitle=FenixA320 x\n"
       "icao_airline=DLH\n[fltsim.1]\ntitle=PMDG 737 y\nicao_airline=DLH\n", {}, nullptr, nullptr},
  };
  for (const FileCase& c : cases) {
    clearScanReportLists();
    const auto path = write(c.path, c.text);
    EXPECT_EQ(describe(lf_searchLiveriesinFile(1, path)), c.liveries) << c.name;
    if (c.reportLine == nullptr) {
      EXPECT_TRUE(scanReports().invalidFiles.empty()) << c.name;
      EXPECT_TRUE(scanReports().noFltsimSection.empty()) << c.name;
      EXPECT_THAT(linesOf(scanReports().incompleteSections),
                  ::testing::Not(::testing::Contains(::testing::HasSubstr("has more than one")))) << c.name;
      continue;
    }
    const std::string line = replaceAll(replaceAll(c.reportLine, "{path}", path.string()), "{folder}",
                                        path.parent_path().string());
    const ReportList& list = scanReports().*(c.list != nullptr ? c.list : &ScanReports::incompleteSections);
    EXPECT_THAT(linesOf(list), ::testing::Contains(line)) << c.name;
  }
}

TEST_F(FltsimSectionsTest, UnreadableAndVanishedFilesGiveNothing) {
  const auto folderNamedLikeAFile = folder / "dir/aircraft.cfg";
  std::filesystem::create_directories(folderNamedLikeAFile);
  EXPECT_THAT(lf_searchLiveriesinFile(1, folderNamedLikeAFile), IsEmpty());
  EXPECT_THAT(lf_searchLiveriesinFile(1, folder / "gone/aircraft.cfg"), IsEmpty());
  EXPECT_TRUE(scanReports().invalidFiles.empty());
  EXPECT_TRUE(scanReports().noFltsimSection.empty());
}

TEST_F(FltsimSectionsTest, AUtf16FileThatDoesNotConvertIsNotReadAndTheStatusLineSaysWhy) {
  const std::u16string text =
      u"icao_type_designator=A320\n[fltsim.0]\ntitle=T" + std::u16string(1, char16_t{0xD800}) + u"\nicao_airline=DLH\n";
  const auto path = write("a/aircraft.cfg", utf16Bytes(text, true));
  EXPECT_THAT(lf_searchLiveriesinFile(1, path), IsEmpty());
  EXPECT_EQ(statusLineText(), "conversion from error from utf16 to utf8, code: 1113");
}

TEST_F(FltsimSectionsTest, StubTitlesFollowTheSetting) {
  const auto path = write("a/aircraft.cfg", "icao_type_designator=A320\n[fltsim.0]\ntitle=T-STUB\nicao_airline=DLH\n");
  EXPECT_THAT(lf_searchLiveriesinFile(1, path), IsEmpty());
  par_SUPPRESS_STUB.setValue(false);
  clearScanReportLists();
  EXPECT_THAT(describe(lf_searchLiveriesinFile(1, path)), ElementsAre("DLH A320 T-STUB "));
}

TEST(ValidateAtcIdTest, Parts) {
  const std::tuple<const char*, bool, const char*> cases[] = {
      {"D-AIZA", true, "D-AIZA"},  {" D-AIZA , D-AIZB", true, ""}, {"D-AIZA,", false, ""},
      {"ABCDEFGHIJKLM", false, ""}, {"D-A*ZA", false, ""},          {"", false, ""},
  };
  for (const auto& [value, valid, registration] : cases) {
    std::string result = "unchanged";
    EXPECT_EQ(validateAtcId(value, result), valid) << value;
    if (valid) {
      EXPECT_EQ(result, registration) << value;
    }
  }
}

class IvaoLiveriesTest : public LiveryScanFixture {
 protected:
  std::filesystem::path ivaoCfg(const std::string& aircraftFolder, const std::string& sections) {
    std::filesystem::create_directories(folder / "IVAO_MTL/SimObjects/Airplanes" / aircraftFolder / "texture.DLH");
    return write("IVAO_MTL/SimObjects/Airplanes/" + aircraftFolder + "/aircraft.cfg", sections);
  }
};

TEST_F(IvaoLiveriesTest, AirlineFromTitleModelFromPath) {
  const auto winglets = ivaoCfg("IVAO_B738WLfa", "[fltsim.0]\ntitle=B738WDLH Lufthansa\ntexture=DLH\n"
                                                 "atc_parking_types=CARGO\n");
  EXPECT_THAT(describe(searchIvaoLiveriesInFile(2, winglets)), ElementsAre("DLH B738 B738WDLH Lufthansa "));
  const auto plain = ivaoCfg("IVAO_B738", "[fltsim.0]\ntitle=B738WDLH Lufthansa 2\ntexture=DLH\n"
                                          "[fltsim.1]\ntitle=B738 -x\ntexture=DLH\natc_id=D-AIZA\n"
                                          "[fltsim.2]\ntitle=B738 dlh\ntexture=DLH\n"
                                          "[fltsim.3]\ntitle=B738 KLM\n");
  EXPECT_THAT(describe(searchIvaoLiveriesInFile(2, plain)), ElementsAre("DLH B738 B738 -x D-AIZA"));
  EXPECT_THAT(linesOf(scanReports().invalidAirlines),
              UnorderedElementsAreArray({"WDL          in " + plain.string() + " [fltsim.0]",
                                         "dlh          in " + plain.string() + " [fltsim.2]"}));
  EXPECT_THAT(linesOf(scanReports().incompleteSections),
              ElementsAre((plain.parent_path() / "texture.").string() + " [fltsim.3] does not exist"));
}

TEST_F(IvaoLiveriesTest, CommentedSecondAtcIdDropsTheSection) {
  const auto path = ivaoCfg("IVAO_A320", "[fltsim.0]\ntitle=A320 DLH one\ntexture=DLH\natc_id=D-AIZA\n"
                                         "//atc_id=D-AIZB\nui_variation=x\n"
                                         "[fltsim.1]\ntitle=A320 DLH two\ntexture=DLH\natc_id=D-AIZC\n;title=x\n");
  EXPECT_THAT(describe(searchIvaoLiveriesInFile(2, path)), ElementsAre("DLH A320 A320 DLH two D-AIZC"));
  EXPECT_THAT(linesOf(scanReports().incompleteSections),
              ElementsAre(path.parent_path().string() + ", [fltsim.0], has more than one atc_id key"));
}

TEST_F(IvaoLiveriesTest, CommentedSecondParkingTypesDropsTheSection) {
  const auto path = ivaoCfg("IVAO_A320", "[fltsim.0]\ntitle=A320 DLH one\ntexture=DLH\natc_parking_types=GATE\n"
                                         ";atc_parking_types=CARGO\n");
  EXPECT_THAT(searchIvaoLiveriesInFile(2, path), IsEmpty());
  EXPECT_THAT(linesOf(scanReports().incompleteSections),
              ElementsAre(path.parent_path().string() + " [fltsim.0] has more than one atc_parking_types key"));
}

TEST_F(IvaoLiveriesTest, CommentedSectionBelowALiveryIsASectionOfItsOwn) {
  const auto path = ivaoCfg("IVAO_A320", "[fltsim.0]\ntitle=A320 DLH one\ntexture=DLH\natc_id=D-AIZA\n"
                                         ";[fltsim.1]\n;atc_id=D-AIZB\n");
  EXPECT_THAT(describe(searchIvaoLiveriesInFile(2, path)), ElementsAre("DLH A320 A320 DLH one D-AIZA"));
  EXPECT_THAT(linesOf(scanReports().incompleteSections),
              ElementsAre((path.parent_path() / "texture.").string() + " ;[fltsim.1] does not exist"));
}

TEST_F(IvaoLiveriesTest, AFileWithoutACharsetIsNamedInAWarning) {
  const auto path = ivaoCfg("IVAO_A320", "x");
  EXPECT_THAT(searchIvaoLiveriesInFile(2, path), IsEmpty());
  EXPECT_THAT(logText(), ::testing::HasSubstr("===> No character set found for " + path.string() + "\n"));
  EXPECT_TRUE(scanReports().noFltsimSection.empty());
}

TEST_F(IvaoLiveriesTest, PathOutsideTheLayoutIsAnInvalidModel) {
  const auto path = write("IVAO_MTL/Other/IVAO_B738/aircraft.cfg", "[fltsim.0]\ntitle=B738 DLH\n");
  EXPECT_THAT(searchIvaoLiveriesInFile(1, path), IsEmpty());
  EXPECT_THAT(linesOf(scanReports().invalidModels), ElementsAre("                 in " + path.string()));
  EXPECT_EQ(ivaoModelFromPath("C:\\x\\ivao_x-csl\\SimObjects\\Airplanes\\IVAO_A320wCFM\\aircraft.cfg"), "A320");
}

}  // namespace
}  // namespace crv
