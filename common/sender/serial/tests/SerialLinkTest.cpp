// The serial link over the serial port component on a pseudo-terminal: a
// long send on a slow line waits for the line instead of failing, a stop
// still ends it, and the reply buffer neither keeps chatter between sends
// nor grows past its capacity. On the fake device layer, a device that
// holds the last bytes in a queue of its own: the send ends only once they
// have left, and fails when the line hangs up before.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "QueueingDeviceTest.h"
#include "SenderTestSupport.h"
#include "SlowFakeLine.h"
#include "SlowLine.h"
#include "comm/PortDispatch.h"
#include "comm/SerialPort.h"
#include "sender/ReplyBuffer.h"
#include "sender/SerialLink.h"
#include "signsim/Pty.h"

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

class SerialLinkOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    sendertest::App();
    ::setenv("LEDSIGN_COM9", pty_.SlavePath().c_str(), 1);
    port_.SetComNumber(9);
    port_.SetOutSize(20000);  // as the controller has it
    port_.SetBaud(9600);
    port_.OnTriggerAvail = [this](comm::TVnkCustomComPort& p, std::uint16_t n) { link_.TriggerAvail(p, n); };
    port_.SetOpen(true);
    ASSERT_TRUE(port_.Open());
  }
  void TearDown() override {
    port_.SetOpen(false);
    ::unsetenv("LEDSIGN_COM9");
  }
  // Writes `bytes` from the far end and turns the main thread until the
  // port has handed all of them to the link.
  void Chatter(const std::string& bytes) {
    std::size_t done = 0;
    const auto end = steady_clock::now() + 10s;
    while (done < bytes.size() && steady_clock::now() < end) {
      const ssize_t n = ::write(pty_.Master(), bytes.data() + done, bytes.size() - done);
      if (n > 0) done += static_cast<std::size_t>(n);
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    ASSERT_EQ(done, bytes.size());
    // Settled once nothing has waited in the port for a quarter second.
    const auto limit = steady_clock::now() + 10s;
    auto quietSince = steady_clock::now();
    while (steady_clock::now() < limit && steady_clock::now() - quietSince < 250ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      if (comm::CharsAvailable(port_.DispatcherHandle()) > 0) quietSince = steady_clock::now();
    }
  }

  signsim::Pty pty_;
  comm::TVnkComPort port_;
  sender::ReplyBuffer reply_{false};
  sender::SerialLink link_{port_, reply_};
};

std::string Pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('A' + i % 23);
  return s;
}

TEST_F(SerialLinkOnPty, ALongSendWaitsForASlowLineAndArrivesWhole) {
  // Thirty records of 4000 bytes, queued every 150 ms, on a 115200 bit/s
  // line that carries 11520 bytes a second: the pseudo-terminal's own buffer
  // and the 20000-byte output buffer are full after some twenty.
  port_.SetBaud(115200);
  std::vector<std::string> texts;
  std::string expected;
  for (int i = 0; i < 30; ++i) {
    std::string text = "{" + std::string(3997, static_cast<char>('a' + i % 26)) + "}";
    texts.push_back(text);
    auto rec = sendertest::Rec(text);
    expected.append(rec.begin() + 2, rec.end());
  }
  sendertest::TempDir dir;
  const std::string path = dir.Write("long.msg", sendertest::FileOf(texts));
  // Reads the master side at a fixed rate, as a line of that speed would.
  comm_test::SlowLine peer(pty_.Master(), 11520);
  sender::SendOptions options;
  options.crcCheck = false;
  const auto run = sendertest::RunSend(path, options, link_, reply_, {}, 90000);
  EXPECT_TRUE(run.ended);
  EXPECT_TRUE(run.result) << run.failureText;
  const auto end = steady_clock::now() + 40s;
  while (peer.Got().size() < expected.size() && steady_clock::now() < end) std::this_thread::sleep_for(50ms);
  peer.Stop();
  const std::string got = peer.Got();
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected) << "every record, in order, once; first difference at "
                               << std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first - got.begin();
}

