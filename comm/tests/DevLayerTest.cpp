#include "comm/DevLayer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "TestPortRecord.h"
#include "comm/CommExcept.h"
#include "comm/FakeLayer.h"
#include "comm/PosixLayer.h"

namespace {

using namespace comm;
using commtest::TestPortRecord;

TEST(DevLayer, PosixLayerInForceFromStartUp) {
  EXPECT_EQ(CurrentDeviceLayer().Open, PosixDeviceLayer().Open);
}

TEST(DevLayer, NullStubsAnswerNoDeviceLayer) {
  ResetDeviceLayerTable();
  const DeviceLayerTable t = CurrentDeviceLayer();
  Dcb dcb;
  ComStat stat;
  std::uint8_t buf[4] = {};
  EXPECT_EQ(t.BuildDCB("9600,N,8,1", dcb), -3001);
  EXPECT_EQ(t.ClearBreak(3), -3001);
  EXPECT_EQ(t.Close(3), -3001);
  EXPECT_EQ(t.Escape(3, kSetDtr), -3001);
  EXPECT_EQ(t.Flush(3, 1), -3001);
  EXPECT_EQ(t.GetError(3, stat), -3001);
  EXPECT_EQ(t.GetEventMask(3, 0xFFFF), 3001);
  EXPECT_EQ(t.GetState(3, dcb), -3001);
  EXPECT_EQ(t.Open("COM1", 100, 100), -3001);
  EXPECT_EQ(t.Read(3, buf, 4), -3001);
  EXPECT_EQ(t.SetBreak(3), -3001);
  EXPECT_EQ(t.SetEventMask(3, 1), 0);
  EXPECT_EQ(t.SetState(3, dcb), -3001);
  EXPECT_EQ(t.TransmitChar(3, 'a'), -3001);
  EXPECT_EQ(t.UngetChar(3, 'a'), -3001);
  EXPECT_EQ(t.Write(3, buf, 4), -3001);
  t.OptionNotify(3, true);
  t.AdoptHandle(3, true);
  EXPECT_FALSE(t.SetupQueues(3, 100, 100));
  EXPECT_EQ(t.OutQueue(3), -3001);
}

std::int32_t g_hookCalls = 0;
std::int32_t DoubleHook(std::uint16_t handle, std::int32_t code, PortRecordBase* record) {
  ++g_hookCalls;
  EXPECT_EQ(record->portHandle, handle);
  return code * 2;
}

TEST(DevLayer, FilterPortError) {
  EXPECT_EQ(FilterPortError(0, -3007), -3007);
  EXPECT_EQ(FilterPortError(51, -3007), -3007);
  EXPECT_EQ(FilterPortError(7, -3007), -3007);  // empty slot
  TestPortRecord record(7, 1000, NullDeviceLayer(), 16);
  EXPECT_EQ(FilterPortError(7, -3007), -3007);  // no hook
  record.errorHook = DoubleHook;
  g_hookCalls = 0;
  EXPECT_EQ(FilterPortError(7, -3007), -6014);
  EXPECT_EQ(g_hookCalls, 1);
}

std::int32_t OtherOpen(const char*, std::uint16_t, std::uint16_t) { return -1; }

TEST(DevLayer, FindPortRecordByDeviceAndLayer) {
  DeviceLayerTable other = NullDeviceLayer();
  other.Open = OtherOpen;
  TestPortRecord a(3, 40, NullDeviceLayer(), 16);
  TestPortRecord b(5, 40, other, 16);
  TestPortRecord c(9, 41, other, 16);
  EXPECT_EQ(FindPortRecord(40, NullDeviceLayer().Open), &a);
  EXPECT_EQ(FindPortRecord(40, OtherOpen), &b);
  EXPECT_EQ(FindPortRecord(41, OtherOpen), &c);
  EXPECT_EQ(FindPortRecord(41, NullDeviceLayer().Open), nullptr);
  EXPECT_EQ(FindPortRecord(42, OtherOpen), nullptr);
}

TEST(DevLayer, OutputRingAppendAndCount) {
  std::uint8_t data[8] = {};
  OutputRing ring{data, 8, 0, 0, false};
  EXPECT_EQ(ring.Used(), 0);
  const std::uint8_t abc[] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
  ring.appendPos = ring.sendPos = 5;
  ring.Append(abc, 3);  // exactly to the end
  EXPECT_EQ(ring.appendPos, 0);
  EXPECT_EQ(ring.Used(), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data + 5), 3), "abc");
  ring.Append(abc, 4);  // from the start
  EXPECT_EQ(ring.appendPos, 4);
  EXPECT_EQ(ring.Used(), 7);

  // Crossing the end: two copies. Exactly the free room with the full flag.
  std::uint8_t data2[8] = {};
  OutputRing r2{data2, 8, 6, 6, false};
  r2.full = true;  // set by the caller when the block fills the ring
  r2.Append(abc, 8);
  EXPECT_EQ(r2.appendPos, 6);
  EXPECT_EQ(r2.appendPos, r2.sendPos);
  EXPECT_EQ(r2.Used(), 8);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data2), 8), "cdefghab");
  r2.full = false;
  EXPECT_EQ(r2.Used(), 0);
  r2.sendPos = 7;
  r2.appendPos = 2;
  EXPECT_EQ(r2.Used(), 3);
}

