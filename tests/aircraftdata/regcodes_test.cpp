// Registration codes: the line grammar of the user's files, the AIG file, and
// the three sources in their override order with their report files.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "aircraftdata/livery_indexes.h"
#include "aircraftdata/regcodes.h"
#include "foundation/paths.h"
#include "tests/aircraftdata/dbase_test_files.h"
#include "tests/aircraftdata/livery_test_lists.h"
#include "tests/support/temp_folder.h"
#include "tests/support/shown_path.h"

namespace crv {
namespace {

namespace fs = std::filesystem;
using testing::livery;
using testing::readFile;
using testing::sortedLiveries;
using testing::writeFile;

class RegcodeTest : public ::testing::Test {
 protected:
  const fs::path& folder() const { return programPaths().myRegcodesFolder; }

  void writeUserFile(const std::string& name, const std::string& text) { writeFile(folder() / name, text); }
  void writeAig(const std::string& livElements) {
    testing::writeEncrypted(programPaths().aigRegcodesEnc,
                            "<?xml version=\"1.0\"?>\n<AIG-regcodes>" + livElements + "</AIG-regcodes>\n");
  }

  testing::TempFolder temp_;
  testing::ScopedWorkingFolder working_{temp_.path()};
  testing::LogCapture log_;
};

// Each entry as " [title|registrations|special]".
std::string describe(const std::vector<RegcodeEntry>& entries) {
  std::string text;
  for (const RegcodeEntry& entry : entries) {
    text += fmt::format(" [{}|{}|{}]", entry.title, fmt::join(entry.regs, ","), entry.special ? "special" : "-");
  }
  return text;
}

// "ok" or "bad", then the entries.
std::string parse(const std::string& line) {
  std::vector<RegcodeEntry> entries;
  const bool good = parseRegcodeLine(line, "input/my_regcodes/a.txt", entries);
  return (good ? "ok" : "bad") + describe(entries);
}

// One registration is always special; "#" makes any entry special; a title
// alone is a don't-use title. Bad registrations are warned and the good ones
// kept.
TEST_F(RegcodeTest, LineGrammar) {
  const std::pair<const char*, const char*> cases[] = {
      {"Title A ; D-AIZA", "ok [Title A|D-AIZA|special]"},
      {"Title B;D-AIZC, D-AIZB,D-AIZB", "ok [Title B|D-AIZB,D-AIZC|-]"},
      {"Title C;D-AIZB,D-AIZC;#", "ok [Title C|D-AIZB,D-AIZC|special]"},
      {"  Do not use me  ", "ok [Do not use me||-]"},
      {"", "ok"}, {"   ", "ok"}, {"Title ;", "ok"}, {";", "ok"}, {"Title ; ;", "ok"}};
  for (const auto& [line, parsed] : cases) EXPECT_EQ(parse(line), parsed) << line;
  EXPECT_EQ(log_.text().find("===>"), std::string::npos);
  const std::pair<const char*, const char*> bad[] = {
      {"Title;AB", "bad"}, {"Title;AB,ABCDEFGHIJKLM", "bad"}, {"a;b;c;d", "bad"},
      {"Title;D-AIZA,,D-AIZB", "bad [Title|D-AIZA,D-AIZB|-]"}};
  for (const auto& [line, parsed] : bad) EXPECT_EQ(parse(line), parsed) << line;
  const std::string log = log_.text();
  EXPECT_EQ(testing::missingPieces(log, {"===> wrong regcode length 'AB' in input/my_regcodes/a.txt\n",
                                         "===> wrong regcode length '' in input/my_regcodes/a.txt\n",
                                         "===> wrong regcode length 'ABCDEFGHIJKLM' in",
                                         "===> input/my_regcodes/a.txt ; regs empty?\n",
                                         "===> input/my_regcodes/a.txt: wrong format 'a;b;c;d'\n"}), "");
}

// The field that is wrong stands whole in its warning, however long the
// line of the user's file.
TEST_F(RegcodeTest, ALongLineStandsWholeInItsWarning) {
  const std::string registration(400, 'R');
  const std::string line = "a;b;c;" + std::string(400, 'L');
  const std::string title(400, 'T');
  EXPECT_EQ(parse("Title;" + registration), "bad");
  EXPECT_EQ(parse(line), "bad");
  writeFile("long.xml", "<AIG-regcodes><livery title=\"" + title + "\" reg=\"D-AIZA\"/><livery title=\"" + title +
                            "\" reg=\"D-AIZB\"/></AIG-regcodes>");
  std::vector<RegcodeEntry> entries;
  EXPECT_FALSE(gf_readAigRegcodes("long.xml", entries));
  EXPECT_EQ(testing::missingPieces(log_.text(), {"===> wrong regcode length '" + registration + "' in input/my_regcodes/a.txt\n",
                                                 "===> input/my_regcodes/a.txt: wrong format '" + line + "'\n",
                                                 "===> SAME AS PREVIOUS title '" + title + "'\n"}),
            "");
}

TEST_F(RegcodeTest, FolderFilesAreReadInSortedOrderAndOnlyTxt) {
  writeUserFile("b.txt", "Second;N12345\r\n");
  writeUserFile("A.TXT", "First;N12345\nBad;X\n");
  writeUserFile("c.xml", "Ignored;N12345\n");
  fs::create_directories(folder() / "sub.txt");
  std::vector<RegcodeEntry> entries;
  EXPECT_FALSE(gf_readRegcodeFiles(folder(), entries));  // the bad line
  EXPECT_EQ(describe(entries), " [First|N12345|special] [Second|N12345|special]");  // the CR is gone
  const std::string log = log_.text();
  EXPECT_LT(log.find("Processing regcodes file '" + testing::shownPath("input/my_regcodes/A.TXT") + "'"),
            log.find("Processing regcodes file '" + testing::shownPath("input/my_regcodes/b.txt") + "'"));
  EXPECT_NE(log.find("\n2 liveries\n"), std::string::npos);
}

// Windows lists names without regard to case, and the files are read so on
// every system: where two bind one registration, the later one wins.
TEST_F(RegcodeTest, FolderFilesAreReadInTheOrderWindowsListsThem) {
  writeUserFile("B.txt", "Second;N12345\n");
  writeUserFile("a.txt", "First;N12345\n");
  std::vector<RegcodeEntry> entries;
  EXPECT_TRUE(gf_readRegcodeFiles(folder(), entries));
  EXPECT_EQ(describe(entries), " [First|N12345|special] [Second|N12345|special]");
}

TEST_F(RegcodeTest, MissingFolderIsAnErrorWithoutEntries) {
  std::vector<RegcodeEntry> entries;
  EXPECT_FALSE(gf_readRegcodeFiles("input/none", entries));
  EXPECT_TRUE(entries.empty());
  EXPECT_NE(log_.text().find("===> Error reading regcode files in input/none, what: "), std::string::npos);
}

class RegcodeSourcesTest : public RegcodeTest {
 protected:
  void SetUp() override {
    liveries_ = sortedLiveries({livery("DLH", "A320", "LH Inline", "D-AIZA"), livery("DLH", "A320", "LH AIG"),
                                livery("DLH", "A320", "LH User"), livery("DLH", "A321", "LH Clash", "D-AIZA"),
                                livery("DLH", "A321", "LH Special"), livery("BAW", "A320", "BA Lower", "g-euua"),
                                livery("BAW", "A320", "BA Upper", "G-EUUA")});
    indexes_.buildAirlineIndex(liveries_);
    indexes_.buildAirlineModelIndexes();
  }

