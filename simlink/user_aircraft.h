#pragma once

// The user's aircraft as the simulator reports it: position and time
// (request 109), SIM ON GROUND once a second (108), title (106) and ATC model
// (107) with the type, half wing span and size category derived from them,
// the stand under it, and the teleport that ends a session.
//
// Threads: the replies arrive on the SimClient thread; the session worker
// and the Traffic Reader read copies. The data block is written and copied
// under one lock, so no reader sees half of one reply.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "aircraftdata/size_category.h"
#include "foundation/geodesy.h"
#include "foundation/thread_annotations.h"
#include "simlink/sim_connection.h"
#include "simlink/sim_link_display.h"
#include "simlink/sim_link_hooks.h"
#include "simlink/sim_queues.h"
#include "simlink/user_ac_data.h"

namespace crv {

// The user's object id until the first position reply names it.
inline constexpr std::uint32_t kUnknownUserObjectId = 2;
// At most this many characters of the title are kept.
inline constexpr std::size_t kUserTitleLength = 48;
// A jump farther than this between two position replies is a new flight.
inline constexpr double kTeleportDistanceNm = 10.0;

// The model after the known fixes: "A350-900" -> "A359", ".0.text" forms,
// "$$:" prefixes, "737" by the title, and a few more.
std::string fixUserModel(std::string_view model, std::string_view title);

// Seconds since 1970-01-01 00:00 UTC of the simulator's ZULU values; the
// year is taken as a 16-bit signed number. 0 when the day of the year or the
// seconds of the day lie outside a day and a year.
std::int64_t simulatorUtcSeconds(std::int64_t zuluYear, std::int64_t zuluDayOfYear, std::int64_t zuluTimeSeconds);

struct UserAircraftType {
  std::optional<double> halfWingSpanNm;
  SizeCategory category = SizeCategory::Light;
};

class UserAircraft {
 public:
  UserAircraft(SimQueues& queues, SimConnection& connection, SimLinkDisplay& display, const SimLinkHooks& hooks);
  UserAircraft(const UserAircraft&) = delete;
  UserAircraft& operator=(const UserAircraft&) = delete;

  // ---- Session worker ----
  // Unless the link is paused, asks for the position once (the answer comes
  // later); returns the data of the previous answer.
  UserAcData getUserAcPosition();
  // Asks for the title and the ATC model once.
  void requestUserAcTitleModel();

  // ---- Any thread ----
  UserAcData data() const;
  // The position is known once it is farther than 0.0001 degrees from 0, 0.
  bool positionKnown() const;
  std::uint32_t objectId() const { return objectId_.load(); }
  std::string title() const;
  UserAircraftType type() const;
  // The stand under the user's aircraft, empty when none.
  std::string userStandName() const;

  std::atomic<bool> userOnGround{false};
  std::atomic<bool> userDataReady{false};
  std::atomic<std::int64_t> simUtcTime{0};
  // Raised by every once-a-second reply; the session's main loop takes it.
  std::atomic<bool> secondTick{false};

  // ---- SimClient thread: the replies ----
  void onUserOnGround(std::int64_t simOnGround);
  void onUserPosition(const UserAcData& reply, std::uint32_t objectId);
  void onUserAcTitle(std::string_view title);
  // Throws UserErrorException 73 when the deduction fails other than by a user error.
  void onUserAcModel(std::string_view model);
  // Hands the stand under a standing user aircraft to the session worker.
  void rememberUserStand();

  // Session reset: every value back to its start.
  void reset();

 private:
  void deduceModel(std::string model);
  void repaint() const;

  SimQueues& queues_;
  SimConnection& connection_;
  SimLinkDisplay& display_;
  const SimLinkHooks& hooks_;

  // Guards the user aircraft's data, title and type.
  mutable Mutex mutex_;
  UserAcData data_ GUARDED_BY(mutex_);
  std::string title_ GUARDED_BY(mutex_);
  UserAircraftType type_ GUARDED_BY(mutex_);
  std::atomic<std::uint32_t> objectId_{kUnknownUserObjectId};

  // SimClient thread only.
  GeoPoint previousPosition_;
  std::string userStand_;
};

}  // namespace crv
