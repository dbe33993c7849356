// The wait for a port's output to leave the machine: the dispatcher's ring,
// then the device's own queue. A hang-up before the device's queue is empty
// fails the wait; one after it does not. The fake layer stands for a device
// with a queue of its own (a UART); a pseudo-terminal hands its bytes on at
// once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <string>

#include "DispatchTestSupport.h"
#include "SlowFakeLine.h"
#include "comm/CommExcept.h"
#include "comm/FakeLayer.h"

namespace {

using namespace dispatch_test;
using namespace std::chrono;
using comm_test::SlowFakeLine;
namespace fake = comm::fake;

std::string Bytes(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

std::int32_t Queue(std::uint16_t port, const std::string& bytes) {
  return comm::WriteBlock(port, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                          static_cast<std::uint16_t>(bytes.size()));
}

// A wait on a thread of its own, as the sender runs it, that the test can cancel.
class Drain {
 public:
  explicit Drain(std::uint16_t port)
      : port_(port), result_(std::async(std::launch::async, [this] {
          const std::int32_t r = comm::WaitOutputSent(port_, [this] { return cancel_.load(); });
          ended_ = steady_clock::now();
          return r;
        })) {}
  void Cancel() {
    cancel_.store(true);
    comm::WakeOutputWaiters(port_);
  }
  bool Ended(milliseconds within) { return result_.wait_for(within) == std::future_status::ready; }
  std::int32_t Result() { return result_.get(); }
  steady_clock::time_point EndedAt() const { return ended_; }

 private:
  std::uint16_t port_;
  std::atomic<bool> cancel_{false};
  steady_clock::time_point ended_{};
  std::future<std::int32_t> result_;
};

class DrainOnAQueueingDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::InstallFakeLayer();
    ASSERT_EQ(comm::OpenPortRecord(port, "\\\\.\\COM9", 4096, 4096, 9600, 0, 8, 1), 0);
    device = comm::PortDevice(port);
    ASSERT_GE(device, 0);
  }
  void TearDown() override {
    EXPECT_EQ(comm::ClosePortRecord(port), 0);
    comm::InstallPosixLayer();
  }
  std::uint16_t port = 0;
  std::int32_t device = -1;
};

TEST_F(DrainOnAQueueingDevice, EndsOnlyOnceTheDeviceHasSentEverything) {
  // 1500 bytes at 2000 bytes a second: the ring empties at once, the device
  // takes three quarters of a second.
  const std::string bytes = Bytes(1500);
  ASSERT_EQ(Queue(port, bytes), 0);
  SlowFakeLine line(device, 2000);
  Drain drain(port);
  ASSERT_TRUE(drain.Ended(5s));
  EXPECT_EQ(drain.Result(), 0);
  EXPECT_EQ(line.Got(), bytes);
  EXPECT_GE(drain.EndedAt(), line.LastRead()) << "the wait ended while the device still held bytes";
}

TEST_F(DrainOnAQueueingDevice, AHangUpBeforeTheDeviceQueueIsEmptyFailsIt) {
  // The far end reads 600 of 1500 bytes, then hangs up with the rest queued.
  ASSERT_EQ(Queue(port, Bytes(1500)), 0);
  SlowFakeLine line(device, 2000, 600);
  Drain drain(port);
  ASSERT_TRUE(drain.Ended(5s));
  EXPECT_EQ(drain.Result(), comm::kErrPutBlockFail);
  EXPECT_TRUE(line.HungUp());
  EXPECT_EQ(line.Got().size(), 600u);
  EXPECT_LT(drain.EndedAt() - line.LastRead(), 500ms) << "the hang-up ends the wait at once";
  EXPECT_TRUE(comm::PortDeviceFailed(port));
}

TEST_F(DrainOnAQueueingDevice, AHangUpWhileTheDeviceStillHeldBytesFailsALaterWait) {
  // The far end hangs up with the bytes unread, before the wait begins.
  ASSERT_EQ(Queue(port, Bytes(300)), 0);
  ASSERT_TRUE(PumpUntil([&] { return comm::OutBuffUsed(port) == 0; }));
  fake::HangUp(device);
  ASSERT_TRUE(PumpUntil([&] { return comm::PortDeviceFailed(port); }));
  Drain drain(port);
  ASSERT_TRUE(drain.Ended(3s));
  EXPECT_EQ(drain.Result(), comm::kErrPutBlockFail);
}

// A real line that hung up answers the question for its device queue with an
// error (a pseudo-terminal always answers 0): that answer alone fails the
// wait, marks the device failed (so the next job opens it again) and takes no
// more bytes, before any hang-up is seen on the descriptor. (A device that
// answers is waited for: EndsOnlyOnceTheDeviceHasSentEverything.)
TEST_F(DrainOnAQueueingDevice, ADeviceQueueThatCannotBeAskedMarksTheDeviceFailed) {
  ASSERT_EQ(Queue(port, Bytes(300)), 0);
  ASSERT_TRUE(PumpUntil([&] { return comm::OutBuffUsed(port) == 0; }));
  EXPECT_FALSE(comm::PortDeviceFailed(port));
  fake::HangUpUnseen(device);
  Drain drain(port);
  ASSERT_TRUE(drain.Ended(3s));
  EXPECT_EQ(drain.Result(), comm::kErrPutBlockFail);
  EXPECT_TRUE(comm::PortDeviceFailed(port));
  EXPECT_EQ(Queue(port, "late"), comm::kErrPutBlockFail);
}

