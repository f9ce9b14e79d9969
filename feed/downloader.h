#pragma once

// Plain HTTP GETs of files from the program's download site: the version
// list, the encrypted data files, the add-on zip and archived airport files.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "airports/airport_downloads.h"
#include "feed/rt_http.h"

namespace crv {

struct DownloadTimeouts {
  std::chrono::milliseconds connect{10000};
  // A transfer that moves no byte for this long is given up.
  std::chrono::milliseconds stall{30000};
  // The whole transfer, connection included.
  std::chrono::milliseconds whole{std::chrono::minutes(15)};
};

struct DownloadOptions {
  DownloadTimeouts timeouts;
  // Raising it aborts a running transfer within about 50 ms; may be null.
  const std::atomic<bool>* stop = nullptr;
  // A longer body is refused.
  std::uint64_t maximumBytes = std::uint64_t{1} << 30;
};

// How a download ended; converts to true only on success.
struct DownloadOutcome {
  bool ok = false;
  // Why it failed, for the log ("HTTP status 404", "stopped", ...).
  std::string failure;
  // The HTTP status of a refused request; 0 when the server gave none.
  long httpStatus = 0;
  // The stop flag ended the transfer: the program cut it short itself, which
  // is no failure (failure reads "stopped").
  bool stopped = false;

  explicit operator bool() const { return ok; }
};

// Looks at a complete download before it may replace the target; a text
// that is not empty refuses it and says why.
using DownloadCheck = std::function<std::string(const std::filesystem::path& downloaded)>;

// Downloads the url into the target file. The body goes to a temporary file
// beside the target ("<name>.part"), which replaces the target only when the
// transfer completed (an HTTP status of 400 or above is a failure) and the
// check, when given, accepted it; otherwise the temporary file is removed
// and the target stays as it was. No handle in the holder fails at once. A
// temporary file that cannot be opened logs "Could not open output file:
// <path>"; an exception is logged as "Downloader exception: ..."; nothing
// else is logged. The binary flag only matters where text files differ.
DownloadOutcome downloadToFile(const CurlHandle& holder, const std::string& url,
                               const std::filesystem::path& target, bool binary,
                               const DownloadOptions& options = {}, const DownloadCheck& check = {});

// The same on a handle of its own, in binary mode: the downloader other
// subsystems are given.
DownloadOutcome downloadUrlToFile(const std::string& url, const std::filesystem::path& target,
                                  const DownloadOptions& options);

// A downloader for callers that pass their own stop flag per call: fetches
// the url into the target with the options' timeouts and limit, and logs why
// a download failed as an indented line. An answer of HTTP 404 or 410 is
// notThere, a download that the stop flag ended is stopped (logged as the
// close it is); every other failure is failed.
using UrlDownloader = DownloadFunction;
UrlDownloader makeUrlDownloader(DownloadOptions options);

// Accepts an encrypted data file only when it decrypts completely with the
// program's key.
std::string checkDecryptable(const std::filesystem::path& downloaded);

// The program's download site.
struct DownloadSite {
  // Scheme, host and path prefix, ending in "/".
  std::string baseUrl;
  DownloadOptions options;
};

// Downloads site base + remote name into the target (binary) on a handle of
// its own; a name ending in ".enc" must decrypt. Logs "Downloaded '<url>' to
// '<target>'", or the warning "Downloading '<url>' failed !" followed by
// the reason, or, when the stop flag ended it, that it was stopped.
bool downloadFromSite(const DownloadSite& site, std::string_view remoteName, const std::filesystem::path& target);

// Site base + "MSFS/" for MSFS 2020 (or when forced), else + "MSFS2024/".
std::string downloadBaseUrl(const DownloadSite& site, bool force2020);

}  // namespace crv
