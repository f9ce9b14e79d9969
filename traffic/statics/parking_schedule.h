#pragma once

// When static parking happens at the park airport: which airport is the
// park airport, when its stands are loaded, the full calculation that fills
// the pending list, the two-tick parking adjustment, and the clearing of
// everything when the airport is left.
//
// Threads: session worker, driven by the main loop's second counter. The
// busy flag, the adjustment request and its half-way mark are atomics (the
// window reads the first and raises the second); the park airport's
// position for the Traffic Reader is a published copy under its own lock.
// Everything else belongs to the worker.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "airports/airports_database.h"
#include "airports/apf_record.h"
#include "airports/parked_file.h"
#include "foundation/day_slot.h"
#include "foundation/geodesy.h"
#include "simlink/user_ac_data.h"

namespace crv {

class TrafficEngine;
class StaticParking;
class LiveRules;
class ParkAirportList;

// What the window shows of the park airport (published under paintMutex by
// the service that takes it).
struct ParkAirportTexts {
  std::string icao;
  std::string line;  // the airport's display name, or the default text
};

// What the schedule asks of the parts around it. Each may be empty; the
// schedule then does what is written beside it.
struct ParkingScheduleServices {
  // The user aircraft. Empty: the engine's copy.
  std::function<UserAcData()> userAircraft;
  std::function<bool()> userOnGround;  // empty: airborne
  // The stand under the user aircraft (within 55 m); empty text when none.
  // Empty: none.
  std::function<std::string(const GeoPoint&)> standNameAtUser;
  // The user aircraft's data has arrived and it carries no text for the
  // window (no message about it is pending). Empty: ready.
  std::function<bool()> userAircraftSettled;
  // Reads my_park_airports.txt into the list again; false when it cannot.
  // Empty: the list's own reading against the program's airports database.
  std::function<bool(ParkAirportList&)> rereadParkAirports;
  // The airports database, by position and by code. Empty: the program's
  // database.
  std::function<std::optional<AirportRecord>(const GeoPoint&)> closestAirport;
  std::function<std::optional<AirportRecord>(std::string_view icao)> airportByIcao;
  // For two airports within 5 nm of the user on the ground, the distance to
  // each one's nearest stand decides which is taken. Empty: the nearest
  // airport is taken.
  ClosestStandLookup nearestStand;
  // The airport has an airport file (found or fetched). Empty: ensureAirportFile.
  std::function<bool(std::string_view icao)> airportFileExists;
  // Reads the park airport's stands: an empty message on success, else the
  // text to show, and the user's stand found there. Empty: lf_readParkedFile
  // into the engine's stands.
  std::function<ParkedFileResult(const ParkedFileRequest&)> readParkedFile;
  // Saves the stands as the airport's learned file (the save may change the
  // table it is given); false when it failed (reported by the save itself).
  // Empty: saveAirportFile.
  std::function<bool(std::string_view icao, StandTable& stands)> saveLearnedFile;
  // The park elevation of the Traffic Reader; nullopt: none.
  std::function<void(std::optional<double> elevationFeet)> setReaderParkElevation;
  // The Traffic Reader starts collecting live callsigns and addresses.
  std::function<void()> startCollectingLive;
  // The window's parking controls follow the busy flag.
  std::function<void(bool busy)> showBusy;
  // The window's park-airport texts.
  std::function<void(const ParkAirportTexts&)> publishTexts;
  // The park airport's file has been read (whatever came of it): the
  // window's destination box takes input again.
  std::function<void()> parkedFileRead;
  // The park airport is closed: the window's flush button and parking
  // percentage box are disabled.
  std::function<void()> parkAirportClosed;
  // The park airport's traffic has been cleared on leaving it: the settings
  // the airport's file overrode go back to the user's.
  std::function<void()> parkAirportLeft;
  // The parking adjustment (full: every static aircraft from learned usage
  // is replaced). Runs on the second adjustment tick while a park airport
  // with stands is set. Empty: no adjustment.
  std::function<void(bool full)> adjustParking;
  // The park airport's position for the live motion; nullopt: none.
  std::function<void(std::optional<GeoPoint>)> parkAirportChanged;
  // The current half hour of the week. Empty: the engine's clock.
  std::function<DaySlot()> currentSlot;
  std::function<void()> repaint;
};

// The park airport of the moment.
struct CurrentParkAirport {
  std::string icao;  // empty: none
  std::string iata;
  std::string displayName;
  GeoPoint position;
  double elevationFeet = 0.0;
};

class ParkingSchedule {
 public:
  // Every one of engine, statics and rules outlives the schedule; the park
  // airports may be null (no list: only an airport on the ground is taken).
  ParkingSchedule(TrafficEngine& engine, StaticParking& statics, LiveRules& rules, ParkAirportList* parkAirports,
                  ParkingScheduleServices services);
  ParkingSchedule(const ParkingSchedule&) = delete;
  ParkingSchedule& operator=(const ParkingSchedule&) = delete;

