#pragma once
// Plain POSIX I/O for the peer tests: a tty opened as a program opens its COM
// port, a loopback TCP client, reads bounded by time.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "TestBytes.h"

namespace peerio {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

inline int OpenTty(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  tcflush(fd, TCIOFLUSH);
  return fd;
}

inline int ConnectTcp(std::uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("cannot connect to port " + std::to_string(port));
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  return fd;
}

inline void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t w = write(fd, bytes.data() + done, bytes.size() - done);
    if (w > 0) {
      done += static_cast<std::size_t>(w);
    } else if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 100);
    } else {
      throw std::runtime_error("write failed");
    }
  }
}

struct ReadResult {
  std::string bytes;
  bool eof = false;
  int reads = 0;  // separate reads that brought bytes
  Clock::time_point first{}, last{};
};

// Reads until `want` bytes came, the peer closed, or the time ran out.
inline ReadResult ReadSome(int fd, std::size_t want, milliseconds timeout) {
  ReadResult r;
  auto end = Clock::now() + timeout;
  char buf[512];
  while (r.bytes.size() < want) {
    auto left = std::chrono::ceil<milliseconds>(end - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      auto now = Clock::now();
      if (r.bytes.empty()) r.first = now;
      r.last = now;
      ++r.reads;
      r.bytes.append(buf, static_cast<std::size_t>(n));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      r.eof = true;
      break;
    }
  }
  return r;
}

inline std::string ReadFor(int fd, milliseconds time) { return ReadSome(fd, SIZE_MAX, time).bytes; }

// Reads until the text holds `needle` (or the time ran out); returns all read.
inline std::string ReadUntil(int fd, const std::string& needle, milliseconds timeout) {
  std::string got;
  auto end = Clock::now() + timeout;
  while (got.find(needle) == std::string::npos) {
    auto left = std::chrono::ceil<milliseconds>(end - Clock::now());
    if (left.count() <= 0) break;
    auto r = ReadSome(fd, 1, left);
    got += r.bytes;
    if (r.eof) break;
  }
  return got;
}

// The bytes of a record on the link, laid out by hand: the text, then the
// CRC of the bytes between its first and last character, high byte first.
inline std::string LinkRecord(const std::string& text) {
  std::uint16_t crc = text.size() < 3 ? 0 : testbytes::BitwiseCrc(text.substr(1, text.size() - 2));
  return text + static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF);
}
inline std::string LinkRecordWithCrc(const std::string& text, std::uint16_t crc) {
  return text + static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF);
}

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    std::string t = (std::filesystem::temp_directory_path() / "peersim-XXXXXX").string();
    if (!mkdtemp(t.data())) throw std::runtime_error("mkdtemp");
    path = t;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

}  // namespace peerio
