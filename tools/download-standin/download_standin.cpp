#include "tools/download-standin/download_standin.h"

#include <httplib.h>

#include <algorithm>
#include <stdexcept>

#include "foundation/files.h"

namespace crv::standin {

namespace {

constexpr const char* kContentType = "application/octet-stream";

// No ".." part, so that no request reaches outside the site folder.
bool isSafeSitePath(std::string_view path) {
  if (path.empty()) {
    return false;
  }
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find_first_of("/\\", start), path.size());
    if (path.substr(start, end - start) == "..") {
      return false;
    }
    start = end + 1;
  }
  return true;
}

void corruptMiddle(std::string& bytes) {
  const std::size_t middle = bytes.size() / 2;
  for (std::size_t i = middle; i < std::min(bytes.size(), middle + 16); ++i) {
    bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
  }
}

}  // namespace

Fault faultNamed(std::string_view name) {
  if (name == "none") return {};
  if (name == "404") return Fault::notFound();
  if (name == "500") return Fault::serverError();
  if (name == "slow") return Fault::slow(std::chrono::milliseconds(200));
  if (name == "cut") return Fault::cut();
  if (name == "corrupt") return Fault::corrupt();
  throw std::invalid_argument("unknown fault: " + std::string(name));
}

DownloadStandIn::DownloadStandIn(std::filesystem::path siteFolder, int port)
    : siteFolder_(std::move(siteFolder)), server_(std::make_unique<httplib::Server>()) {
  start(port);
}

DownloadStandIn::~DownloadStandIn() { stop(); }

std::string DownloadStandIn::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

void DownloadStandIn::setFault(std::string_view sitePath, Fault fault) {
  std::lock_guard lock(mutex_);
  faults_[std::string(sitePath)] = std::move(fault);
}

void DownloadStandIn::clearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

std::size_t DownloadStandIn::requestCount(std::string_view sitePath) const {
  std::lock_guard lock(mutex_);
  const auto found = requestCounts_.find(sitePath);
  return found == requestCounts_.end() ? 0 : found->second;
}

Fault DownloadStandIn::faultOf(const std::string& sitePath) const {
  std::lock_guard lock(mutex_);
  const auto found = faults_.find(sitePath);
  return found == faults_.end() ? Fault{} : found->second;
}

bool DownloadStandIn::pauseUnlessStopping(std::chrono::milliseconds pause) const {
  std::unique_lock lock(mutex_);
  return !stoppingChanged_.wait_for(lock, pause, [this] { return stopping_; });
}

void DownloadStandIn::start(int port) {
  server_->Get(R"(/(.*))", [this](const httplib::Request& request, httplib::Response& response) {
    const std::string sitePath = request.path.substr(1);
    {
      std::lock_guard lock(mutex_);
      ++requestCounts_[sitePath];
    }
    const Fault fault = faultOf(sitePath);
    auto bytes = std::make_shared<std::string>();
    const bool found = isSafeSitePath(sitePath) && readFileBytes(siteFolder_ / sitePath, *bytes);
    if (fault.kind == Fault::Kind::Replace) {
      response.set_content(fault.body, kContentType);
      return;
    }
    if (!found || fault.kind == Fault::Kind::NotFound) {
      response.status = 404;
      response.set_content("Not Found", "text/plain");
      return;
    }
    switch (fault.kind) {
      case Fault::Kind::ServerError:
        response.status = 500;
        response.set_content("Internal Server Error", "text/plain");
        return;
      case Fault::Kind::Corrupt:
        corruptMiddle(*bytes);
        break;
      case Fault::Kind::Cut:
        response.set_content_provider(
            bytes->size(), kContentType, [bytes](std::size_t offset, std::size_t, httplib::DataSink& sink) {
              const std::size_t half = bytes->size() / 2;
              if (offset < half) {
                sink.write(bytes->data() + offset, half - offset);
                return true;
              }
              return false;
            });
        return;
      case Fault::Kind::Slow:
        response.set_content_provider(
            bytes->size(), kContentType,
            [this, bytes, fault](std::size_t offset, std::size_t, httplib::DataSink& sink) {
              if (!pauseUnlessStopping(fault.pause)) {
                return false;
              }
              sink.write(bytes->data() + offset, std::min(fault.pieceBytes, bytes->size() - offset));
              return true;
            });
        return;
      default:
        break;
    }
    response.set_content(std::move(*bytes), kContentType);
  });
  port_ = serving_.start(*server_, port, "download-standin");
}

void DownloadStandIn::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stoppingChanged_.notify_all();
  serving_.stop();
}

}  // namespace crv::standin
