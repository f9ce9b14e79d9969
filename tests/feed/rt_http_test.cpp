#include "feed/rt_http.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <optional>
#include <thread>

#include "feed/request_bodies.h"
#include "feed/rt_client.h"
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

TEST_F(RtHttpTest, PostsTheBodyAndCollectsTheAnswerUnlessStopped) {
  standIn_.queueAnswer(standin::kTrafficPath, Answer::raw(R"({"status":200})"));
  ASSERT_EQ(post("/v4/traffic", "GUID=a&top=1.00", &stop_), CURLE_OK);
  EXPECT_EQ(answer_, R"({"status":200})");
  const auto requests = standIn_.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, "GUID=a&top=1.00");
  EXPECT_EQ(testing::missingPieces(requests[0].acceptEncoding, {"gzip", "deflate"}), "");

  stop_.store(true);
  EXPECT_EQ(post("/v4/traffic", "x", &stop_), CURLE_ABORTED_BY_CALLBACK);
  EXPECT_EQ(standIn_.requestCount(standin::kTrafficPath), 1u);
}

TEST_F(RtHttpTest, TheWholeTransferTimesOutOnASlowServer) {
  standIn_.queueAnswer(standin::kTrafficPath, Answer::hang());
  const auto start = std::chrono::steady_clock::now();
  const CURLcode code = post("/v4/traffic", "x", &stop_, {std::chrono::milliseconds(1000), std::chrono::milliseconds(300)});
  EXPECT_EQ(code, CURLE_OPERATION_TIMEDOUT);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2000ms);
}

TEST(AppendToAnswerTest, WithoutTargetOrBeyondTheLimitNothingIsTaken) {
  char data[] = "abc";
  EXPECT_EQ(appendToAnswer(data, 1, 3, nullptr), 0u);
  std::string target;
  EXPECT_EQ(appendToAnswer(data, 1, 3, &target), 3u);
  EXPECT_EQ(target, "abc");
  // An endless answer is cut off before it eats the memory.
  target.assign(kMaximumAnswerBytes - 2, 'x');
  EXPECT_EQ(appendToAnswer(data, 1, 3, &target), 0u);
  EXPECT_EQ(target.size(), kMaximumAnswerBytes - 2);
}

TEST(RtClientTest, WaitIntervalIsShortForTinyIntervalsAndEndsSoonAfterAStop) {
  RtClient client(FeedConfig{}, FeedHooks{});
  auto start = std::chrono::steady_clock::now();
  client.waitInterval(1);
  client.waitInterval(0);
  client.waitInterval(-5);
  client.waitInterval(std::numeric_limits<int>::min());
  client.waitPace(std::chrono::milliseconds(std::numeric_limits<int>::min()), client.stopFlag());
  // The bounds are loose for a busy machine, yet far below the waits asked.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);

  std::thread stopper([&client] {
    std::this_thread::sleep_for(50ms);
    client.requestStop();
  });
  start = std::chrono::steady_clock::now();
  client.waitInterval(std::numeric_limits<int>::max());
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  start = std::chrono::steady_clock::now();
  EXPECT_FALSE(client.waitPace(std::chrono::milliseconds(std::numeric_limits<int>::max()), client.stopFlag()));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST(RtClientTest, TheTimeOffsetStaysWithinFourWeeks) {
  RtClient client(FeedConfig{}, FeedHooks{});
  for (const auto& [minutes, kept] : {std::pair{50000, 40320}, {-1, 0}, {90, 90}}) {
    client.setTimeOffsetMinutes(minutes);
    EXPECT_EQ(client.timeOffsetMinutes(), kept) << minutes;
  }
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

// The bodies themselves are checked where the readers send them.
TEST(RequestBodiesTest, FormValuesArePercentEncodedByteByByte) {
  EXPECT_EQ(percentEncode("abcXYZ019-._~"), "abcXYZ019-._~");
  EXPECT_EQ(percentEncode("a&b=c d+e%f"), "a%26b%3Dc%20d%2Be%25f");
  EXPECT_EQ(percentEncode("\xC3\xA9"), "%C3%A9");
  EXPECT_EQ(weatherBody("g", 0, 0, 0, 0, "E&H"), "GUID=g&querytype=locwx&toffset=0&lat=0.0000&lon=0.0000&alt=0&airports=E%26H");
}

TEST(RequestBodiesTest, TheWeatherAltitudeIsWholeFeetAndNeverBelowZero) {
  EXPECT_EQ(weatherAltitudeFeet(-50.0), 0);
  EXPECT_EQ(weatherAltitudeFeet(0.99), 0);
  EXPECT_EQ(weatherAltitudeFeet(35999.9), 35999);
}

}  // namespace
}  // namespace crv
