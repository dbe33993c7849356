#include "comm/PosixLayer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "TestPortRecord.h"
#include "comm/CommExcept.h"

namespace {

using namespace comm;
using commtest::TestPortRecord;

// A pseudo-terminal pair with COM1 pointed at its slave.
class PtyTest : public testing::Test {
 protected:
  void SetUp() override {
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master_, &slave, name, nullptr, nullptr), 0);
    ::close(slave);  // the layer opens the slave by its path
    slavePath_ = name;
    ::setenv("LEDSIGN_COM1", slavePath_.c_str(), 1);
    InstallPosixLayer();
    layer_ = CurrentDeviceLayer();
  }
  void TearDown() override {
    ::unsetenv("LEDSIGN_COM1");
    if (master_ >= 0) ::close(master_);
    ResetDeviceLayerTable();
  }

  // Reads exactly `count` bytes from `fd` (non-blocking reads), or fewer after 2 s.
  static std::vector<std::uint8_t> ReadAll(int fd, std::size_t count, LayerReadProc layerRead = nullptr) {
    std::vector<std::uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      ::poll(&p, 1, 50);
      std::uint8_t buf[512];
      const std::int32_t want = static_cast<std::int32_t>(std::min(sizeof buf, count - got.size()));
      const long n = layerRead ? layerRead(fd, buf, want) : ::read(fd, buf, static_cast<std::size_t>(want));
      if (n > 0) got.insert(got.end(), buf, buf + n);
    }
    return got;
  }

  int master_ = -1;
  std::string slavePath_;
  DeviceLayerTable layer_{};
};

TEST_F(PtyTest, ComNumberOpensTheTtyRawBothWays) {
  EXPECT_EQ(ResolveDeviceName("\\\\.\\COM1"), slavePath_);
  const std::int32_t dev = layer_.Open("\\\\.\\COM1", 4096, 4096);
  ASSERT_GE(dev, 0) << GetLastDeviceError();
  EXPECT_TRUE(layer_.SetupQueues(dev, 4096, 4096));
  const int flags = ::fcntl(dev, F_GETFL);
  EXPECT_TRUE(flags & O_NONBLOCK);
  EXPECT_TRUE(::fcntl(dev, F_GETFD) & FD_CLOEXEC);

  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);

  // Out: what the output thread writes on the device reaches the peer unchanged.
  ASSERT_EQ(::write(dev, all.data(), all.size()), 256);
  EXPECT_EQ(ReadAll(master_, 256), all);

  // In: every byte value from the peer is read back unchanged through the layer.
  ASSERT_EQ(::write(master_, all.data(), all.size()), 256);
  EXPECT_EQ(ReadAll(dev, 256, layer_.Read), all);

  EXPECT_EQ(layer_.Close(dev), 0);
}

TEST_F(PtyTest, LineSettingsReachTheSlavesTermios) {
  const std::int32_t dev = layer_.Open("COM1", 4096, 4096);
  ASSERT_GE(dev, 0);
  Dcb dcb;
  ASSERT_EQ(layer_.GetState(dev, dcb), 0);
  dcb.BaudRate = 4800;
  dcb.ByteSize = 7;
  dcb.Parity = kEvenParity;
  dcb.StopBits = kTwoStopBits;
  ASSERT_EQ(layer_.SetState(dev, dcb), 0);

  // The slave's termios as another opener sees it. Linux ptys keep the rate
  // and the stop bits but force 8 data bits without parity whatever is asked,
  // so 7E is checked as far as the pty keeps it, and through the read-back.
  termios tio{};
  const int other = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::tcgetattr(other, &tio), 0);
  ::close(other);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B4800));
  EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B4800));
  EXPECT_TRUE(tio.c_cflag & CSTOPB);
  EXPECT_FALSE(tio.c_cflag & PARODD);
  // Raw: no translation, no signals, no echo.
  EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_FALSE(tio.c_oflag & OPOST);
  EXPECT_FALSE(tio.c_iflag & (ICRNL | ISTRIP | IXON));

  Dcb back;
  ASSERT_EQ(layer_.GetState(dev, back), 0);
  EXPECT_EQ(back.BaudRate, 4800u);
  EXPECT_EQ(back.ByteSize, 7);
  EXPECT_EQ(back.Parity, kEvenParity);
  EXPECT_EQ(back.StopBits, kTwoStopBits);

  dcb.BaudRate = 12345;  // no such speed: refused, termios unchanged
  EXPECT_EQ(layer_.SetState(dev, dcb), -1);
  ASSERT_EQ(::tcgetattr(master_, &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B4800));

  // A pseudo-terminal has no modem lines: the line calls still succeed.
  EXPECT_EQ(layer_.Escape(dev, kClrDtr), 0);
  EXPECT_EQ(layer_.Escape(dev, kSetRts), 0);
  EXPECT_EQ(layer_.SetBreak(dev), 0);
  EXPECT_EQ(layer_.ClearBreak(dev), 0);
  std::uint32_t lines = 123;
  EXPECT_TRUE(DeviceModemStatus(dev, lines));
  EXPECT_EQ(lines, 0u);
  EXPECT_EQ(layer_.Close(dev), 0);
}

