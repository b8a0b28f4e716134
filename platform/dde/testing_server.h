// Test support: the real progman server run as a child of the test.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace dde::testing {

// The progman executable the build made.
const std::string& ProgmanPath();
// Polls `done` until it holds or a generous bound (15 s) passes.
bool WaitUntil(const std::function<bool()>& done);
// True when a server listens on the machine's progman socket.
bool Listening(const std::string& root);
// Starts progman for `root` as the caller's child.
pid_t StartServer(const std::string& root, int idleSeconds);
// The exit code of the caller's child, or -1 when it has not ended in time.
int WaitExit(pid_t pid);

}  // namespace dde::testing
