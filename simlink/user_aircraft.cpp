#include "simlink/user_aircraft.h"

#include <chrono>
#include <cmath>
#include <exception>

#include <fmt/format.h>

#include "aircraftdata/type_lookups.h"
#include "airports/stand_names.h"
#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/status_line.h"
#include "simlink/session_end.h"

namespace crv {

namespace {

constexpr double kUnknownPositionDegrees = 0.0001;
constexpr double kStandingGroundSpeedKnots = 2.0;
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kLastDayOfYear = 366;

bool isNearZero(const GeoPoint& point) {
  return std::fabs(point.latitude) <= kUnknownPositionDegrees && std::fabs(point.longitude) <= kUnknownPositionDegrees;
}

GeoPoint positionOf(const UserAcData& data) { return {data.latitude, data.longitude}; }

// The first `count` characters, never cutting a UTF-8 sequence in two.
std::string firstCharacters(std::string_view text, std::size_t count) {
  std::size_t end = 0;
  std::size_t characters = 0;
  while (end < text.size() && characters < count) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0U) == 0x80U) {
      ++end;
    }
    ++characters;
  }
  return std::string(text.substr(0, end));
}

std::string modelFromTextForm(std::string_view model, std::size_t textAt) {
  for (std::size_t length = 4; length >= 2; --length) {
    if (length > textAt) {
      continue;
    }
    const std::string_view candidate = model.substr(textAt - length, length);
    if (wingspanOfType(candidate) != 0.0) {
      return std::string(candidate);
    }
  }
  return std::string(model);
}

std::string modelFrom737Title(std::string_view title) {
  if (title.find("DG 737-800") != std::string_view::npos) return "B738";
  if (title.find("DG 737-700") != std::string_view::npos) return "B737";
  if (title.find("DG 737-600") != std::string_view::npos) return "B736";
  if (title.find("DG 737-900") != std::string_view::npos) return "B739";
  return "737";
}

double spanOrLargest(std::string_view type) {
  const double span = wingspanOfType(type);
  return span == 0.0 ? largestHalfWingSpan() : span;
}

}  // namespace

std::string fixUserModel(std::string_view model, std::string_view title) {
  if (model == "A350-900") return "A359";
  if (model == "N738B") return "B38M";
  if (model == "777") return "772";
  if (model == "A330-200 (RR)") return "A332";
  if (const std::size_t textAt = model.find(".0.text"); textAt != std::string_view::npos) {
    return modelFromTextForm(model, textAt);
  }
  if (model.size() >= 5 && model.starts_with("$$:")) return std::string(model.substr(3));
  if (model == "737") return modelFrom737Title(title);
  return std::string(model);
}

std::int64_t simulatorUtcSeconds(std::int64_t zuluYear, std::int64_t zuluDayOfYear, std::int64_t zuluTimeSeconds) {
  if (zuluDayOfYear < 1 || zuluDayOfYear > kLastDayOfYear || zuluTimeSeconds < 0 ||
      zuluTimeSeconds > kSecondsPerDay) {
    return 0;  // a cut or garbled reply: no time rather than a wrapped one
  }
  const std::chrono::year year{static_cast<std::int16_t>(zuluYear)};
  const std::chrono::sys_days newYear{year / std::chrono::January / 1};
  const std::int64_t days = newYear.time_since_epoch().count() + zuluDayOfYear - 1;
  return days * kSecondsPerDay + zuluTimeSeconds;
}

UserAircraft::UserAircraft(SimQueues& queues, SimConnection& connection, SimLinkDisplay& display,
                           const SimLinkHooks& hooks)
    : queues_(queues), connection_(connection), display_(display), hooks_(hooks) {}

UserAcData UserAircraft::getUserAcPosition() {
  if (!queues_.simLinkPaused.load() && !connection_.requestUserPosition()) {
    gf_logWarning("SimConnect request user ac position fails");
    queues_.simRequestError();
  }
  return data();
}

void UserAircraft::requestUserAcTitleModel() {
  const SimConnection::TitleModelSent sent = connection_.requestUserTitleAndModel();
  if (!sent.title) {
    gf_logWarning("SimConnect request user ac title fails");
    queues_.simRequestError();
  }
  if (!sent.model) {
    gf_logWarning("SimConnect reques user ac model fails");
    queues_.simRequestError();
  }
}

UserAcData UserAircraft::data() const {
  MutexLock lock(mutex_);
  return data_;
}

bool UserAircraft::positionKnown() const { return !isNearZero(positionOf(data())); }

std::string UserAircraft::title() const {
  MutexLock lock(mutex_);
  return title_;
}

UserAircraftType UserAircraft::type() const {
  MutexLock lock(mutex_);
  return type_;
}

std::string UserAircraft::userStandName() const {
  return standNameAtPosition(positionOf(data()), userOnGround.load());
}

void UserAircraft::repaint() const {
  if (hooks_.repaintSimArea) {
    hooks_.repaintSimArea();
  }
}

void UserAircraft::onUserOnGround(std::int64_t simOnGround) {
  if (positionKnown()) {
    userOnGround.store(static_cast<std::uint32_t>(simOnGround) != 0);
    userDataReady.store(true);
  }
  secondTick.exchange(true);
}

