#include "foundation/meta_info.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <pugixml.hpp>
#include <string>

#include "foundation/clock.h"
#include "tests/support/settings_fixture.h"

namespace crv {
namespace {

using MetaInfoTest = SettingsFixture;

pugi::xml_document airportDocument(const std::string& metaBody) {
  const std::string text = metaBody +
                           "<parameters><parameter name=\"MAX_LIVE\" value=\"50\"/></parameters>\n"
                           "<parkpositions/>\n";
  pugi::xml_document document;
  EXPECT_TRUE(document.load_string(text.c_str()));
  return document;
}

std::string metaEntries(const pugi::xml_document& document) {
  std::string entries;
  for (pugi::xml_node info : document.child("meta").children("info")) {
    entries += fmt::format("{}={}\n", info.attribute("name").value(), info.attribute("value").value());
  }
  return entries;
}

TEST_F(MetaInfoTest, WritesFiveEntriesForTheChosenSimulatorThatAreAccepted) {
  EXPECT_FALSE(writeMetaInfo(pugi::xml_node()));
  setSimFolderName(simFolderNameFor(std::string(kSimChoiceMsfs2024)));
  pugi::xml_document document;
  document.append_child("parameters");
  ASSERT_TRUE(writeMetaInfo(document));

  EXPECT_EQ(metaEntries(document), fmt::format("author=CRVN\nversion=11.0.2\ndate={}\ncopyright={}\nMSFS=2024\n",
                                               dateText(), metaCopyright.defaultValue()));
  EXPECT_TRUE(metaBlockAccepted(document));
  EXPECT_FALSE(readMetaInfo(document, metaP3d));

  pugi::xml_document with2020;
  ASSERT_TRUE(writeMetaInfo(with2020, simFolderNameFor("MSFS 2020")));
  EXPECT_NE(metaEntries(with2020).find("MSFS=2020\n"), std::string::npos);
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
