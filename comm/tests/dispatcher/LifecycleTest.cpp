// Opening and closing: the slot limit, failed opens, a handler closing its
// own port, a busy GUI thread, and many cycles under traffic.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "DispatchTestSupport.h"
#include "comm/CommExcept.h"

namespace {
using namespace dispatch_test;

TEST(DispatcherLifecycle, TheFiftyFirstOpenFailsAndAClosedSlotIsReused) {
  std::vector<std::unique_ptr<Pty>> ptys;
  std::vector<std::uint16_t> ports;
  for (int i = 0; i < 51; ++i) ptys.push_back(std::make_unique<Pty>());
  for (int i = 0; i < 50; ++i) {
    std::uint16_t port = 0;
    ASSERT_EQ(OpenPty(*ptys[i], port), 0) << i;
    EXPECT_EQ(port, i + 1);
    ports.push_back(port);
  }
  std::uint16_t extra = 0;
  EXPECT_EQ(OpenPty(*ptys[50], extra), comm::kErrNoHandles);
  EXPECT_EQ(comm::ClosePortRecord(ports[16]), 0);
  EXPECT_FALSE(comm::ValidPortHandle(ports[16]));
  ASSERT_EQ(OpenPty(*ptys[50], extra), 0);
  EXPECT_EQ(extra, 17);
  ports[16] = extra;
  for (const auto port : ports) EXPECT_EQ(comm::ClosePortRecord(port), 0);
  EXPECT_EQ(comm::OpenPortCount(), 0);
}

TEST(DispatcherLifecycle, RefusedLineSettingsFailAtOnceAndFreeTheSlot) {
  Pty pty;
  comm::InstallPosixLayer();
  std::uint16_t port = 0;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(comm::OpenPortRecord(port, pty.path, 4096, 4096, 12345, 0, 8, 1), comm::kErrNotSupported);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
  EXPECT_EQ(comm::OpenPortCount(), 0);
  // The device was let go as well: it opens again.
  ASSERT_EQ(OpenPty(pty, port), 0);
  EXPECT_EQ(port, 1);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(DispatcherLifecycle, AMissingDeviceGivesTheSystemError) {
  comm::InstallPosixLayer();
  std::uint16_t port = 0;
  EXPECT_EQ(comm::OpenPortRecord(port, "/dev/no-such-tty-here", 4096, 4096, 9600, 0, 8, 1), -2);
  EXPECT_EQ(comm::OpenPortCount(), 0);
  EXPECT_EQ(comm::ClosePortRecord(0), comm::kErrBadHandle);
  EXPECT_EQ(comm::ClosePortRecord(51), comm::kErrBadHandle);
  EXPECT_EQ(comm::CharsAvailable(7), 0);
}

TEST(DispatcherLifecycle, OpeningOnAHandleKeepsTheLineSettings) {
  Pty pty;
  termios tio{};
  ASSERT_EQ(::tcgetattr(pty.slave, &tio), 0);
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B2400);
  ::cfsetospeed(&tio, B2400);
  ASSERT_EQ(::tcsetattr(pty.slave, TCSANOW, &tio), 0);
  comm::InstallPosixLayer();
  std::uint16_t port = 0;
  ASSERT_EQ(comm::OpenPortOnHandle(port, pty.slave, 4096, 4096), 0);
  std::uint32_t baud = 0;
  std::uint16_t parity = 9;
  std::uint8_t stop = 0, bits = 0;
  ASSERT_EQ(comm::GetLineParams(port, baud, parity, stop, bits), 0);
  EXPECT_EQ(baud, 2400u);
  ASSERT_EQ(comm::WriteBlock(port, reinterpret_cast<const std::uint8_t*>("hi"), 2), 0);
  EXPECT_EQ(pty.Read(2), "hi");
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
  EXPECT_GE(::fcntl(pty.slave, F_GETFD), 0);  // the owner's descriptor stays open
}

TEST(DispatcherLifecycle, AHandlerThatClosesItsOwnPort) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  RecordingWindow older(port), closer(port);
  std::int32_t closeResult = 1;
  closer.onDelivery = [&](const Delivery&) { closeResult = comm::ClosePortRecord(port); };
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &older, nullptr, true), 0);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &closer, nullptr, true), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, 1), 0);
  ASSERT_TRUE(pty.Write("bye"));
  ASSERT_TRUE(PumpUntil([&] { return !closer.deliveries.empty(); }));
  EXPECT_EQ(closeResult, 0);
  EXPECT_FALSE(comm::ValidPortHandle(port));
  ASSERT_TRUE(PumpUntil([] { return comm::OpenPortCount() == 0; }));  // freed by the dispatch thread
  PumpFor(100ms);
  EXPECT_TRUE(older.deliveries.empty());
  EXPECT_EQ(closer.deliveries.size(), 1u);
  std::uint16_t again = 0;
  ASSERT_EQ(OpenPty(pty, again), 0);
  EXPECT_EQ(comm::ClosePortRecord(again), 0);
}

