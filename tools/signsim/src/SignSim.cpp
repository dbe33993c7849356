#include "signsim/SignSim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace signsim {
namespace {

// Bytes the pty holds for a program that is not reading; beyond it answers are dropped.
constexpr std::size_t kMaxPending = 64 * 1024;

int PollTimeout(std::optional<SteadyClock::time_point> deadline) {
  if (!deadline) return -1;
  auto left = std::chrono::ceil<milliseconds>(*deadline - SteadyClock::now()).count();
  if (left < 0) return 0;
  if (left > 60000) return 60000;
  return static_cast<int>(left);
}

}  // namespace

SignSim::SignSim(SignOptions options) : core_(std::move(options)) {
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

SignSim::~SignSim() {
  Stop();
  close(wakeFd_);
}

std::string SignSim::StartPty(const std::string& linkPath) {
  std::lock_guard lock(mutex_);
  if (stopped_) throw std::logic_error("the simulated sign is stopped");
  if (pty_) throw std::logic_error("the simulated sign already has a pseudo-terminal");
  pty_ = std::make_unique<Pty>(linkPath);
  core_.Open(kPtyConnection, "pty");
  core_.Note("pty on " + pty_->SlavePath() + (linkPath.empty() ? "" : " linked from " + linkPath));
  EnsureThread();
  Wake();
  return pty_->SlavePath();
}

std::uint16_t SignSim::StartTcp(std::uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "socket");
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    int e = errno;
    close(fd);
    throw std::system_error(e, std::generic_category(), "listen on 127.0.0.1:" + std::to_string(port));
  }
  std::uint16_t bound = ntohs(addr.sin_port);
  std::lock_guard lock(mutex_);
  if (stopped_ || listenFd_ >= 0) {
    close(fd);
    throw std::logic_error(stopped_ ? "the simulated sign is stopped" : "the simulated sign already listens");
  }
  listenFd_ = fd;
  core_.Note("listening on 127.0.0.1:" + std::to_string(bound));
  EnsureThread();
  Wake();
  return bound;
}

void SignSim::EnsureThread() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void SignSim::Wake() {
  std::uint64_t one = 1;
  [[maybe_unused]] auto n = write(wakeFd_, &one, sizeof one);
}

void SignSim::Stop() {
  std::thread t;
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
    t = std::move(thread_);
  }
  stop_ = true;
  Wake();
  if (t.joinable()) t.join();
  for (auto& c : clients_) {
    close(c.fd);
    core_.Close(c.id, "closed at stop");
  }
  clients_.clear();
  std::lock_guard lock(mutex_);
  if (listenFd_ >= 0) close(listenFd_);
  listenFd_ = -1;
  pty_.reset();
}

void SignSim::Run() {
  std::vector<pollfd> fds;
  char buf[4096];
  while (!stop_) {
    int master = -1, listener = -1;
    {
      std::lock_guard lock(mutex_);
      if (pty_) master = pty_->Master();
      listener = listenFd_;
    }
    fds.clear();
    fds.push_back({wakeFd_, POLLIN, 0});
    fds.push_back({master, static_cast<short>(POLLIN | (ptyOut_.empty() ? 0 : POLLOUT)), 0});
    fds.push_back({listener, POLLIN, 0});
    for (const auto& c : clients_)
      fds.push_back({c.fd, static_cast<short>(POLLIN | (c.out.empty() ? 0 : POLLOUT)), 0});

    int n = poll(fds.data(), fds.size(), PollTimeout(core_.NextDeadline()));
    if (n < 0 && errno != EINTR) break;
    auto now = SteadyClock::now();

    if (fds[0].revents & POLLIN) {
      std::uint64_t v;
      [[maybe_unused]] auto r = read(wakeFd_, &v, sizeof v);
    }
    if (master >= 0) {
      if (fds[1].revents & POLLIN) {
        for (;;) {
          ssize_t r = read(master, buf, sizeof buf);
          if (r <= 0) break;
          core_.Feed(kPtyConnection, std::string_view(buf, static_cast<std::size_t>(r)), now);
        }
      }
      if (fds[1].revents & POLLOUT) FlushOut(master, ptyOut_);
    }
    if (listener >= 0 && (fds[2].revents & POLLIN)) {
      for (;;) {
        int c = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (c < 0) break;
        Client cl;
        cl.fd = c;
        cl.id = nextId_++;
        core_.Open(cl.id, "tcp#" + std::to_string(cl.id - 1), dropAfter_.load());
        core_.Note("tcp#" + std::to_string(cl.id - 1) + " connected");
        clients_.push_back(std::move(cl));
      }
    }
    // Clients accepted just now are not in fds; only the first ones polled are looked at.
    std::size_t polled = fds.size() - 3;
    std::vector<std::size_t> dead;
    for (std::size_t i = 0; i < polled && i < clients_.size(); ++i) {
      auto& c = clients_[i];
      short ev = fds[3 + i].revents;
      bool gone = false;
      if (ev & (POLLIN | POLLHUP | POLLERR)) {
        for (;;) {
          ssize_t r = recv(c.fd, buf, sizeof buf, 0);
          if (r > 0) {
            core_.Feed(c.id, std::string_view(buf, static_cast<std::size_t>(r)), now);
            continue;
          }
          if (r == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) gone = true;
          break;
        }
      }
      if (gone) {
        dead.push_back(i);
        continue;
      }
      if (ev & POLLOUT) {
        ssize_t w = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (w > 0) c.out.erase(0, static_cast<std::size_t>(w));
        else if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) dead.push_back(i);
      }
    }
    for (auto it = dead.rbegin(); it != dead.rend(); ++it) DropClient(*it, "disconnected");

    now = SteadyClock::now();
    core_.Tick(now);
    HandleOutputs(now);
  }
}

void SignSim::HandleOutputs(SteadyClock::time_point now) {
  for (auto& o : core_.TakeDue(now)) {
    if (o.connection == kPtyConnection) {
      int master = -1;
      {
        std::lock_guard lock(mutex_);
        if (pty_) master = pty_->Master();
      }
      if (master < 0) continue;
      ptyOut_ += o.bytes;
      if (ptyOut_.size() > kMaxPending) ptyOut_.erase(0, ptyOut_.size() - kMaxPending);
      FlushOut(master, ptyOut_);
      continue;
    }
    for (std::size_t i = 0; i < clients_.size(); ++i) {
      auto& c = clients_[i];
      if (c.id != o.connection) continue;
      c.out += o.bytes;
      bool failed = false;
      while (!c.out.empty()) {
        ssize_t w = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (w > 0) {
          c.out.erase(0, static_cast<std::size_t>(w));
          continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) failed = true;
        break;
      }
      if (o.close) c.closeAfterOut = true;
      if (failed) DropClient(i, "disconnected");
      else if (c.closeAfterOut && c.out.empty()) DropClient(i, "dropped by the sign");
      break;
    }
  }
  // A drop waits for its answer to leave.
  for (std::size_t i = clients_.size(); i-- > 0;)
    if (clients_[i].closeAfterOut && clients_[i].out.empty()) DropClient(i, "dropped by the sign");
}

void SignSim::FlushOut(int fd, std::string& out) {
  while (!out.empty()) {
    ssize_t w = write(fd, out.data(), out.size());
    if (w > 0) {
      out.erase(0, static_cast<std::size_t>(w));
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    break;
  }
}

void SignSim::DropClient(std::size_t index, const char* why) {
  Client c = std::move(clients_[index]);
  clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(index));
  shutdown(c.fd, SHUT_RDWR);
  close(c.fd);
  core_.Close(c.id, why);
}

}  // namespace signsim
