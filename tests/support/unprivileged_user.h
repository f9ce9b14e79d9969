#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace crv::testing {

// Runs the action as a user whom permissions bind and answers its text. Here
// a forked child runs it, as the user nobody when this process is root (as
// CI runs the suite), as this user otherwise; it ends without running any
// destructor, and what it changed is seen on the disk. On Windows the action
// runs in this process: the read-only mark binds every user there. An action
// that throws answers "(threw) " and the exception's text; a child that could
// not become nobody, or ended otherwise, answers why in parentheses.
std::string runAsUnprivilegedUser(const std::function<std::string()>& action);

// Gives a folder or file made by the test to that user (owner nobody when
// this process is root; nothing to do otherwise and on Windows).
void handToUnprivilegedUser(const std::filesystem::path& path);

}  // namespace crv::testing
