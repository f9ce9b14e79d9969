#include <gtest/gtest.h>

#include <httplib.h>

#include <atomic>
#include <thread>

#include <fmt/format.h>

#include "airports/airport_downloads.h"
#include "feed/downloader.h"
#include "foundation/session_flags.h"
#include "tests/feed/download_test_support.h"

namespace crv {
namespace {

using namespace std::chrono_literals;
using standin::Fault;

constexpr const char* kArchived = "MSFS/archive/stock/EHAM.xml";
constexpr const char* kArchivedFile = "<airport/>";

// The archive check as the program wires it: the feed's downloader against a
// server on 127.0.0.1, on a clock the test moves.
class ArchiveProbeTest : public ::testing::Test {
 protected:
  ~ArchiveProbeTest() override { setAirportDownloadSite({}); }

  void useSite(const std::string& baseUrl) {
    setAirportDownloadSite({baseUrl, makeUrlDownloader(world_.site().options), [this] { return now_.load(); }});
  }
  // The check at the next 16-second round, once the file lies on the site.
  bool checkAgain() {
    now_ += 16;
    return downloadArchivedAirport("EHAM");
  }

  testing::DownloadWorld world_;
  std::atomic<std::int64_t> now_{1'800'000'000};
};

// A port of 127.0.0.1 that was free a moment ago and that nobody listens on:
// every connection to it is refused.
int closedPort() {
  const auto socketHandle = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool bound = ::bind(socketHandle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                     ::getsockname(socketHandle, reinterpret_cast<sockaddr*>(&address), &length) == 0;
#ifdef _WIN32
  ::closesocket(socketHandle);
#else
  ::close(socketHandle);
#endif
  return bound ? ntohs(address.sin_port) : 0;
}

struct FailedCheck {
  const char* name;
  Fault fault;
};

TEST_F(ArchiveProbeTest, OnlyTheSitesNotFoundIsRememberedOtherFailuresAreAskedAgain) {
  const FailedCheck failures[] = {
      {"server error", Fault::serverError()},
      {"stalled transfer", Fault::slow(3000ms)},
  };
  for (const FailedCheck& failure : failures) {
    useSite(world_.standIn().baseUrl());
    testing::writeFile(world_.sitePath(kArchived), kArchivedFile);
    world_.standIn().setFault(kArchived, failure.fault);
    EXPECT_FALSE(downloadArchivedAirport("EHAM")) << failure.name;
    world_.standIn().clearFaults();
    EXPECT_TRUE(checkAgain()) << failure.name << ": a failed download is no answer of the site";
    EXPECT_FALSE(std::filesystem::exists(world_.programFolder() / "EHAM.xml")) << failure.name;
  }

  useSite(world_.standIn().baseUrl());
  std::filesystem::remove(world_.sitePath(kArchived));
  const std::size_t asked = world_.standIn().requestCount(kArchived);
  EXPECT_FALSE(downloadArchivedAirport("EHAM"));
  testing::writeFile(world_.sitePath(kArchived), kArchivedFile);
  EXPECT_FALSE(checkAgain()) << "the site said it has no such file";
  EXPECT_EQ(world_.standIn().requestCount(kArchived), asked + 1);
  now_ += kArchiveProbeSeconds;
  EXPECT_TRUE(downloadArchivedAirport("EHAM"));
}

TEST_F(ArchiveProbeTest, ARefusedConnectionIsAskedAgainAtTheNextCheck) {
  const int port = closedPort();
  ASSERT_GT(port, 0);
  useSite(fmt::format("http://127.0.0.1:{}/", port));
  EXPECT_FALSE(downloadArchivedAirport("EHAM"));
  EXPECT_TRUE(world_.logContains("Couldn't connect")) << world_.log();

  httplib::Server server;
  server.Get(std::string("/") + kArchived, [](const httplib::Request&, httplib::Response& response) {
    response.set_content(kArchivedFile, "text/xml");
  });
  std::thread listening([&server, port] { server.listen("127.0.0.1", port); });
  for (int waited = 0; !server.is_running() && waited < 5000; ++waited) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(server.is_running());
  EXPECT_TRUE(checkAgain());
  server.stop();
  listening.join();
}

}  // namespace
}  // namespace crv
