// Bytes both ways through a real pseudo-terminal: order, the input ring's
// limits, the output ring's all-or-nothing blocks, a vanished device.
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>

#include "DispatchTestSupport.h"
#include "comm/CommExcept.h"

namespace {
using namespace dispatch_test;

std::string Pattern(std::size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + seed + i / 251) & 0xFF);
  return s;
}

// Queues all of `data`, waiting for room in the output ring as needed.
bool WriteAll(std::uint16_t port, const std::string& data) {
  std::size_t done = 0;
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (done < data.size()) {
    const auto freeBytes = static_cast<std::size_t>(comm::OutBuffFree(port));
    const std::size_t n = std::min({freeBytes, data.size() - done, std::size_t{1000}});
    if (n > 0) {
      if (comm::WriteBlock(port, reinterpret_cast<const std::uint8_t*>(data.data() + done),
                           static_cast<std::uint16_t>(n)) != 0)
        return false;
      done += n;
    } else {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(1ms);
    }
  }
  return true;
}

TEST(DispatcherFlow, NineThousandInAndTwentyThousandOutInOrder) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  RecordingWindow window(port);
  std::string received;
  window.onDelivery = [&](const Delivery& d) { received += d.read; };
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, 1), 0);

  const std::string in = Pattern(9000, 3);
  const std::string out = Pattern(20000, 11);
  std::string peerGot;
  std::thread peer([&] {
    ASSERT_TRUE(pty.Write(in));
    // Read late, so the device fills and the output thread has to wait.
    std::this_thread::sleep_for(300ms);
    peerGot = pty.Read(out.size(), 10s);
    peerGot += pty.Read(1, 200ms);  // nothing may follow
  });
  std::thread writer([&] { EXPECT_TRUE(WriteAll(port, out)); });
  EXPECT_TRUE(PumpUntil([&] { return received.size() >= in.size(); }, 10s));
  writer.join();
  peer.join();
  EXPECT_TRUE(received == in) << "received " << received.size() << " bytes";
  EXPECT_EQ(peerGot.size(), out.size());
  EXPECT_TRUE(peerGot == out);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(DispatcherFlow, FullRingKeepsTheRestInTheDeviceAndLosesNothing) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  const std::string in = Pattern(9000, 5);
  ASSERT_TRUE(pty.Write(in));
  ASSERT_TRUE(PumpUntil([&] { return comm::CharsAvailable(port) == 8192; }));
  PumpFor(150ms);
  EXPECT_EQ(comm::CharsAvailable(port), 8192);  // the 8193rd waits in the device
  std::uint8_t last = 0;
  EXPECT_EQ(comm::PeekChar(port, last, 8192), 0);
  EXPECT_EQ(static_cast<char>(last), in[8191]);
  EXPECT_EQ(comm::PeekChar(port, last, 8193), comm::kErrBufferIsEmpty);
  std::string got;
  const auto end = std::chrono::steady_clock::now() + 5s;
  while (got.size() < in.size() && std::chrono::steady_clock::now() < end) {
    std::uint8_t byte = 0;
    if (comm::ReadChar(port, byte) == 0) got.push_back(static_cast<char>(byte));
    else std::this_thread::sleep_for(1ms);
  }
  EXPECT_TRUE(got == in) << got.size();
  std::uint8_t byte = 0;
  EXPECT_EQ(comm::ReadChar(port, byte), comm::kErrBufferIsEmpty);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(DispatcherFlow, AFullRingIsOfferedAgainToAHandlerThatDeclinedIt) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  RecordingWindow window(port);
  window.readOnAvail = false;
  std::string received;
  window.onDelivery = [&](const Delivery& d) {
    if (d.wParam == 8192) window.readOnAvail = true;  // read from the next offer on
    received += d.read;
  };
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, 1), 0);
  const std::string in = Pattern(9000, 9);
  ASSERT_TRUE(pty.Write(in));
  EXPECT_TRUE(PumpUntil([&] { return received.size() >= in.size(); }, 5s));
  EXPECT_TRUE(received == in) << received.size();
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(DispatcherFlow, TwoHandlersOfOneDeliveryReadTheSameBytes) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  struct Reader : comm::TriggerWindow {
    Reader(std::uint16_t p, int n) : TriggerWindow(GuiExecutor()), port(p), count(n) {}
    std::int32_t WindowProc(std::uint32_t message, std::uint32_t, std::uint32_t) override {
      if ((message & 0xFFFF) != comm::MsgTriggerAvail) return 0;
      for (int i = 0; i < count; ++i) {
        std::uint8_t b = 0;
        if (comm::ReadChar(port, b) == 0) got.push_back(static_cast<char>(b));
      }
      ++calls;
      return 0;
    }
    std::uint16_t port;
    int count;
    int calls = 0;
    std::string got;
  };
  Reader older(port, 5), newer(port, 3);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &older, nullptr, true), 0);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &newer, nullptr, true), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, 8), 0);
  ASSERT_TRUE(pty.Write("abcdefgh"));
  ASSERT_TRUE(PumpUntil([&] { return older.calls == 1; }));
  PumpFor(100ms);
  EXPECT_EQ(newer.got, "abc");
  EXPECT_EQ(older.got, "abcde");
  EXPECT_EQ(comm::CharsAvailable(port), 3);  // the head moved by the larger count
  std::uint8_t b = 0;
  ASSERT_EQ(comm::ReadChar(port, b), 0);
  EXPECT_EQ(b, 'f');
  comm::DeregisterTriggerHandler(port, &older, nullptr);
  comm::DeregisterTriggerHandler(port, &newer, nullptr);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(DispatcherFlow, ReadBlockTakesWhatReadCharWouldAcrossTheRingEnd) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  const std::string first = Pattern(8000, 6), second = Pattern(400, 8);
  ASSERT_TRUE(pty.Write(first));
  ASSERT_TRUE(PumpUntil([&] { return comm::CharsAvailable(port) == 8000; }));
  std::vector<std::uint8_t> buffer(8192);
  ASSERT_EQ(comm::ReadBlock(port, buffer.data(), 8000), 8000);
  ASSERT_TRUE(pty.Write(second));  // lands across the ring's end
  ASSERT_TRUE(PumpUntil([&] { return comm::CharsAvailable(port) == 400; }));
  ASSERT_EQ(comm::ReadBlock(port, buffer.data(), 150), 150);
  ASSERT_EQ(comm::ReadBlock(port, buffer.data() + 150, 1000), 250);
  EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 400), second);
  EXPECT_EQ(comm::ReadBlock(port, buffer.data(), 10), 0);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(DispatcherFlow, WriteBlockIsAllOrNothing) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port, 4096, 64), 0);
  const std::string big = Pattern(65, 1);
  EXPECT_EQ(comm::WriteBlock(port, reinterpret_cast<const std::uint8_t*>(big.data()), 65),
            comm::kErrOutputBufferTooSmall);
  EXPECT_EQ(pty.Read(1, 150ms), "");  // nothing of it was queued
  EXPECT_EQ(comm::WriteBlock(port, nullptr, 0), 0);
  const std::string exact = Pattern(64, 2);
  EXPECT_EQ(comm::WriteBlock(port, reinterpret_cast<const std::uint8_t*>(exact.data()), 64), 0);
  EXPECT_EQ(pty.Read(64), exact);
  EXPECT_EQ(pty.Read(1, 100ms), "");
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

double ProcessCpuMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

TEST(DispatcherFlow, VanishedDeviceDropsOutputReportsItAndDoesNotSpin) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  ::close(pty.slave);
  pty.slave = -1;
  pty.CloseMaster();
  const std::string data = Pattern(500, 4);
  // The com-event thread may see the hang-up before the block comes: the
  // block then fails at once. Otherwise it is queued, and the output thread's
  // write of it fails and drops it.
  const std::int32_t first = comm::WriteBlock(port, reinterpret_cast<const std::uint8_t*>(data.data()), 500);
  ASSERT_TRUE(first == 0 || first == comm::kErrPutBlockFail) << first;
  if (first == 0) {
    ASSERT_TRUE(PumpUntil([&] { return comm::PortOutputError(port) != 0; }));
  }
  ASSERT_TRUE(PumpUntil([&] { return comm::PortDeviceFailed(port); }));
  EXPECT_EQ(comm::OutBuffUsed(port), 0);  // nothing stays queued
  EXPECT_EQ(comm::WriteBlock(port, reinterpret_cast<const std::uint8_t*>(data.data()), 10),
            comm::kErrPutBlockFail);
  const double before = ProcessCpuMs();
  std::this_thread::sleep_for(500ms);
  EXPECT_LT(ProcessCpuMs() - before, 100.0);  // no thread spins on the dead device
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

}  // namespace