  // ---- The main loop ----
  // Once, when the main loop starts.
  void onMainLoopStart();
  // Each second, with the main loop's second counter.
  void onSecond(int secondCounter);

  // ---- Any thread ----
  // An adjustment is wanted at the next 15-second tick (the window, a change
  // of the parking settings); full replaces every learned static aircraft.
  void requestAdjustment(bool full);
  bool adjustmentRequested() const { return adjustmentRequested_.load(); }
  bool busy() const { return busy_.load(); }
  // Where the Traffic Reader asks for parked traffic; nullopt while none.
  std::optional<GeoPoint> parkAirportPositionForReader() const;
  // Average hours the static aircraft have been parked; negative: none.
  float averageStaticParkedHours() const { return averageStaticParkedHours_.load(); }
  // The full calculation has run for the current park airport (the window's
  // "*S*"); cleared when the airport is left.
  bool staticParkingCalculated() const { return staticParkingCalculated_.load(); }

  // ---- The schedule's steps (worker) ----
  void updateParkAirport(bool immediate);
  void checkUserOnGround(const UserAcData& user, bool immediate);
  void reportAirportInSight(const UserAcData& user);
  bool setParkAirport(std::string_view icao);
  void loadParkAirport(bool immediate);
  void startStaticCalculation(bool showText);
  void recalcStaticParking();
  void excludeReservedStands();
  void clearParkAirportTraffic();
  void saveAirportAndDisable();
  // At a renewal: the learned file is saved from a copy of the table when
  // the table or a setting the airport keeps changed since the last save.
  void saveLearnedIfChanged();
  // Reads my_park_airports.txt again (false when it cannot be read); with
  // check, the stand the user named for the current park airport becomes
  // the reserved stand. The message says what changed, or that all is okay.
  bool checkReservedStand(bool check, std::string& message);
  // Static aircraft in the simulator (or leaving it); with show, their
  // average parked time becomes the window's value.
  std::int32_t avgParkedWait(bool show);
  // The adjustment's two 15-second ticks: the first raises the busy flag
  // and starts the collecting of live identities, the second empties the
  // error and status lines and runs it. The busy flag stays up until the
  // regular check finds the pending list empty.
  void adjustmentTick();

  // The calculation runs (busyOn) or its placements are done (busyOff).
  void busyOn();
  void busyOff();
  // Before a restart: no adjustment is under way or asked for, the busy flag
  // is down and no average parked time is shown.
  void resetForRestart();

  const CurrentParkAirport& parkAirport() const { return current_; }
  bool loadRequested() const { return loadRequested_; }
  // Any thread.
  bool adjustmentHalfway() const { return adjustmentHalfway_.load(); }

 private:
  DaySlot currentSlot() const;
  UserAcData userAircraft() const;
  bool userOnGround() const;
  bool inSight(const GeoPoint& airport, const UserAcData& user, double& distanceNm) const;
  void afterLoad(const ParkedFileResult& read);
  ParkedFileResult readParkedFile();
  void setParkElevation(double elevationFeet);
  void refreshParkAirportDistances(const UserAcData& user);
  void publishReaderPosition(std::optional<GeoPoint> position);
  bool saveLearned(StandTable& stands);
  // Runs a step of the calculation; an exception is logged and ends the
  // busy flag and the adjustment request, so the window never stays locked.
  void guarded(std::string_view name, const std::function<void()>& work);

  TrafficEngine& engine_;
  StaticParking& statics_;
  LiveRules& rules_;
  ParkAirportList* parkAirports_;
  ParkingScheduleServices services_;

  CurrentParkAirport current_;
  // The park airport's header and quality factors as its file gave them.
  ParkAirportHeader header_;
  QualityFactors quality_;
  bool loadRequested_ = false;
  double lastUserLatitude_ = 0.0;
  double lastUserLongitude_ = 0.0;

  std::atomic<bool> busy_{false};
  std::atomic<bool> adjustmentRequested_{false};
  std::atomic<bool> fullAdjustment_{false};
  std::atomic<bool> adjustmentHalfway_{false};
  std::atomic<float> averageStaticParkedHours_{-1.0F};
  std::atomic<bool> staticParkingCalculated_{false};

  // Guards readerPosition_: the Traffic Reader reads it for its parked box.
  mutable std::mutex readerPositionMutex_;
  std::optional<GeoPoint> readerPosition_;
};

}  // namespace crv
