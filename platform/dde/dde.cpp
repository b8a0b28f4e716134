#include "dde.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dosfs.h"

extern char** environ;

namespace dde {

namespace {

std::string& ProgramDir() {
  static std::string dir;
  return dir;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  return out;
}

// Connects to the service's socket without waiting: a server that is not
// listening, or whose queue is full, counts as no answer. Returns the socket
// (non-blocking) or -1.
int Connect(std::string_view service) {
  std::string path = ServiceSocketPath(dosfs::MachineRoot(), service);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return -1;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// The service's program: beside the running executable, then along PATH, or
// only in the directory set by SetProgramDir.
std::string FindProgram(std::string_view service) {
  std::string name = Lower(service);
  if (name.empty() || name.find('/') != std::string::npos) return {};
  std::vector<std::string> dirs;
  if (!ProgramDir().empty()) {
    dirs.push_back(ProgramDir());
  } else {
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
      std::string self(exe, static_cast<size_t>(n));
      dirs.push_back(self.substr(0, self.rfind('/')));
    }
    if (const char* path = std::getenv("PATH")) {
      std::string_view rest = path;
      while (true) {
        size_t colon = rest.find(':');
        std::string_view dir = rest.substr(0, colon);
        dirs.emplace_back(dir.empty() ? "." : dir);
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
      }
    }
  }
  for (const std::string& dir : dirs) {
    std::string candidate = dir + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
  }
  return {};
}

// Starts `program` with the words of `commandLine` as its arguments, detached
// (own session, stdio on /dev/null, not our child: the middle process of a
// double fork ends at once) and told the machine root in use. Returns whether
// the program was executed; does not wait for it to do anything.
bool StartDetached(const std::string& program, const std::string& commandLine) {
  // Everything the children need is prepared here: after fork only
  // async-signal-safe calls are made.
  std::vector<std::string> words;
  for (size_t i = 0; i < commandLine.size();) {
    size_t end = commandLine.find(' ', i);
    if (end == std::string::npos) end = commandLine.size();
    if (end > i) words.push_back(commandLine.substr(i, end - i));
    i = end + 1;
  }
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  std::string machine = "KELVORA_MACHINE=" + dosfs::MachineRoot();
  std::vector<char*> envp;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "KELVORA_MACHINE=", 16) != 0) envp.push_back(*e);
  envp.push_back(machine.data());
  envp.push_back(nullptr);

  // The grandchild writes its errno here when exec fails; a clean EOF means
  // the program runs.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  pid_t middle = fork();
  if (middle < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (middle == 0) {
    close(report[0]);
    setsid();
    pid_t child = fork();
    if (child < 0) {
      int err = errno;
      (void)!write(report[1], &err, sizeof err);
      _exit(1);
    }
    if (child == 0) {
      int null = open("/dev/null", O_RDWR);
      if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        if (null > 2) close(null);
      }
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      // Descriptors the caller left inheritable are not the program's business.
      close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
      execve(program.c_str(), argv.data(), envp.data());
      int err = errno;
      (void)!write(report[1], &err, sizeof err);
      _exit(127);
    }
    _exit(0);
  }
  close(report[1]);
  int err = 0;
  ssize_t got;
  do got = read(report[0], &err, sizeof err);
  while (got < 0 && errno == EINTR);
  close(report[0]);
  while (waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
  }
  return got == 0;
}

// Writes all of `data`, waiting a bounded time whenever the socket is full.
bool SendAll(int fd, const char* data, size_t size) {
  constexpr int kStallMs = 5000;
  while (size > 0) {
    ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd, POLLOUT, 0};
      int r = poll(&p, 1, kStallMs);
      if (r > 0 || (r < 0 && errno == EINTR)) continue;
    }
    return false;
  }
  return true;
}

}  // namespace

void SetProgramDir(std::string dir) { ProgramDir() = std::move(dir); }

std::string ServiceSocketPath(const std::string& machineRoot, std::string_view service) {
  return machineRoot + "/dde/" + Lower(service);
}

}  // namespace dde

TDdeClientConv::TDdeClientConv() = default;

TDdeClientConv::~TDdeClientConv() { CloseLink(); }

bool TDdeClientConv::SetLink(const std::string& service, const std::string& topic) {
  CloseLink();
  DdeService = service;
  DdeTopic = topic;
  return ConnectMode == ddeAutomatic ? OpenLink() : true;
}

bool TDdeClientConv::OpenLink() {
  CloseLink();
  if (DdeService.empty()) return false;
  socket_ = dde::Connect(DdeService);
  if (socket_ >= 0) return true;
  std::string program = dde::FindProgram(DdeService);
  if (program.empty() || !dde::StartDetached(program, DdeService + " " + DdeTopic)) return false;
  // One more attempt, at once: a program that is not listening yet has not
  // answered.
  socket_ = dde::Connect(DdeService);
  return socket_ >= 0;
}

bool TDdeClientConv::ExecuteMacro(const char* cmd, bool /*waitFlg*/) {
  if (socket_ < 0 || cmd == nullptr) return false;
  if (dde::SendAll(socket_, cmd, std::strlen(cmd) + 1)) return true;
  CloseLink();
  return false;
}

void TDdeClientConv::CloseLink() {
  if (socket_ < 0) return;
  close(socket_);
  socket_ = -1;
}
