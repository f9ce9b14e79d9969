#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <memory_resource>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/simconnect/sim_call_record.h"
#include "platform/simconnect/sim_clock.h"
#include "platform/simconnect/sim_messages.h"
#include "platform/simconnect/sim_object.h"
#include "platform/simconnect/sim_trace.h"
#include "platform/simconnect/sim_variables.h"
#include "platform/simconnect/sim_world.h"
#include "platform/simconnect/simconnect.h"

namespace platform {

struct StandInOptions {
  // The stand-in's time; a ManualStandInClock when none is given.
  std::shared_ptr<StandInClock> clock;
  // Keep every call and every position write (tests); off for long runs.
  bool recordCalls = true;
  // Trace the flights of every object (tests, and runs with
  // CRVN_SIM_TRACE), at most one position per interval and object.
  bool recordTrace = true;
  double traceIntervalSeconds = 0.0;
  // Where the trace is written as CSV as the positions come; the stand-in
  // then keeps none of them. None: the trace is kept in memory.
  std::filesystem::path traceFile;
};

// How the simulator tells a loaded flight.
enum class FlightLoadedForm { Event, FileName };

// A small simulated simulator behind the SimConnect functions of
// simconnect.h. It keeps its connections, the user aircraft and the other
// objects, answers requests and sends events on its own clock. Every member
// is safe to call from any thread; the dispatch procedure runs without the
// stand-in's lock held, so it may call back into the stand-in.
class SimulatorStandIn {
 public:
  explicit SimulatorStandIn(SimWorld world = {}, StandInOptions options = {});
  ~SimulatorStandIn();
  SimulatorStandIn(const SimulatorStandIn&) = delete;
  SimulatorStandIn& operator=(const SimulatorStandIn&) = delete;

  // ---- The SimConnect calls; a connection is the number in its handle. ----
  HRESULT open(HANDLE* handle, const char* name, const void* window, DWORD userEvent, const void* eventHandle,
               DWORD configIndex);
  HRESULT close(std::uint64_t connection);
  HRESULT callDispatch(std::uint64_t connection, DispatchProc procedure, void* context);
  HRESULT subscribeToSystemEvent(std::uint64_t connection, DWORD eventId, const char* eventName);
  HRESULT addToDataDefinition(std::uint64_t connection, DWORD defineId, const char* datumName, const char* unit,
                              SIMCONNECT_DATATYPE type, float epsilon, DWORD datumId);
  HRESULT mapClientEventToSimEvent(std::uint64_t connection, DWORD eventId, const char* eventName);
  HRESULT addClientEventToNotificationGroup(std::uint64_t connection, DWORD groupId, DWORD eventId, BOOL maskable);
  HRESULT setNotificationGroupPriority(std::uint64_t connection, DWORD groupId, DWORD priority);
  HRESULT requestDataOnSimObject(std::uint64_t connection, DWORD requestId, DWORD defineId, DWORD objectId,
                                 SIMCONNECT_PERIOD period, DWORD flags, DWORD origin, DWORD interval, DWORD limit);
  HRESULT requestDataOnSimObjectType(std::uint64_t connection, DWORD requestId, DWORD defineId, DWORD radiusMeters,
                                     SIMCONNECT_SIMOBJECT_TYPE type);
  HRESULT setDataOnSimObject(std::uint64_t connection, DWORD defineId, DWORD objectId, DWORD flags, DWORD arrayCount,
                             DWORD unitSize, const void* data);
  HRESULT transmitClientEvent(std::uint64_t connection, DWORD objectId, DWORD eventId, DWORD data, DWORD groupId,
                              DWORD flags);
  HRESULT aiCreateNonAtcAircraft(std::uint64_t connection, const char* title, const char* tailNumber,
                                 const SIMCONNECT_DATA_INITPOSITION& position, DWORD requestId);
  HRESULT aiRemoveObject(std::uint64_t connection, DWORD objectId, DWORD requestId);
  HRESULT aiReleaseControl(std::uint64_t connection, DWORD objectId, DWORD requestId);
  HRESULT aiSetAircraftFlightPlan(std::uint64_t connection, DWORD objectId, const char* path, DWORD requestId);
  HRESULT getLastSentPacketId(std::uint64_t connection, DWORD* packetId);