// The device closes with the close itself, not when the dispatch thread
// is done: a handler can open it again at once, on the GUI thread or on the
// dispatch thread.
struct ReopenInHandler {
  const Pty* pty = nullptr;
  std::atomic<std::int32_t> reopened{1};
  std::atomic<std::uint16_t> handle{0};
};
ReopenInHandler g_reopen;

std::int32_t CloseAndReopen(std::uint16_t port) {
  comm::ClosePortRecord(port);
  std::uint16_t again = 0;
  const std::int32_t result = comm::OpenPortRecord(again, g_reopen.pty->path, 4096, 4096, 9600, 0, 8, 1);
  g_reopen.handle = again;
  return result;
}

std::int32_t ReopeningProc(std::intptr_t, std::uint32_t message, std::uint32_t, std::uint32_t) {
  if (g_reopen.reopened.load() == 1) g_reopen.reopened = CloseAndReopen(static_cast<std::uint16_t>(message >> 16));
  return 0;
}

TEST(DispatcherLifecycle, AHandlerThatClosesItsPortCanOpenTheDeviceAgainAtOnce) {
  for (bool onDispatchThread : {false, true}) {
    SCOPED_TRACE(onDispatchThread ? "procedure handler" : "window handler");
    Pty pty;
    std::uint16_t port = 0;
    ASSERT_EQ(OpenPty(pty, port), 0);
    g_reopen.pty = &pty;
    g_reopen.reopened = 1;
    g_reopen.handle = 0;
    RecordingWindow window(port);
    window.readOnAvail = false;
    window.onDelivery = [&](const Delivery&) {
      if (g_reopen.reopened.load() == 1) g_reopen.reopened = CloseAndReopen(port);
    };
    if (onDispatchThread) {
      ASSERT_EQ(comm::RegisterTriggerWindow(port, nullptr, ReopeningProc, true), 0);
    } else {
      ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
    }
    ASSERT_EQ(comm::SetTriggerLength(port, 1), 0);
    ASSERT_TRUE(pty.Write("x"));
    ASSERT_TRUE(PumpUntil([] { return g_reopen.reopened.load() != 1; }));
    EXPECT_EQ(g_reopen.reopened.load(), 0) << "the device was still held by the closed port";
    ASSERT_TRUE(PumpUntil([] { return comm::OpenPortCount() == 1; }));
    // The new port has the line.
    const std::uint16_t again = g_reopen.handle.load();
    ASSERT_TRUE(pty.Write("yz"));
    EXPECT_TRUE(PumpUntil([&] { return comm::CharsAvailable(again) >= 2; }));
    EXPECT_EQ(comm::ClosePortRecord(again), 0);
    EXPECT_EQ(comm::OpenPortCount(), 0);
  }
}

std::atomic<int> g_procCalls{0};
std::int32_t ClosingProc(std::intptr_t, std::uint32_t message, std::uint32_t, std::uint32_t) {
  ++g_procCalls;
  comm::ClosePortRecord(static_cast<std::uint16_t>(message >> 16));
  return 0;
}

