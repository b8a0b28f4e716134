// progman: the Program Manager stand-in server.
//
//   progman [--idle-seconds N] [topic]
//
// Serves the "progman" service of the machine root (KELVORA_MACHINE, else the
// default root): listens on <root>/dde/progman, takes any number of
// conversations, splits what each sends at NUL bytes into execute strings and
// carries them out (progman.h), keeping the groups in <root>/progman
// (progman_store.h). Only one server runs per machine root: the lock file
// <root>/dde/progman.lock (which holds the server's process id) is held for
// the server's life, and a second server exits with code 0 as soon as it
// sees the first one listening (it waits up to 5 s for one that is ending). The
// server exits with code 0 after N seconds (default 30) in which nothing
// arrived, and at once on SIGTERM, SIGINT or SIGHUP. Exit code 1: the socket
// or lock file could not be set up, or the options are wrong. The topic is
// accepted and ignored.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bytestr.h"
#include "dde.h"
#include "dosfs.h"
#include "progman.h"

namespace {

// Monotonic time in milliseconds. (No <chrono>: its micro-sign literal does
// not survive the GBK execution character set.)
int64_t NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t{t.tv_sec} * 1000 + t.tv_nsec / 1'000'000;
}

volatile sig_atomic_t stopRequested = 0;
void OnStopSignal(int) { stopRequested = 1; }

// A conversation's bytes beyond this without a NUL end the conversation.
constexpr size_t kMaxPending = 1 << 20;

struct Conversation {
  int fd;
  std::string pending;  // bytes of an execute string not yet complete
};

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
  addr = {};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  return true;
}

bool SomeoneListens(const sockaddr_un& addr) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0 || errno == EAGAIN;
  close(fd);
  return ok;
}

// Reads what a conversation has sent and carries out its complete execute
// strings. Returns false when the conversation has ended.
bool Serve(Conversation& c, progman::ProgramManager& manager) {
  char buf[4096];
  while (true) {
    ssize_t n = recv(c.fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    // End of the conversation: bytes without their NUL are not a whole
    // execute string and are dropped.
    if (n <= 0) return false;
    c.pending.append(buf, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t nul; (nul = c.pending.find('\0', start)) != std::string::npos; start = nul + 1)
      manager.Execute(std::string_view(c.pending).substr(start, nul - start));
    c.pending.erase(0, start);
    if (c.pending.size() > kMaxPending) return false;
  }
}

void AcceptAll(int listener, std::vector<Conversation>& conversations) {
  while (true) {
    int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    conversations.push_back({fd, {}});
  }
}

int Run(int idleSeconds) {
  const std::string root = dosfs::DefaultMachineRoot();
  const std::string socketPath = dde::ServiceSocketPath(root, "progman");
  std::error_code ec;
  std::filesystem::create_directories(root + "/dde", ec);
  sockaddr_un addr;
  if (!MakeAddress(socketPath, addr)) return 1;

  int lock = open((root + "/dde/progman.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock < 0) return 1;
  // A server holding the lock while nobody listens is on its way out: its
  // successor waits for it a little.
  for (int tries = 0; flock(lock, LOCK_EX | LOCK_NB) != 0; ++tries) {
    if (errno != EWOULDBLOCK) return 1;
    if (SomeoneListens(addr) || tries == 50) return 0;
    poll(nullptr, 0, 100);
  }
  if (SomeoneListens(addr)) return 0;
  std::string pid = bytestr::IntToStr(getpid()) + "\n";
  if (ftruncate(lock, 0) != 0 || pwrite(lock, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size()))
    return 1;

  unlink(socketPath.c_str());  // a stale socket: nobody listens on it
  int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listener < 0 || bind(listener, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listener, SOMAXCONN) != 0)
    return 1;

  progman::ProgramManager manager(root);
  std::vector<Conversation> conversations;
  sigset_t waitMask;
  sigprocmask(SIG_SETMASK, nullptr, &waitMask);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigdelset(&waitMask, s);
  const int64_t idleMs = int64_t{idleSeconds} * 1000;
  int64_t lastActivity = NowMs();

  while (!stopRequested && (listener >= 0 || !conversations.empty())) {
    std::vector<pollfd> fds;
    if (listener >= 0) fds.push_back({listener, POLLIN, 0});
    for (const Conversation& c : conversations) fds.push_back({c.fd, POLLIN, 0});
    int64_t left = std::max<int64_t>(0, lastActivity + idleMs - NowMs());
    timespec timeout{static_cast<time_t>(left / 1000), static_cast<long>(left % 1000 * 1'000'000)};
    int ready = ppoll(fds.data(), fds.size(), &timeout, &waitMask);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0) {
      if (listener >= 0) {
        // Idle: stop taking conversations, but serve those already queued.
        unlink(socketPath.c_str());
        AcceptAll(listener, conversations);
        close(listener);
        listener = -1;
      } else {
        break;  // the queued ones have gone silent as well
      }
      lastActivity = NowMs();
      continue;
    }
    lastActivity = NowMs();
    size_t first = 0;
    if (listener >= 0) {
      if (fds[0].revents) AcceptAll(listener, conversations);
      first = 1;
    }
    // Conversations are served in the order they began, so that commands
    // from one conversation after another are carried out in that order;
    // newly accepted ones (past fds) wait for the next round.
    std::vector<bool> ended(conversations.size(), false);
    for (size_t i = first; i < fds.size(); ++i) {
      if (!fds[i].revents) continue;
      Conversation& c = conversations[i - first];
      if (!Serve(c, manager)) {
        close(c.fd);
        ended[i - first] = true;
      }
    }
    size_t kept = 0;
    for (size_t i = 0; i < conversations.size(); ++i)
      if (!ended[i]) conversations[kept++] = std::move(conversations[i]);
    conversations.resize(kept);
  }
  if (listener >= 0) {
    unlink(socketPath.c_str());
    close(listener);
  }
  for (const Conversation& c : conversations) close(c.fd);
  close(lock);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int idleSeconds = 30;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--idle-seconds" && i + 1 < argc) {
      int32_t n;
      if (!bytestr::ParseInt32(argv[++i], n) || n < 1) return 1;
      idleSeconds = n;
    } else if (arg.starts_with("--")) {
      return 1;
    }
  }

  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  sigset_t blocked;
  sigemptyset(&blocked);
  for (int s : {SIGTERM, SIGINT, SIGHUP}) {
    sigaction(s, &stop, nullptr);
    sigaddset(&blocked, s);
  }
  // Stop signals are taken only while waiting, so none is lost between a
  // check of the flag and the wait.
  sigprocmask(SIG_BLOCK, &blocked, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return Run(idleSeconds);
}
