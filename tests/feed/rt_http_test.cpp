#include "feed/rt_http.h"

#include "feed/rt_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include <fmt/format.h>
#include <optional>
#include <thread>

#include "tests/support/log_capture.h"
#include "tools/rt-standin/rt_standin.h"

namespace crv {
namespace {

using namespace std::chrono_literals;
using standin::Answer;
using standin::RtStandIn;

class RtHttpTest : public ::testing::Test {
 protected:
  CURLcode post(const std::string& path, const std::string& body, const std::atomic<bool>* stop,
                RequestTimeouts timeouts = {std::chrono::milliseconds(2000), std::chrono::milliseconds(5000)}) {
    return performPost(handle_.get(), dataRequestSetup("trcurl_"), standIn_.endpoint() + path, body, answer_,
                       timeouts, stop);
  }

  RtStandIn standIn_;
  CurlHandle handle_ = makeCurlHandle("trcurl_");
  std::string answer_ = "old text";
  std::atomic<bool> stop_{false};
};

TEST_F(RtHttpTest, PostsTheBodyAndCollectsTheAnswer) {
  standIn_.queueAnswer(standin::kTrafficPath, Answer::raw(R"({"status":200})"));
  ASSERT_EQ(post("/v4/traffic", "GUID=a&top=1.00", &stop_), CURLE_OK);
  EXPECT_EQ(answer_, R"({"status":200})");
  const auto requests = standIn_.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, "GUID=a&top=1.00");
  EXPECT_EQ(testing::missingPieces(requests[0].acceptEncoding, {"gzip", "deflate"}), "");
}

TEST_F(RtHttpTest, AStopAbortsAHangingRequestQuickly) {
  standIn_.queueAnswer(standin::kTrafficPath, Answer::hang());
  std::thread stopper([this] {
    standIn_.waitForRequests(standin::kTrafficPath, 1, 5s);
    stop_.store(true);
  });
  const auto start = std::chrono::steady_clock::now();
  const CURLcode code = post("/v4/traffic", "x", &stop_);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  stopper.join();
  EXPECT_EQ(code, CURLE_ABORTED_BY_CALLBACK);
  EXPECT_LT(elapsed, 1000ms);
  EXPECT_TRUE(answer_.empty());
}

TEST_F(RtHttpTest, ARaisedStopSendsNothing) {
  stop_.store(true);
  EXPECT_EQ(post("/v4/traffic", "x", &stop_), CURLE_ABORTED_BY_CALLBACK);
  EXPECT_EQ(standIn_.requestCount(standin::kTrafficPath), 0u);
}

TEST_F(RtHttpTest, TheWholeTransferTimesOutOnASlowServer) {
  standIn_.queueAnswer(standin::kTrafficPath, Answer::hang());
  const auto start = std::chrono::steady_clock::now();
  const CURLcode code = post("/v4/traffic", "x", &stop_, {std::chrono::milliseconds(1000), std::chrono::milliseconds(300)});
  EXPECT_EQ(code, CURLE_OPERATION_TIMEDOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
}

TEST(LfCallbackWriterTest, WithoutTargetTheTransferFailsWithAWriteError) {
  char data[] = "abc";
  EXPECT_EQ(appendToAnswer(data, 1, 3, nullptr), 0u);
  std::string target;
  EXPECT_EQ(appendToAnswer(data, 1, 3, &target), 3u);
  EXPECT_EQ(target, "abc");
  // An endless answer is cut off before it eats the memory.
  target.assign(kMaximumAnswerBytes - 2, 'x');
  EXPECT_EQ(appendToAnswer(data, 1, 3, &target), 0u);
  EXPECT_EQ(target.size(), kMaximumAnswerBytes - 2);
  target.clear();
  target.shrink_to_fit();

  standin::RtStandIn standIn;
  CurlHandle handle = makeCurlHandle("test");
  const std::string url = standIn.endpoint() + "/v4/auth";
  curl_easy_setopt(handle.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle.get(), CURLOPT_POSTFIELDS, "x");
  curl_easy_setopt(handle.get(), CURLOPT_WRITEFUNCTION, &appendToAnswer);
  curl_easy_setopt(handle.get(), CURLOPT_WRITEDATA, nullptr);
  EXPECT_EQ(curl_easy_perform(handle.get()), CURLE_WRITE_ERROR);
}

TEST(RtClientTest, WaitIntervalIsShortForTinyIntervalsAndEndsSoonAfterAStop) {
  RtClient client(FeedConfig{}, FeedHooks{});
  auto start = std::chrono::steady_clock::now();
  client.waitInterval(1);
  client.waitInterval(0);
  client.waitInterval(-5);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 20ms);

  std::thread stopper([&client] {
    std::this_thread::sleep_for(50ms);
    client.requestStop();
  });
  start = std::chrono::steady_clock::now();
  client.waitInterval(60000);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 400ms);
}

TEST(RtClientTest, TheTimeOffsetStaysWithinFourWeeksAndTheResetClearsTheSession) {
  RtClient client(FeedConfig{}, FeedHooks{});
  for (const auto& [minutes, kept] : {std::pair{50000, 40320}, {-1, 0}}) {
    client.setTimeOffsetMinutes(minutes);
    EXPECT_EQ(client.timeOffsetMinutes(), kept) << minutes;
  }
  client.setTimeOffsetMinutes(90);
  client.setGuid("g");
  client.requestStop();
  client.markEnded();
  client.setTrafficPaceMilliseconds(20);
  client.resetRtClient();
  // The pace stays.
  EXPECT_EQ(fmt::format("'{}' {} {} {} {}", client.guid(), client.timeOffsetMinutes(), client.isStopRequested(),
                        client.hasEnded(), client.trafficPaceMilliseconds()),
            "'' 0 false false 20");
  EXPECT_NE(client.authHandle(), nullptr);
}

// A self-signed certificate for 127.0.0.1, made with the openssl program.
std::optional<standin::TlsFiles> makeSelfSignedCertificate(const testing::TempFolder& folder) {
  const standin::TlsFiles files{(folder / "cert.pem").string(), (folder / "key.pem").string()};
  const std::string command =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj /CN=127.0.0.1"
      " -addext subjectAltName=IP:127.0.0.1 -keyout '" + files.privateKeyPath + "' -out '" +
      files.certificatePath + "' > /dev/null 2>&1";
  if (std::system(command.c_str()) != 0) {
    return std::nullopt;
  }
  return files;
}

TEST(RtHttpTlsTest, AnUntrustedCertificateIsRefused) {
  testing::TempFolder folder;
  const auto tls = makeSelfSignedCertificate(folder);
  if (!tls) {
    GTEST_SKIP() << "the openssl program is not available";
  }
  standin::RtStandIn standIn(*tls);
  ASSERT_EQ(standIn.endpoint().rfind("https://", 0), 0u);
  CurlHandle handle = makeCurlHandle("trcurl_");
  std::string answer;
  std::atomic<bool> stop{false};
  const CURLcode code = performPost(handle.get(), dataRequestSetup("trcurl_"), standIn.endpoint() + "/v4/traffic",
                                    "GUID=g", answer, RequestTimeouts{}, &stop);
  EXPECT_EQ(code, CURLE_PEER_FAILED_VERIFICATION) << curlErrorText(code);
  EXPECT_EQ(standIn.requestCount(standin::kTrafficPath), 0u);
}

}  // namespace
}  // namespace crv
