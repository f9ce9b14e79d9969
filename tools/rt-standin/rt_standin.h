#pragma once

// A loopback stand-in of the RealTraffic API v4 for tests and manual runs.
//
// It listens on 127.0.0.1 only, on a free port chosen by the system, and
// answers POST /v4/auth, /v4/deauth, /v4/traffic, /v4/nearestmetar and
// /v4/weather. Each path takes its answers, in order, from a queue that a
// test fills; an empty queue falls back to the scenario (when one is set) or
// to a plain answer of the path. Every request is recorded with its body.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/loopback_server.h"
#include "tools/rt-standin/scenario.h"

namespace httplib {
class Server;
}

namespace crv::standin {

inline constexpr std::string_view kAuthPath = "/v4/auth";
inline constexpr std::string_view kDeauthPath = "/v4/deauth";
inline constexpr std::string_view kTrafficPath = "/v4/traffic";
inline constexpr std::string_view kNearestMetarPath = "/v4/nearestmetar";
inline constexpr std::string_view kWeatherPath = "/v4/weather";

// One scripted answer.
struct Answer {
  enum class Kind {
    Body,         // the body as given (JSON text, or any raw text)
    CutAfterHeaders,  // headers announce a body, then the connection closes
  };

  Kind kind = Kind::Body;
  int httpStatus = 200;
  std::string body;
  std::string contentType = "application/json";
  // Waited before the answer goes out; the wait ends early when the
  // stand-in stops, and then no answer is sent.
  std::chrono::milliseconds delay{0};

  static Answer json(const nlohmann::json& value, std::chrono::milliseconds delay = {});
  static Answer raw(std::string text, int httpStatus = 200, std::chrono::milliseconds delay = {});
  static Answer httpError(int httpStatus, std::string page);
  static Answer cutConnection();
  // Holds the request until the stand-in stops (or the delay ends, then
  // answers an empty object).
  static Answer hang(std::chrono::milliseconds delay = std::chrono::minutes(10));
};

struct ReceivedRequest {
  std::string path;
  std::string body;
  std::string acceptEncoding;
  std::chrono::steady_clock::time_point receivedAt;
};

// Name-value pairs of a form body, percent-decoded; a later duplicate wins.
std::map<std::string, std::string> parseFormBody(std::string_view body);
std::string percentDecode(std::string_view text);

// A certificate and its private key (PEM files) for serving HTTPS.
struct TlsFiles {
  std::string certificatePath;
  std::string privateKeyPath;
};

class RtStandIn {
 public:
  // Binds 127.0.0.1 on a free port and starts serving on a thread of its own,
  // over HTTPS when given a certificate. Throws std::runtime_error when no
  // port can be bound.
  RtStandIn();
  explicit RtStandIn(const TlsFiles& tls);
  ~RtStandIn();
  RtStandIn(const RtStandIn&) = delete;
  RtStandIn& operator=(const RtStandIn&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" ("https://" with a certificate)
  std::string endpoint() const;

  // Answers of one path, used in order. With a query type, the answer is
  // kept for the next request of the path whose "querytype" field has that
  // value (/v4/traffic carries live, history and parked requests).
  void queueAnswer(std::string_view path, Answer answer, std::string_view queryType = {});
  void queueJson(std::string_view path, const nlohmann::json& value,
                 std::chrono::milliseconds delay = {}, std::string_view queryType = {});

  // Pace values of the plain answers (also the scenario's answers).
  void setPace(int rrlMilliseconds, int wrrlMilliseconds);
  // Answers of the data paths come from the scenario while their queue is
  // empty.
  void setScenario(Scenario scenario);
  // Where the stand-in takes "now" from (seconds since 1970): the system
  // clock unless given, so that a test can run the scenario's flights at the
  // pace of the simulator it pairs them with.
  void setEpochClock(std::function<double()> secondsSince1970);

  std::vector<ReceivedRequest> requests() const;
  std::vector<std::string> bodies(std::string_view path) const;
  std::size_t requestCount(std::string_view path) const;
  // Waits until the path has received at least count requests; false after
  // the timeout.
  bool waitForRequests(std::string_view path, std::size_t count, std::chrono::milliseconds timeout) const;

  // Stops serving; held requests end without an answer. Called by the
  // destructor as well.
  void stop();

 private:
  void start();
  Answer nextAnswer(const std::string& path, const std::string& body);
  Answer plainAnswer(const std::string& path, const std::string& body) const;
  // Waits the delay in short slices; false when the stand-in stops first.
  bool waitUnlessStopping(std::chrono::milliseconds delay) const;

  std::unique_ptr<httplib::Server> server_;
  LoopbackServerThread serving_;  // after server_: stops it before it goes
  int port_ = 0;
  bool tls_ = false;

  double epochNowLocked() const;

  // Guards the answer queues, the received requests, the scenario, the rate
  // limits, the epoch clock and stopping_; both conditions wait on it.
  mutable std::mutex mutex_;
  mutable std::condition_variable requestArrived_;
  struct QueuedAnswer {
    Answer answer;
    std::string queryType;
  };
  std::map<std::string, std::deque<QueuedAnswer>, std::less<>> queues_;
  std::vector<ReceivedRequest> requests_;
  std::optional<Scenario> scenario_;
  std::function<double()> epochClock_;  // empty: the system clock
  int rrlMilliseconds_ = 20;
  int wrrlMilliseconds_ = 20;
  bool stopping_ = false;
  mutable std::condition_variable stoppingChanged_;
};

}  // namespace crv::standin
