#include "platform/simconnect/sim_standin.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "platform/simconnect/sim_standin_internals.h"

namespace platform {

using std::chrono::nanoseconds;

namespace {

// Connection numbers are unique in the process, so a handle of a closed
// connection or of an earlier stand-in never reaches a live one.
std::atomic<std::uint64_t> nextConnectionNumber{1};

HANDLE handleOf(std::uint64_t connection) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(connection)); }

}  // namespace

SimulatorStandIn::SimulatorStandIn(SimWorld world, StandInOptions options)
    : world_(std::move(world)),
      options_(std::move(options)),
      trace_(options_.traceIntervalSeconds, options_.traceFile.empty()) {
  if (options_.recordTrace && !options_.traceFile.empty()) {
    traceWriter_ = std::make_unique<SimTraceWriter>(options_.traceFile);
    if (!traceWriter_->good()) {
      std::fprintf(stderr, "%s: cannot write %s\n", kSimTraceVariable, options_.traceFile.string().c_str());
    }
  }
  if (!options_.clock) options_.clock = std::make_shared<ManualStandInClock>();
  manualClock_ = dynamic_cast<ManualStandInClock*>(options_.clock.get());
  utcAtClockZero_ = world_.utcSeconds - wholeSeconds(now());
  SimObjectRecord user;
  user.objectId = kStandInUserObjectId;
  user.type = SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT;
  user.state = world_.userAircraft;
  user.title = user.state.title;
  addObjectLocked(std::move(user));
  setFrameRate(world_.frameRate);
}

SimulatorStandIn::~SimulatorStandIn() {
  std::lock_guard lock(mutex_);
  if (traceWriter_ && traceWriter_->good() && !traceWriter_->finish()) {
    std::fprintf(stderr, "%s: cannot write %s\n", kSimTraceVariable, options_.traceFile.string().c_str());
  }
}

SimTrace SimulatorStandIn::trace() const {
  std::lock_guard lock(mutex_);
  return trace_;
}

bool SimulatorStandIn::writeTraceCsv(const std::filesystem::path& file) const {
  return trace().writeCsvFile(file);
}

// ---------------------------------------------------------------------------
// Call bookkeeping

nanoseconds SimulatorStandIn::now() const { return options_.clock->now(); }

SimCall SimulatorStandIn::startCall(SimFunction function, std::uint64_t connection) const {
  SimCall call;
  call.function = function;
  call.connection = connection;
  // Only a kept call tells its thread.
  if (options_.recordCalls) call.thread = std::this_thread::get_id();
  return call;
}

SimulatorStandIn::Connection* SimulatorStandIn::usableConnection(SimCall& call) {
  const auto found = connections_.find(call.connection);
  if (found == connections_.end() || found->second->state != Connection::State::Open) {
    // A simulator that is closing takes calls, doing nothing with them,
    // until its client has fetched the QUIT message.
    call.result = closingBeforeQuitFetched(call.connection) ? S_OK : E_FAIL;
    return nullptr;
  }
  if (takeInjectedFailure(call.function)) {
    call.result = E_FAIL;
    return nullptr;
  }
  return found->second.get();
}

bool SimulatorStandIn::closingBeforeQuitFetched(std::uint64_t connectionId) const {
  const auto found = connections_.find(connectionId);
  return found != connections_.end() && found->second->state == Connection::State::Quit &&
         !found->second->pending.empty();
}

bool SimulatorStandIn::takeInjectedFailure(SimFunction function) {
  const auto failure = failuresLeft_.find(function);
  if (failure == failuresLeft_.end() || failure->second <= 0) return false;
  --failure->second;
  return true;
}

DWORD SimulatorStandIn::send(Connection& connection, SimCall& call) {
  call.packetId = ++connection.lastPacketId;
  return call.packetId;
}

HRESULT SimulatorStandIn::finish(SimCall&& call) {
  const HRESULT result = call.result;
  if (options_.recordCalls) calls_.push_back(std::move(call));
  return result;
}

void SimulatorStandIn::refuse(Connection& connection, DWORD sendId, SIMCONNECT_EXCEPTION exception, DWORD index) {
  connection.pending.push_back(makeExceptionMessage(exception, sendId, index));
}

const SimObjectRecord& SimulatorStandIn::userObjectLocked() const {
  // The user aircraft is never removed: its place in the array holds it.
  if (kStandInUserObjectId < liveObjects_.size() && liveObjects_[kStandInUserObjectId] != nullptr) {
    return *liveObjects_[kStandInUserObjectId];
  }
  return objects_.at(kStandInUserObjectId);
}

SimObjectRecord* SimulatorStandIn::liveObject(DWORD objectId) {
  if (objectId == SIMCONNECT_OBJECT_ID_USER) objectId = kStandInUserObjectId;
  return objectId < liveObjects_.size() ? liveObjects_[objectId] : nullptr;
}

