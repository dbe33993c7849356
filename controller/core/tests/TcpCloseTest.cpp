// A TCP job ends only when the sign has everything: a slow sign with a small
// receive window gets every byte before the report, and a sign that never
// reads makes the job fail within a bounded time.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QEventLoop>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "CoreTestSupport.h"
#include "TestBytes.h"
#include "controller/Job.h"
#include "controller/Sending.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"

namespace {

using namespace controller;
using namespace std::chrono;
using coretest::TempDir;

// A peer on 127.0.0.1 that takes one connection and serves it on a thread of
// its own; what it read is kept. `receiveBuffer` (0 for the system's own) is
// inherited by the accepted socket.
class LoopbackPeer {
 public:
  virtual ~LoopbackPeer() { Stop(); }
  quint16 Port() const { return port_; }
  std::string Received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }

 protected:
  explicit LoopbackPeer(int receiveBuffer) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listener_, 1);
    socklen_t len = sizeof a;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  // Called by the derived peer once it is whole, so Serve is never called on
  // half an object; the derived destructor calls Stop for the same reason.
  void Start() { thread_ = std::thread([this] { Run(); }); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
  }
  // Serves the accepted connection until it returns; the peer then closes it.
  virtual void Serve(int fd) = 0;
  bool Stopping() const { return stop_; }
  // Appends what was read; returns all that was read so far.
  std::string Append(const char* data, std::size_t n) {
    std::lock_guard lock(mutex_);
    received_.append(data, n);
    return received_;
  }

 private:
  void Run() {
    pollfd p{listener_, POLLIN, 0};
    while (!stop_ && ::poll(&p, 1, 20) <= 0) {
    }
    if (stop_) return;
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    Serve(fd);
    ::close(fd);
  }

  int listener_ = -1;
  quint16 port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::string received_;
  std::thread thread_;
};

// A sign on 127.0.0.1 with a 4 kB receive buffer. It takes `chunk` bytes at a
// time with `pause` between reads (a `chunk` of 0 never reads), answers '0'
// for every record end ('}' and its two CRC bytes) it has read, and closes
// when the controller has closed its side.
class SlowSign : public LoopbackPeer {
 public:
  SlowSign(std::size_t chunk, milliseconds pause) : LoopbackPeer(4096), chunk_(chunk), pause_(pause) { Start(); }
  ~SlowSign() override { Stop(); }
  bool SawEnd() const { return ended_; }

 private:
  void Serve(int fd) override {
    int pendingCrc = -1;  // CRC bytes still to come after a '}'
    while (!Stopping()) {
      if (chunk_ == 0) {
        std::this_thread::sleep_for(milliseconds(20));
        continue;
      }
      pollfd q{fd, POLLIN, 0};
      if (::poll(&q, 1, 20) <= 0) continue;
      char buf[4096];
      const ssize_t n = ::read(fd, buf, std::min(chunk_, sizeof buf));
      if (n <= 0) {
        ended_ = true;
        break;
      }
      std::string answers;
      for (ssize_t i = 0; i < n; ++i) {
        if (pendingCrc > 0 && --pendingCrc == 0) answers += '0';
        else if (pendingCrc <= 0 && buf[i] == '}') pendingCrc = 2;
      }
      Append(buf, static_cast<std::size_t>(n));
      if (!answers.empty()) (void)::write(fd, answers.data(), answers.size());
      std::this_thread::sleep_for(pause_);
    }
  }

  const std::size_t chunk_;
  const milliseconds pause_;
  std::atomic<bool> ended_{false};
};

// A sign on 127.0.0.1 that reads everything, answers nothing and closes the
// connection the moment it has read the record `last` with its two CRC bytes.
class ClosingSign : public LoopbackPeer {
 public:
  explicit ClosingSign(std::string last) : LoopbackPeer(0), last_(std::move(last)) { Start(); }
  ~ClosingSign() override { Stop(); }

 private:
  void Serve(int fd) override {
    while (!Stopping()) {
      pollfd q{fd, POLLIN, 0};
      if (::poll(&q, 1, 20) <= 0) continue;
      char buf[4096];
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n <= 0) break;
      const std::string received = Append(buf, static_cast<std::size_t>(n));
      const std::size_t at = received.find(last_);
      if (at != std::string::npos && received.size() >= at + last_.size() + 2) break;
    }
  }

  const std::string last_;
};