  std::string boundTo(const std::string& registration) const {
    const auto it = tables_.regcodeMap.find(registration);
    return it == tables_.regcodeMap.end() ? "(none)" : std::string(it->second);
  }

  LiveryList liveries_;
  LiveryIndexes indexes_;
  RegcodeTables tables_;
};

TEST_F(RegcodeSourcesTest, InlineThenAigThenUserFilesEachOverriding) {
  processInlineRegcodes(indexes_, tables_, liveries_);
  EXPECT_EQ(boundTo("D-AIZA"), "LH Inline");  // the first livery keeps it
  // Exact bytes: the same registration in two spellings is two regcodes.
  EXPECT_EQ(boundTo("g-euua"), "BA Lower");
  EXPECT_EQ(boundTo("G-EUUA"), "BA Upper");
  EXPECT_EQ(testing::readTextFile(programPaths().inlineRegcodesReport), "D-AIZA 'LH Clash' => already in use by 'LH Inline'\n");
  EXPECT_NE(log_.text().find("1 in-line regcode clashes, see '" + testing::shownPath("output/errors/InlineRegcodes.txt") + "'"),
            std::string::npos);

  // A title directly repeated is skipped, one repeated after others is read.
  writeAig(R"(<livery title="LH AIG" reg="D-AIZA,D-AIZB"/><livery title="LH AIG" reg="D-AIZX"/><livery reg="D-AIZY"/>)"
           R"(<livery title="Not installed" reg="D-AIZC"/><livery title="LH Special" reg="D-AISP" special="1"/>)"
           R"(<livery title="Dont" reg=""/><livery title="LH AIG" reg="D-AIZE"/>)");
  writeUserFile("mine.txt", "LH User;D-AIZA,D-AIZD\nbroken;a;b;c\n");
  processOfflineRegcodes(indexes_, tables_);

  EXPECT_EQ(boundTo("D-AIZA"), "LH User");
  EXPECT_EQ(boundTo("D-AIZB"), "LH AIG");
  EXPECT_EQ(boundTo("D-AIZC") + boundTo("D-AIZX") + boundTo("D-AIZY"), "(none)(none)(none)");  // not installed: nothing
  EXPECT_EQ(boundTo("D-AIZE"), "LH AIG");
  EXPECT_EQ(boundTo("D-AIZD"), "LH User");  // the good line of a file with a bad one
  EXPECT_EQ(boundTo("D-AISP"), "LH Special");
  ASSERT_EQ(tables_.specialTitles.size(), 1u);
  EXPECT_EQ(tables_.specialTitles[0].data(), indexes_.findInstalledTitle("LH Special").data());

  EXPECT_EQ(testing::readTextFile(programPaths().offlineRegcodesReport),
            "Processing file " + testing::shownPath("input/AIG-regcodes.xml") + "\n"
            "There were errors processing the AIG-regcode file '" + testing::shownPath("input/AIG-regcodes.xml") +
                "', see Log.txt\n"
            "   regcode D-AIZA for 'LH AIG', instead of the same for 'LH Inline'\n"
            "3 new regcodes added, 1 regcode replaced, 1 regcode defined as special\n"
            "Processing files in " + testing::shownPath("input/my_regcodes") + "\n"
            "There were errors processing the regcode files in folder '" + testing::shownPath("input/my_regcodes") +
                "', see Log.txt\n"
            "   regcode D-AIZA for 'LH User', instead of the same for 'LH AIG'\n"
            "1 new regcode added, 1 regcode replaced\n");
  EXPECT_NE(log_.text().find("===> SAME AS PREVIOUS title 'LH AIG'\n"), std::string::npos);
}

TEST_F(RegcodeSourcesTest, AMissingOrDamagedAigFileSkipsAllOfflineRegcodesAndKeepsTheReport) {
  writeFile(programPaths().offlineRegcodesReport, "the report of an earlier run\n");
  writeUserFile("mine.txt", "LH User;D-AIZD,D-AIZE\n");
  processOfflineRegcodes(indexes_, tables_);
  EXPECT_EQ(boundTo("D-AIZD"), "(none)");
  EXPECT_NE(log_.text().find("===> " + testing::shownPath("input/AIG-regcodes.enc") + " not found, the offline regcodes are skipped"), std::string::npos);
  EXPECT_EQ(readFile(programPaths().offlineRegcodesReport), "the report of an earlier run\n");

  writeAig(R"(<livery title="LH AIG" reg="D-AIZB"/>)");
  std::string bytes = readFile(programPaths().aigRegcodesEnc);
  bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x5a);
  writeFile(programPaths().aigRegcodesEnc, bytes);
  tables_ = {};
  processOfflineRegcodes(indexes_, tables_);
  EXPECT_EQ(boundTo("D-AIZB"), "(none)");
  EXPECT_EQ(boundTo("D-AIZD"), "(none)");
  EXPECT_FALSE(fs::exists(programPaths().aigRegcodesXml));
  EXPECT_NE(log_.text().find("===> " + testing::shownPath("input/AIG-regcodes.enc") + " could not be decrypted, the offline regcodes are skipped"),
            std::string::npos);
  EXPECT_EQ(readFile(programPaths().offlineRegcodesReport), "the report of an earlier run\n");
}

TEST_F(RegcodeSourcesTest, AMissingAigFileIsLoggedAsTheDecryptionsFailureByBothReaders) {
  const std::string failure =
      "gf_streamDecrypt exception: Could not open input file: " + testing::shownPath("input/AIG-regcodes.enc") + "\n";
  const auto timesLogged = [&] {
    const std::string log = log_.text();
    int times = 0;
    for (auto at = log.find(failure); at != std::string::npos; at = log.find(failure, at + 1)) ++times;
    return times;
  };
  processOfflineRegcodes(indexes_, tables_);
  EXPECT_EQ(timesLogged(), 1) << log_.text();

  dontUseTitles().clear();
  readDontUseTitles();
  EXPECT_TRUE(dontUseTitles().empty());
  EXPECT_EQ(timesLogged(), 2) << log_.text();
}

TEST_F(RegcodeSourcesTest, TheAigFileIsNeverDecryptedToDiskAndAStalePlainCopyIsRemoved) {
  writeAig(R"(<livery title="LH AIG" reg="D-AIZB"/><livery title="Dont"/>)");
  // A kill during an earlier read left the plain file readable beside the encrypted one.
  writeFile(programPaths().aigRegcodesXml, "<AIG-regcodes/>");
  processOfflineRegcodes(indexes_, tables_);
  EXPECT_EQ(boundTo("D-AIZB"), "LH AIG");
  EXPECT_FALSE(fs::exists(programPaths().aigRegcodesXml));

  // Where the plain name leads elsewhere, nothing is written through it.
  const fs::path elsewhere = temp_.path() / "elsewhere.xml";
  writeFile(elsewhere, "untouched");
  std::error_code linkError;
  fs::create_symlink(elsewhere, programPaths().aigRegcodesXml, linkError);
  if (linkError) {
    GTEST_SKIP() << "symbolic links cannot be made here (Windows without the right to): " << linkError.message();
  }
  dontUseTitles().clear();
  readDontUseTitles();
  EXPECT_EQ(dontUseTitles(), (std::vector<std::string>{"Dont"}));
  dontUseTitles().clear();
  EXPECT_EQ(readFile(elsewhere), "untouched");
  EXPECT_FALSE(fs::is_symlink(programPaths().aigRegcodesXml));
}

TEST_F(RegcodeTest, DontUseTitlesComeFromEntriesWithoutRegistrations) {
  dontUseTitles().clear();
  writeAig(R"(<livery title="Skip A"/><livery title="Keep" reg="N1234"/>)");
  readDontUseTitles();
  writeUserFile("x.txt", "Skip B\nSkip C\nKeep;N1234\n");
  readDontUseFolderTitles();
  EXPECT_EQ(dontUseTitles(), (std::vector<std::string>{"Skip A", "Skip B", "Skip C"}));
  const std::string log = log_.text();
  EXPECT_EQ(testing::missingPieces(log, {"1 don't use title read\n",
                                         "2 don't use titles read from files in " + testing::shownPath("input/my_regcodes") + "\n"}), "");
  dontUseTitles().clear();
}

}  // namespace
}  // namespace crv