TEST_F(DrainOnAQueueingDevice, AHangUpAfterTheDeviceSentEverythingIsNoFailure) {
  const std::string bytes = Bytes(200);
  ASSERT_EQ(Queue(port, bytes), 0);
  {
    SlowFakeLine line(device, 4000);
    ASSERT_TRUE(PumpUntil([&] { return line.Got().size() == bytes.size(); }));
  }
  Drain first(port);
  ASSERT_TRUE(first.Ended(3s));
  ASSERT_EQ(first.Result(), 0);
  fake::HangUp(device);
  ASSERT_TRUE(PumpUntil([&] { return comm::PortDeviceFailed(port); }));
  Drain again(port);
  ASSERT_TRUE(again.Ended(3s));
  EXPECT_EQ(again.Result(), 0) << "the bytes had left before the far end hung up";
  // What is queued after the hang-up does not leave.
  EXPECT_EQ(Queue(port, "late"), comm::kErrPutBlockFail);
}

TEST_F(DrainOnAQueueingDevice, ACancelDuringALongDrainEndsItAtOnce) {
  // 4000 bytes the far end never reads: at 9600 bit/s the wait could last
  // over four seconds.
  ASSERT_EQ(Queue(port, Bytes(4000)), 0);
  SlowFakeLine line(device, 0);
  Drain drain(port);
  EXPECT_FALSE(drain.Ended(500ms)) << "a full device queue is waited for";
  const auto cancelledAt = steady_clock::now();
  drain.Cancel();
  ASSERT_TRUE(drain.Ended(1s));
  EXPECT_EQ(drain.Result(), comm::kErrPutBlockFail);
  EXPECT_LT(drain.EndedAt() - cancelledAt, 100ms);
}

TEST_F(DrainOnAQueueingDevice, ADeviceThatNeverSendsIsGivenUpAfterItsLineTimeAndAMargin) {
  // 192 bytes take 200 ms at 9600 bit/s (ten bits a byte).
  ASSERT_EQ(Queue(port, Bytes(192)), 0);
  SlowFakeLine line(device, 0);
  const auto start = steady_clock::now();
  Drain drain(port);
  ASSERT_TRUE(drain.Ended(6s));
  EXPECT_EQ(drain.Result(), comm::kErrOutputBufferTooSmall);
  const auto took = drain.EndedAt() - start;
  EXPECT_GE(took, milliseconds(200 + comm::kOutputRoomMarginMs));
  EXPECT_LT(took, milliseconds(200 + comm::kOutputRoomMarginMs + 1000));
}

TEST_F(DrainOnAQueueingDevice, ABlockQueuedDuringTheWaitIsWaitedForToo) {
  SlowFakeLine line(device, 3000);
  ASSERT_EQ(Queue(port, Bytes(600)), 0);
  Drain drain(port);
  std::this_thread::sleep_for(50ms);
  ASSERT_EQ(Queue(port, Bytes(600)), 0);
  ASSERT_TRUE(drain.Ended(5s));
  EXPECT_EQ(drain.Result(), 0);
  EXPECT_EQ(line.Got().size(), 1200u);
  EXPECT_GE(drain.EndedAt(), line.LastRead());
}

// On a pseudo-terminal the device holds nothing once it has taken the bytes.
TEST(DrainOnAPseudoTerminal, EndsOnceTheFarEndCanReadEverything) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  const std::string bytes = Bytes(3000);
  ASSERT_EQ(Queue(port, bytes), 0);
  Drain drain(port);
  ASSERT_TRUE(drain.Ended(3s));
  EXPECT_EQ(drain.Result(), 0);
  EXPECT_EQ(pty.Read(bytes.size()), bytes);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(DrainOnAPseudoTerminal, AFarEndThatReadEverythingAndHungUpHadItAll) {
  // The wait begins only after the hang-up: what counts is that the device
  // had taken the bytes before it.
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  const std::string bytes = Bytes(500);
  ASSERT_EQ(Queue(port, bytes), 0);
  ASSERT_EQ(pty.Read(bytes.size()), bytes);
  // The far end hangs up once the port has seen its ring empty: a hang-up
  // that came sooner could not be told from one that cut the bytes off.
  ASSERT_TRUE(PumpUntil([&] { return comm::OutBuffUsed(port) == 0; }));
  pty.CloseMaster();
  ASSERT_TRUE(PumpUntil([&] { return comm::PortDeviceFailed(port); }));
  Drain drain(port);
  ASSERT_TRUE(drain.Ended(3s));
  EXPECT_EQ(drain.Result(), 0);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(DrainOnAPseudoTerminal, AHangUpWithBytesStillQueuedFailsIt) {
  // More than a pseudo-terminal takes unread: the rest waits in the ring
  // when the far end hangs up.
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port, 4096, 60000), 0);
  ASSERT_EQ(Queue(port, Bytes(60000)), 0);
  std::int32_t used = 0;
  ASSERT_TRUE(PumpUntil([&] {
    const std::int32_t now = comm::OutBuffUsed(port);
    const bool settled = now == used && now > 0;
    used = now;
    std::this_thread::sleep_for(20ms);
    return settled;
  }));
  pty.CloseMaster();
  Drain drain(port);
  ASSERT_TRUE(drain.Ended(3s));
  EXPECT_EQ(drain.Result(), comm::kErrPutBlockFail);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

}  // namespace