class TcpClose : public ::testing::Test {
 protected:
  void SetUp() override {
    coretest::GuiApp();
    table_[0] = {"Front", "127.0.0.1", ""};
    settings_.linkKind = 1;
    settings_.crcCheck = 0;  // the controller does not wait: the sign's window sets the pace
  }
  // Runs a sequence of one message of `records` records of `size` bytes of
  // text against `sign`; returns the job's result, its time and what the
  // sign had read when the job was over.
  template <class Sign>
  bool Run(Sign& sign, int records, std::size_t size, milliseconds& took, std::string& readByTheEnd) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < records; ++i) {
      const std::string text = "{T," + std::string(size - 4, static_cast<char>('A' + i % 26)) + "}";
      auto r = testbytes::Record(text, testbytes::BitwiseCrc(text.substr(1, text.size() - 2)));
      bytes.insert(bytes.end(), r.begin(), r.end());
    }
    JobRunner runner(settings_, table_, dir_.path(), sending_);
    runner.SetTcpPortForTests(sign.Port());
    runner.SetClockForTests(&clock_);
    bool finished = false;
    bool ok = false;
    QObject::connect(&runner, &JobRunner::jobFinished, [&](bool success, const QString&) {
      finished = true;
      ok = success;
      readByTheEnd = sign.Received();
    });
    JobRequest r;
    r.signIndex = 0;
    r.signId = "07";
    r.sequence = {files_.Write("big.msg", bytes)};
    const auto start = steady_clock::now();
    EXPECT_TRUE(runner.RequestJob(kJobSequence, r));
    const auto end = start + seconds(60);
    while (!finished && steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    took = duration_cast<milliseconds>(steady_clock::now() - start);
    EXPECT_TRUE(finished);
    return ok;
  }

  bool app_ = (coretest::GuiApp(), true);  // before any widget member
  TempDir dir_;
  TempDir files_;
  TSettings settings_;
  SignTable table_;
  platform::FixedClock clock_{platform::LocalTime{2026, 12, 9, 3, 10, 5, 41, 0}};
  platform::ScopedRecordingBoxes boxes_;
  TfrmSending sending_;
};

TEST_F(TcpClose, ASlowSignWithASmallWindowGetsEveryByteBeforeTheReport) {
  SlowSign sign(64, milliseconds(20));  // about 3 kB/s, half what the job puts out, answering every record
  milliseconds took{};
  std::string got;
  EXPECT_TRUE(Run(sign, 40, 1000, took, got));
  // When the job was over the sign had read all of it, its end command last.
  EXPECT_NE(got.find("{RX,BIG}"), std::string::npos);
  ASSERT_GE(got.size(), 5u);
  EXPECT_EQ(got.substr(got.size() - 5, 3), "{E}");
  EXPECT_GT(got.size(), 40u * 1002u);
  EXPECT_EQ(boxes_->Texts(), std::vector<std::string>{"Front: Sended completely !!"});
}

TEST_F(TcpClose, ASignThatNeverReadsFailsTheJobInBoundedTime) {
  SlowSign sign(0, milliseconds(0));
  milliseconds took{};
  std::string got;
  EXPECT_FALSE(Run(sign, 100, 10000, took, got));  // a 1 MB job
  EXPECT_LT(took, seconds(40));
  EXPECT_EQ(boxes_->Texts().back(), "Front: Sended fail !!");
}

// Without CRC checking nothing answers: a sign that closes as soon as the
// job's end has arrived had every record, one that closes after the record
// before it had not.
TEST_F(TcpClose, ASignClosingRightAfterTheEndCommandHadTheWholeJob) {
  struct Case {
    const char* last;
    bool success;
    const char* box;
  };
  const Case cases[] = {{"{E}", true, "Front: Sended completely !!"}, {"{RX,BIG}", false, "Front: Sended fail !!"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.last);
    boxes_->Clear();
    ClosingSign sign(c.last);
    milliseconds took{};
    std::string got;
    EXPECT_EQ(Run(sign, 3, 100, took, got), c.success);
    EXPECT_NE(got.find(c.last), std::string::npos);
    EXPECT_EQ(boxes_->Texts(), std::vector<std::string>{c.box});
  }
}

}  // namespace
