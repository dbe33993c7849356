// The event window: trigger messages arrive as events on the main thread,
// handlers' exceptions are reported and deliveries go on; port users.
#include <gtest/gtest.h>

#include <thread>

#include "SerialPortTestSupport.h"
#include "comm/CommExcept.h"
#include "comm/FakeLayer.h"
#include "comm/PortDispatch.h"
#include "comm/PosixLayer.h"
#include "platform/MessageBoxes.h"
#include "signsim/SignSim.h"

namespace {

using namespace serialport_test;
using comm::TVnkComPort;
using comm::TVnkCustomComPort;

class SerialPortEventsPty : public ::testing::Test {
 protected:
  void SetUp() override { App(); }
  void TearDown() override { EXPECT_EQ(comm::OpenPortCount(), 0); }
};

TEST_F(SerialPortEventsPty, ArrivingBytesFireOnTriggerThenOnTriggerAvailOnTheMainThread) {
  PtyCom com(1);
  TVnkComPort p;
  p.SetComNumber(1);
  std::vector<std::string> heard;
  std::string reply;
  const auto mainThread = std::this_thread::get_id();
  bool allOnMain = true;
  p.OnTrigger = [&](TVnkCustomComPort& cp, std::uint16_t msg, std::uint16_t handle,
                    std::uint16_t data) {
    allOnMain = allOnMain && std::this_thread::get_id() == mainThread && &cp == &p;
    heard.push_back("trigger " + std::to_string(msg) + " " + std::to_string(handle) + " " +
                    std::to_string(data));
  };
  p.OnTriggerAvail = [&](TVnkCustomComPort& cp, std::uint16_t count) {
    allOnMain = allOnMain && std::this_thread::get_id() == mainThread;
    heard.push_back("avail " + std::to_string(count));
    for (std::uint16_t i = 0; i < count; ++i) reply += cp.ReadChar();
  };
  p.SetOpen(true);
  com.Write("0");
  ASSERT_TRUE(PumpUntil([&] { return reply == "0"; }));
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0], "trigger 32257 1 1");  // 0x7E01, count as handle and data
  EXPECT_EQ(heard[1], "avail 1");
  EXPECT_TRUE(allOnMain);

  com.Write("123");
  ASSERT_TRUE(PumpUntil([&] { return reply.size() == 4; }));
  EXPECT_EQ(reply, "0123");
  EXPECT_THROW(p.ReadChar(), comm::EBufferIsEmpty);
}

TEST_F(SerialPortEventsPty, AHandlersExceptionIsReportedOnceAfterTheDeliveryAndDeliveriesGoOn) {
  platform::ScopedRecordingBoxes boxes;
  PtyCom com(1);
  TVnkComPort p;
  p.SetComNumber(1);
  std::string got;
  int calls = 0;
  std::size_t boxesDuringHandler = 0;
  p.OnTriggerAvail = [&](TVnkCustomComPort& cp, std::uint16_t count) {
    ++calls;
    boxesDuringHandler = std::max(boxesDuringHandler, boxes->Shown().size());
    for (std::uint16_t i = 0; i < count; ++i) got += cp.ReadChar();
    if (calls == 1) cp.ReadChar();  // one too many: EBufferIsEmpty
  };
  p.SetOpen(true);
  com.Write("A");
  ASSERT_TRUE(PumpUntil([&] { return boxes->Shown().size() == 1; }));
  const auto shown = boxes->Shown();
  EXPECT_EQ(shown[0].text, "Buffer is empty");
  EXPECT_EQ(shown[0].buttons, platform::BoxButtons::Ok);
  EXPECT_EQ(boxesDuringHandler, 0u);

  com.Write("B");
  ASSERT_TRUE(PumpUntil([&] { return got == "AB"; }));
  PumpFor(100ms);
  EXPECT_EQ(boxes->Shown().size(), 1u);
  EXPECT_EQ(calls, 2);
}

TEST_F(SerialPortEventsPty, AHandlerMayCloseThePortDuringItsDelivery) {
  PtyCom com(1);
  TVnkComPort p;
  p.SetComNumber(1);
  int closes = 0;
  p.OnPortClose = [&](comm::TComponent&) { ++closes; };
  p.OnTriggerAvail = [&](TVnkCustomComPort& cp, std::uint16_t) { cp.SetOpen(false); };
  p.SetOpen(true);
  com.Write("x");
  ASSERT_TRUE(PumpUntil([&] { return !p.Open(); }));
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(p.HasComWindow());
  ASSERT_TRUE(PumpUntil([] { return comm::OpenPortCount() == 0; }));
  // And it opens again as usual.
  std::string got;
  p.OnTriggerAvail = [&](TVnkCustomComPort& cp, std::uint16_t n) {
    for (std::uint16_t i = 0; i < n; ++i) got += cp.ReadChar();
  };
  p.SetOpen(true);
  com.Write("y");
  ASSERT_TRUE(PumpUntil([&] { return got == "y"; }));
}

