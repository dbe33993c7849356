// Opens the POSIX layer refuses, each with a reason that names the device:
// something that is not a terminal (a file, a folder, a socket, a FIFO, the
// pseudo-terminal multiplexer), a device that is missing, and a device the
// user may not open.
#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <fstream>

#include "SerialPortTestSupport.h"
#include "comm/CommExcept.h"

namespace {

using namespace serialport_test;
using comm::TVnkComPort;

// The message of what opening COM n raises, or "" when it opened or raised
// something else.
template <typename Expected>
std::string OpenFailure(int n) {
  TVnkComPort port;
  port.SetComNumber(static_cast<std::uint16_t>(n));
  try {
    port.SetOpen(true);
  } catch (const Expected& e) {
    EXPECT_FALSE(port.Open());
    return e.what();
  } catch (const std::exception& e) {
    ADD_FAILURE() << "raised another error: " << e.what();
  }
  return "";
}

struct NotTerminalCase {
  const char* what;
  std::string path;
};

TEST(SerialPortRefusal, ANonTerminalIsRefusedAndNamed) {
  TempDir dir;
  const std::string file = dir.File("plain.txt");
  std::ofstream(file) << "not a port";
  for (const NotTerminalCase& c : {NotTerminalCase{"the null device", "/dev/null"},
                                   NotTerminalCase{"the zero device", "/dev/zero"},
                                   NotTerminalCase{"a regular file", file}}) {
    SCOPED_TRACE(c.what);
    ScopedComPath com(5, c.path);
    EXPECT_EQ(OpenFailure<comm::EBadId>(5), c.path + " is not a serial device");
    EXPECT_EQ(comm::OpenPortCount(), 0) << "no port threads run on it";
  }
}

// A listening socket at `path`, closed with the object.
class UnixSocketAt {
 public:
  explicit UnixSocketAt(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
             ::listen(fd_, 1) == 0;
  }
  ~UnixSocketAt() {
    if (fd_ >= 0) ::close(fd_);
  }
  UnixSocketAt(const UnixSocketAt&) = delete;
  UnixSocketAt& operator=(const UnixSocketAt&) = delete;
  bool Bound() const { return bound_; }

 private:
  int fd_;
  bool bound_ = false;
};

TEST(SerialPortRefusal, WhatIsNoSerialDeviceIsRefusedAndNamed) {
  TempDir dir;
  const std::string folder = dir.File("a folder");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  const std::string socketPath = dir.File("sock");
  UnixSocketAt socket(socketPath);
  ASSERT_TRUE(socket.Bound());
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = dir.File("to-the-multiplexer");
  ASSERT_EQ(::symlink("/dev/ptmx", link.c_str()), 0);
  // The multiplexer makes a new pseudo-terminal at each open and hands back
  // its master: no port of a sign.
  for (const NotTerminalCase& c : {NotTerminalCase{"a folder", folder}, NotTerminalCase{"a socket", socketPath},
                                   NotTerminalCase{"a FIFO", fifo},
                                   NotTerminalCase{"the pseudo-terminal multiplexer", "/dev/ptmx"},
                                   NotTerminalCase{"a link to the multiplexer", link}}) {
    SCOPED_TRACE(c.what);
    ScopedComPath com(5, c.path);
    EXPECT_EQ(OpenFailure<comm::EBadId>(5), c.path + " is not a serial device");
    EXPECT_EQ(comm::OpenPortCount(), 0);
  }
}

TEST(SerialPortRefusal, APseudoTerminalsSlaveIsStillAPort) {
  PtyCom com(5);
  TVnkComPort port;
  port.SetComNumber(5);
  EXPECT_NO_THROW(port.SetOpen(true));
  EXPECT_TRUE(port.Open());
}

TEST(SerialPortRefusal, AMissingDeviceIsRefusedAndNamed) {
  // A USB adapter that was pulled leaves no node behind.
  TempDir dir;
  const std::string path = dir.File("ttyUSB9");
  ScopedComPath com(5, path);
  EXPECT_EQ(OpenFailure<comm::EBadId>(5), path + " does not exist (is the device plugged in?)");
  EXPECT_EQ(comm::OpenPortCount(), 0);
}

// Takes away, on this thread only, the capabilities that let a superuser
// open any file; a user without them is untouched.
class WithoutFileOverride {
 public:
  WithoutFileOverride() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    have_ = ::syscall(SYS_capget, &header_, saved_) == 0;
    if (!have_) return;
    __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    ::syscall(SYS_capset, &header_, reduced);
  }
  ~WithoutFileOverride() {
    if (have_) ::syscall(SYS_capset, &header_, saved_);
  }
  WithoutFileOverride(const WithoutFileOverride&) = delete;
  WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool have_ = false;
};

TEST(SerialPortRefusal, PermissionDeniedIsAnAccessErrorNotAlreadyOpen) {
  PtyCom com(6);
  const std::string& path = com.pty.SlavePath();
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  std::string message;
  {
    WithoutFileOverride user;
    message = OpenFailure<comm::EInOutError>(6);
  }
  ::chmod(path.c_str(), before.st_mode & 07777);
  EXPECT_EQ(message, "No permission to open " + path +
                         ": the user needs access to the device (on Debian, membership of the "
                         "dialout group)");
  EXPECT_EQ(comm::OpenPortCount(), 0);
  // With access back the same port opens.
  TVnkComPort port;
  port.SetComNumber(6);
  EXPECT_NO_THROW(port.SetOpen(true));
  EXPECT_TRUE(port.Open());
}

}  // namespace
