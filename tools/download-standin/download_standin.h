#pragma once

// A loopback stand-in of the program's download site for tests and manual
// runs: a static file server over a site folder (see site_builder.h) on
// 127.0.0.1, with faults that a test sets per file.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "tools/loopback_server.h"

namespace httplib {
class Server;
}

namespace crv::standin {

struct Fault {
  enum class Kind {
    None,
    NotFound,     // 404
    ServerError,  // 500
    Slow,         // the body in small pieces with a pause before each
    Cut,          // headers announce the whole file; half of it, then the connection closes
    Corrupt,      // the whole file with bytes in its middle changed
    Replace,      // the given body in place of the file (a broken versions.json, ...)
  };
  Kind kind = Kind::None;
  std::chrono::milliseconds pause{100};  // Slow: before each piece
  std::size_t pieceBytes = 1024;         // Slow: bytes per piece
  std::string body;                      // Replace

  static Fault ofKind(Kind kind) {
    Fault fault;
    fault.kind = kind;
    return fault;
  }
  static Fault notFound() { return ofKind(Kind::NotFound); }
  static Fault serverError() { return ofKind(Kind::ServerError); }
  static Fault slow(std::chrono::milliseconds pause, std::size_t pieceBytes = 1024) {
    Fault fault = ofKind(Kind::Slow);
    fault.pause = pause;
    fault.pieceBytes = pieceBytes;
    return fault;
  }
  static Fault cut() { return ofKind(Kind::Cut); }
  static Fault corrupt() { return ofKind(Kind::Corrupt); }
  static Fault replace(std::string body) {
    Fault fault = ofKind(Kind::Replace);
    fault.body = std::move(body);
    return fault;
  }
};

// "none", "404", "500", "slow", "cut", "corrupt"; throws std::invalid_argument
// for any other name.
Fault faultNamed(std::string_view name);

class DownloadStandIn {
 public:
  // Serves GET /<path> from the site folder on a free port of 127.0.0.1 on a
  // thread of its own. Throws std::runtime_error when no port can be bound.
  explicit DownloadStandIn(std::filesystem::path siteFolder, int port = 0);
  ~DownloadStandIn();
  DownloadStandIn(const DownloadStandIn&) = delete;
  DownloadStandIn& operator=(const DownloadStandIn&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>/"
  std::string baseUrl() const;
  const std::filesystem::path& siteFolder() const { return siteFolder_; }

  // The fault of one site path ("versions.json", "MSFS/archive/stock/EHAM.xml").
  void setFault(std::string_view sitePath, Fault fault);
  void clearFaults();

  // GET requests of the path so far (whatever was answered).
  std::size_t requestCount(std::string_view sitePath) const;

  // Stops serving; slow and held answers end at once. Called by the destructor.
  void stop();

 private:
  void start(int port);
  Fault faultOf(const std::string& sitePath) const;
  bool pauseUnlessStopping(std::chrono::milliseconds pause) const;

  std::filesystem::path siteFolder_;
  std::unique_ptr<httplib::Server> server_;
  LoopbackServerThread serving_;  // after server_: stops it before it goes
  int port_ = 0;

  mutable std::mutex mutex_;  // guards faults_, requestCounts_ and stopping_
  mutable std::condition_variable stoppingChanged_;
  std::map<std::string, Fault, std::less<>> faults_;
  std::map<std::string, std::size_t, std::less<>> requestCounts_;
  bool stopping_ = false;
};

}  // namespace crv::standin
