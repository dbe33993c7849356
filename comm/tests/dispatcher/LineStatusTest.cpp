// Line settings and line status, on the fake device layer: DTR/RTS, flow
// control limits, modem lines and line errors are what a pseudo-terminal
// cannot show.
#include <gtest/gtest.h>

#include "DispatchTestSupport.h"
#include "comm/CommExcept.h"
#include "comm/FakeLayer.h"

namespace {
using namespace dispatch_test;
namespace fake = comm::fake;

class LineStatus : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::InstallFakeLayer();
    ASSERT_EQ(comm::OpenPortRecord(port, "\\\\.\\COM9", 20000, 4096, 9600, 0, 8, 1), 0);
    device = comm::PortDevice(port);
    ASSERT_GE(device, 0);
  }
  void TearDown() override {
    EXPECT_EQ(comm::ClosePortRecord(port), 0);
    comm::InstallPosixLayer();
  }
  comm::Dcb Dcb() const {
    fake::FakeDeviceState state;
    EXPECT_TRUE(fake::GetState(device, state));
    return state.dcb;
  }
  std::uint16_t port = 0;
  std::int32_t device = -1;
};

TEST_F(LineStatus, KeepValuesWriteTheStateBackUnchanged) {
  const comm::Dcb before = Dcb();
  EXPECT_EQ(before.BaudRate, 9600u);
  ASSERT_EQ(comm::SetLineParams(port, 0, 5, 9, 3), 0);
  const comm::Dcb after = Dcb();
  EXPECT_EQ(after.BaudRate, before.BaudRate);
  EXPECT_EQ(after.Parity, before.Parity);
  EXPECT_EQ(after.ByteSize, before.ByteSize);
  EXPECT_EQ(after.StopBits, before.StopBits);
  EXPECT_EQ(after.Flags, before.Flags);
}

TEST_F(LineStatus, TwoStopBitsWithFiveDataBitsAreOneAndAHalf) {
  ASSERT_EQ(comm::SetLineParams(port, 0, 5, 5, 2), 0);
  EXPECT_EQ(Dcb().StopBits, comm::kOne5StopBits);
  std::uint32_t baud = 0;
  std::uint16_t parity = 0;
  std::uint8_t stop = 0, bits = 0;
  ASSERT_EQ(comm::GetLineParams(port, baud, parity, stop, bits), 0);
  EXPECT_EQ(stop, 2);
  EXPECT_EQ(bits, 5);
  ASSERT_EQ(comm::SetLineParams(port, 0, 5, 8, 0), 0);  // 0 counts as 1
  EXPECT_EQ(Dcb().StopBits, comm::kOneStopBit);
  ASSERT_EQ(comm::SetLineParams(port, 0, 5, 9, 7), 0);  // above 3 counts as 2
  EXPECT_EQ(Dcb().StopBits, comm::kTwoStopBits);
}

TEST_F(LineStatus, RateCodesReadBackAsRates) {
  EXPECT_EQ(comm::RateFromCode(0xFEFF), 115200u);
  EXPECT_EQ(comm::RateFromCode(0xFF16), 9600u);
  EXPECT_EQ(comm::RateFromCode(0xFF27), 256000u);
  EXPECT_EQ(comm::RateFromCode(4800), 4800u);
}

TEST_F(LineStatus, HardwareFlowLevelsAndTheDtrState) {
  ASSERT_EQ(comm::SetDTR(port, false), 0);
  EXPECT_FALSE(comm::DtrState(port));
  ASSERT_EQ(comm::SetHWFlow(port, 3000, 1000, comm::kHwUseDtr | comm::kHwUseRts | comm::kHwRequireCts), 0);
  const comm::Dcb d = Dcb();
  EXPECT_EQ(d.XoffLim, 17000);
  EXPECT_EQ(d.XonLim, 1000);
  EXPECT_EQ(d.Flags & comm::kDcbDtrControlMask, 0u);  // DTR is off: no DTR handshake
  EXPECT_EQ(d.Flags & comm::kDcbRtsControlMask, comm::kDcbRtsControlHandshake);
  EXPECT_NE(d.Flags & comm::kDcbOutxCtsFlow, 0u);
  EXPECT_EQ(comm::SetHWFlow(port, 1000, 3000, comm::kHwUseRts), comm::kErrBadArgument);
  EXPECT_EQ(comm::SetHWFlow(port, 30000, 1000, comm::kHwUseRts), comm::kErrBadArgument);
  ASSERT_EQ(comm::ClearHWFlow(port), 0);
  EXPECT_EQ(Dcb().Flags & (comm::kDcbOutxCtsFlow | comm::kDcbRtsControlMask), 0u);
  fake::FakeDeviceState state;
  ASSERT_TRUE(fake::GetState(device, state));
  ASSERT_FALSE(state.escapes.empty());
  EXPECT_EQ(state.escapes.front(), comm::kClrDtr);
}

