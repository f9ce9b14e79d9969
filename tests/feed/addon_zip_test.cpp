#include "feed/addon_zip.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "tools/download-standin/site_builder.h"

namespace crv {
namespace {

TEST(AddonZipTest, EntryNamesThatLeaveTheFolderAreRecognised) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"EHAM.xml", ""}, {"my_simaddon2024/EHAM.xml", ""}, {"a/.../b.xml", ""}, {"../EHAM.xml", "a '..' part"},
      {"a/b/../../../EHAM.xml", "a '..' part"}, {"a\\..\\..\\EHAM.xml", "a '..' part"}, {"a/..", "a '..' part"},
      {"/etc/EHAM.xml", "an absolute path"}, {"\\EHAM.xml", "an absolute path"}, {"C:\\EHAM.xml", "an absolute path"},
      {"", "an empty name"},
  };
  for (const auto& [name, problem] : cases) EXPECT_EQ(entryNameProblem(name), problem) << name;
}

TEST(AddonZipTest, EveryFileLandsInOneFolderAsItsStemPlusTxt) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"EHAM.xml", "EHAM.txt"}, {"my_simaddon2024/deeper/EHAM.xml", "EHAM.txt"}, {"win\\style\\LOWI.xml", "LOWI.txt"},
      {"KJFK", "KJFK.txt"},     {"my_simaddon2024/", ""},
  };
  for (const auto& [name, fileName] : cases) EXPECT_EQ(addonFileName(name), fileName) << name;
}

class AddonZipFileTest : public ::testing::Test {
 protected:
  // Each archive in a file of its own: Windows replaces no file that is open.
  ZipArchive zipOf(const std::vector<standin::ZipEntrySpec>& entries) {
    path_ = temp_ / ("addon" + std::to_string(++archiveCount_) + ".zip");
    standin::writeZip(path_, entries);
    return ZipArchive::open(path_);
  }

  testing::TempFolder temp_;
  std::filesystem::path path_;  // the latest archive
  int archiveCount_ = 0;
};

TEST_F(AddonZipFileTest, ReadsFilesInArchiveOrderAndSkipsFolders) {
  const std::vector<AddonFile> files =
      readAddonFiles(zipOf({{"pack/", ""}, {"pack/LOWI.xml", "archive/simaddon/LOWI.xml"}, {"EHAM.xml", ""}}));
  std::string listed;
  for (const AddonFile& file : files) listed += file.fileName + "=" + file.text + ";";
  EXPECT_EQ(listed, "LOWI.txt=archive/simaddon/LOWI.xml;EHAM.txt=;");
}

TEST_F(AddonZipFileTest, DamagedOrOversizedArchivesAreRefused) {
  const std::string content(100000, 'x');
  ZipArchive large = zipOf({{"A.xml", content}, {"B.xml", content}});
  EXPECT_THROW(readAddonFiles(large, AddonLimits{150000, 10}), ZipError);
  EXPECT_THROW(readAddonFiles(large, AddonLimits{1u << 20, 1}), ZipError);
  EXPECT_EQ(readAddonFiles(large).size(), 2u);

  std::string bytes = testing::readFile(path_);
  EXPECT_THROW(ZipArchive::openBytes(bytes.substr(0, bytes.size() / 2)), ZipError);
  EXPECT_THROW(ZipArchive::openBytes("not a zip at all"), ZipError);
  // The stored text of the first entry, changed: its CRC no longer fits.
  bytes[40] = static_cast<char>(bytes[40] ^ 0x20);
  ZipArchive damaged = ZipArchive::openBytes(bytes);
  EXPECT_THROW(readAddonFiles(damaged), ZipError);

  // An entry that leaves the folder, by name or as a link, refuses the archive.
  EXPECT_THROW(readAddonFiles(zipOf({{"EHAM.xml", "x"}, {"../EHAM.xml", "x"}})), ZipError);
  EXPECT_THROW(readAddonFiles(zipOf({{"EHAM.xml", "x"}, {"LINK.xml", "/etc/passwd", true}})), ZipError);
}

}  // namespace
}  // namespace crv
