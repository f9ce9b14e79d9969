#include "feed/login.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <fmt/format.h>

#include "foundation/errors.h"
#include "foundation/session_flags.h"
#include "tests/feed/feed_test_support.h"
#include "tests/support/pace_recorder.h"
#include "tests/support/thrown_text.h"

namespace crv {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using standin::Answer;

class LoginTest : public testing::FeedTest {
 protected:
  void queueLogin(const json& answer) { standIn_.queueJson(standin::kAuthPath, answer); }
  // Both readers' GUIDs, the logged-in and stop flags and the reader errors.
  std::string session() const {
    return fmt::format("{}|{} loggedIn={} stop={} errors={}", weather_.guid(), traffic_.guid(),
                       display_.loggedIn.load(), stopRequested(), readerErrors_);
  }
};

TEST_F(LoginTest, ASuccessfulLoginSendsTheEncodedKeyAndHandsTheGuidOn) {
  queueLogin({{"status", 200}, {"GUID", "g-1"}, {"server", "rt7"}, {"rrl", 20}, {"wrrl", 30}});
  authenticater(weather_, traffic_);
  EXPECT_EQ(standIn_.bodies(standin::kAuthPath),
            std::vector<std::string>{"license=secret%26key%3D1&software=CRVN_11.0.2"});
  EXPECT_EQ(session(), "g-1|g-1 loggedIn=true stop=false errors=0");
  EXPECT_EQ(weather_.trafficPaceMilliseconds(), 20);
  EXPECT_EQ(weather_.weatherPaceMilliseconds(), 30);
  EXPECT_EQ(testing::missingPieces(log_.text(), {"Waiting for authentication at RT server ...",
                                                 "Authenticated at RT server 'rt7'"}), "");
  EXPECT_EQ(serverShown_, "rt7");
  EXPECT_FALSE(log_.contains("secret"));

  // Any other number, a text or no status at all logs in too.
  for (const json& status : {json(401), json("400"), json()}) {
    SCOPED_TRACE(status.dump());
    weather_.setGuid({});
    queueLogin({{"status", status}, {"GUID", "g-2"}, {"wrrl", 10}});
    int refusal = 0;
    EXPECT_TRUE(authenticate(weather_, refusal));
    EXPECT_EQ(refusal, 0);
    EXPECT_EQ(weather_.guid(), "g-2");
  }
  EXPECT_TRUE(log_.contains("Authenticated at RT server '?'"));
}


// A refused key or a second session is the user's to mend; a database
// problem throws; a parameter fault ends the session.
TEST_F(LoginTest, EveryRefusalHasItsOwnEnd) {
  for (int status : {402, 405}) {
    SCOPED_TRACE(status);
    queueLogin({{"status", status}, {"GUID", "g"}});
    EXPECT_THAT(testing::thrownText<UserErrorException>([&] { authenticater(weather_, traffic_); }),
                ::testing::StartsWith(std::to_string(status) + ": "));
    EXPECT_EQ(weather_.guid(), "");
  }
  EXPECT_TRUE(log_.contains("More than one RealTraffic session is not possible, do not run the RealTraffic app"));
  // The service's refusal stays a refusal when the HTTP status says error too.
  standIn_.queueAnswer(standin::kAuthPath, Answer::raw(R"({"status":402,"message":"refused"})", 402));
  EXPECT_THAT(testing::thrownText<UserErrorException>([&] { authenticater(weather_, traffic_); }),
              ::testing::StartsWith("402: "));
  queueLogin({{"status", 500}, {"GUID", "g"}});
  EXPECT_EQ(testing::thrownText<std::runtime_error>([&] { authenticater(weather_, traffic_); }),
            "No RT database connection");
  EXPECT_EQ(readerErrors_, 0);
  queueLogin({{"status", 400}, {"GUID", "g"}});
  authenticater(weather_, traffic_);
  EXPECT_EQ(session(), "| loggedIn=false stop=true errors=1");
}

TEST_F(LoginTest, AStatusBeyond32BitsIsALieNotARefusal) {
  queueLogin({{"status", 4294967696}, {"GUID", "g"}});  // 2^32 + 400
  int status = 0;
  EXPECT_FALSE(authenticate(weather_, status));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(weather_.guid(), "");
  EXPECT_TRUE(log_.contains("the answer's status is no status"));
}

// A failed login ends the session with a reader error after one attempt, and
// no request goes out with a made-up GUID.
TEST_F(LoginTest, AFailedLoginEndsTheSessionWithAReaderErrorAfterOneAttempt) {
  struct Failure { Answer answer; const char* logged; };
  const Failure failures[] = {
      {Answer::raw(""), "Authentication: empty response"},
      {Answer::httpError(502, "<html>Bad gateway</html>"), "===> authenticate: [json.exception.parse_error.101]"},
      {Answer::json({{"status", 200}, {"server", "rt7"}}), "===> Authentication: the answer holds no GUID"},
  };
  int expectedErrors = 0;
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.logged);
    clearStopRequest();
    const auto before = standIn_.requestCount(standin::kAuthPath);
    standIn_.queueAnswer(standin::kAuthPath, failure.answer);
    authenticater(weather_, traffic_);
    EXPECT_EQ(standIn_.requestCount(standin::kAuthPath), before + 1);
    EXPECT_EQ(readerErrors_, ++expectedErrors);
    EXPECT_TRUE(log_.contains(failure.logged));
  }
  EXPECT_EQ(session(), "| loggedIn=false stop=true errors=3");
  EXPECT_TRUE(log_.contains("The Authenticater has stopped with an error"));
  int status = 0;
  EXPECT_FALSE(traffic_.buffer(status) || traffic_.receive(status) || weather_.receive(status));
  EXPECT_EQ(standIn_.requestCount(standin::kTrafficPath) + standIn_.requestCount(standin::kNearestMetarPath), 0u);

  // A dead server.
  clearStopRequest();
  FeedConfig config = config_;
  config.endpoint = standin::RtStandIn().endpoint();
  WeatherReader weather(config, hooks());
  authenticater(weather, traffic_);
  EXPECT_EQ(readerErrors_, ++expectedErrors);
  EXPECT_TRUE(log_.contains("Authentication failed: Couldn't connect to server"));
  EXPECT_FALSE(log_.contains("secret"));
}

