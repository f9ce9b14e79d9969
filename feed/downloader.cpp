#include "feed/downloader.h"

#include <fmt/format.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "aircraftdata/stream_decrypt.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "platform/os/file_access.h"

namespace crv {

namespace {

struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileClose>;

// Where the write callback puts the body, and what it saw.
struct BodySink {
  std::FILE* file = nullptr;
  std::uint64_t written = 0;
  std::uint64_t limit = 0;
  bool tooLong = false;
  bool writeFailed = false;
};

std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* target) {
  auto& sink = *static_cast<BodySink*>(target);
  const std::size_t bytes = size * count;
  if (sink.written + bytes > sink.limit) {
    sink.tooLong = true;
    return 0;
  }
  if (std::fwrite(data, 1, bytes, sink.file) != bytes) {
    sink.writeFailed = true;
    return 0;
  }
  sink.written += bytes;
  return bytes;
}

template <typename Value>
void setOption(CURL* handle, CURLoption option, Value value, std::string_view name) {
  if (curl_easy_setopt(handle, option, value) != CURLE_OK) {
    throw std::runtime_error(fmt::format("failed to set {}", name));
  }
}

void prepareGet(CURL* handle, const std::string& url, BodySink& sink, const DownloadTimeouts& timeouts) {
  curl_easy_reset(handle);
  setOption(handle, CURLOPT_URL, url.c_str(), "CURLOPT_URL");
  setOption(handle, CURLOPT_USERAGENT, "CRVN", "CURLOPT_USERAGENT");
  setOption(handle, CURLOPT_WRITEFUNCTION, &writeBody, "CURLOPT_WRITEFUNCTION");
  setOption(handle, CURLOPT_WRITEDATA, static_cast<void*>(&sink), "CURLOPT_WRITEDATA");
  setOption(handle, CURLOPT_FAILONERROR, 1L, "CURLOPT_FAILONERROR");
  setOption(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()),
            "CURLOPT_CONNECTTIMEOUT_MS");
  setOption(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts.whole.count()), "CURLOPT_TIMEOUT_MS");
  // libcurl counts a stall in whole seconds, at least one.
  const long stallSeconds =
      std::max(1L, static_cast<long>(std::chrono::ceil<std::chrono::seconds>(timeouts.stall).count()));
  setOption(handle, CURLOPT_LOW_SPEED_LIMIT, 1L, "CURLOPT_LOW_SPEED_LIMIT");
  setOption(handle, CURLOPT_LOW_SPEED_TIME, stallSeconds, "CURLOPT_LOW_SPEED_TIME");
  setOption(handle, CURLOPT_NOSIGNAL, 1L, "CURLOPT_NOSIGNAL");
  setOption(handle, CURLOPT_PROTOCOLS_STR, "http,https", "CURLOPT_PROTOCOLS_STR");
}

std::string failureText(CURL* handle, CURLcode code, const BodySink& sink, const DownloadOptions& options,
                        const std::filesystem::path& partPath) {
  if (code == CURLE_HTTP_RETURNED_ERROR) {
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    return fmt::format("HTTP status {}", status);
  }
  if (code == kTransferStopped) {
    return "stopped";
  }
  if (sink.tooLong) {
    return fmt::format("longer than {} bytes", options.maximumBytes);
  }
  if (sink.writeFailed) {
    return fmt::format("could not write {}", partPath.string());
  }
  return curlErrorText(code);
}