// CRC-16 of a command (polynomial 0x1021, from 0, high bit first) over the
// bytes between its braces, bit by bit.
std::uint16_t CommandCrc(const std::string& text) {
  std::uint16_t crc = 0;
  for (std::size_t i = 1; i + 1 < text.size(); ++i) {
    crc ^= static_cast<std::uint16_t>(static_cast<unsigned char>(text[i]) << 8);
    for (int b = 0; b < 8; ++b) {
      crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                           : static_cast<std::uint16_t>(crc << 1);
    }
  }
  return crc;
}

TEST_F(SerialPortEventsPty, TheSimulatedSignAcceptsARecordAndItsAnswerArrivesAsText) {
  signsim::SignSim sign;
  ScopedComPath com(1, sign.StartPty());
  TVnkComPort p;
  p.SetComNumber(1);
  p.SetBaud(9600);
  std::string reply;
  p.OnTriggerAvail = [&](TVnkCustomComPort& cp, std::uint16_t n) {
    for (std::uint16_t i = 0; i < n; ++i) reply += cp.ReadChar();
  };
  p.SetOpen(true);
  const std::string text = "{E}";
  const std::uint16_t crc = CommandCrc(text);
  p.WriteText(text + static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF));
  ASSERT_TRUE(PumpUntil([&] { return !reply.empty(); }, 3000ms));
  EXPECT_EQ(reply, "0");
  const auto records = sign.Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].text, "{E}");
  EXPECT_TRUE(records[0].crcOk);
  p.SetOpen(false);
}

struct Log {
  std::vector<std::string> lines;
};
void UserA(void* owner, TVnkCustomComPort&, bool opening) {
  static_cast<Log*>(owner)->lines.push_back(std::string("A ") + (opening ? "open" : "close"));
}
void UserB(void* owner, TVnkCustomComPort&, bool opening) {
  static_cast<Log*>(owner)->lines.push_back(std::string("B ") + (opening ? "open" : "close"));
}
// As the modem does: stops, and leaves the users, when the port closes.
void LeavingUser(void* owner, TVnkCustomComPort& port, bool opening) {
  static_cast<Log*>(owner)->lines.push_back(std::string("L ") + (opening ? "open" : "close"));
  if (!opening) port.RemovePortUser(LeavingUser);
}

TEST_F(SerialPortEventsPty, PortUsersHearOpenAndCloseNewestFirstBeforeTheEvents) {
  PtyCom com(1);
  Log log;
  TVnkComPort p;
  p.SetComNumber(1);
  p.AddPortUser(UserA, &log);
  p.AddPortUser(UserB, &log);
  p.OnPortOpen = [&](comm::TComponent& sender) {
    EXPECT_EQ(&sender, &p);
    EXPECT_TRUE(p.HasComWindow());
    log.lines.push_back("OnPortOpen");
  };
  p.OnPortClose = [&](comm::TComponent&) {
    EXPECT_TRUE(p.PortOpened());  // told while still open
    log.lines.push_back("OnPortClose");
  };
  p.SetOpen(true);
  p.SetOpen(false);
  EXPECT_EQ(log.lines, (std::vector<std::string>{"B open", "A open", "OnPortOpen", "B close",
                                                 "A close", "OnPortClose"}));

  log.lines.clear();
  p.AddPortUser(LeavingUser, &log);
  p.SetOpen(true);
  p.SetOpen(false);
  p.SetOpen(true);
  p.SetOpen(false);
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"L open", "B open", "A open", "OnPortOpen", "L close",
                                      "B close", "A close", "OnPortClose", "B open", "A open",
                                      "OnPortOpen", "B close", "A close", "OnPortClose"}));
}

TEST_F(SerialPortEventsPty, ADialerMayReplaceTheTimerEventAndPutItBack) {
  PtyCom com(1);
  TVnkComPort p;
  p.SetComNumber(1);
  std::vector<std::string> heard;
  p.OnTriggerTimer = [&](TVnkCustomComPort&, std::uint16_t) { heard.push_back("form"); };
  p.SetOpen(true);
  const auto saved = p.OnTriggerTimer;
  const std::uint16_t t = p.CreateTimerTrigger();
  p.OnTriggerTimer = [&, saved](TVnkCustomComPort& cp, std::uint16_t h) {
    heard.push_back(h == t ? "dialer" : "other");
    saved(cp, h);
  };
  p.ArmTimerTrigger(t, 1, true);
  ASSERT_TRUE(PumpUntil([&] { return heard.size() == 2; }));
  p.OnTriggerTimer = saved;
  EXPECT_TRUE(p.OnTriggerTimer == saved);
  p.ArmTimerTrigger(t, 0, true);  // the last duration again
  ASSERT_TRUE(PumpUntil([&] { return heard.size() == 3; }));
  EXPECT_EQ(heard, (std::vector<std::string>{"dialer", "form", "form"}));
  EXPECT_THROW(p.ArmTimerTrigger(1, 1, true), comm::EBadTriggerHandle);
  p.ReleaseTrigger(t);
  EXPECT_THROW(p.ArmTimerTrigger(t, 1, true), comm::EBadTriggerHandle);
}

