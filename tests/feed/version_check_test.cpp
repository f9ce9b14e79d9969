#include "feed/version_check.h"

#include <gtest/gtest.h>

#include "feed/zip_archive.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "tests/feed/download_test_support.h"
#include "tools/download-standin/site_builder.h"

namespace crv {
namespace {

namespace fs = std::filesystem;
using standin::Fault;
using testing::readFile;
using testing::writeFile;

class VersionCheckTest : public ::testing::Test {
 protected:
  VersionCheckTest() { setMsfs2020(false); }

  // What a user has installed: versions 0.9.0 and files that say so.
  void installOldVersions() {
    writeFile("input/dbase.enc", "old dbase");
    writeFile("input/AIG-regcodes.enc", "old aig");
    writeFile("airports/my_simaddon/OLD.txt", "old add-on");
    par_DBASE_VERSION.setValue("0.9.0");
    par_AIG_VERSION.setValue("0.9.0");
    par_MYSIMADDON24_VERSION.setValue("0.9.0");
  }

  void expectOldVersionsKept(const std::string& label) {
    EXPECT_EQ(readFile("input/dbase.enc") + "|" + readFile("input/AIG-regcodes.enc") + "|" +
                  readFile("airports/my_simaddon/OLD.txt") + "|" + par_DBASE_VERSION.value() + "|" +
                  par_AIG_VERSION.value() + "|" + par_MYSIMADDON24_VERSION.value(),
              "old dbase|old aig|old add-on|0.9.0|0.9.0|0.9.0")
        << label;
    EXPECT_FALSE(fs::exists("my_simaddon2024.zip")) << label;
    for (const auto& entry : fs::recursive_directory_iterator(".")) {
      EXPECT_THAT(entry.path().filename().string(), ::testing::Not(::testing::HasSubstr(".part"))) << label;
    }
  }

  void publishZip(const std::vector<standin::ZipEntrySpec>& entries) {
    standin::writeZip(world_.sitePath("mysimaddon24/my_simaddon2024.zip"), entries);
  }