  // ---- Control of the simulated simulator (tests and the world file). ----

  // Moves the manual clock (std::logic_error with any other clock) and sends
  // every frame and periodic reply that falls due on the way.
  void advanceClock(std::chrono::nanoseconds step);
  // Advances the clock just far enough for this many more frames.
  void advanceFrames(int count);
  void setFrameRate(double framesPerSecond);
  // The simulator's UTC time now, and a new one.
  std::int64_t simulatorUtc() const;
  void setSimulatorUtc(std::int64_t utcSeconds);

  // Starts the simulator again after quit(), or lets SimConnect_Open fail.
  void setSimulatorRunning(bool running);
  // The next `count` opens fail even though the simulator runs.
  void failNextOpens(int count);
  // Queues QUIT on every connection; afterwards their calls fail and opens
  // fail until setSimulatorRunning(true). Every object but the user's goes.
  void quit();
  // Every connection breaks without QUIT: all their calls fail from now on.
  void breakConnections();

  void setFlightRunning(bool running);  // "Sim" event on every change
  void loadFlight(const std::string& fileName, FlightLoadedForm form);

  // The next `count` calls of a function fail with E_FAIL and do nothing.
  void failNext(SimFunction function, int count = 1);
  // The next create is accepted, then refused by exception 22 with its
  // packet id; no object appears.
  void failNextCreateLater();
  // Every create of an aircraft with this title is accepted, then refused by
  // exception 22, as the simulator does with a livery it cannot load; the
  // number of creates refused so far.
  void refuseTitle(const std::string& title);
  int refusedCreates() const;
  // The next flight plan is accepted, then refused by exception 23.
  void failNextFlightPlanLater();

  // Sends an exception to every open connection.
  void raiseException(DWORD exception, DWORD sendId, DWORD index);
  // Sends any message to every open connection.
  void injectMessage(DWORD messageId, const std::vector<std::byte>& body);
  // Sends ObjectAdded or ObjectRemoved (by event name) for any id and type.
  void sendObjectAddRemove(const std::string& eventName, DWORD objectId, SIMCONNECT_SIMOBJECT_TYPE type);

