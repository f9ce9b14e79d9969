#include "foundation/meta_info.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "foundation/clock.h"
#include "foundation/files.h"
#include "tests/support/settings_fixture.h"

namespace crv {
namespace {

using MetaInfoTest = SettingsFixture;

std::vector<std::pair<std::string, std::string>> metaEntries(const pugi::xml_document& document) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (pugi::xml_node info : document.child("meta").children("info")) {
    entries.emplace_back(info.attribute("name").value(), info.attribute("value").value());
  }
  return entries;
}

pugi::xml_document airportDocument(const std::string& metaBody) {
  const std::string text = metaBody +
                           "<parameters><parameter name=\"MAX_LIVE\" value=\"50\"/></parameters>\n"
                           "<parkpositions/>\n";
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(text.c_str()));
  return document;
}

TEST_F(MetaInfoTest, WritesFiveEntriesInOrderAsATopLevelElementThatIsAccepted) {
  EXPECT_FALSE(writeMetaInfo(pugi::xml_node()));
  pugi::xml_document document;
  document.append_child("parameters");
  ASSERT_TRUE(writeMetaInfo(document));

  EXPECT_STREQ(document.last_child().name(), "meta");
  const auto entries = metaEntries(document);
  std::string names;
  for (const auto& [name, value] : entries) names += name + " ";
  ASSERT_EQ(names, "author version date copyright MSFS ");
  EXPECT_EQ(entries[0].second + " " + entries[1].second + " " + entries[4].second, "CRVN 11.0.2 2020");
  EXPECT_EQ(entries[2].second, dateText());

  document.append_child("parkpositions");
  EXPECT_TRUE(metaBlockAccepted(document));
  EXPECT_EQ(metaAuthor.value() + " " + metaVersion.value(), "CRVN 11.0.2");
  EXPECT_FALSE(readMetaInfo(document, metaP3d));
}

TEST_F(MetaInfoTest, FileWrittenWhileMsfs2024IsChosenSays2024) {
  par_SIM_CHOICE.setValue(std::string(kSimChoiceMsfs2024));
  setSimFolderName(simFolderNameFor(par_SIM_CHOICE.value()));
  pugi::xml_document document;
  ASSERT_TRUE(writeMetaInfo(document));
  ASSERT_TRUE(saveXml(document, folder / "EDDF.xml"));

  pugi::xml_document reread;
  ASSERT_TRUE(reread.load_file((folder / "EDDF.xml").c_str()));
  EXPECT_EQ(metaEntries(reread).back().second, "2024");
  EXPECT_TRUE(readMetaInfo(reread, metaMsfs));
  EXPECT_EQ(metaMsfs.value(), "2024");

  pugi::xml_document with2020;
  ASSERT_TRUE(writeMetaInfo(with2020, simFolderNameFor("MSFS 2020")));
  EXPECT_EQ(metaEntries(with2020).back().second, "2020");
}

TEST_F(MetaInfoTest, AirportFilesNeedAuthorDateAndVersion) {
  EXPECT_TRUE(metaBlockAccepted(airportDocument(
      "<meta><info name=\"author\" value=\"someone\"/><info name=\"date\" value=\"x\"/>"
      "<info name=\"version\" value=\"\"/></meta>\n")));
  EXPECT_EQ(metaAuthor.value(), "someone");
  EXPECT_EQ(metaVersion.value(), "");

  EXPECT_FALSE(metaBlockAccepted(airportDocument(
      "<meta><info name=\"author\" value=\"a\"/><info name=\"version\" value=\"1.0.0\"/></meta>\n")));
  EXPECT_EQ(metaDate.value(), "");
  EXPECT_FALSE(metaBlockAccepted(airportDocument("")));
  EXPECT_EQ(metaAuthor.value(), "");
}

TEST_F(MetaInfoTest, AttributeMissingReadsEmptyButPresent) {
  pugi::xml_document document = airportDocument("<meta><info name=\"author\"/></meta>");
  metaAuthor.setValue("stale");
  EXPECT_TRUE(readMetaInfo(document, metaAuthor));
  EXPECT_EQ(metaAuthor.value(), "");
}

}  // namespace
}  // namespace crv