  testing::DownloadWorld world_;
};

TEST_F(VersionCheckTest, TheCheckOfADownloadedDataFileWritesNoDecryptedCopy) {
  installOldVersions();
  // Where a decrypted copy would go, nothing can be written: only a check
  // that keeps to memory passes.
  for (const char* name : {"input/dbase.enc.part.check", "input/AIG-regcodes.enc.part.check"}) {
    fs::create_directories(fs::path(name) / "occupied");
  }
  checkVersions(world_.site());
  EXPECT_EQ(readFile("input/dbase.enc"), readFile(world_.sitePath("dbase.enc")));
  EXPECT_EQ(readFile("input/AIG-regcodes.enc"), readFile(world_.sitePath("AIG-regcodes.enc")));
  EXPECT_EQ(testing::missingPieces(world_.log(), {"aig updated to 1.0.0", "dbase updated to 1.0.0"}), "");
}

TEST_F(VersionCheckTest, NewerVersionsAreDownloadedInstalledAndStored) {
  installOldVersions();
  checkVersions(world_.site());
  EXPECT_EQ(readFile("input/dbase.enc"), readFile(world_.sitePath("dbase.enc")));
  EXPECT_EQ(readFile("input/AIG-regcodes.enc"), readFile(world_.sitePath("AIG-regcodes.enc")));
  EXPECT_FALSE(fs::exists("airports/my_simaddon/OLD.txt"));
  EXPECT_EQ(readFile("airports/my_simaddon/EHAM.txt"), "archive/simaddon/EHAM.xml");
  EXPECT_FALSE(fs::exists("my_simaddon2024.zip"));
  const std::string parameters = readFile(parametersFilePath());
  for (const char* key : {"DBASE_VERSION", "AIG_VERSION", "MYSIMADDON24_VERSION"}) {
    EXPECT_NE(parameters.find(std::string("name=\"") + key + "\" value=\"1.0.0\""), std::string::npos) << key;
  }
  EXPECT_EQ(testing::missingPieces(world_.log(), {"simaddon updated to 1.0.0", "aig updated to 1.0.0",
                                                  "dbase updated to 1.0.0", "my_simaddon2024.zip unzipped 15 files"}),
            "");

  writeFile("my_simaddon2024.zip", "left by a run stopped before it removed the zip");
  checkVersions(world_.site());
  EXPECT_FALSE(fs::exists("my_simaddon2024.zip"));
  EXPECT_EQ(world_.standIn().requestCount("dbase.enc"), 1u);
  EXPECT_EQ(world_.standIn().requestCount("mysimaddon24/my_simaddon2024.zip"), 1u);
  EXPECT_EQ(testing::missingPieces(world_.log(), {"dbase version up-to-date", "simaddon version up-to-date"}), "");

  // A missing file or an empty add-on folder is installed again at the same version.
  fs::remove("input/dbase.enc");
  fs::remove_all("airports/my_simaddon");
  checkVersions(world_.site());
  EXPECT_TRUE(fs::exists("input/dbase.enc"));
  EXPECT_TRUE(fs::exists("airports/my_simaddon/EHAM.txt"));
  EXPECT_EQ(world_.standIn().requestCount("dbase.enc"), 2u);
  EXPECT_EQ(world_.standIn().requestCount("AIG-regcodes.enc"), 1u);
}

TEST_F(VersionCheckTest, Msfs2020NeverTouchesTheAddon) {
  setMsfs2020(true);
  checkVersions(world_.site());
  EXPECT_EQ(world_.standIn().requestCount("mysimaddon24/my_simaddon2024.zip"), 0u);
  EXPECT_FALSE(fs::exists("airports/my_simaddon"));
  EXPECT_EQ(par_DBASE_VERSION.value(), "1.0.0");
}

// The parts are read as integers: -1 stays -1, 2.9 is 2.
TEST_F(VersionCheckTest, AMissingMemberSkipsOnlyThatKeyAndPartsAreReadAsIntegers) {
  world_.standIn().setFault("versions.json",
                            Fault::replace(R"({"simaddon": {"major": -1, "minor": 0, "patch": 0},
                                              "dbase": {"major": 2.9, "minor": 0, "patch": 0}})"));
  installOldVersions();
  checkVersions(world_.site());
  EXPECT_EQ(testing::missingPieces(world_.log(), {"===> aig version not found", "simaddon version up-to-date",
                                                  "dbase updated to 2.0.0"}),
            "");
  EXPECT_EQ(par_DBASE_VERSION.value(), "2.0.0");
  EXPECT_EQ(par_AIG_VERSION.value(), "0.9.0");
  EXPECT_EQ(readFile("airports/my_simaddon/OLD.txt"), "old add-on");
}

struct BrokenSiteCase { const char* name; const char* sitePath; Fault fault; const char* logLine; };

TEST_F(VersionCheckTest, EveryBrokenDownloadLeavesTheInstalledFilesAndVersions) {
  // One per way of failing: the other data files fail the same way.
  const std::vector<BrokenSiteCase> cases = {
      {"versions.json 404", "versions.json", Fault::notFound(), "Downloading version info from my web site failed!"},
      {"broken versions.json", "versions.json", Fault::replace(R"({"aig": {"major": 2,)"),
       "versions.json is not valid JSON; no update this time"},
      // Valid JSON of another kind holds no version.
      {"versions.json not an object", "versions.json", Fault::replace("[2, 0, 0]"), "===> dbase version not found"},
      {"a version part that is no number", "versions.json",
       Fault::replace(R"({"aig": {"major": "2", "minor": 0, "patch": 0}, "dbase": {"major": 2, "minor": 0, "patch": 0}})"),
       "===> Version check failed: aig major in versions.json is no number"},
      {"data files cut", "dbase.enc", Fault::cut(), "Transferred a partial file"},
      {"data files corrupt", "dbase.enc", Fault::corrupt(), "not a valid data file"},
  };
  for (const BrokenSiteCase& broken : cases) {
    installOldVersions();
    world_.standIn().clearFaults();
    world_.standIn().setFault(broken.sitePath, broken.fault);
    // So every installed file must be left as it was; versions.json itself stays whole.
    for (const char* other : {"versions.json", "dbase.enc", "AIG-regcodes.enc", "mysimaddon24/my_simaddon2024.zip"}) {
      if (std::string_view(other) != broken.sitePath) {
        world_.standIn().setFault(other, std::string_view(other) == "versions.json" ? Fault{} : broken.fault);
      }
    }
    const std::size_t logBefore = world_.log().size();
    checkVersions(world_.site());
    expectOldVersionsKept(broken.name);
    EXPECT_NE(world_.log().find(broken.logLine, logBefore), std::string::npos) << broken.name;
  }
}

// Which entries escape: the add-on's own test.
TEST_F(VersionCheckTest, AZipWithAnEscapingEntryIsRefusedWhole) {
  installOldVersions();
  publishZip({{"data/EHAM.xml", "archive/simaddon/EHAM.xml"}, {"data/LINK.xml", "/etc/passwd", true}});
  EXPECT_EQ(installSimAddon(world_.site(), VersionData(2, 0, 0)), AddonInstall::Failed);
  EXPECT_EQ(readFile("airports/my_simaddon/OLD.txt") + "|" + par_MYSIMADDON24_VERSION.value(), "old add-on|0.9.0");
  EXPECT_FALSE(fs::exists("airports/my_simaddon/EHAM.txt"));
  EXPECT_TRUE(world_.logContains("entry 'data/LINK.xml' is a link"));
}

// Where the add-on folder should be, a file stands: the folder cannot be
// made, and the downloaded zip is kept.
TEST_F(VersionCheckTest, AnAddonFolderThatCannotBeCreatedKeepsTheZip) {
  writeFile("airports/my_simaddon", "a file, not a folder");
  EXPECT_EQ(installSimAddon(world_.site(), VersionData(2, 0, 0)), AddonInstall::Failed);
  EXPECT_TRUE(world_.logContains("Could not create directory " + (fs::path("airports") / "my_simaddon").string()));
  ASSERT_TRUE(fs::exists("my_simaddon2024.zip"));
  EXPECT_EQ(readFile("my_simaddon2024.zip"), readFile(world_.sitePath("mysimaddon24/my_simaddon2024.zip")));
  EXPECT_EQ(par_MYSIMADDON24_VERSION.value(), "");
}

TEST_F(VersionCheckTest, AnAddonFileThatCannotBeWrittenLeavesTheVersionForTheNextRun) {
  publishZip({{"data/EHAM.xml", "archive/simaddon/EHAM.xml"}, {"data/" + std::string(300, 'L') + ".xml", "x"}});
  EXPECT_EQ(installSimAddon(world_.site(), VersionData(2, 0, 0)), AddonInstall::Failed);
  EXPECT_EQ(readFile("airports/my_simaddon/EHAM.txt"), "archive/simaddon/EHAM.xml");
  EXPECT_TRUE(world_.logContains("Failed to write file: " + (fs::path("airports") / "my_simaddon" / "LLL").string()));
  EXPECT_EQ(par_MYSIMADDON24_VERSION.value(), "");
  EXPECT_FALSE(fs::exists("my_simaddon2024.zip"));
}

}  // namespace
}  // namespace crv
