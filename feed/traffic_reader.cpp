#include "feed/traffic_reader.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "feed/json_reading.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/sleep.h"
#include "foundation/version.h"

namespace crv {

namespace {

constexpr std::size_t kAnswerReserve = 16384;
constexpr std::size_t kLiveRecordReserve = 384;
constexpr double kNmPerDegreeLatitude = 111.2 / 1.852;
constexpr double kParkedBoxHalfHeightDegrees = 0.04996402877697842;
constexpr double kParkedBoxHalfWidthFeet = 18228.34647;
constexpr double kHalfPi = 1.5707963267948966;
constexpr std::uint32_t kLiveDelaySeconds = 30;

std::string utcNowText() { return timeText(systemTimeSeconds()); }

bool isEmptyValue(const nlohmann::json& value) {
  return value.is_null() || ((value.is_object() || value.is_array() || value.is_string()) && value.empty());
}

}  // namespace

TrafficReader::TrafficReader(FeedConfig config, FeedHooks hooks)
    : RtClient(std::move(config), std::move(hooks)),
      liveTrafficCurl_(makeCurlHandle("trcurl_")),
      parkedTrafficCurl_(makeCurlHandle("ptcurl_")),
      parkElevationFeet_(std::numeric_limits<double>::quiet_NaN()) {
  answer_.reserve(kAnswerReserve);
  liveRecords_.reserve(kLiveRecordReserve);
  setLastTrafficTime(0.0);  // no traffic of this reader's session yet
}

TrafficReader::~TrafficReader() = default;

void TrafficReader::computeTrafficBox(GeoPoint userPosition, double radiusNm) {
  if (!(std::fabs(userPosition.latitude) > 0.0001 || std::fabs(userPosition.longitude) > 0.0001)) {
    return;
  }
  MutexLock lock(boxMutex_);
  if (std::fabs(userPosition.latitude - boxCentre_.latitude) < 0.00015 &&
      std::fabs(userPosition.longitude - boxCentre_.longitude) < 0.00015 && radiusNm == boxRadiusNm_) {
    return;
  }
  boxRadiusNm_ = radiusNm;
  boxCentre_ = userPosition;
  const double halfHeight = radiusNm / kNmPerDegreeLatitude;
  const double halfWidthFeet = radiusNm * kFeetPerNm;
  liveBox_.top = userPosition.latitude + halfHeight;
  liveBox_.bottom = userPosition.latitude - halfHeight;
  liveBox_.left = gf_destination(userPosition, -kHalfPi, halfWidthFeet).longitude;
  liveBox_.right = gf_destination(userPosition, kHalfPi, halfWidthFeet).longitude;
}

void TrafficReader::computeTrafficBox() {
  const GeoPoint user = hooks().userPosition ? hooks().userPosition() : GeoPoint{};
  if (std::fabs(user.latitude) > 0.0001 || std::fabs(user.longitude) > 0.0001) {
    setOwnPosition(user);
  }
  computeTrafficBox(user, trafficRangeNm());
}

void TrafficReader::setOwnPosition(GeoPoint position) {
  MutexLock lock(boxMutex_);
  ownPosition_ = position;
}

GeoPoint TrafficReader::ownPosition() const {
  MutexLock lock(boxMutex_);
  return ownPosition_;
}

QueryBox TrafficReader::liveBox() const {
  MutexLock lock(boxMutex_);
  return liveBox_;
}

QueryBox TrafficReader::parkedBox() const {
  MutexLock lock(boxMutex_);
  return parkedBox_;
}

void TrafficReader::setParkElevation(std::optional<double> elevationFeet) {
  parkElevationFeet_.store(elevationFeet.value_or(std::numeric_limits<double>::quiet_NaN()));
}

std::optional<double> TrafficReader::parkElevation() const {
  const double elevation = parkElevationFeet_.load();
  return std::isnan(elevation) ? std::nullopt : std::optional<double>(elevation);
}

BufferedIdentities TrafficReader::takeBufferedIdentities() {
  MutexLock lock(bufferedMutex_);
  BufferedIdentities taken = std::move(buffered_);
  buffered_ = {};
  return taken;
}

LiveDecodeContext TrafficReader::liveDecodeContext() const {
  LiveDecodeContext context;
  context.qnhHpa = qnh();
  context.parkElevationFeet = parkElevation();
  context.ownPosition = ownPosition();
  context.rangeNm = trafficRangeNm();
  context.blockedCallsign = par_BLOCK_CALLSIGN.value();
  if (hooks().parkAirportPosition) {
    context.parkAirport = hooks().parkAirportPosition();
  }
  context.buffering = isBuffering();
  context.hooks = &hooks();
  return context;
}

void TrafficReader::decodeLiveMembers(const nlohmann::json& members, const LiveDecodeContext& context) {
  if (!members.is_object()) {
    return;
  }
  for (const auto& value : members) {
    if (value.is_array() && value.size() == kLiveArraySize) {
      processLine(value, context, decodeState_, liveRecords_);
    }
  }
}

void TrafficReader::publishBufferedIdentities() {
  if (decodeState_.bufferedCallsigns.empty() && decodeState_.bufferedKeys.empty()) {
    return;
  }
  MutexLock lock(bufferedMutex_);
  buffered_.callsigns.merge(decodeState_.bufferedCallsigns);
  buffered_.keys.merge(decodeState_.bufferedKeys);
  decodeState_.bufferedCallsigns.clear();
  decodeState_.bufferedKeys.clear();
}

void TrafficReader::handOverBatch(std::uint32_t delaySeconds) {
  publishBufferedIdentities();
  liveCount_.store(static_cast<std::int64_t>(liveRecords_.size()));
  // The reader is the one writer of the traffic time: 0 while no traffic comes.
  setLastTrafficTime(liveRecords_.empty() ? 0.0 : decodeState_.latestTimestamp);
  if (hooks().intakeTrafficBatch) {
    hooks().intakeTrafficBatch(liveRecords_, delaySeconds);
  }
  liveRecords_.clear();
}

bool TrafficReader::buffer(int& status) {
  if (guid().empty()) {
    return false;
  }
  bool result = false;
  try {
    const std::string body = historyBody(guid(), liveBox(), timeOffsetMinutes());
    const CURLcode code = performPost(liveTrafficCurl_.get(), dataRequestSetup("trcurl_"), config().url(kTrafficPath), body,
                                      answer_, config().timeouts, &stopFlag());
    if (code != CURLE_OK) {
      reportUnfinishedTransfer(code, "buffer traffic", [code] {
        gf_logWarning(fmt::format("{} buffer traffic code: {}", utcNowText(), curl_easy_strerror(code)));
      });
    } else {
      result = takeHistoryAnswer(answer_, status);
    }
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: {}", "buffer", logExcerpt(error.what())));
  }
  liveRecords_.clear();
  return result;
}

bool TrafficReader::takeHistoryAnswer(const std::string& text, int& status) {
  if (text.empty()) {
    gf_logWarning("buffer traffic: empty content");
    return false;
  }
  const nlohmann::json answer = parseAnswer(text);
  const int answerStatusValue = answerStatus(answer);
  if (answerStatusValue != kStatusOk) {
    status = answerStatusValue;
    if (answerStatusValue == kStatusNoDataNow) {
      gf_logWarning(fmt::format(" buffer traffic msg {}", logExcerpt(jsonStringValue(answer, "message", ""))));
    }
    return false;
  }
  setTrafficPaceMilliseconds(answerPace(answer, "rrl"));
  raiseBuffering();
  const auto data = answer.find("data");
  if (data == answer.end() || isEmptyValue(*data)) {
    return false;
  }
  const LiveDecodeContext context = liveDecodeContext();
  for (int k = 0; k < kHistorySnapshotCount; ++k) {
    const std::string name = fmt::format("buffer_{}", kHistorySnapshotCount - 1 - k);
    if (jsonHasKey(*data, name)) {
      decodeLiveMembers((*data)[name], context);
    }
    handOverBatch(static_cast<std::uint32_t>(kHistorySnapshotSpacingSeconds * k));
  }
  return true;
}

void TrafficReader::receiveLiveTraffic(int& status, bool& endLoop) {
  const std::string body = liveTrafficBody(guid(), liveBox(), timeOffsetMinutes());
  const CURLcode code = performPost(liveTrafficCurl_.get(), dataRequestSetup("trcurl_"), config().url(kTrafficPath), body,
                                    answer_, config().timeouts, &stopFlag());
  if (code != CURLE_OK) {
    reportUnfinishedTransfer(code, "live traffic", [code] {
      gf_logWarning(fmt::format("curl traffic code:{} = {}", static_cast<int>(code), curl_easy_strerror(code)));
    });
    return;
  }
  takeLiveAnswer(answer_, status, endLoop);
}

void TrafficReader::takeLiveAnswer(const std::string& text, int& status, bool& endLoop) {
  if (text.empty()) {
    gf_logWarning("traffic receive: empty content");
    return;
  }
  const nlohmann::json answer = parseAnswer(text);
  const int answerStatusValue = answerStatus(answer);
  if (answerStatusValue == kStatusNoDataNow) {
    gf_logWarning(fmt::format("{} curl traffic msg: {}", utcNowText(),
                              logExcerpt(answerMessage(answer))));
    return;
  }
  if (answerStatusValue != kStatusOk) {
    status = answerStatusValue;
    endLoop = true;
    return;
  }
  setTrafficPaceMilliseconds(answerPace(answer, "rrl"));
  const auto data = answer.find("data");
  if (data != answer.end() && !isEmptyValue(*data)) {
    decodeLiveMembers(*data, liveDecodeContext());
  }
  handOverBatch(kLiveDelaySeconds);
}

bool TrafficReader::receive(int& status) {
  if (guid().empty()) {
    return false;
  }
  // The query area follows the user aircraft from the first request on.
  computeTrafficBox();
  const bool historyTaken = buffer(status);
  if (isStopRequested()) {
    status = kStatusStopped;
    return false;
  }
  if (!historyTaken) {
    gf_logWarning(fmt::format("buffer failed {}", status));
  }
  // The session waits for this flag no longer than 10 s, and the service may
  // ask for a longer pause: the flag goes up once the history is handed
  // over, before the pause that keeps the service's pace.
  receiving_.store(true);
  waitPace(std::chrono::milliseconds(trafficPaceMilliseconds()), stopFlag());
  while (!isStopRequested()) {
    bool endLoop = false;
    try {
      if (parkedRequest_.exchange(false)) {
        parkedtraffic();
      } else {
        receiveLiveTraffic(status, endLoop);
      }
    } catch (const std::exception& error) {
      gf_logWarning(fmt::format("{}: {}", "receive", logExcerpt(error.what())));
    }
    liveRecords_.clear();
    if (endLoop) {
      break;
    }
    waitInterval(trafficPaceMilliseconds());
  }
  receiving_.store(false);
  if (isStopRequested()) {
    status = kStatusStopped;
  }
  return false;
}

void TrafficReader::parkedtraffic() {
  std::uint64_t generation = 0;
  {
    MutexLock lock(parkedMutex_);
    generation = parkedGeneration_;
  }
  std::vector<ParkedTrafficRecord> records;
  int result = kParkedFailed;
  if (guid().empty()) {
    publishParked(generation, std::move(records), result);
    return;
  }
  try {
    const std::string body = parkedTrafficBody(guid(), parkedBox(), timeOffsetMinutes());
    const CURLcode code = performPost(parkedTrafficCurl_.get(), dataRequestSetup("ptcurl_"), config().url(kTrafficPath), body,
                                      answer_, config().timeouts, &stopFlag());
    if (code != CURLE_OK) {
      reportUnfinishedTransfer(code, "parkedtraffic", [code] {
        gf_logWarning(fmt::format("{} curl parkedtraffic code: {}", utcNowText(), curl_easy_strerror(code)));
      });
    } else {
      result = takeParkedAnswer(answer_, records);
    }
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: {}", "parkedtraffic", logExcerpt(error.what())));
    records.clear();
    result = kParkedFailed;
  }
  publishParked(generation, std::move(records), result);
}

int TrafficReader::takeParkedAnswer(const std::string& text, std::vector<ParkedTrafficRecord>& records) {
  if (text.empty()) {
    gf_logWarning("parkedtraffic: empty content");
    return kParkedFailed;
  }
  const nlohmann::json answer = parseAnswerOrDiscarded(text);
  if (answer.is_discarded()) {
    gf_logWarning("parkedtraffic: invalid JSON");
    return kParkedFailed;
  }
  const int answerStatusValue = answerStatus(answer);
  if (answerStatusValue == kStatusNoDataNow) {
    gf_logWarning(fmt::format("parkedtraffic msg: {}", logExcerpt(answerMessage(answer))));
    return kParkedDone;
  }
  if (answerStatusValue <= kParkedFailed) {
    // A status among our own pending, done and failed values would be
    // read as one of them: a foreign status is a failure.
    gf_logWarning(fmt::format("RT Parkedtraffic error status: {}", answerStatusValue));
    return kParkedFailed;
  }
  if (answerStatusValue != kStatusOk) {
    return answerStatusValue;
  }
  setTrafficPaceMilliseconds(answerPace(answer, "rrl"));
  const auto data = answer.find("data");
  if (data != answer.end() && data->is_object()) {
    ParkedDecodeContext context;
    context.reservedStandName = hooks().reservedStandName ? hooks().reservedStandName() : std::string();
    context.userStandName = hooks().userStandName ? hooks().userStandName() : std::string();
    context.hooks = &hooks();
    for (const auto& [name, value] : data->items()) {
      const bool empty = value.is_null() || ((value.is_object() || value.is_array()) && value.empty());
      if (!empty) {
        processParkedTrafficLine(name, value, context, records);
      }
    }
  }
  return kParkedDone;
}

void TrafficReader::publishParked(std::uint64_t generation, std::vector<ParkedTrafficRecord> records, int status) {
  MutexLock lock(parkedMutex_);
  if (generation != parkedGeneration_) {
    return;  // the requester gave up on this answer and asked again
  }
  parkedAnswer_ = std::move(records);
  parkedStatus_.exchange(status);
}

bool TrafficReader::requestParkedTraffic(GeoPoint parkAirport) {
  {
    MutexLock lock(boxMutex_);
    parkedBox_.top = parkAirport.latitude + kParkedBoxHalfHeightDegrees;
    parkedBox_.bottom = parkAirport.latitude - kParkedBoxHalfHeightDegrees;
    parkedBox_.left = gf_destination(parkAirport, -kHalfPi, kParkedBoxHalfWidthFeet).longitude;
    parkedBox_.right = gf_destination(parkAirport, kHalfPi, kParkedBoxHalfWidthFeet).longitude;
  }
  {
    MutexLock lock(parkedMutex_);
    ++parkedGeneration_;
    parkedAnswer_.clear();
    parkedStatus_.store(kParkedPending);
    parkedRequest_.store(true);
  }
  const auto step = config().parkedPollStep;
  sleepUnlessStopped(step, stopRequestedFlag());
  const auto start = std::chrono::steady_clock::now();
  while (parkedStatus_.load() == kParkedPending) {
    if (std::chrono::steady_clock::now() - start > config().parkedWaitLimit) {
      gf_logLine(fmt::format("ParkedTraffic receiving timed out after {:g} seconds",
                             std::chrono::duration<double>(config().parkedWaitLimit).count()));
      return false;
    }
    if (isStopping()) {
      return false;
    }
    sleepUnlessStopped(step, stopRequestedFlag());
  }

  const int status = parkedStatus_.load();
  if (status == kParkedDone) {
    {
      MutexLock lock(parkedMutex_);
      parkedTraffic_ = std::move(parkedAnswer_);
      parkedAnswer_.clear();
    }
    const int now = halfHourSlot();
    for (ParkedTrafficRecord& record : parkedTraffic_) {
      int age = now - record.halfHour;
      if (age < 0) {
        age += kSlotsPerDay;
      }
      record.halfHour = age;
    }
    if (!par_RT_PARKTRAFFIC_ONLY.value()) {
      removeParkedRecords(parkedTraffic_, par_MAX_FIT.value());
    }
    keepYoungestPerSpotAndCallsign(parkedTraffic_);
    return true;
  }
  parkedTraffic_.clear();
  switch (status) {
    case kParkedFailed:
      break;
    case kStatusParameterFault:
      throw std::runtime_error("RT API parameter fault");
    case kStatusReauthenticate:
      gf_logWarning(fmt::format("RT Parkedtraffic: re-authentication to RT API is needed {}", kProgramName));
      break;
    case kStatusDataRefused:
      throw std::runtime_error("RT Parkedtraffic: the RealTraffic account does not give parked traffic");
    default:
      gf_logWarning(fmt::format("RT Parkedtraffic error status: {}", status));
      break;
  }
  return false;
}

void TrafficReader::reset() {
  resetRtClient();
  liveTrafficCurl_ = makeCurlHandle("trcurl_");
  parkedTrafficCurl_ = makeCurlHandle("ptcurl_");
  answer_.clear();
  setLastTrafficTime(0.0);
  {
    MutexLock lock(bufferedMutex_);
    buffered_ = {};
  }
  decodeState_ = LiveDecodeState{};
  liveRecords_.clear();
  liveCount_.store(0);
  buffering_.store(false);
  setParkElevation(std::nullopt);
  qnh_.store(1013);
  {
    MutexLock lock(boxMutex_);
    boxRadiusNm_ = -1.0;
    boxCentre_ = GeoPoint{};
    liveBox_ = kStartQueryBox;
  }
  trafficShown_ = true;
}

std::size_t removeParkedRecords(std::vector<ParkedTrafficRecord>& records, int maximumAgeHalfHours) {
  const auto end = std::remove_if(records.begin(), records.end(), [maximumAgeHalfHours](const ParkedTrafficRecord& record) {
    return record.halfHour > maximumAgeHalfHours;
  });
  const auto removed = static_cast<std::size_t>(records.end() - end);
  records.erase(end, records.end());
  return removed;
}

void keepYoungestPerSpotAndCallsign(std::vector<ParkedTrafficRecord>& records) {
  std::stable_sort(records.begin(), records.end(), [](const ParkedTrafficRecord& a, const ParkedTrafficRecord& b) {
    return a.halfHour < b.halfHour;
  });
  std::set<std::string> spots;
  std::set<std::string> callsigns;
  std::vector<ParkedTrafficRecord> kept;
  kept.reserve(records.size());
  for (ParkedTrafficRecord& record : records) {
    if (spots.contains(record.parkingSpot)) {
      continue;
    }
    const std::string& callsign = record.identity.callsign;
    if (!callsign.empty() && callsigns.contains(callsign)) {
      continue;
    }
    spots.insert(record.parkingSpot);
    if (!callsign.empty()) {
      callsigns.insert(callsign);
    }
    kept.push_back(std::move(record));
  }
  records = std::move(kept);
}

}  // namespace crv