DWORD SimulatorStandIn::addObjectLocked(SimObjectRecord object) {
  const DWORD objectId = object.objectId;
  auto [entry, added] = objects_.insert_or_assign(objectId, std::move(object));
  if (objectId >= liveObjects_.size()) {
    liveObjects_.resize(std::max<std::size_t>(objectId + 1, liveObjects_.size() * 2));
  }
  if (liveObjects_[objectId] == nullptr) ++liveObjectCount_;
  liveObjects_[objectId] = &entry->second;
  return objectId;
}

void SimulatorStandIn::queueToSubscribers(const std::string& eventName,
                                          const std::function<SimMessage(DWORD eventId)>& makeMessage) {
  for (auto& [id, connection] : connections_) {
    if (connection->state != Connection::State::Open) continue;
    for (const auto& [name, eventId] : connection->subscriptions) {
      if (name == eventName) connection->pending.push_back(makeMessage(eventId));
    }
  }
}

bool SimulatorStandIn::queueObjectData(Connection& connection, SIMCONNECT_RECV_ID id, DWORD requestId, DWORD defineId,
                                       const SimObjectRecord& object, DWORD entry, DWORD outOf) {
  const auto definition = connection.definitions.find(defineId);
  if (definition == connection.definitions.end()) return false;
  // One block for every reply: the message copies it.
  std::vector<std::byte>& block = replyBlock_;
  block.clear();
  const std::int64_t utc = utcAtClockZero_ + wholeSeconds(now());
  for (const DataDatum& datum : definition->second) appendDatum(block, datum, object.state, utc);
  ObjectDataHeader header;
  header.requestId = requestId;
  header.objectId = object.objectId;
  header.defineId = defineId;
  header.entryNumber = entry;
  header.outOf = outOf;
  header.defineCount = static_cast<DWORD>(definition->second.size());
  connection.pending.push_back(makeObjectDataMessage(id, header, block));
  return true;
}

void SimulatorStandIn::removeObjectLocked(SimObjectRecord& object, bool tellClients) {
  object.removed = true;
  if (object.objectId < liveObjects_.size() && liveObjects_[object.objectId] != nullptr) {
    liveObjects_[object.objectId] = nullptr;
    --liveObjectCount_;
  }
  for (auto& [id, connection] : connections_) {
    std::erase_if(connection->periodic,
                  [&](const PeriodicRequest& request) { return request.objectId == object.objectId; });
  }
  if (tellClients) {
    const DWORD objectId = object.objectId;
    const SIMCONNECT_SIMOBJECT_TYPE type = object.type;
    queueToSubscribers("ObjectRemoved",
                       [&](DWORD eventId) { return makeObjectAddRemoveMessage(eventId, objectId, type); });
  }
}

// ---------------------------------------------------------------------------
// Clock, frames and periodic replies

void SimulatorStandIn::catchUpLocked(nanoseconds time) {
  if (!options_.clock->isManual()) {
    // A real simulator does not queue the frames that nobody fetched.
    if (frameInterval_.count() > 0 && time - nextFrameAt_ > kOneSecond) nextFrameAt_ = time;
    for (auto& [id, connection] : connections_) {
      for (PeriodicRequest& request : connection->periodic) {
        if (request.period == SIMCONNECT_PERIOD_SECOND && time - request.dueAt > kOneSecond) request.dueAt = time;
      }
    }
  }
  while (true) {
    std::optional<nanoseconds> next;
    if (frameInterval_.count() > 0) next = nextFrameAt_;
    for (auto& [id, connection] : connections_) {
      if (connection->state != Connection::State::Open) continue;
      for (const PeriodicRequest& request : connection->periodic) {
        if (request.period == SIMCONNECT_PERIOD_SECOND && (!next || request.dueAt < *next)) next = request.dueAt;
      }
    }
    if (!next || *next > time) return;
    if (frameInterval_.count() > 0 && nextFrameAt_ == *next) {
      sendFrameLocked();
      nextFrameAt_ += frameInterval_;
      continue;
    }
    for (auto& [id, connection] : connections_) {
      if (connection->state != Connection::State::Open) continue;
      for (PeriodicRequest& request : connection->periodic) {
        if (request.period != SIMCONNECT_PERIOD_SECOND || request.dueAt != *next) continue;
        request.dueAt += kOneSecond;
        if (SimObjectRecord* object = liveObject(request.objectId)) {
          queueObjectData(*connection, SIMCONNECT_RECV_ID_SIMOBJECT_DATA, request.requestId, request.defineId, *object,
                          1, 1);
        }
      }
    }
  }
}

void SimulatorStandIn::sendFrameLocked() {
  const auto frameRate = static_cast<float>(world_.frameRate);
  queueToSubscribers("Frame", [&](DWORD eventId) { return makeFrameMessage(eventId, frameRate, 1.0F); });
  for (auto& [id, connection] : connections_) {
    if (connection->state != Connection::State::Open) continue;
    for (const PeriodicRequest& request : connection->periodic) {
      if (request.period != SIMCONNECT_PERIOD_VISUAL_FRAME && request.period != SIMCONNECT_PERIOD_SIM_FRAME) continue;
      if (SimObjectRecord* object = liveObject(request.objectId)) {
        queueObjectData(*connection, SIMCONNECT_RECV_ID_SIMOBJECT_DATA, request.requestId, request.defineId, *object, 1,
                        1);
      }
    }
  }
}