void removeQuietly(const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

DownloadOutcome failed(std::string why) { return DownloadOutcome{false, std::move(why)}; }

DownloadOutcome transfer(CURL* handle, const std::string& url, const std::filesystem::path& target, bool binary,
                         const DownloadOptions& options, const DownloadCheck& check) {
  std::filesystem::path partPath = target;
  partPath += ".part";
  FileHandle file(platform::openFile(partPath, binary ? "wb" : "w"));
  if (!file) {
    gf_logLine(fmt::format("Could not open output file: {}", partPath.string()));
    return failed(fmt::format("could not open {}", partPath.string()));
  }
  BodySink sink{file.get(), 0, options.maximumBytes};
  prepareGet(handle, url, sink, options.timeouts);
  const CURLcode code = performStoppable(handle, options.stop);
  const bool closed = std::fclose(file.release()) == 0;
  DownloadOutcome outcome{true, {}};
  if (code != CURLE_OK) {
    outcome = failed(failureText(handle, code, sink, options, partPath));
    outcome.stopped = code == kTransferStopped;
    if (code == CURLE_HTTP_RETURNED_ERROR) curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.httpStatus);
  } else if (!closed) {
    outcome = failed(fmt::format("could not write {}", partPath.string()));
  } else if (check) {
    if (std::string refusal = check(partPath); !refusal.empty()) {
      outcome = failed(std::move(refusal));
    }
  }
  if (outcome) {
    std::error_code error;
    std::filesystem::rename(partPath, target, error);
    if (error) {
      outcome = failed(fmt::format("could not replace {}: {}", target.string(), error.message()));
    }
  }
  if (!outcome) {
    removeQuietly(partPath);
  }
  return outcome;
}

}  // namespace

DownloadOutcome downloadToFile(const CurlHandle& holder, const std::string& url,
                               const std::filesystem::path& target, bool binary, const DownloadOptions& options,
                               const DownloadCheck& check) {
  if (!holder) {
    return failed("no libcurl handle");
  }
  try {
    return transfer(holder.get(), url, target, binary, options, check);
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("Downloader exception: '{}', {} => {}", error.what(), url, target.string()));
    std::filesystem::path partPath = target;
    partPath += ".part";
    removeQuietly(partPath);
    return failed(error.what());
  }
}

DownloadOutcome downloadUrlToFile(const std::string& url, const std::filesystem::path& target,
                                  const DownloadOptions& options) {
  CurlHandle holder;
  try {
    holder = makeCurlHandle("download");
  } catch (const std::exception& error) {
    return failed(error.what());
  }
  return downloadToFile(holder, url, target, true, options);
}

UrlDownloader makeUrlDownloader(DownloadOptions options) {
  return [options](const std::string& url, const std::filesystem::path& target, const std::atomic<bool>& stop) {
    DownloadOptions withStop = options;
    withStop.stop = &stop;
    const DownloadOutcome outcome = downloadUrlToFile(url, target, withStop);
    if (outcome) return DownloadResult::downloaded;
    if (outcome.stopped) {
      logStoppedTransfer(url);
      return DownloadResult::stopped;
    }
    gf_logIndented(fmt::format("{}: {}", url, outcome.failure));
    constexpr long kNotFound = 404;
    constexpr long kGone = 410;
    return outcome.httpStatus == kNotFound || outcome.httpStatus == kGone ? DownloadResult::notThere
                                                                          : DownloadResult::failed;
  };
}

std::string checkDecryptable(const std::filesystem::path& downloaded) {
  // In memory: a decrypted copy on disk would outlive a kill of the program.
  try {
    decryptToMemory(kDataFileKey, downloaded);
  } catch (const std::exception& error) {
    return fmt::format("not a valid data file: {}", error.what());
  }
  return {};
}

bool downloadFromSite(const DownloadSite& site, std::string_view remoteName, const std::filesystem::path& target) {
  const std::string url = site.baseUrl + std::string(remoteName);
  const DownloadCheck check = remoteName.ends_with(".enc") ? DownloadCheck(&checkDecryptable) : DownloadCheck();
  CurlHandle holder;
  try {
    holder = makeCurlHandle("download");
  } catch (const std::exception&) {
    // An empty holder fails below like any other download.
  }
  const DownloadOutcome outcome = downloadToFile(holder, url, target, true, site.options, check);
  if (outcome) {
    gf_logLine(fmt::format("Downloaded '{}' to '{}'", url, target.string()));
  } else if (outcome.stopped) {
    logStoppedTransfer(url);
  } else {
    gf_logWarning(fmt::format("Downloading '{}' failed !", url));
    gf_logIndented(outcome.failure);
  }
  return outcome.ok;
}

std::string downloadBaseUrl(const DownloadSite& site, bool force2020) {
  return site.baseUrl + (isMsfs2020() || force2020 ? "MSFS/" : "MSFS2024/");
}

}  // namespace crv