TEST(DevLayer, FailedErrorCallGivesNoErrorBits) {
  EXPECT_EQ(LineErrorBitsOf(kErrDeviceNotOpen), 0u);  // -103 would set every bit
  EXPECT_EQ(LineErrorBitsOf(-3001), 0u);
  EXPECT_EQ(LineErrorBitsOf(static_cast<std::int32_t>(kCeOverrun | kCeBreak)), kCeOverrun | kCeBreak);
  EXPECT_EQ(LineErrorBitsOf(0x3F), 0x1Fu);  // only the collected bits
}

TEST(DevLayer, OpenErrorsMapToComponentCodes) {
  EXPECT_EQ(OpenErrorToCode(2), kErrBadId);
  EXPECT_EQ(OpenErrorToCode(3), kErrBadId);
  EXPECT_EQ(OpenErrorToCode(5), kErrAlreadyOpen);
  EXPECT_EQ(OpenErrorToCode(31), -31);
  EXPECT_EQ(ErrnoToDeviceError(ENOENT), 2u);
  EXPECT_EQ(ErrnoToDeviceError(EWOULDBLOCK), 5u);
  EXPECT_EQ(ErrnoToDeviceError(EBUSY), 5u);
  EXPECT_EQ(ErrnoToDeviceError(ENOTDIR), 3u);
  EXPECT_EQ(ErrnoToDeviceError(ENOMEM), 8u);
}

// What a pseudo-terminal cannot show, through the fake layer.
TEST(FakeLayer, LinesErrorsAndRefusedStates) {
  fake::InstallFakeLayer();
  const DeviceLayerTable t = CurrentDeviceLayer();
  const std::int32_t dev = t.Open("COM9", 1024, 1024);
  ASSERT_GE(dev, 0);
  EXPECT_EQ(fake::LastOpenedDevice(), dev);
  TestPortRecord record(11, dev, t, 32);

  EXPECT_EQ(t.Escape(dev, kClrDtr), 0);
  EXPECT_EQ(t.Escape(dev, kClrRts), 0);
  fake::FakeDeviceState s;
  ASSERT_TRUE(fake::GetState(dev, s));
  EXPECT_FALSE(s.dtr);
  EXPECT_FALSE(s.rts);
  EXPECT_EQ(s.escapes, (std::vector<std::int32_t>{kClrDtr, kClrRts}));

  fake::SetModemStatus(dev, kMsCtsOn | kMsRlsdOn);
  std::uint32_t lines = 0;
  EXPECT_TRUE(DeviceModemStatus(dev, lines));
  EXPECT_EQ(lines, kMsCtsOn | kMsRlsdOn);

  fake::InjectLineErrors(dev, kCeOverrun | kCeRxParity);
  ComStat stat;
  EXPECT_EQ(t.GetError(dev, stat), static_cast<std::int32_t>(kCeOverrun | kCeRxParity));
  EXPECT_EQ(t.GetError(dev, stat), 0);

  // Written bytes land in the owner's ring; the count of queued bytes follows it.
  const std::uint8_t data[] = {1, 2, 3, 4, 5};
  EXPECT_EQ(t.Write(dev, data, 5), 5);
  EXPECT_EQ(record.wakes, 1);
  EXPECT_EQ(t.GetError(dev, stat), 0);
  EXPECT_EQ(stat.cbOutQue, 5u);
  EXPECT_EQ(t.Flush(dev, 0), 0);
  EXPECT_EQ(record.aborts, 1);
  EXPECT_EQ(t.GetError(dev, stat), 0);
  EXPECT_EQ(stat.cbOutQue, 0u);

  // Bytes from the peer are read through the layer.
  ASSERT_EQ(::write(fake::PeerFd(dev), "xyz", 3), 3);
  std::uint8_t buf[8] = {};
  EXPECT_EQ(t.Read(dev, buf, 8), 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "xyz");

  Dcb dcb;
  ASSERT_EQ(t.GetState(dev, dcb), 0);
  dcb.BaudRate = 4800;
  fake::SetRefuseState(dev, true);
  EXPECT_EQ(t.SetState(dev, dcb), -1);
  fake::SetRefuseState(dev, false);
  EXPECT_EQ(t.SetState(dev, dcb), 0);
  ASSERT_TRUE(fake::GetState(dev, s));
  EXPECT_EQ(s.dcb.BaudRate, 4800u);
  EXPECT_EQ(s.setStateCalls, 2);

  EXPECT_EQ(t.Close(dev), 0);
  EXPECT_FALSE(fake::GetState(dev, s));
  EXPECT_EQ(t.Read(dev, buf, 8), kErrDeviceNotOpen);
  ResetDeviceLayerTable();
}

}  // namespace