// After a login the first weather request keeps the service's weather pace,
// and after an answer that broke off mid-way too; a refused, empty or
// GUID-less answer returns at once.
TEST_F(LoginTest, OnlyALoginOrABrokenAnswerWaitsTheWeatherPace) {
  struct Case { Answer answer; std::vector<std::chrono::milliseconds> pauses; };
  const std::vector<std::chrono::milliseconds> none;
  const Case cases[] = {
      {Answer::json({{"status", 200}, {"GUID", "g"}, {"wrrl", 120000}}), {120000ms}},
      {Answer::raw("{\"status\":"), {20ms}},
      {Answer::raw(""), none},
      {Answer::json({{"status", 200}, {"wrrl", 90000}}), none},
      {Answer::json({{"status", 400}, {"wrrl", 90000}}), none},
      {Answer::json({{"status", 402}}), none},
      {Answer::json({{"status", 404}}), none},
      {Answer::json({{"status", 405}}), none},
      {Answer::json({{"status", 500}}), none},
  };
  for (const Case& login : cases) {
    SCOPED_TRACE(login.answer.body);
    testing::PaceRecorder pace;
    FeedConfig config = config_;
    config.paceWait = pace.waitFunction();
    WeatherReader weather(config, hooks());
    weather.setWeatherPaceMilliseconds(20);
    standIn_.queueAnswer(standin::kAuthPath, login.answer);
    int status = 0;
    authenticate(weather, status);
    EXPECT_EQ(pace.pauses(), login.pauses);
  }
}

TEST_F(LoginTest, AStopAbortsAHangingLogin) {
  standIn_.queueAnswer(standin::kAuthPath, Answer::hang());
  std::thread stopper([this] {
    standIn_.waitForRequests(standin::kAuthPath, 1, 5s);
    raiseStop();
  });
  const auto start = std::chrono::steady_clock::now();
  int status = 0;
  EXPECT_FALSE(authenticate(weather_, status));
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s) << "far below the 30 s transfer limit";
}

// The logout runs while the program closes: a service that never answers
// holds it for the logout's own short limit, and a stop ends it sooner.
TEST_F(LoginTest, AHangingLogoutEndsWithinItsLimitOrAtAStop) {
  traffic_.setGuid("g-1");
  standIn_.queueAnswer(standin::kDeauthPath, Answer::hang());
  auto start = std::chrono::steady_clock::now();
  deauthenticate(traffic_);
  const auto unanswered = std::chrono::steady_clock::now() - start;
  EXPECT_GE(unanswered, kLogoutLimit - 100ms);
  EXPECT_LT(unanswered, kLogoutLimit + 1500ms) << "far below the 30 s transfer limit";
  EXPECT_TRUE(log_.contains("Deauthentication failed: "));

  standIn_.queueAnswer(standin::kDeauthPath, Answer::hang());
  std::atomic<bool> stop{false};
  std::thread stopper([this, &stop] {
    standIn_.waitForRequests(standin::kDeauthPath, 2, 5s);
    stop.store(true);
  });
  start = std::chrono::steady_clock::now();
  deauthenticate(traffic_, &stop);
  stopper.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, kLogoutLimit - 1s);
  EXPECT_EQ(traffic_.guid(), "g-1");
}

// Only a logout answered with 200 forgets the GUID and the logged-in flag.
TEST_F(LoginTest, ALogoutForgetsTheSessionOnlyWhenTheServerSaysSo) {
  struct Failure { Answer answer; const char* logged; };
  const Failure failures[] = {
      {Answer::json({{"status", 403}}), "===> Deauthentication failed, status: 403"},
      {Answer::raw("<html>"), "Deauthentication: invalid JSON"},
      {Answer::raw(""), "Deauthentication: empty response"},
      {Answer::cutConnection(), "Deauthentication failed: "},
  };
  traffic_.setGuid("g-1");
  display_.loggedIn.store(true);
  for (const Failure& failure : failures) {
    SCOPED_TRACE(failure.logged);
    standIn_.queueAnswer(standin::kDeauthPath, failure.answer);
    deauthenticate(traffic_);
    EXPECT_EQ(traffic_.guid(), "g-1");
    EXPECT_TRUE(display_.loggedIn.load());
    EXPECT_TRUE(log_.contains(failure.logged));
  }
  standIn_.queueJson(standin::kDeauthPath, {{"status", 200}, {"message", "Bye"}, {"server", "rt7"}});
  deauthenticate(traffic_);
  EXPECT_EQ(standIn_.bodies(standin::kDeauthPath).back(), "GUID=g-1");
  EXPECT_EQ(traffic_.guid(), "");
  EXPECT_FALSE(display_.loggedIn.load());
  EXPECT_TRUE(log_.contains("Bye RT server 'rt7'"));
}

}  // namespace
}  // namespace crv