TEST_F(PtyTest, MissingDeviceAndSecondOpen) {
  const std::string missing =
      (std::filesystem::temp_directory_path() / ("no_such_tty_" + std::to_string(::getpid()))).string();
  ::setenv("LEDSIGN_COM2", missing.c_str(), 1);
  EXPECT_EQ(layer_.Open("\\\\.\\COM2", 4096, 4096), -1);
  EXPECT_EQ(GetLastDeviceError(), 2u);
  EXPECT_EQ(OpenErrorToCode(GetLastDeviceError()), kErrBadId);
  EXPECT_THROW(RaiseForErrorCode(OpenErrorToCode(GetLastDeviceError())), EBadId);
  ::unsetenv("LEDSIGN_COM2");

  const std::int32_t first = layer_.Open("\\\\.\\COM1", 4096, 4096);
  ASSERT_GE(first, 0);
  EXPECT_EQ(layer_.Open("\\\\.\\COM1", 4096, 4096), -1);
  EXPECT_EQ(GetLastDeviceError(), 5u);
  EXPECT_EQ(OpenErrorToCode(GetLastDeviceError()), kErrAlreadyOpen);
  try {
    RaiseForErrorCode(OpenErrorToCode(GetLastDeviceError()));
    ADD_FAILURE() << "nothing raised";
  } catch (const EAlreadyOpen& e) {
    EXPECT_STREQ(e.what(), "ie_Open - device already open");
  }
  // Closing frees the device for the next opener.
  EXPECT_EQ(layer_.Close(first), 0);
  const std::int32_t again = layer_.Open("\\\\.\\COM1", 4096, 4096);
  EXPECT_GE(again, 0);
  EXPECT_EQ(layer_.Close(again), 0);
}

TEST_F(PtyTest, WritesGoToTheOwningPortsRing) {
  const std::int32_t dev = layer_.Open("COM1", 4096, 4096);
  ASSERT_GE(dev, 0);
  const std::uint8_t data[] = {'{', 'E', '}'};
  std::uint8_t buf[4];
  EXPECT_EQ(layer_.Write(dev, data, 3), kErrDeviceNotOpen);  // no port owns it yet
  ComStat stat;
  EXPECT_EQ(layer_.GetError(dev, stat), kErrDeviceNotOpen);
  {
    TestPortRecord record(4, dev, layer_, 8);
    EXPECT_EQ(layer_.Write(dev, data, 3), 3);
    EXPECT_EQ(record.wakes, 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record.ring_.data()), 3), "{E}");
    // Nothing reaches the device from the layer itself: the output thread sends.
    pollfd p{master_, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 50), 0);

    ASSERT_EQ(::write(master_, "ab", 2), 2);
    ::poll(&p, 0, 50);
    EXPECT_EQ(layer_.GetError(dev, stat), 0);
    EXPECT_EQ(stat.cbOutQue, 3u);
    EXPECT_EQ(stat.cbInQue, 2u);
    record.outRing.full = true;
    record.outRing.appendPos = record.outRing.sendPos = 2;
    EXPECT_EQ(layer_.GetError(dev, stat), 0);
    EXPECT_EQ(stat.cbOutQue, 8u);

    // Output flush: the output thread is stopped and the ring emptied.
    EXPECT_EQ(layer_.Flush(dev, 0), 0);
    EXPECT_EQ(record.aborts, 1);
    EXPECT_FALSE(record.outRing.full);
    EXPECT_EQ(layer_.GetError(dev, stat), 0);
    EXPECT_EQ(stat.cbOutQue, 0u);
    // Input flush drops what the device holds.
    EXPECT_EQ(layer_.Flush(dev, 1), 0);
    EXPECT_EQ(layer_.Read(dev, buf, 4), 0);
  }
  EXPECT_EQ(layer_.UngetChar(dev, 'x'), kErrNotSupported);
  EXPECT_EQ(layer_.Close(dev), 0);
  EXPECT_EQ(layer_.Read(dev, buf, 4), kErrDeviceNotOpen);
  EXPECT_EQ(layer_.Read(9999, buf, 4), kErrDeviceNotOpen);
}