void UserAircraft::onUserPosition(const UserAcData& reply, std::uint32_t objectId) {
  UserAcData stored = reply;
  if (stored.altitudeFeet < 0.0) {
    stored.altitudeFeet = 0.0;
  }
  {
    MutexLock lock(mutex_);
    data_ = stored;
  }
  const GeoPoint position = positionOf(stored);
  if (!isNearZero(previousPosition_) && gf_distanceNm(previousPosition_, position) > kTeleportDistanceNm) {
    gf_logLine("Teleport");
    endSessionWithNewFlight(hooks_);
  }
  previousPosition_ = position;

  std::string stand = standNameAtPosition(position, userOnGround.load());
  if (!stand.empty() && stand != userStand_) {
    display_.setUserStandText(stand);
    repaint();
  } else if (stand.empty() && !userStand_.empty()) {
    display_.setUserStandText("");
    repaint();
  }
  userStand_ = std::move(stand);

  simUtcTime.store(simulatorUtcSeconds(stored.zuluYear, stored.zuluDayOfYear, stored.zuluTimeSeconds));
  objectId_.store(objectId);
}

void UserAircraft::onUserAcTitle(std::string_view title) {
  if (title.empty()) {
    gf_logLine("! Title of your aircraft is empty?");
    return;
  }
  std::string cut = firstCharacters(title, kUserTitleLength);
  {
    MutexLock lock(mutex_);
    if (cut == title_) {
      return;
    }
    title_ = cut;
  }
  display_.setUserAircraftText(cut);
  repaint();
  gf_logIndented("SimConnect: User aircraft title: " + cut);
}

void UserAircraft::onUserAcModel(std::string_view model) {
  try {
    deduceModel(std::string(model));
  } catch (const UserErrorException&) {
    throw;
  } catch (...) {
    throw UserErrorException(kNoUserAircraftError, "It looks like you have not selected an aircraft as user vehicle");
  }
}

void UserAircraft::deduceModel(std::string model) {
  if (model.empty()) {
    display_.setUserAircraftText("Unknown (encrypted?) aircraft");
    repaint();
    setStatusLine("171: No model info from your user aircraft received in SimConnect, CRJ7 is taken instead", true);
    MutexLock lock(mutex_);
    type_.halfWingSpanNm = spanOrLargest("CRJ7");
    return;
  }
  gf_logIndented(fmt::format("model raw: {}", model));
  const std::string title = this->title();
  model = fixUserModel(model, title);
  std::string text = "SimConnect: User aircraft model: " + model;

  if (model.find("camerapod") != std::string::npos || model.find("Crew Vessel") != std::string::npos) {
    display_.userAircraftKnown.store(true);
    repaint();
    {
      MutexLock lock(mutex_);
      type_.halfWingSpanNm = wingspanOfType("E190");
      type_.category = SizeCategory::Light;
    }
    gf_logIndented(text);
    return;
  }

  const double largest = largestHalfWingSpan();
  double span = model.size() < 5 ? wingspanOfType(model) : largest;
  bool spanKnown = span != largest;
  if (!spanKnown) {
    bool titleMatched = false;
    if (title.size() >= 13) {
      const std::string_view head = std::string_view(title).substr(0, 13);
      for (const char* known : {"Aerosoft A319", "Aerosoft A320", "Aerosoft A321"}) {
        if (head == known) {
          model = std::string(head.substr(9));
          text = "SimConnect: User aircraft model deduced from title: " + model;
          span = spanOrLargest(model);
          titleMatched = true;
          break;
        }
      }
    }
    spanKnown = titleMatched && wingspanOfType(model) != 0.0;
  }
  {
    MutexLock lock(mutex_);
    type_.halfWingSpanNm = span;
  }
  if (spanKnown) {
    display_.userAircraftKnown.store(true);
    repaint();
    text += fmt::format(", half wing span: {:.1F} meter", span * kMetersPerNm);
  } else {
    display_.userAircraftKnown.store(false);
    repaint();
    setStatusLine("User aircraft wing span unknown, max is taken instead, please report in my Forum!", true);
  }
  const SizeCategory category = aircraftCategory(model);
  {
    MutexLock lock(mutex_);
    type_.category = category;
  }
  text += fmt::format(", category: {}", sizeCategoryName(category));
  gf_logIndented(text);
}

void UserAircraft::rememberUserStand() {
  if (!userDataReady.load()) {
    return;
  }
  const UserAcData current = data();
  if (current.groundSpeedKnots > kStandingGroundSpeedKnots) {
    return;
  }
  const std::string stand = standNameAtPosition(positionOf(current), userOnGround.load());
  if (!stand.empty() && hooks_.rememberUserStand) {
    hooks_.rememberUserStand(stand);
  }
}

void UserAircraft::reset() {
  {
    MutexLock lock(mutex_);
    data_ = UserAcData{};
    title_.clear();
    type_ = UserAircraftType{};
  }
  objectId_.store(kUnknownUserObjectId);
  userOnGround.store(false);
  userDataReady.store(false);
  simUtcTime.store(0);
  secondTick.store(false);
  previousPosition_ = GeoPoint{};
  userStand_.clear();
}

}  // namespace crv
