#include "tools/rt-standin/rt_standin.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <httplib.h>

namespace crv::standin {

namespace {

constexpr std::chrono::milliseconds kWaitSlice(10);
constexpr double kMostBufferSnapshots = 100.0;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

double numberField(const std::map<std::string, std::string>& form, const std::string& name, double fallback) {
  const auto found = form.find(name);
  if (found == form.end()) {
    return fallback;
  }
  try {
    return std::stod(found->second);
  } catch (const std::exception&) {
    return fallback;
  }
}

double epochNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

Answer Answer::json(const nlohmann::json& value, std::chrono::milliseconds delay) {
  Answer answer;
  answer.body = value.dump();
  answer.delay = delay;
  return answer;
}

Answer Answer::raw(std::string text, int httpStatus, std::chrono::milliseconds delay) {
  Answer answer;
  answer.body = std::move(text);
  answer.httpStatus = httpStatus;
  answer.contentType = "text/plain";
  answer.delay = delay;
  return answer;
}

Answer Answer::httpError(int httpStatus, std::string page) {
  Answer answer = raw(std::move(page), httpStatus);
  answer.contentType = "text/html";
  return answer;
}

Answer Answer::cutConnection() {
  Answer answer;
  answer.kind = Kind::CutAfterHeaders;
  return answer;
}

Answer Answer::hang(std::chrono::milliseconds delay) {
  Answer answer;
  answer.body = "{}";
  answer.delay = delay;
  return answer;
}

std::string percentDecode(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      result.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      result.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
      i += 2;
    } else {
      result.push_back(c);
    }
  }
  return result;
}

std::map<std::string, std::string> parseFormBody(std::string_view body) {
  std::map<std::string, std::string> form;
  std::size_t start = 0;
  while (start <= body.size()) {
    std::size_t end = body.find('&', start);
    if (end == std::string_view::npos) {
      end = body.size();
    }
    const std::string_view pair = body.substr(start, end - start);
    if (!pair.empty()) {
      const std::size_t equals = pair.find('=');
      if (equals == std::string_view::npos) {
        form[percentDecode(pair)] = "";
      } else {
        form[percentDecode(pair.substr(0, equals))] = percentDecode(pair.substr(equals + 1));
      }
    }
    start = end + 1;
  }
  return form;
}

RtStandIn::RtStandIn() : server_(std::make_unique<httplib::Server>()) { start(); }

// The library serves TLS only when built with OpenSSL (the Windows build
// has it without).
#ifdef CPPHTTPLIB_OPENSSL_SUPPORT
RtStandIn::RtStandIn(const TlsFiles& tls)
    : server_(std::make_unique<httplib::SSLServer>(tls.certificatePath.c_str(), tls.privateKeyPath.c_str())),
      tls_(true) {
  if (!server_->is_valid()) {
    throw std::runtime_error("rt-standin: cannot use the certificate " + tls.certificatePath);
  }
  start();
}
#else
RtStandIn::RtStandIn(const TlsFiles& /*tls*/) {
  throw std::runtime_error("rt-standin: this build serves no TLS");
}
#endif

void RtStandIn::start() {
  const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    Answer answer = nextAnswer(request.path, request.body);
    {
      std::lock_guard lock(mutex_);
      requests_.push_back({request.path, request.body, request.get_header_value("Accept-Encoding"),
                           std::chrono::steady_clock::now()});
    }
    requestArrived_.notify_all();
    const bool answered = waitUnlessStopping(answer.delay);
    if (!answered || answer.kind == Answer::Kind::CutAfterHeaders) {
      // Announce a body and close the connection before any of it.
      response.set_content_provider(
          64, "application/json", [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
      return;
    }
    response.status = answer.httpStatus;
    response.set_content(answer.body, answer.contentType.c_str());
  };
  for (std::string_view path : {kAuthPath, kDeauthPath, kTrafficPath, kNearestMetarPath, kWeatherPath}) {
    server_->Post(std::string(path), handler);
  }
  port_ = serving_.start(*server_, 0, "rt-standin");
}

RtStandIn::~RtStandIn() { stop(); }

void RtStandIn::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stoppingChanged_.notify_all();
  serving_.stop();
}

std::string RtStandIn::endpoint() const {
  return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_);
}

void RtStandIn::queueAnswer(std::string_view path, Answer answer, std::string_view queryType) {
  std::lock_guard lock(mutex_);
  queues_[std::string(path)].push_back({std::move(answer), std::string(queryType)});
}

void RtStandIn::queueJson(std::string_view path, const nlohmann::json& value, std::chrono::milliseconds delay,
                          std::string_view queryType) {
  queueAnswer(path, Answer::json(value, delay), queryType);
}

void RtStandIn::setPace(int rrlMilliseconds, int wrrlMilliseconds) {
  std::lock_guard lock(mutex_);
  rrlMilliseconds_ = rrlMilliseconds;
  wrrlMilliseconds_ = wrrlMilliseconds;
}

void RtStandIn::setEpochClock(std::function<double()> secondsSince1970) {
  std::lock_guard lock(mutex_);
  epochClock_ = std::move(secondsSince1970);
}

