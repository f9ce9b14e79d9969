#pragma once

#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
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

// The file-system error the call throws as its operation and paths,
// "copy_file [Log0.txt] [Log00.txt]" or "exists [Log.txt]", with its error
// code in *code when asked; "(nothing thrown)" when the call returns. Only a
// std::filesystem::filesystem_error is caught.
template <typename Call>
std::string thrownFileSystemError(Call&& call, std::error_code* code = nullptr) {
  try {
    std::forward<Call>(call)();
  } catch (const std::filesystem::filesystem_error& error) {
    if (code != nullptr) *code = error.code();
    std::string paths;
    for (const std::filesystem::path* path : {&error.path1(), &error.path2()}) {
      if (!path->empty()) paths += " [" + path->string() + "]";
    }
    for (const char* operation : {"copy_file", "exists"}) {
      const std::filesystem::filesystem_error same =
          error.path2().empty() ? std::filesystem::filesystem_error(operation, error.path1(), error.code())
                                : std::filesystem::filesystem_error(operation, error.path1(), error.path2(), error.code());
      if (std::string(error.what()) == same.what()) return operation + paths;
    }
    return "(another operation) " + std::string(error.what());
  }
  return "(nothing thrown)";
}

}  // namespace crv::testing