TEST_F(LineStatus, SoftwareFlowAndFlowCharacters) {
  ASSERT_EQ(comm::SetSWFlow(port, 3000, 1000, comm::kSwReceive | comm::kSwTransmit), 0);
  comm::Dcb d = Dcb();
  EXPECT_NE(d.Flags & comm::kDcbInX, 0u);
  EXPECT_NE(d.Flags & comm::kDcbOutX, 0u);
  EXPECT_EQ(d.XonChar, 17);
  EXPECT_EQ(d.XoffChar, 19);
  ASSERT_EQ(comm::SetFlowChars(port, 'q', 's'), 0);
  EXPECT_EQ(Dcb().XonChar, 'q');
  ASSERT_EQ(comm::ClearSWFlow(port), 0);
  EXPECT_EQ(Dcb().Flags & (comm::kDcbInX | comm::kDcbOutX), 0u);
}

TEST_F(LineStatus, RefusedStateGivesNotSupported) {
  fake::SetRefuseState(device, true);
  EXPECT_EQ(comm::SetLineParams(port, 19200, 5, 9, 3), comm::kErrNotSupported);
  fake::SetRefuseState(device, false);
}

TEST_F(LineStatus, OverrunAndParityReportTwoThenNothing) {
  fake::InjectLineErrors(device, comm::kCeOverrun | comm::kCeRxParity);
  std::int32_t code = 0;
  ASSERT_TRUE(PumpUntil([&] { return (code = comm::GetLineErrorCode(port)) != 0; }));
  EXPECT_EQ(code, 2);
  EXPECT_EQ(comm::GetLineErrorCode(port), 0);
}

TEST_F(LineStatus, ABreakStaysUntilItIsChecked) {
  fake::InjectLineErrors(device, comm::kCeBreak);
  std::int32_t code = 0;
  ASSERT_TRUE(PumpUntil([&] { return (code = comm::GetLineErrorCode(port)) != 0; }));
  EXPECT_EQ(code, 9);
  EXPECT_EQ(comm::GetLineErrorCode(port), 9);
  EXPECT_TRUE(comm::CheckLineBreak(port));
  EXPECT_EQ(comm::GetLineErrorCode(port), 0);
  EXPECT_FALSE(comm::CheckLineBreak(port));
}

TEST_F(LineStatus, ModemLineChangesFireAStatusTrigger) {
  RecordingWindow window(port);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
  // Fire when CTS differs from off.
  const std::int32_t trigger = comm::AddStatusTrigger(port, comm::kStatusModem, 0x1000);
  ASSERT_GE(trigger, 2);
  PumpFor(120ms);
  EXPECT_TRUE(window.deliveries.empty());
  fake::SetModemStatus(device, comm::kMsCtsOn | comm::kMsRlsdOn);
  ASSERT_TRUE(PumpUntil([&] { return !window.deliveries.empty(); }));
  EXPECT_EQ(window.deliveries.front().message, comm::MsgTriggerStatus);
  EXPECT_EQ(window.deliveries.front().wParam, trigger);
  EXPECT_EQ(comm::StatusTriggerKind(port, static_cast<std::uint16_t>(trigger)), comm::kStatusModem);
  // Current CTS and DCD, and their change bits.
  const std::int32_t status = comm::ReadModemStatus(port, 0xF0);
  EXPECT_EQ(status & 0xF0, 0x10 | 0x80);
  EXPECT_EQ(status & 0x09, 0x09);
  EXPECT_EQ(comm::ReadModemStatus(port, 0xFF) & 0x0F, 0);  // the keep mask dropped them
  comm::DeregisterTriggerHandler(port, &window, nullptr);
}

TEST_F(LineStatus, ARingSetsTheTrailingEdgeBit) {
  fake::SetModemStatus(device, comm::kMsRingOn);
  EXPECT_NE(comm::ReadModemStatus(port, 0xFF) & 0x40, 0);  // RI is on
  ASSERT_TRUE(PumpUntil([&] { return (comm::ReadModemStatus(port, 0xFF) & 0x04) != 0; }));
  EXPECT_NE(comm::ReadModemStatus(port, 0xF0) & 0x04, 0);  // reported once more, then dropped
  EXPECT_EQ(comm::ReadModemStatus(port, 0xFF) & 0x04, 0);
}

TEST_F(LineStatus, ALineErrorStatusTriggerTakesTheErrorBits) {
  RecordingWindow window(port);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
  const std::int32_t trigger = comm::AddStatusTrigger(port, comm::kStatusLineError, comm::kCeFrame);
  ASSERT_GE(trigger, 2);
  fake::InjectLineErrors(device, comm::kCeFrame);
  ASSERT_TRUE(PumpUntil([&] { return !window.deliveries.empty(); }));
  EXPECT_EQ(window.deliveries.front().wParam, trigger);
  EXPECT_EQ(comm::StatusTriggerKind(port, static_cast<std::uint16_t>(trigger)), comm::kStatusLineError);
  comm::TriggerBlock block;
  ASSERT_EQ(comm::SaveTriggers(port, block), 0);
  EXPECT_EQ(block.status[1].data, comm::kCeFrame);
  EXPECT_FALSE(block.status[1].armed);
  EXPECT_EQ(comm::GetLineErrorCode(port), 4);
  comm::DeregisterTriggerHandler(port, &window, nullptr);
}

}  // namespace
