#include "testing_server.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "dde.h"

namespace dde::testing {

const std::string& ProgmanPath() {
  static const std::string path = PROGMAN_EXE;
  return path;
}

bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 750; ++i) {
    if (done()) return true;
    usleep(20'000);
  }
  return done();
}

bool Listening(const std::string& root) {
  std::string path = dde::ServiceSocketPath(root, "progman");
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

pid_t StartServer(const std::string& root, int idleSeconds) {
  std::string idle = std::to_string(idleSeconds);
  pid_t pid = fork();
  if (pid == 0) {
    setenv("KELVORA_MACHINE", root.c_str(), 1);
    execl(ProgmanPath().c_str(), "progman", "--idle-seconds", idle.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

int WaitExit(pid_t pid) {
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; })) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace dde::testing