  // An object that the simulator itself adds (ObjectAdded follows).
  DWORD addForeignObject(const SimObjectState& state,
                         SIMCONNECT_SIMOBJECT_TYPE type = SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
  // The simulator removes an object (ObjectRemoved follows); false when unknown.
  bool removeObjectFromSimulator(DWORD objectId);

  // The user aircraft.
  SimObjectState userAircraft() const;
  void setUserAircraft(const SimObjectState& state);
  void moveUserAircraft(double latitudeDegrees, double longitudeDegrees);
  // Changes one object's state (the user aircraft by its id); false when unknown.
  bool updateObjectState(DWORD objectId, const std::function<void(SimObjectState&)>& change);
  bool setGroundInfo(DWORD objectId, double altitudeAboveGroundFeet, double groundAltitudeFeet, bool onGround);

  // ---- What happened. ----
  std::vector<SimCall> calls() const;
  void clearCalls();
  std::optional<SimObjectRecord> object(DWORD objectId) const;
  std::vector<SimObjectRecord> objects() const;  // in id order, the user aircraft first
  int openConnectionCount() const;
  // A copy of the flight trace kept so far (empty when it goes to a trace
  // file), and the same written as CSV (false when the file cannot be
  // written).
  SimTrace trace() const;
  bool writeTraceCsv(const std::filesystem::path& file) const;
  std::size_t pendingMessageCount() const;
  DWORD userObjectId() const { return kStandInUserObjectId; }

 private:
  struct Connection;
  struct PeriodicRequest;

  // The exception that refuses a sent call, with the number of the offending
  // argument; none when the call is carried out.
  struct Refusal {
    SIMCONNECT_EXCEPTION exception;
    DWORD index;
  };
  using CallOutcome = std::optional<Refusal>;

  // Call bookkeeping; all under mutex_.
  SimCall startCall(SimFunction function, std::uint64_t connection) const;
  // The open connection of a call; none for a closed, quit, broken or
  // unknown one, or when a failure was injected. Without one the call failed,
  // unless the simulator is closing and its QUIT waits to be fetched: then
  // the call is taken and does nothing.
  Connection* usableConnection(SimCall& call);
  // The connection has been told to quit and its QUIT message waits to be
  // fetched; the caller holds mutex_.
  bool closingBeforeQuitFetched(std::uint64_t connectionId) const;
  bool takeInjectedFailure(SimFunction function);
  DWORD send(Connection& connection, SimCall& call);
  HRESULT finish(SimCall&& call);
  void refuse(Connection& connection, DWORD sendId, SIMCONNECT_EXCEPTION exception, DWORD index);
  // The course of a client's call: it fails with E_FAIL without a usable
  // connection, or when one of its required pointers is null (the client
  // library refuses it before sending); otherwise it is sent, and `answer`
  // (taking the Connection) carries it out or names the exception that
  // refuses it.
  template <typename Answer>
  HRESULT sendCall(SimCall call, std::initializer_list<const void*> requiredPointers, Answer answer);
  // A sent AI call on one object: refused when the id names no live object
  // or names the user aircraft, else `action` (taking the object) answers it.
  template <typename Action>
  HRESULT sendAiObjectCall(SimCall call, std::initializer_list<const void*> requiredPointers, DWORD objectId,
                           Action action);

  std::chrono::nanoseconds now() const;
  void catchUpLocked(std::chrono::nanoseconds now);
  void sendFrameLocked();
  void queueToSubscribers(const std::string& eventName, const std::function<SimMessage(DWORD eventId)>& makeMessage);
  SimObjectRecord* liveObject(DWORD objectId);
  const SimObjectRecord& userObjectLocked() const;
  // Keeps a new object's record; returns its id.
  DWORD addObjectLocked(SimObjectRecord object);
  bool queueObjectData(Connection& connection, SIMCONNECT_RECV_ID id, DWORD requestId, DWORD defineId,
                       const SimObjectRecord& object, DWORD entry, DWORD outOf);
  void removeObjectLocked(SimObjectRecord& object, bool tellClients);
  void applyClientEvent(SimObjectRecord& object, const std::string& eventName, DWORD eventId, DWORD data);
  // Ground altitude, height above it and ground contact of a moved object.
  void feelGroundLocked(SimObjectState& state) const;

  // Guards the world, its objects and the call bookkeeping below: the
  // clients' threads and the stand-in's own dispatch all reach them.
  mutable std::mutex mutex_;
  SimWorld world_;
  StandInOptions options_;
  ManualStandInClock* manualClock_ = nullptr;  // set when options_.clock is manual
  std::map<std::uint64_t, std::unique_ptr<Connection>> connections_;
  // The records' own memory: they lie together instead of spread over the
  // heap between everything else a long run allocates, so that the position
  // writes of a frame touch a few pages instead of one per object.
  std::pmr::unsynchronized_pool_resource objectMemory_;
  std::pmr::map<DWORD, SimObjectRecord> objects_{&objectMemory_};
  // The objects not removed, at their id's place (ids are handed out in
  // order): every call of every frame finds its object in one small
  // array, however many records objects_ keeps. Null for removed ones.
  std::vector<SimObjectRecord*> liveObjects_;
  std::size_t liveObjectCount_ = 0;
  std::vector<std::byte> replyBlock_;  // the data block of the reply being made
  DWORD nextObjectId_ = kStandInFirstObjectId;
  std::vector<SimCall> calls_;
  SimTrace trace_;
  std::unique_ptr<SimTraceWriter> traceWriter_;  // with a trace file
  std::map<SimFunction, int> failuresLeft_;
  int createFailuresLater_ = 0;
  std::set<std::string> refusedTitles_;
  int refusedCreates_ = 0;
  int flightPlanFailuresLater_ = 0;
  std::chrono::nanoseconds frameInterval_{0};
  std::chrono::nanoseconds nextFrameAt_{0};
  std::int64_t utcAtClockZero_ = 0;
};

}  // namespace platform