TEST_F(SerialLinkOnPty, AStopEndsTheWaitForRoom) {
  // Nobody reads: the pseudo-terminal's buffer and the output buffer fill
  // after some eleven records and stay full.
  std::vector<std::string> texts(30, "{" + std::string(3998, 'x') + "}");
  sendertest::TempDir dir;
  const std::string path = dir.Write("stuck.msg", sendertest::FileOf(texts));
  sender::SendOptions options;
  options.crcCheck = false;
  steady_clock::time_point stopAt{};
  const auto run = sendertest::RunSend(path, options, link_, reply_, [&](sender::TSendThrd& thread) {
    QTimer::singleShot(3000, [&] {
      stopAt = steady_clock::now();
      thread.Terminate();
    });
  });
  const auto ended = steady_clock::now();
  EXPECT_TRUE(run.ended);
  EXPECT_FALSE(run.result);
  EXPECT_LT(ended - stopAt, 500ms) << "the stop does not wait for the line";
}

TEST_F(SerialLinkOnPty, ChatterWhileNoSendRunsIsDropped) {
  Chatter(Pattern(100000));
  EXPECT_EQ(reply_.Copy(), "");
  EXPECT_EQ(comm::CharsAvailable(port_.DispatcherHandle()), 0) << "the bytes were taken all the same";
}

TEST_F(SerialLinkOnPty, AnAnswerKeepsItsFirstBytesUpToTheCapacity) {
  reply_.SetReceiving(true);
  const std::string bytes = Pattern(100000);
  Chatter(bytes);
  EXPECT_EQ(reply_.Copy(), bytes.substr(0, sender::ReplyBuffer::kCapacity));
  reply_.SetReceiving(false);
  EXPECT_EQ(reply_.Copy(), "") << "a send's end empties it";
}

class SerialLinkOnAQueueingDevice : public sendertest::QueueingDeviceTest {
 protected:
  void SetUp() override {
    sendertest::App();
    OpenPort(19200);  // 1920 bytes a second
  }
  // Two short records, then one of 2000 bytes that the device still holds
  // for about a second once the port has handed it over.
  std::string File() {
    const std::vector<std::string> texts = {"{A}", "{B}", "{" + std::string(1998, 'c') + "}"};
    for (const auto& t : texts) onTheLine_ += t.size() + 2;
    return dir_.Write("queued.msg", sendertest::FileOf(texts));
  }

  sendertest::TempDir dir_;
  std::size_t onTheLine_ = 0;
};

TEST_F(SerialLinkOnAQueueingDevice, TheSendEndsOnlyOnceTheDeviceHasSentItsLastBytes) {
  const std::string path = File();
  comm_test::SlowFakeLine line(device_, 2000);
  const auto run = sendertest::RunSend(path, sender::SendOptions{}, link_, reply_);
  const std::size_t atTheEnd = line.Got().size();
  EXPECT_TRUE(run.ended);
  EXPECT_TRUE(run.result) << run.failureText;
  EXPECT_EQ(atTheEnd, onTheLine_) << "the send ended while the device still held bytes";
}

TEST_F(SerialLinkOnAQueueingDevice, AHangUpBeforeTheDeviceQueueIsEmptyFailsTheSend) {
  const std::string path = File();
  // The far end has the two short records and half the last one, then hangs up.
  comm_test::SlowFakeLine line(device_, 2000, 1000);
  const auto run = sendertest::RunSend(path, sender::SendOptions{}, link_, reply_);
  EXPECT_TRUE(run.ended);
  EXPECT_TRUE(line.HungUp());
  EXPECT_FALSE(run.result);
  EXPECT_EQ(run.failureText, "no respond");
  EXPECT_TRUE(port_.DeviceFailed()) << "the next job opens the port again";
}

}  // namespace
