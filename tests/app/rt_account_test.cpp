// The RealTraffic key and address: where they come from, and that the key
// never reaches the log whole.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "app/rt_account.h"
#include "foundation/errors.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/thrown_text.h"

namespace crv::testing {
namespace {

constexpr const char* kKey = "abcd-efgh-ijkl-1234";

class RtAccountTest : public SettingsFixture {
 protected:
  void SetUp() override {
    unsetenv(kRtKeyVariable);
    unsetenv(kRtEndpointVariable);
  }
  void TearDown() override { SetUp(); }  // the variables unset again
};

TEST_F(RtAccountTest, TheKeyFileGivesTheKeyAndTheLogShowsOnlyItsEnd) {
  writeFile(rtKeyFilePath(), std::string("  ") + kKey + "\r\n");
  chmod(rtKeyFilePath().c_str(), 0600);
  const RtAccount account = loadRtAccount();
  EXPECT_EQ(account.key, kKey);
  EXPECT_EQ(account.endpoint, kRtDefaultEndpoint);
  EXPECT_EQ(logText().find(kKey), std::string::npos);
  EXPECT_NE(logText().find("****1234"), std::string::npos);
  EXPECT_EQ(logText().find("===> "), std::string::npos);
}

TEST_F(RtAccountTest, AKeyFileOthersCanReadIsWarnedAbout) {
  writeFile(rtKeyFilePath(), kKey);
  chmod(rtKeyFilePath().c_str(), 0644);
  EXPECT_EQ(loadRtAccount().key, kKey);
  EXPECT_NE(logText().find("===> The RealTraffic key file"), std::string::npos);
}

TEST_F(RtAccountTest, TheEnvironmentWinsAndNamesTheStandIn) {
  writeFile(rtKeyFilePath(), "file-key-0000");
  setenv(kRtKeyVariable, "env-key-99999", 1);
  setenv(kRtEndpointVariable, "http://127.0.0.1:8080//", 1);
  const RtAccount account = loadRtAccount();
  EXPECT_EQ(account.key, "env-key-99999");
  EXPECT_EQ(account.endpoint, "http://127.0.0.1:8080");
}

TEST_F(RtAccountTest, NoKeyOrAnEmptyFileIsAUserError) {
  EXPECT_THROW(loadRtAccount(), UserErrorException);
  writeFile(rtKeyFilePath(), "\n  \n");
  EXPECT_NE(thrownText<UserErrorException>([] { loadRtAccount(); }).find("151: No RealTraffic key"), std::string::npos);
  EXPECT_EQ(maskedKey("short"), "****");
}

TEST_F(RtAccountTest, ATextThatCannotBeAKeyIsRefusedAtTheStart) {
  chmod(rtKeyFilePath().c_str(), 0600);
  const std::pair<std::string, std::string> cases[] = {
      {std::string(10 * 1024, 'k'), "(10240 characters, a key has at most 128)"},
      {"abcd efgh", "(character 5 is a blank, a control character or no ASCII)"},
      {"abcd\x01" "efgh", "(character 5 is a blank"},
      {"cl\xC3\xA9-1234", "(character 3 is a blank"},
  };
  for (const auto& [key, why] : cases) {
    SCOPED_TRACE(why);
    writeFile(rtKeyFilePath(), key + "\n");
    const std::string text = thrownText<UserErrorException>([] { loadRtAccount(); });
    EXPECT_EQ(text.rfind("151: The RealTraffic key from " + rtKeyFilePath().string() + " cannot be a key " + why, 0),
              0u)
        << text;
    EXPECT_EQ(text.find(key), std::string::npos) << "the key is never shown";
  }
  writeFile(rtKeyFilePath(), std::string(kMaximumKeyLength, 'k'));
  EXPECT_EQ(loadRtAccount().key.size(), kMaximumKeyLength);
}

}  // namespace
}  // namespace crv::testing