TEST_F(PtyTest, ReleasingAnAdoptedHandleKeepsTheOwnersDescriptor) {
  const int owner = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(owner, 0);
  layer_.AdoptHandle(owner, true);
  EXPECT_TRUE(layer_.SetupQueues(owner, 16, 16));
  // Adoption leaves the line settings alone (this one is still canonical).
  ASSERT_EQ(::write(master_, "q\n", 2), 2);
  std::uint8_t c = 0;
  EXPECT_EQ(ReadAll(owner, 2, layer_.Read), (std::vector<std::uint8_t>{'q', '\n'}));
  layer_.AdoptHandle(owner, false);
  EXPECT_NE(::fcntl(owner, F_GETFD), -1) << "the owner's descriptor was closed";
  EXPECT_EQ(layer_.Read(owner, &c, 1), kErrDeviceNotOpen);
  layer_.AdoptHandle(owner, false);  // a second release does nothing
  EXPECT_NE(::fcntl(owner, F_GETFD), -1);
  ::close(owner);
}

// The device's own output queue as the layer reads it: a pseudo-terminal
// hands its bytes on and answers 0; once its far end has gone the tty is hung
// up and the question fails (EIO), as a real line's does, so that a send sees
// the line went away rather than a queue that emptied.
TEST_F(PtyTest, TheDeviceQueueOfAHungUpLineCannotBeAsked) {
  const std::int32_t dev = layer_.Open("\\\\.\\COM1", 4096, 4096);
  ASSERT_GE(dev, 0) << GetLastDeviceError();
  ASSERT_NE(layer_.OutQueue, nullptr);
  ASSERT_EQ(::write(dev, "abc", 3), 3);
  EXPECT_EQ(layer_.OutQueue(dev), 0);
  ::close(master_);
  master_ = -1;
  SetLastDeviceError(0);
  EXPECT_LT(layer_.OutQueue(dev), 0);
  EXPECT_NE(GetLastDeviceError(), 0);
  EXPECT_EQ(layer_.Close(dev), 0);
}

// An error of a port's line names the port and the device it stands for, once.
TEST(PosixLayer, AnErrorOfALineNamesThePort) {
  ::setenv("LEDSIGN_COM4", "/dev/pts/77", 1);
  EXPECT_EQ(ComPortErrorText(4, "Failed to put entire block"), "COM4 (/dev/pts/77): Failed to put entire block");
  EXPECT_EQ(ComPortErrorText(4, "/dev/pts/77 does not exist (is the device plugged in?)"),
            "COM4: /dev/pts/77 does not exist (is the device plugged in?)");
  ::unsetenv("LEDSIGN_COM4");
  EXPECT_EQ(ComPortErrorText(4, "x"), "COM4 (/dev/ttyS3): x");
}

TEST(PosixLayer, ComPathsFromTheEnvironment) {
  ::unsetenv("LEDSIGN_COM3");
  EXPECT_EQ(ComDevicePath(3), "/dev/ttyS2");
  EXPECT_EQ(ResolveDeviceName("\\\\.\\COM3"), "/dev/ttyS2");
  ::setenv("LEDSIGN_COM50", "/dev/pts/77", 1);
  EXPECT_EQ(ResolveDeviceName("com50"), "/dev/pts/77");
  ::unsetenv("LEDSIGN_COM50");
  EXPECT_EQ(ResolveDeviceName("/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(ResolveDeviceName("COM51"), "COM51");
  Dcb dcb;
  const DeviceLayerTable& t = PosixDeviceLayer();
  ASSERT_EQ(t.BuildDCB("4800,E,7,2", dcb), 0);
  EXPECT_EQ(dcb.BaudRate, 4800u);
  EXPECT_EQ(dcb.Parity, kEvenParity);
  EXPECT_EQ(dcb.ByteSize, 7);
  EXPECT_EQ(dcb.StopBits, kTwoStopBits);
  ASSERT_EQ(t.BuildDCB("baud=19200 parity=N data=8 stop=1", dcb), 0);
  EXPECT_EQ(dcb.BaudRate, 19200u);
  EXPECT_EQ(dcb.Parity, kNoParity);
  EXPECT_EQ(t.BuildDCB("4800,Q,7,2", dcb), -1);
  EXPECT_EQ(dcb.BaudRate, 19200u);  // a refused definition changes nothing
}

}  // namespace
