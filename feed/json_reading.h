#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace crv {

// Readers of outside JSON that filter as they read.

// A value that fails a plausibility check: the decoders drop the aircraft
// without a log line.
class Implausible : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A registration longer than this is no registration.
inline constexpr std::size_t kMaximumRegistrationLength = 12;

// The service's answers nest a few levels deep. A deeper answer is refused
// before it is parsed, so that no copy, comparison or dump of it can recurse
// the stack.
inline constexpr std::size_t kMaximumAnswerDepth = 64;

class AnswerTooDeep : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The deepest nesting of arrays and objects in a JSON text (brackets inside
// strings do not count); the scan stops once the limit is passed.
std::size_t jsonNestingDepth(std::string_view text, std::size_t limit = kMaximumAnswerDepth);

// An answer's JSON. Throws AnswerTooDeep for nesting deeper than
// kMaximumAnswerDepth and nlohmann's parse_error for a text that is no JSON.
nlohmann::json parseAnswer(std::string_view text);
// The same, with a discarded value instead of either exception.
nlohmann::json parseAnswerOrDiscarded(std::string_view text);

// An integer as a 64-bit signed value converted to double, a floating-point
// value unchanged, anything else 0.
double jsonNumber(const nlohmann::json& value);
// A JSON string's text, anything else the empty text.
const std::string& jsonText(const nlohmann::json& value);
// The element at the index; null past the end or when the value is no array.
const nlohmann::json& jsonAt(const nlohmann::json& array, std::size_t index);

bool jsonHasKey(const nlohmann::json& value, std::string_view key);
// The key's text when the object holds it as a text, else the fallback.
std::string jsonStringValue(const nlohmann::json& value, std::string_view key, std::string_view fallback);

// The longest run of leading hexadecimal digits as an unsigned 32-bit value;
// none without a digit or beyond 32 bits.
std::optional<std::uint32_t> parseHexId(std::string_view text);

// Common keys of an answer. "status" defaults to 100; like "message" it
// throws nlohmann's type_error when the answer is no object or the value has
// the wrong kind.
int answerStatus(const nlohmann::json& answer);
std::string answerMessage(const nlohmann::json& answer);

inline constexpr int kDefaultPaceMilliseconds = 2000;
// The pace "rrl" or "wrrl" of an answer in milliseconds, as the service gives
// it: kDefaultPaceMilliseconds when absent. Like answerStatus it throws
// nlohmann's type_error when the answer is no object or the value has the
// wrong kind, and std::range_error for a number that no int holds.
int answerPace(const nlohmann::json& answer, std::string_view key);

// Status codes of the service and the program's own code for a loop that
// was stopped on request.
inline constexpr int kStatusOk = 200;
inline constexpr int kStatusParameterFault = 400;
inline constexpr int kStatusReauthenticate = 401;
inline constexpr int kStatusKeyRefused = 402;
inline constexpr int kStatusDataRefused = 403;
inline constexpr int kStatusKeyUnknown = 404;
inline constexpr int kStatusSecondSession = 405;
inline constexpr int kStatusNoDataNow = 406;
inline constexpr int kStatusDatabaseProblem = 500;
inline constexpr int kStatusAbsent = 100;
inline constexpr int kStatusStopped = 9999;

}  // namespace crv
