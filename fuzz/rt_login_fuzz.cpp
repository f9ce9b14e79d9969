// A login answer: logged in exactly when the reader holds a GUID, with paces
// that a stop ends at once; a refusal leaves no GUID and names its status.

#include "feed/json_reading.h"
#include "feed/login.h"
#include "fuzz/support/fuzz_support.h"
#include "fuzz/support/rt_answers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  crv::fuzz::AnswerStand stand;
  int status = 0;
  bool loggedIn = false;
  // An exception: authenticate() logs it, a failed login.
  crv::fuzz::takeAnswer(data, size,
                        [&](const std::string& text) { loggedIn = crv::takeLoginAnswer(stand.weather, text, status); });
  require(loggedIn == !stand.weather.guid().empty(), "logged in exactly when a GUID is held");
  require(loggedIn == stand.display.loggedIn.load(), "the window shows the login");
  require(!loggedIn || status == 0, "a login sets no status");
  const bool refusal = status == crv::kStatusParameterFault || status == crv::kStatusKeyRefused ||
                       status == crv::kStatusKeyUnknown || status == crv::kStatusSecondSession ||
                       status == crv::kStatusDatabaseProblem;
  require(status == 0 || refusal, "only a refusal sets a status");
  crv::fuzz::requireStoppablePaces(stand.weather);
  return 0;
}