// Line states and errors a pseudo-terminal cannot show: the fake layer.
class SerialPortEventsFake : public SerialPortEventsPty {
 protected:
  void SetUp() override {
    SerialPortEventsPty::SetUp();
    p.SetComNumber(1);
    p.SetDeviceLayer(comm::TDeviceLayer::dlOther);
    p.OtherLayerInstaller = [](TVnkCustomComPort&) { comm::fake::InstallFakeLayer(); };
  }
  void TearDown() override {
    p.SetOpen(false);
    comm::InstallPosixLayer();
    SerialPortEventsPty::TearDown();
  }
  TVnkComPort p;
};

TEST_F(SerialPortEventsFake, ALineErrorStatusTriggerFiresStatusThenLineErrorWithCodeAndBreak) {
  std::vector<std::string> heard;
  p.OnTriggerStatus = [&](TVnkCustomComPort&, std::uint16_t h) {
    heard.push_back("status " + std::to_string(h));
  };
  p.OnTriggerLineError = [&](TVnkCustomComPort&, std::uint16_t error, bool lineBreak) {
    heard.push_back("line error " + std::to_string(error) + (lineBreak ? " break" : ""));
  };
  p.SetOpen(true);
  const std::int32_t device = comm::fake::LastOpenedDevice();
  const std::int32_t trigger = comm::AddStatusTrigger(
      p.DispatcherHandle(), comm::kStatusLineError,
      static_cast<std::uint16_t>(comm::kCeOverrun | comm::kCeRxParity | comm::kCeBreak));
  ASSERT_GE(trigger, 2);
  comm::fake::InjectLineErrors(device, comm::kCeOverrun | comm::kCeRxParity | comm::kCeBreak);
  p.WriteText("x");  // the write reads the line errors
  ASSERT_TRUE(PumpUntil([&] { return heard.size() == 2; }));
  EXPECT_EQ(heard[0], "status " + std::to_string(trigger));
  EXPECT_EQ(heard[1], "line error 2 break");
  // Both were cleared by being read.
  EXPECT_EQ(p.GetLineError(), 0);
  EXPECT_FALSE(p.GetLineBreak());
}

TEST_F(SerialPortEventsFake, DtrAndRtsOfAnOpenPortReachTheDevice) {
  p.SetDTR(false);  // stored, applied by the open
  p.SetOpen(true);
  const std::int32_t device = comm::fake::LastOpenedDevice();
  comm::fake::FakeDeviceState state;
  ASSERT_TRUE(comm::fake::GetState(device, state));
  EXPECT_FALSE(state.dtr);
  EXPECT_TRUE(state.rts);
  p.SetRTS(false);
  p.SetDTR(true);
  ASSERT_TRUE(comm::fake::GetState(device, state));
  EXPECT_TRUE(state.dtr);
  EXPECT_FALSE(state.rts);
}

TEST_F(SerialPortEventsFake, FlowSettingsOfAnOpenPortReachTheLineState) {
  p.SetInSize(20000);
  p.SetOpen(true);
  const std::int32_t device = comm::fake::LastOpenedDevice();
  p.SetHWFlowOptions({comm::THWFlowOptions::hwfUseRTS, comm::THWFlowOptions::hwfRequireCTS});
  comm::fake::FakeDeviceState state;
  ASSERT_TRUE(comm::fake::GetState(device, state));
  EXPECT_EQ(state.dcb.Flags & comm::kDcbRtsControlMask, comm::kDcbRtsControlHandshake);
  EXPECT_NE(state.dcb.Flags & comm::kDcbOutxCtsFlow, 0u);
  EXPECT_EQ(state.dcb.XoffLim, 20000 - 18000);
  EXPECT_EQ(state.dcb.XonLim, 2000);
  p.SetHWFlowOptions({});
  ASSERT_TRUE(comm::fake::GetState(device, state));
  EXPECT_EQ(state.dcb.Flags & comm::kDcbOutxCtsFlow, 0u);
  // A refused line state raises, and the flow option is not stored.
  comm::fake::SetRefuseState(device, true);
  EXPECT_THROW(p.SetSWFlowOptions(comm::TSWFlowOptions::swfBoth), comm::ENotSupported);
  EXPECT_EQ(p.SWFlowOptions(), comm::TSWFlowOptions::swfNone);
  comm::fake::SetRefuseState(device, false);
}

}  // namespace
