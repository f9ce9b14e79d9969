#include "feed/login.h"

#include <fmt/format.h>

#include <algorithm>
#include <optional>

#include "feed/json_reading.h"
#include "feed/request_bodies.h"
#include "foundation/clock.h"
#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/sleep.h"
#include "foundation/status_line.h"

namespace crv {

namespace {

std::string utcNowText() { return timeText(systemTimeSeconds()); }

bool isRefusal(int status) {
  return status == kStatusParameterFault || status == kStatusKeyRefused || status == kStatusKeyUnknown ||
         status == kStatusSecondSession || status == kStatusDatabaseProblem;
}

bool hasIntegerMember(const nlohmann::json& answer, const char* key) {
  if (!answer.is_object()) {
    return false;
  }
  const auto found = answer.find(key);
  return found != answer.end() && found->is_number_integer();
}

void pauseWhileShown(std::chrono::milliseconds pause) { sleepUnlessStopped(pause, userClosedWindowFlag()); }

}  // namespace

bool authenticate(WeatherReader& weatherReader, int& status) {
  bool loggedIn = false;
  try {
    std::string& answerText = weatherReader.authAnswer();
    const std::string body = loginBody(weatherReader.config().accountKey);
    const CURLcode code =
        performPost(weatherReader.authHandle(), PostSetup{"aucurl_", "TrafficReader failed to set CURLOPT_URL", false},
                    weatherReader.config().url(kAuthPath), body, answerText, weatherReader.config().timeouts,
                    &stopRequestedFlag());
    if (code != CURLE_OK) {
      if (reportUnfinishedTransfer(code, "Authentication", [code] {
            gf_logLine(fmt::format("{} Authentication failed: {}", utcNowText(), curl_easy_strerror(code)));
          })) {
        status = kStatusStopped;
      }
      return false;
    }
    loggedIn = takeLoginAnswer(weatherReader, answerText, status);
    if (!loggedIn) {
      // A refused, empty or GUID-less answer: nothing to keep pace with.
      return false;
    }
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: {}", "authenticate", logExcerpt(error.what())));
  }
  // The first weather request keeps the service's pace.
  weatherReader.waitPace(std::chrono::milliseconds(weatherReader.weatherPaceMilliseconds()), stopRequestedFlag());
  return loggedIn;
}

bool takeLoginAnswer(WeatherReader& weatherReader, const std::string& text, int& status) {
  if (text.empty()) {
    gf_logLine("Authentication: empty response");
    return false;
  }
  const nlohmann::json answer = parseAnswer(text);
  // Read as every answer's status is: a number beyond an int is a lie, not
  // a status cut down to 32 bits.
  if (hasIntegerMember(answer, "status") && isRefusal(answerStatus(answer))) {
    status = answerStatus(answer);
    return false;
  }
  // Without a session GUID no request can be made: a failed login.
  if (!answer.is_object() || !answer.contains("GUID") || !answer["GUID"].is_string() ||
      answer["GUID"].get_ref<const std::string&>().empty()) {
    gf_logWarning("Authentication: the answer holds no GUID");
    return false;
  }
  weatherReader.setTrafficPaceMilliseconds(hasIntegerMember(answer, "rrl") ? answerPace(answer, "rrl")
                                                                           : kDefaultPaceMilliseconds);
  weatherReader.setWeatherPaceMilliseconds(hasIntegerMember(answer, "wrrl") ? answerPace(answer, "wrrl")
                                                                            : kDefaultPaceMilliseconds);
  gf_logLine("");
  const std::string server = logExcerpt(jsonStringValue(answer, "server", "?"));
  gf_logLine(fmt::format("Authenticated at RT server '{}'", server));
  if (weatherReader.hooks().showServerName) {
    weatherReader.hooks().showServerName(server);
  }
  weatherReader.setGuid(answer["GUID"].get<std::string>());
  if (FeedDisplay* display = weatherReader.hooks().display) {
    display->loggedIn.store(true);
  }
  if (weatherReader.hooks().repaint) {
    weatherReader.hooks().repaint();
  }
  return true;
}

void authenticater(WeatherReader& weatherReader, TrafficReader& trafficReader) {
  setStatusLine("Waiting for authentication at RT server ...", true);
  gf_logLine("");
  int status = 0;
  // A login that the program cut short itself ends with the session it
  // belonged to: no error.
  if (authenticate(weatherReader, status) || status == kStatusStopped) {
    clearStatusLine();
    trafficReader.setGuid(weatherReader.guid());
    return;
  }
  if (status == kStatusKeyRefused || status == kStatusKeyUnknown) {
    const std::string text = fmt::format(
        "RealTraffic did not accept the account key (status {}), please check your RealTraffic license", status);
    setStatusLine(text, true);
    pauseWhileShown(weatherReader.config().refusalPause);
    throw UserErrorException(status, text);
  }
  if (status == kStatusSecondSession) {
    const std::string text = "More than one RealTraffic session is not possible, do not run the RealTraffic app";
    setStatusLine(text, true);
    pauseWhileShown(weatherReader.config().refusalPause);
    throw UserErrorException(status, text);
  }
  if (status == kStatusDatabaseProblem) {
    throw std::runtime_error("No RT database connection");
  }
  setStatusLine(fmt::format("The {} has stopped with an error", "Authenticater"), true);
  if (weatherReader.hooks().endSessionWithReaderError) {
    weatherReader.hooks().endSessionWithReaderError();
  } else {
    raiseStop();
  }
  clearStatusLine();
  trafficReader.setGuid(weatherReader.guid());
}

void deauthenticate(TrafficReader& trafficReader, const std::atomic<bool>* stop) {
  try {
    std::string& answerText = trafficReader.authAnswer();
    const std::string body = logoutBody(trafficReader.guid());
    // The program is closing: a service that does not answer soon is left
    // to forget the session by itself.
    RequestTimeouts timeouts = trafficReader.config().timeouts;
    timeouts.connect = std::min(timeouts.connect, kLogoutLimit);
    timeouts.transfer = std::min(timeouts.transfer, kLogoutLimit);
    const CURLcode code =
        performPost(trafficReader.authHandle(), PostSetup{"aucurl_", "Failed to set CURLOPT_URL", false},
                    trafficReader.config().url(kDeauthPath), body, answerText, timeouts, stop);
    if (code != CURLE_OK) {
      reportUnfinishedTransfer(code, "Deauthentication", [code] {
        gf_logLine(fmt::format("{} Deauthentication failed: {}", utcNowText(), curl_easy_strerror(code)));
      });
      return;
    }
    if (answerText.empty()) {
      gf_logLine("Deauthentication: empty response");
      return;
    }
    const nlohmann::json answer = parseAnswerOrDiscarded(answerText);
    if (answer.is_discarded()) {
      gf_logLine("Deauthentication: invalid JSON");
      return;
    }
    const int status = answerStatus(answer);
    if (status != kStatusOk) {
      gf_logWarning(fmt::format("Deauthentication failed, status: {}", status));
      return;
    }
    if (FeedDisplay* display = trafficReader.hooks().display) {
      display->loggedIn.store(false);
    }
    if (trafficReader.hooks().repaint) {
      trafficReader.hooks().repaint();
    }
    trafficReader.setGuid({});
    gf_logLine(fmt::format("{} RT server '{}'", logExcerpt(answerMessage(answer)),
                           logExcerpt(jsonStringValue(answer, "server", ""))));
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: {}", "deauthenticate", logExcerpt(error.what())));
  }
}

}  // namespace crv