double RtStandIn::epochNowLocked() const { return epochClock_ ? epochClock_() : epochNow(); }

void RtStandIn::setScenario(Scenario scenario) {
  std::lock_guard lock(mutex_);
  if (scenario.startEpochSeconds == 0) {
    scenario.startEpochSeconds = static_cast<std::int64_t>(std::floor(epochNowLocked()));
  }
  scenario_ = std::move(scenario);
}

std::vector<ReceivedRequest> RtStandIn::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::string> RtStandIn::bodies(std::string_view path) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> result;
  for (const ReceivedRequest& request : requests_) {
    if (request.path == path) {
      result.push_back(request.body);
    }
  }
  return result;
}

std::size_t RtStandIn::requestCount(std::string_view path) const {
  std::lock_guard lock(mutex_);
  std::size_t count = 0;
  for (const ReceivedRequest& request : requests_) {
    count += request.path == path ? 1 : 0;
  }
  return count;
}

bool RtStandIn::waitForRequests(std::string_view path, std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return requestArrived_.wait_for(lock, timeout, [&] {
    std::size_t seen = 0;
    for (const ReceivedRequest& request : requests_) {
      seen += request.path == path ? 1 : 0;
    }
    return seen >= count;
  });
}

Answer RtStandIn::nextAnswer(const std::string& path, const std::string& body) {
  {
    std::lock_guard lock(mutex_);
    auto queue = queues_.find(path);
    if (queue != queues_.end()) {
      const auto form = parseFormBody(body);
      const auto queryType = form.find("querytype");
      for (auto entry = queue->second.begin(); entry != queue->second.end(); ++entry) {
        if (entry->queryType.empty() || (queryType != form.end() && queryType->second == entry->queryType)) {
          Answer answer = std::move(entry->answer);
          queue->second.erase(entry);
          return answer;
        }
      }
    }
  }
  return plainAnswer(path, body);
}

Answer RtStandIn::plainAnswer(const std::string& path, const std::string& body) const {
  std::lock_guard lock(mutex_);
  const auto form = parseFormBody(body);
  const Scenario scenario = scenario_.value_or(Scenario{});
  const double requestedEpoch = epochNowLocked() - 60.0 * numberField(form, "toffset", 0.0);

  nlohmann::json answer = {{"status", 200}};
  if (path == kAuthPath) {
    answer["GUID"] = scenario.guid;
    answer["server"] = scenario.server;
    answer["rrl"] = rrlMilliseconds_;
    answer["wrrl"] = wrrlMilliseconds_;
  } else if (path == kDeauthPath) {
    answer["message"] = "Session closed";
    answer["server"] = scenario.server;
  } else if (path == kTrafficPath) {
    answer["rrl"] = rrlMilliseconds_;
    const AreaBox box{numberField(form, "top", 0.0), numberField(form, "bottom", 0.0),
                      numberField(form, "left", 0.0), numberField(form, "right", 0.0)};
    const auto queryType = form.find("querytype");
    const bool parked = queryType != form.end() && queryType->second == "parkedtraffic";
    if (!scenario_) {
      answer["data"] = nlohmann::json::object();
    } else if (parked) {
      answer["data"] = parkedTrafficData(scenario, box, requestedEpoch);
    } else if (form.contains("buffercount")) {
      // Bounded before it becomes an integer: the form is the client's word.
      const double wanted = numberField(form, "buffercount", 0.0);
      const int count = wanted >= 1.0 ? static_cast<int>(std::min(wanted, kMostBufferSnapshots)) : 0;
      const double spacing = numberField(form, "buffertime", 0.0);
      nlohmann::json data = nlohmann::json::object();
      for (int i = 0; i < count; ++i) {
        data["buffer_" + std::to_string(i)] =
            liveTrafficData(scenario, box, scenario.startEpochSeconds, requestedEpoch - spacing * i);
      }
      answer["data"] = std::move(data);
    } else {
      answer["data"] = liveTrafficData(scenario, box, scenario.startEpochSeconds, requestedEpoch);
    }
  } else if (path == kNearestMetarPath) {
    answer["data"] = nlohmann::json::array({{{"ICAO", scenario.metarStation}, {"Dist", 1.2}}});
  } else if (path == kWeatherPath) {
    answer["wrrl"] = wrrlMilliseconds_;
    answer["data"] = {{"QNH", scenario.qnhHpa}, {"METAR", scenario.metarStation + " standin"}};
  }
  return Answer::json(answer);
}

bool RtStandIn::waitUnlessStopping(std::chrono::milliseconds delay) const {
  std::unique_lock lock(mutex_);
  if (delay.count() <= 0) {
    return !stopping_;
  }
  const auto end = std::chrono::steady_clock::now() + delay;
  while (!stopping_) {
    if (stoppingChanged_.wait_until(lock, std::min(end, std::chrono::steady_clock::now() + kWaitSlice)) ==
            std::cv_status::timeout &&
        std::chrono::steady_clock::now() >= end) {
      return !stopping_;
    }
  }
  return false;
}

}  // namespace crv::standin
