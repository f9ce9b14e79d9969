#pragma once

// One POST to the RealTraffic API over a libcurl easy handle.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include <curl/curl.h>

namespace crv {

struct CurlEasyCleanup {
  void operator()(CURL* handle) const;
};
using CurlHandle = std::unique_ptr<CURL, CurlEasyCleanup>;

// A new easy handle; throws std::runtime_error "<name> curl_easy_init() failed".
CurlHandle makeCurlHandle(std::string_view name);

struct RequestTimeouts {
  std::chrono::milliseconds connect{10000};
  // The whole transfer, connection included.
  std::chrono::milliseconds transfer{30000};
};

// An answer longer than this is refused with a write error.
inline constexpr std::size_t kMaximumAnswerBytes = 64u * 1024u * 1024u;

// The write callback: appends the bytes to the std::string behind target.
// No target, an answer beyond kMaximumAnswerBytes or a failed append return 0,
// which ends the transfer with a libcurl write error.
std::size_t appendToAnswer(char* data, std::size_t size, std::size_t count, void* target);

// How a request names its handle in the texts of its setup errors.
struct PostSetup {
  std::string_view handleName;      // "trcurl_", "aucurl_", ...
  std::string_view urlFailureText;  // the text of a failed CURLOPT_URL
  bool resetHandle = true;          // curl_easy_reset before the options
};

// The texts of a data request's setup errors on the named handle.
PostSetup dataRequestSetup(std::string_view handleName);

// The code of a transfer that its stop flag ended. The program cut it short
// itself, because the user closed it or the session ends: no failure of the
// service or of the connection, and never reported as one.
inline constexpr CURLcode kTransferStopped = CURLE_ABORTED_BY_CALLBACK;

// Says in the log that the program cut a transfer short, in place of its
// failure line: "<request>: stopped as the user closed CRVN", or "<request>:
// stopped as the session ends" when it ends for another reason.
void logStoppedTransfer(std::string_view request);

// Reports a transfer that did not complete: a stop by its flag as the close
// it is, any other code as the failure that logFailure writes in the
// request's own words. True when its stop flag ended it.
bool reportUnfinishedTransfer(CURLcode code, std::string_view request, const std::function<void()>& logFailure);

// Sets the options of one POST of the body to the url (the body must live
// until the transfer ends) and performs it once. The answer text is emptied
// first. A failed option throws std::runtime_error with the setup's texts.
// An answer with an HTTP error status (400 and above) that is no JSON, an
// error page of a server or proxy in between, is handed back as any other
// answer, after the plain log line "<url>: HTTP <status>: <excerpt>".
// The transfer ends with kTransferStopped soon after the stop flag is
// raised, and never outlives the timeouts.

CURLcode performPost(CURL* handle, const PostSetup& setup, const std::string& url, const std::string& body,
                     std::string& answer, const RequestTimeouts& timeouts, const std::atomic<bool>* stop);

// Performs the prepared easy handle once. With a stop flag the transfer runs
// on a multi handle of its own that looks at the flag every 50 ms and ends
// with kTransferStopped once it is raised.
CURLcode performStoppable(CURL* handle, const std::atomic<bool>* stop);

// "<code> = <libcurl text>"
std::string curlErrorText(CURLcode code);

}  // namespace crv
