// Opening, configuring, writing and closing a real tty (a pseudo-terminal)
// through the component.
#include <gtest/gtest.h>

#include <sys/file.h>

#include <atomic>
#include <exception>

#include "SerialPortTestSupport.h"
#include "comm/CommExcept.h"
#include "comm/PortDispatch.h"
#include "comm/PosixLayer.h"

namespace {

using namespace serialport_test;
using comm::TTraceLogState;
using comm::TVnkComPort;

// The bytes a trace file shows as transmitted, in one stretch: the header and
// the line ends are the dump's own.
std::string TracedWrites(const std::string& path) {
  std::string text = ReadFile(path);
  const std::string header = "Transmit: ";
  if (text.rfind(header, 0) != 0) return "<no transmit header: " + text + ">";
  std::string bytes;
  for (char c : text.substr(header.size())) {
    if (c != '\n' && c != '\r') bytes += c;
  }
  return bytes;
}

class SerialPortPty : public ::testing::Test {
 protected:
  void SetUp() override { App(); }
  void TearDown() override { EXPECT_EQ(comm::OpenPortCount(), 0); }
};

TEST_F(SerialPortPty, WriteTextArrivesByteExactAtThePeer) {
  PtyCom com(1);
  TVnkComPort p;
  p.SetComNumber(1);
  p.SetBaud(9600);
  p.SetOpen(true);
  ASSERT_TRUE(p.Open());
  ASSERT_TRUE(p.PortOpened());
  EXPECT_GE(p.DispatcherHandle(), 1);
  EXPECT_EQ(comm::PortMap(p.DispatcherHandle()), &p);
  p.WriteText("{E}");
  EXPECT_EQ(com.Read(3), "{E}");
  const std::string bytes("\x00\x01\xFF{N00,M=AML}", 15);
  p.WriteText(bytes);
  EXPECT_EQ(com.Read(bytes.size()), bytes);
  const auto handle = p.DispatcherHandle();
  p.SetOpen(false);
  EXPECT_FALSE(p.Open());
  EXPECT_EQ(p.DispatcherHandle(), 0);
  EXPECT_EQ(comm::PortMap(handle), nullptr);
}

TEST_F(SerialPortPty, WriteTextOnAClosedPortOpensItOnTheMainThread) {
  PtyCom com(1);
  TVnkComPort p;
  p.SetComNumber(1);
  p.WriteText("{CA}");  // AutoOpen
  EXPECT_TRUE(p.Open());
  EXPECT_EQ(com.Read(4), "{CA}");
}

TEST_F(SerialPortPty, SenderThreadWritesToAnOpenPortButNeverOpensAClosedOne) {
  PtyCom com(1);
  TVnkComPort p;
  p.SetComNumber(1);

  std::exception_ptr closedFailure;
  std::thread([&] {
    try {
      p.WriteText("{E}");
    } catch (...) {
      closedFailure = std::current_exception();
    }
  }).join();
  ASSERT_TRUE(closedFailure);
  EXPECT_THROW(std::rethrow_exception(closedFailure), comm::EBadHandle);
  EXPECT_FALSE(p.Open());
  EXPECT_EQ(comm::OpenPortCount(), 0);

  p.SetOpen(true);
  std::atomic<bool> sent{false};
  std::thread sender([&] {
    for (int i = 0; i < 20; ++i) p.WriteText("R" + std::to_string(i % 10));
    sent = true;
  });
  std::string expected;
  for (int i = 0; i < 20; ++i) expected += "R" + std::to_string(i % 10);
  EXPECT_EQ(com.Read(expected.size()), expected);
  sender.join();
  EXPECT_TRUE(sent);
}

TEST_F(SerialPortPty, WriteTextLongerThanTheFreeOutputRoomQueuesNothing) {
  PtyCom com(1);
  TVnkComPort p;
  p.SetComNumber(1);
  p.SetOutSize(64);
  p.SetOpen(true);
  EXPECT_THROW(p.WriteText(std::string(65, 'x')), comm::EOutputBufferTooSmall);
  p.WriteText("ok");
  EXPECT_EQ(com.Read(2, 500ms), "ok");
}

TEST_F(SerialPortPty, BaudOfAClosedPortIsStoredAndOfAnOpenPortAppliedAtOnce) {
  PtyCom com(1);
  TVnkComPort p;
  p.SetComNumber(1);
  const speed_t before = com.SlaveSpeed();
  ASSERT_NE(before, B9600);
  p.SetBaud(9600);
  EXPECT_EQ(com.SlaveSpeed(), before);  // only stored
  p.SetOpen(true);
  EXPECT_EQ(com.SlaveSpeed(), B9600);  // the open used it
  p.SetBaud(115200);
  EXPECT_EQ(p.Baud(), 115200);
  EXPECT_EQ(com.SlaveSpeed(), B115200);
  p.SetOpen(false);
  p.SetBaud(2400);
  EXPECT_EQ(com.SlaveSpeed(), B115200);
}

TEST_F(SerialPortPty, AnOpenPortHoldsTheDeviceAgainstASecondComponent) {
  PtyCom com(1);
  TVnkComPort first, second;
  first.SetComNumber(1);
  second.SetComNumber(1);
  first.SetOpen(true);
  EXPECT_THROW(second.SetOpen(true), comm::EAlreadyOpen);
  EXPECT_FALSE(second.Open());
  first.SetOpen(false);
  second.SetOpen(true);
  EXPECT_TRUE(second.Open());
}

TEST_F(SerialPortPty, ChangingComNumberKeepsAnArmedTimerAndRestartsTheTrace) {
  PtyCom com1(1), com2(2);
  TempDir dir;
  TVnkComPort p;
  p.SetComNumber(1);
  p.SetTraceName(dir.File("VNK.TRC"));
  p.SetTraceHex(false);
  p.SetTracing(TTraceLogState::tlOn);
  p.SetOpen(true);
  ASSERT_EQ(p.Tracing(), TTraceLogState::tlOn);

  std::vector<std::uint16_t> fired;
  p.OnTriggerTimer = [&](comm::TVnkCustomComPort&, std::uint16_t h) { fired.push_back(h); };
  const std::uint16_t timer = p.CreateTimerTrigger();
  ASSERT_GE(timer, 2);
  p.ArmTimerTrigger(timer, 6, true);  // 330 ms
  p.WriteText("AB");
  EXPECT_EQ(com1.Read(2), "AB");

  p.SetComNumber(2);
  EXPECT_EQ(p.ComNumber(), 2);
  EXPECT_TRUE(p.Open());
  EXPECT_EQ(p.Tracing(), TTraceLogState::tlOn);  // a new trace runs on the new port
  EXPECT_EQ(TracedWrites(dir.File("VNK.TRC")), "AB");

  ASSERT_TRUE(PumpUntil([&] { return !fired.empty(); }, 3000ms));
  EXPECT_EQ(fired, std::vector<std::uint16_t>{timer});
  p.WriteText("CD");  // on the new device
  EXPECT_EQ(com2.Read(2), "CD");
  p.SetOpen(false);
  EXPECT_EQ(TracedWrites(dir.File("VNK.TRC")), "CD");
}

TEST_F(SerialPortPty, AFailedReopenKeepsTheNewNumberAndTheTriggersForTheNextOpen) {
  PtyCom com(1);
  TempDir dir;
  ScopedComPath missing(5, dir.File("no-such-tty"));
  TVnkComPort p;
  p.SetComNumber(1);
  p.SetOpen(true);
  const std::uint16_t timer = p.CreateTimerTrigger();
  EXPECT_THROW(p.SetComNumber(5), comm::EBadId);
  EXPECT_EQ(p.ComNumber(), 5);
  EXPECT_FALSE(p.Open());
  EXPECT_EQ(comm::OpenPortCount(), 0);
  p.SetComNumber(1);  // closed: only stored
  EXPECT_FALSE(p.Open());
  p.SetOpen(true);
  std::vector<std::uint16_t> fired;
  p.OnTriggerTimer = [&](comm::TVnkCustomComPort&, std::uint16_t h) { fired.push_back(h); };
  EXPECT_NO_THROW(p.ArmTimerTrigger(timer, 1, true));  // the trigger came back
  ASSERT_TRUE(PumpUntil([&] { return !fired.empty(); }));
  EXPECT_EQ(fired[0], timer);
}

TEST_F(SerialPortPty, ClosingWritesARunningTraceAndTheNextOpenDoesNotTrace) {
  PtyCom com(1);
  TempDir dir;
  TVnkComPort p;
  p.SetComNumber(1);
  p.SetTraceName(dir.File("T.TRC"));
  p.SetOpen(true);
  p.SetTracing(TTraceLogState::tlOn);
  p.WriteText("{E}");
  com.Read(3);
  p.SetOpen(false);
  EXPECT_EQ(p.Tracing(), TTraceLogState::tlOff);
  EXPECT_EQ(TracedWrites(dir.File("T.TRC")), "{E}");
  std::filesystem::remove(dir.File("T.TRC"));
  p.SetOpen(true);
  EXPECT_EQ(p.Tracing(), TTraceLogState::tlOff);
  p.WriteText("x");
  com.Read(1);
  p.SetOpen(false);
  EXPECT_FALSE(std::filesystem::exists(dir.File("T.TRC")));
}

TEST_F(SerialPortPty, TraceStatesWhileOpenFollowTheStateMachine) {
  PtyCom com(1);
  TempDir dir;
  TVnkComPort p;
  p.SetComNumber(1);
  p.SetTraceName(dir.File("S.TRC"));
  p.SetOpen(true);
  p.SetTracing(TTraceLogState::tlPause);  // from off: nothing
  EXPECT_EQ(p.Tracing(), TTraceLogState::tlOff);
  p.SetTracing(TTraceLogState::tlDump);  // from off: no file
  EXPECT_EQ(p.Tracing(), TTraceLogState::tlOff);
  EXPECT_FALSE(std::filesystem::exists(dir.File("S.TRC")));
  p.SetTracing(TTraceLogState::tlOn);
  p.SetTracing(TTraceLogState::tlPause);
  EXPECT_EQ(p.Tracing(), TTraceLogState::tlPause);
  p.WriteText("x");  // not traced while paused
  p.SetTracing(TTraceLogState::tlOn);
  p.WriteText("y");
  p.SetTracing(TTraceLogState::tlAppend);
  EXPECT_EQ(p.Tracing(), TTraceLogState::tlOff);
  EXPECT_EQ(TracedWrites(dir.File("S.TRC")), "y");
  com.Read(2);
  p.SetOpen(false);
}

TEST_F(SerialPortPty, AFailingTraceDumpAtCloseStillClosesThenReports) {
  PtyCom com(1);
  TempDir dir;
  TVnkComPort p;
  p.SetComNumber(1);
  p.SetTraceName(dir.File("missing-dir/X.TRC"));
  p.SetOpen(true);
  p.SetTracing(TTraceLogState::tlOn);
  p.WriteText("x");
  com.Read(1);
  EXPECT_THROW(p.SetOpen(false), comm::EInOutError);
  EXPECT_FALSE(p.Open());
  EXPECT_FALSE(p.PortOpened());
  EXPECT_EQ(p.Tracing(), TTraceLogState::tlOff);
  EXPECT_EQ(comm::OpenPortCount(), 0);
  // The device is free again.
  p.SetOpen(true);
  EXPECT_TRUE(p.Open());
  p.SetOpen(false);
}

TEST_F(SerialPortPty, TheDestructorClosesEvenWhenTheLogDumpFails) {
  PtyCom com(1);
  TempDir dir;
  {
    TVnkComPort p;
    p.SetComNumber(1);
    p.SetLogName(dir.File("missing-dir/X.LOG"));
    p.SetLogging(TTraceLogState::tlOn);
    p.SetOpen(true);
    ASSERT_EQ(p.Logging(), TTraceLogState::tlOn);
    p.WriteText("x");
    com.Read(1);
  }
  EXPECT_EQ(comm::OpenPortCount(), 0);
}

// The system's layer, except that the line state is refused after the open.
std::atomic<int> g_setStates{0};
std::int32_t RefusingSetState(std::int32_t device, const comm::Dcb& dcb) {
  if (++g_setStates > 1) return -1;
  return comm::PosixDeviceLayer().SetState(device, dcb);
}

TEST_F(SerialPortPty, AFailureWhileReapplyingRollsBackToAClosedPort) {
  PtyCom com(1);
  TVnkComPort p;
  p.SetComNumber(1);
  p.SetDeviceLayer(comm::TDeviceLayer::dlOther);
  p.OtherLayerInstaller = [](comm::TVnkCustomComPort&) {
    comm::DeviceLayerTable table = comm::PosixDeviceLayer();
    table.SetState = RefusingSetState;
    g_setStates = 0;
    comm::InstallDeviceLayer(table);
  };
  int opened = 0;
  p.OnPortOpen = [&](comm::TComponent&) { ++opened; };
  EXPECT_THROW(p.SetOpen(true), comm::ENotSupported);
  EXPECT_FALSE(p.Open());
  EXPECT_FALSE(p.PortOpened());
  EXPECT_FALSE(p.HasComWindow());
  EXPECT_EQ(p.DispatcherHandle(), 0);
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(comm::OpenPortCount(), 0);
  // Nothing holds the device any more.
  const int fd = ::open(com.pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  ::close(fd);
  comm::InstallPosixLayer();
}

TEST_F(SerialPortPty, LoadedOpensWhatTheFormAskedFor) {
  PtyCom com(1);
  TVnkComPort p;
  p.BeginLoading();
  p.SetComNumber(1);
  p.SetBaud(9600);
  p.SetOpen(true);
  EXPECT_FALSE(p.PortOpened());
  EXPECT_EQ(comm::OpenPortCount(), 0);
  p.EndLoading();
  EXPECT_TRUE(p.Open());
  EXPECT_TRUE(p.PortOpened());
  p.WriteText("{E}");
  EXPECT_EQ(com.Read(3), "{E}");
}

}  // namespace
