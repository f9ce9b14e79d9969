#include "feed/reader_threads.h"

#include <fmt/format.h>

#include <atomic>
#include <functional>

#include "feed/json_reading.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/status_line.h"
#include "foundation/version.h"
#include "platform/os/thread_name.h"

namespace crv {

namespace {

struct ReaderThread {
  const char* threadName;
  const char* functionName;
  const char* shortName;
  std::atomic<int> FeedDisplay::*indicator;
};

void reportThreadError(const RtClient& reader, const char* threadName, bool unauthorized) {
  if (reader.hooks().reportThreadError) {
    reader.hooks().reportThreadError(threadName, unauthorized);
    return;
  }
  setStatusLine(fmt::format("The {} has stopped with an error", threadName), true);
  raiseStop();
}

void setIndicator(const RtClient& reader, std::atomic<int> FeedDisplay::*indicator, int value) {
  if (FeedDisplay* display = reader.hooks().display) {
    (display->*indicator).store(value);
  }
  if (reader.hooks().repaint) {
    reader.hooks().repaint();
  }
}

void runReaderThread(RtClient& reader, RtClient& otherReader, const ReaderThread& thread,
                     const std::function<bool(int&)>& loop) {
  int status = 0;
  // Only a stop that was asked for ends the body quietly; the same number
  // from the service is an error like any other.
  const auto endedOnRequest = [&reader, &status] { return status == kStatusStopped && reader.isStopRequested(); };
  platform::setCurrentThreadName(thread.threadName);
  try {
    logConnected(thread.threadName);
    setIndicator(reader, thread.indicator, kIndicatorDataArrive);
    loop(status);
    setIndicator(reader, thread.indicator, kIndicatorHidden);
    if (!endedOnRequest()) {
      switch (status) {
        case kStatusReauthenticate:
          gf_logWarning(fmt::format("re-authentication to RT API is needed, restart {}", kProgramName));
          break;
        case kStatusParameterFault:
          gf_logWarning(fmt::format("{} RT API: parameter fault", thread.shortName));
          break;
        case kStatusDataRefused:
          gf_logWarning(fmt::format("{} RT API: this data is not available to the RealTraffic account",
                                    thread.shortName));
          break;
        default:
          gf_logWarning(fmt::format("{} RT API error: {}", thread.shortName, status));
          break;
      }
      otherReader.requestStop();
      reportThreadError(reader, thread.threadName, status == kStatusReauthenticate);
    }
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: {}", thread.functionName, logExcerpt(error.what())));
    reportThreadError(reader, thread.threadName, false);
    if (!endedOnRequest()) {
      otherReader.requestStop();
      reportThreadError(reader, thread.threadName, status == kStatusReauthenticate);
    }
  }
  reader.markEnded();
}

}  // namespace

void logConnected(const char* threadName) { gf_logIndented(fmt::format("{} connected", threadName)); }

void gf_trafficReader(TrafficReader& trafficReader, RtClient& weatherReader) {
  static const ReaderThread kThread{kTrafficReaderThreadName, "gf_trafficReader", "Traffic",
                                    &FeedDisplay::trafficIndicator};
  runReaderThread(trafficReader, weatherReader, kThread,
                  [&trafficReader](int& status) { return trafficReader.receive(status); });
}

void gf_weatherReader(WeatherReader& weatherReader, RtClient& trafficReader) {
  static const ReaderThread kThread{kWeatherReaderThreadName, "gf_weatherReader", "Weather",
                                    &FeedDisplay::weatherIndicator};
  runReaderThread(weatherReader, trafficReader, kThread,
                  [&weatherReader](int& status) { return weatherReader.receive(status); });
}

}  // namespace crv
