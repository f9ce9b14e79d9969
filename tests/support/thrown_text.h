#pragma once

#include <exception>
#include <string>
#include <utility>

namespace crv::testing {

// The what() text of the exception the call throws, or "(nothing thrown)".
// Only the given kind is caught: any other exception fails the test.
//   EXPECT_EQ(thrownText<UserErrorException>([&] { readAll(); }), "88: ...");
template <typename Exception = std::exception, typename Call>
std::string thrownText(Call&& call) {
  try {
    std::forward<Call>(call)();
  } catch (const Exception& error) {
    return error.what();
  }
  return "(nothing thrown)";
}

}  // namespace crv::testing
