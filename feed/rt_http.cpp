#include "feed/rt_http.h"

#include <fmt/format.h>

#include <mutex>
#include <stdexcept>

#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/version.h"

namespace crv {

namespace {

// How often a running transfer looks at its stop flag.
constexpr int kStopCheckMilliseconds = 50;

void ensureCurlGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct MultiCleanup {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

void check(CURLcode code, std::string_view failureText) {
  if (code != CURLE_OK) {
    throw std::runtime_error(std::string(failureText));
  }
}

// The service's own answers are JSON objects, also when they refuse; an
// error page of a server or proxy in between is not.
bool looksLikeJson(std::string_view answer) {
  const std::size_t first = answer.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && (answer[first] == '{' || answer[first] == '[');
}

constexpr long kFirstHttpErrorStatus = 400;

}  // namespace

CURLcode performStoppable(CURL* handle, const std::atomic<bool>* stop) {
  if (stop == nullptr) {
    return curl_easy_perform(handle);
  }
  if (stop->load()) {
    return kTransferStopped;
  }
  std::unique_ptr<CURLM, MultiCleanup> multi(curl_multi_init());
  if (!multi) {
    throw std::runtime_error("curl_multi_init() failed");
  }
  if (curl_multi_add_handle(multi.get(), handle) != CURLM_OK) {
    throw std::runtime_error("curl_multi_add_handle() failed");
  }
  CURLcode result = CURLE_OK;
  int running = 1;
  while (true) {
    const CURLMcode step = curl_multi_perform(multi.get(), &running);
    if (step != CURLM_OK) {
      curl_multi_remove_handle(multi.get(), handle);
      throw std::runtime_error(fmt::format("curl_multi_perform: {}", curl_multi_strerror(step)));
    }
    if (running == 0) {
      break;
    }
    if (stop->load()) {
      curl_multi_remove_handle(multi.get(), handle);
      return kTransferStopped;
    }
    curl_multi_poll(multi.get(), nullptr, 0, kStopCheckMilliseconds, nullptr);
  }
  int pending = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &pending)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == handle) {
      result = message->data.result;
    }
  }
  curl_multi_remove_handle(multi.get(), handle);
  return result;
}

void CurlEasyCleanup::operator()(CURL* handle) const { curl_easy_cleanup(handle); }

CurlHandle makeCurlHandle(std::string_view name) {
  ensureCurlGlobalInit();
  CurlHandle handle(curl_easy_init());
  if (!handle) {
    throw std::runtime_error(fmt::format("{} curl_easy_init() failed", name));
  }
  return handle;
}

std::size_t appendToAnswer(char* data, std::size_t size, std::size_t count, void* target) {
  if (target == nullptr) {
    return 0;
  }
  auto& answer = *static_cast<std::string*>(target);
  const std::size_t bytes = size * count;
  if (answer.size() + bytes > kMaximumAnswerBytes) {
    gf_logWarning(fmt::format("{}: answer longer than {} bytes", "lf_callbackwriter", kMaximumAnswerBytes));
    return 0;
  }
  try {
    answer.append(data, bytes);
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: append exception: {}", "lf_callbackwriter", error.what()));
    return 0;
  }
  return bytes;
}

PostSetup dataRequestSetup(std::string_view handleName) {
  // The URL failure text is built by performPost from the handle name.
  return PostSetup{handleName, {}, true};
}

CURLcode performPost(CURL* handle, const PostSetup& setup, const std::string& url, const std::string& body,
                     std::string& answer, const RequestTimeouts& timeouts, const std::atomic<bool>* stop) {
  const std::string name(setup.handleName);
  answer.clear();
  if (handle == nullptr) {
    throw std::runtime_error(name + " curl_easy_init() failed");
  }
  if (setup.resetHandle) {
    curl_easy_reset(handle);
  }
  check(curl_easy_setopt(handle, CURLOPT_URL, url.c_str()),
        setup.urlFailureText.empty() ? name + ": failed to set URL" : std::string(setup.urlFailureText));
  check(curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "deflate,gzip"),
        name + " failed to set CURLOPT_ACCEPT_ENCODING");
  check(curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.c_str()), name + ": failed to set POSTFIELDS");
  check(curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size())),
        name + ": failed to set POSTFIELDSIZE");
  check(curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &appendToAnswer),
        name + " failed to set CURLOPT_WRITEFUNCTION");
  check(curl_easy_setopt(handle, CURLOPT_WRITEDATA, &answer), name + " failed to set CURLOPT_WRITEDATA");
  check(curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count())),
        name + " failed to set CURLOPT_CONNECTTIMEOUT_MS");
  check(curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(timeouts.transfer.count())),
        name + " failed to set CURLOPT_TIMEOUT_MS");
  check(curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L), name + " failed to set CURLOPT_NOSIGNAL");
  check(curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https"), name + " failed to set CURLOPT_PROTOCOLS_STR");
  curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(handle, CURLOPT_FRESH_CONNECT, 1L);
  const CURLcode code = performStoppable(handle, stop);
  if (code == CURLE_OK) {
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status >= kFirstHttpErrorStatus && !looksLikeJson(answer)) {
      // The request classifies the answer as any other; this line only says
      // what came back instead of the service's JSON.
      gf_logLine(fmt::format("{}: HTTP {}: {}", url, status, logExcerpt(answer)));
    }
  }
  return code;
}

void logStoppedTransfer(std::string_view request) {
  if (userClosedWindow()) {
    gf_logLine(fmt::format("{}: stopped as the user closed {}", request, kProgramName));
  } else {
    gf_logLine(fmt::format("{}: stopped as the session ends", request));
  }
}

bool reportUnfinishedTransfer(CURLcode code, std::string_view request, const std::function<void()>& logFailure) {
  if (code == kTransferStopped) {
    logStoppedTransfer(request);
    return true;
  }
  logFailure();
  return false;
}

std::string curlErrorText(CURLcode code) {
  return fmt::format("{} = {}", static_cast<int>(code), curl_easy_strerror(code));
}

}  // namespace crv