void SimulatorStandIn::advanceClock(nanoseconds step) {
  if (manualClock_ == nullptr) throw std::logic_error("advanceClock needs the manual clock");
  std::lock_guard lock(mutex_);
  manualClock_->advance(step);
  catchUpLocked(now());
}

void SimulatorStandIn::advanceFrames(int count) {
  if (count <= 0) return;
  nanoseconds step{0};
  {
    std::lock_guard lock(mutex_);
    if (frameInterval_.count() == 0) throw std::logic_error("advanceFrames needs a frame rate above 0");
    step = nextFrameAt_ - now() + frameInterval_ * (count - 1);
  }
  advanceClock(step);
}

void SimulatorStandIn::setFrameRate(double framesPerSecond) {
  std::lock_guard lock(mutex_);
  world_.frameRate = std::max(0.0, framesPerSecond);
  frameInterval_ = world_.frameRate > 0.0 ? nanoseconds{std::llround(1e9 / world_.frameRate)} : nanoseconds{0};
  nextFrameAt_ = now() + frameInterval_;
}

std::int64_t SimulatorStandIn::simulatorUtc() const {
  std::lock_guard lock(mutex_);
  return utcAtClockZero_ + wholeSeconds(now());
}

void SimulatorStandIn::setSimulatorUtc(std::int64_t utcSeconds) {
  std::lock_guard lock(mutex_);
  utcAtClockZero_ = utcSeconds - wholeSeconds(now());
}

// ---------------------------------------------------------------------------
// Connections

HRESULT SimulatorStandIn::open(HANDLE* handle, const char* name, const void* window, DWORD userEvent,
                               const void* eventHandle, DWORD configIndex) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::Open, 0);
  SimCallArguments(call, options_.recordCalls)
      .text(name)
      .pointer(window)
      .number(userEvent)
      .pointer(eventHandle)
      .number(configIndex);
  if (handle == nullptr || !world_.simulatorRunning || takeInjectedFailure(SimFunction::Open)) {
    call.result = E_FAIL;
  } else {
    auto connection = std::make_unique<Connection>();
    connection->id = nextConnectionNumber.fetch_add(1);
    connection->pending.push_back(makeOpenMessage(world_.identity));
    call.connection = connection->id;
    *handle = handleOf(connection->id);
    connections_.emplace(connection->id, std::move(connection));
  }
  return finish(std::move(call));
}

HRESULT SimulatorStandIn::close(std::uint64_t connectionId) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::Close, connectionId);
  const auto found = connections_.find(connectionId);
  if (found == connections_.end()) {
    call.result = E_FAIL;
    return finish(std::move(call));
  }
  connections_.erase(found);
  // The simulator takes away what the client made.
  for (auto& [id, object] : objects_) {
    if (!object.removed && object.ownerConnection == connectionId) removeObjectLocked(object, true);
  }
  return finish(std::move(call));
}

HRESULT SimulatorStandIn::callDispatch(std::uint64_t connectionId, DispatchProc procedure, void* context) {
  std::vector<SimMessage> messages;
  HRESULT result = S_OK;
  {
    std::lock_guard lock(mutex_);
    SimCall call = startCall(SimFunction::CallDispatch, connectionId);
    catchUpLocked(now());
    const auto found = connections_.find(connectionId);
    if (found == connections_.end() || procedure == nullptr || found->second->state == Connection::State::Broken ||
        takeInjectedFailure(SimFunction::CallDispatch)) {
      call.result = E_FAIL;
    } else {
      messages.swap(found->second->pending);
      // After QUIT has been fetched, the connection is dead.
      if (messages.empty() && found->second->state == Connection::State::Quit) call.result = E_FAIL;
    }
    result = finish(std::move(call));
  }
  // The procedure runs without the lock: it calls back into the stand-in.
  for (std::size_t index = 0; index < messages.size(); ++index) {
    SimMessage& message = messages[index];
    try {
      procedure(reinterpret_cast<SIMCONNECT_RECV*>(message.data()), static_cast<DWORD>(message.size()), context);
    } catch (...) {
      // Messages not yet handed over stay for the next dispatch.
      std::lock_guard lock(mutex_);
      const auto found = connections_.find(connectionId);
      if (found != connections_.end()) {
        auto& pending = found->second->pending;
        pending.insert(pending.begin(),
                       std::make_move_iterator(messages.begin() + static_cast<std::ptrdiff_t>(index) + 1),
                       std::make_move_iterator(messages.end()));
      }
      throw;
    }
  }
  return result;
}
}  // namespace platform
