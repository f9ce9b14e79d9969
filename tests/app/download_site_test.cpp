#include "app/download_site.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "foundation/session_flags.h"

namespace crv {
namespace {

TEST(DownloadSiteTest, OnlyAnHttpAddressFromTheVariableIsASite) {
  struct Case {
    const char* value;  // nullptr: the variable is unset
    const char* baseUrl;  // nullptr: no site
  };
  const Case cases[] = {
      {nullptr, nullptr},
      {"", nullptr},
      {"ftp://127.0.0.1/site", nullptr},
      {"/home/user/site", nullptr},
      {"http://127.0.0.1:8080/site", "http://127.0.0.1:8080/site/"},
      {"https://127.0.0.1/site/", "https://127.0.0.1/site/"},
  };
  for (const Case& c : cases) {
    if (c.value == nullptr) {
      ::unsetenv(kDownloadSiteVariable);
    } else {
      ::setenv(kDownloadSiteVariable, c.value, 1);
    }
    const auto site = programDownloadSite();
    SCOPED_TRACE(c.value == nullptr ? "unset" : c.value);
    ASSERT_EQ(site.has_value(), c.baseUrl != nullptr);
    if (site) {
      EXPECT_EQ(site->baseUrl, c.baseUrl);
      // A closing session aborts a running download.
      EXPECT_EQ(site->options.stop, &stopRequestedFlag());
    }
  }
  ::unsetenv(kDownloadSiteVariable);
}

}  // namespace
}  // namespace crv