TEST(DispatcherLifecycle, AProcedureHandlerThatClosesItsPortOnTheDispatchThread) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  g_procCalls = 0;
  ASSERT_EQ(comm::RegisterTriggerWindow(port, nullptr, ClosingProc, true), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, 1), 0);
  ASSERT_TRUE(pty.Write("x"));
  ASSERT_TRUE(PumpUntil([] { return comm::OpenPortCount() == 0; }));
  EXPECT_EQ(g_procCalls.load(), 1);
}

TEST(DispatcherLifecycle, ABusyGuiThreadPassesTheDeliveryOverAndGetsTheBytesLater) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  RecordingWindow window(port);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, 1), 0);
  ASSERT_TRUE(pty.Write("abc"));
  std::this_thread::sleep_for(1500ms);  // the GUI thread does not look at its events
  ASSERT_TRUE(PumpUntil([&] { return !window.deliveries.empty(); }));
  PumpFor(200ms);
  // The delivery offered during the block never ran late; the bytes came in
  // one delivery after it.
  ASSERT_EQ(window.deliveries.size(), 1u) << Describe(window.deliveries);
  EXPECT_EQ(window.deliveries[0], (Delivery{comm::MsgTriggerAvail, 3, 0, "abc"}));
  ASSERT_TRUE(pty.Write("d"));
  ASSERT_TRUE(PumpUntil([&] { return window.deliveries.size() == 2; }));
  EXPECT_EQ(window.deliveries[1], (Delivery{comm::MsgTriggerAvail, 1, 0, "d"}));
  comm::DeregisterTriggerHandler(port, &window, nullptr);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(DispatcherLifecycle, ClosingWhileADeliveryWaitsForTheGuiThreadDoesNotHang) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  RecordingWindow window(port);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, 1), 0);
  ASSERT_TRUE(pty.Write("abc"));
  std::this_thread::sleep_for(100ms);  // the delivery now waits for this thread
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  PumpFor(50ms);
  EXPECT_TRUE(window.deliveries.empty());
}

std::int32_t ReadingProc(std::intptr_t, std::uint32_t message, std::uint32_t wParam, std::uint32_t) {
  const auto port = static_cast<std::uint16_t>(message >> 16);
  if ((message & 0xFFFF) != comm::MsgTriggerAvail) return 0;
  for (std::uint32_t i = 0; i < wParam; ++i) {
    std::uint8_t b;
    comm::ReadChar(port, b);
  }
  return 0;
}

TEST(DispatcherLifecycle, TwoHundredOpenCloseCyclesUnderTraffic) {
  Pty pty;
  std::atomic<bool> stop{false};
  std::atomic<std::size_t> drained{0};
  std::thread peer([&] {
    char buffer[512];
    while (!stop) {
      pty.Write(std::string(64, 'p'), 50ms);
      const ssize_t n = ::read(pty.master, buffer, sizeof buffer);
      if (n > 0) drained += static_cast<std::size_t>(n);
      std::this_thread::sleep_for(200us);
    }
  });
  for (int cycle = 0; cycle < 200; ++cycle) {
    std::uint16_t port = 0;
    ASSERT_EQ(OpenPty(pty, port), 0) << cycle;
    ASSERT_EQ(comm::RegisterTriggerWindow(port, nullptr, ReadingProc, true), 0);
    ASSERT_EQ(comm::SetTriggerLength(port, 1), 0);
    const std::string block(100, static_cast<char>('A' + cycle % 26));
    ASSERT_EQ(comm::WriteBlock(port, reinterpret_cast<const std::uint8_t*>(block.data()), 100), 0);
    if (cycle % 20 == 0) std::this_thread::sleep_for(5ms);
    ASSERT_EQ(comm::ClosePortRecord(port), 0);
  }
  stop = true;
  peer.join();
  EXPECT_EQ(comm::OpenPortCount(), 0);
  EXPECT_GT(drained.load(), 0u);
}

}  // namespace
