// The component's properties, defaults and refusals, and the opens that fail
// before any port thread starts.
#include <gtest/gtest.h>

#include <sys/file.h>

#include "SerialPortTestSupport.h"
#include "comm/CommExcept.h"
#include "comm/PortDispatch.h"

namespace {

using namespace serialport_test;
using comm::TParity;
using comm::TTraceLogState;
using comm::TVnkComPort;

TEST(SerialPortDefaults, CreationSetsEveryDefault) {
  TVnkComPort p;
  EXPECT_EQ(p.DeviceLayer(), comm::TDeviceLayer::dlWin32);
  EXPECT_EQ(p.ComNumber(), 0);
  EXPECT_EQ(p.Baud(), 19200);
  EXPECT_EQ(p.Parity(), TParity::pNone);
  EXPECT_EQ(p.DataBits(), 8);
  EXPECT_EQ(p.StopBits(), 1);
  EXPECT_EQ(p.InSize(), 4096);
  EXPECT_EQ(p.OutSize(), 4096);
  EXPECT_TRUE(p.AutoOpen());
  EXPECT_EQ(p.DispatcherMode(), comm::TDispatcherMode::dWin32);
  EXPECT_FALSE(p.Open());
  EXPECT_TRUE(p.DTR());
  EXPECT_TRUE(p.RTS());
  EXPECT_TRUE(p.HWFlowOptions().Empty());
  EXPECT_EQ(p.SWFlowOptions(), comm::TSWFlowOptions::swfNone);
  EXPECT_EQ(p.XOnChar(), '\x11');
  EXPECT_EQ(p.XOffChar(), '\x13');
  EXPECT_EQ(p.BufferFull(), 0);
  EXPECT_EQ(p.BufferResume(), 0);
  EXPECT_EQ(p.Tracing(), TTraceLogState::tlOff);
  EXPECT_EQ(p.TraceSize(), 10000);
  EXPECT_EQ(p.TraceName(), "VENK.TRC");
  EXPECT_TRUE(p.TraceHex());
  EXPECT_EQ(p.Logging(), TTraceLogState::tlOff);
  EXPECT_EQ(p.LogSize(), 10000);
  EXPECT_EQ(p.LogName(), "VENK.LOG");
  EXPECT_TRUE(p.LogHex());
  EXPECT_TRUE(p.UseMSRShadow());
  EXPECT_TRUE(p.UseEventWord());
  EXPECT_FALSE(p.DirectReads());
  EXPECT_EQ(p.TriggerLength(), 1);
  EXPECT_EQ(p.CommNotificationLevel(), 10);
  EXPECT_EQ(p.TapiMode(), comm::TTapiMode::tmAuto);
  EXPECT_FALSE(p.PortOpened());
  EXPECT_EQ(p.DispatcherHandle(), 0);
  EXPECT_FALSE(static_cast<bool>(p.OnTriggerAvail));
}

TEST(SerialPortFlow, HardwareFlowFillsMissingLevelsFromInSize) {
  TVnkComPort p;
  p.SetInSize(20000);
  p.SetHWFlowOptions({comm::THWFlowOptions::hwfUseRTS, comm::THWFlowOptions::hwfRequireCTS});
  EXPECT_EQ(p.BufferFull(), 18000);
  EXPECT_EQ(p.BufferResume(), 2000);
  EXPECT_TRUE(p.HWFlowOptions().Contains(comm::THWFlowOptions::hwfRequireCTS));
  EXPECT_EQ(p.HWFlowOptions().Mask(), 2 | 8);

  TVnkComPort q;
  q.SetInSize(20000);
  q.SetSWFlowOptions(comm::TSWFlowOptions::swfBoth);
  EXPECT_EQ(q.BufferFull(), 15000);
  EXPECT_EQ(q.BufferResume(), 5000);
}

TEST(SerialPortFlow, LevelsAboveTheirLimitsAreReplaced) {
  TVnkComPort p;
  p.SetInSize(20000);
  p.SetBufferFull(30000);  // above InSize
  EXPECT_EQ(p.BufferFull(), 18000);
  p.SetBufferResume(19000);  // above BufferFull
  EXPECT_EQ(p.BufferResume(), 1800);
  p.SetBufferResume(500);
  EXPECT_EQ(p.BufferResume(), 500);
  // Levels already set are kept by a later flow option.
  p.SetSWFlowOptions(comm::TSWFlowOptions::swfReceive);
  EXPECT_EQ(p.BufferFull(), 18000);
  EXPECT_EQ(p.BufferResume(), 500);
}

TEST(SerialPortSizes, TraceAndLogSizesAreCappedAndZeroIsRefused) {
  TVnkComPort p;
  p.SetTraceSize(40000);
  EXPECT_EQ(p.TraceSize(), 32760);
  p.SetLogSize(65535);
  EXPECT_EQ(p.LogSize(), 65520);
  EXPECT_THROW(p.SetTraceSize(0), comm::EBadArgument);
  EXPECT_EQ(p.TraceSize(), 32760);
  EXPECT_THROW(p.SetLogSize(0), comm::EBadArgument);
  EXPECT_EQ(p.LogSize(), 65520);
  // While loading nothing is raised, and nothing stored either.
  p.BeginLoading();
  EXPECT_NO_THROW(p.SetTraceSize(0));
  p.EndLoading();
  EXPECT_EQ(p.TraceSize(), 32760);
}

TEST(SerialPortSettings, LayerAndModeOutsideTheAllowedSetsAreIgnored) {
  TVnkComPort p;
  p.SetDeviceLayer(comm::TDeviceLayer::dlComm);
  EXPECT_EQ(p.DeviceLayer(), comm::TDeviceLayer::dlWin32);
  p.SetDeviceLayer(comm::TDeviceLayer::dlOther);
  EXPECT_EQ(p.DeviceLayer(), comm::TDeviceLayer::dlOther);
  p.SetDispatcherMode(comm::TDispatcherMode::dTimer);
  EXPECT_EQ(p.DispatcherMode(), comm::TDispatcherMode::dWin32);
  p.SetDispatcherMode(comm::TDispatcherMode::dNone);
  EXPECT_EQ(p.DispatcherMode(), comm::TDispatcherMode::dNone);
}

TEST(SerialPortSettings, ClosedPortStoresTraceStatesOnlyAsOffOrOn) {
  struct Case {
    TTraceLogState set;
    TTraceLogState stored;
  } cases[] = {
      {TTraceLogState::tlOn, TTraceLogState::tlOn},     {TTraceLogState::tlPause, TTraceLogState::tlOff},
      {TTraceLogState::tlDump, TTraceLogState::tlOff},  {TTraceLogState::tlAppend, TTraceLogState::tlOff},
      {TTraceLogState::tlClear, TTraceLogState::tlOff}, {TTraceLogState::tlOff, TTraceLogState::tlOff},
  };
  for (const auto& c : cases) {
    TVnkComPort p;
    p.SetTracing(c.set);
    p.SetLogging(c.set);
    EXPECT_EQ(p.Tracing(), c.stored) << static_cast<int>(c.set);
    EXPECT_EQ(p.Logging(), c.stored) << static_cast<int>(c.set);
  }
}

TEST(SerialPortSettings, SettersOfAClosedPortOnlyStore) {
  TVnkComPort p;
  p.SetBaud(9600);
  p.SetParity(TParity::pEven);
  p.SetDataBits(7);
  p.SetStopBits(2);
  p.SetDTR(false);
  p.SetXOnChar('A');
  p.SetTriggerLength(3);
  p.SetUseMSRShadow(false);
  EXPECT_EQ(p.Baud(), 9600);
  EXPECT_EQ(p.Parity(), TParity::pEven);
  EXPECT_EQ(p.DataBits(), 7);
  EXPECT_EQ(p.StopBits(), 2);
  EXPECT_FALSE(p.DTR());
  EXPECT_EQ(p.XOnChar(), 'A');
  EXPECT_EQ(p.TriggerLength(), 3);
  EXPECT_FALSE(p.UseMSRShadow());
  EXPECT_FALSE(p.Open());
  EXPECT_EQ(comm::OpenPortCount(), 0);
}

TEST(SerialPortOpen, ComNumberZeroRaisesNoPortSelected) {
  TVnkComPort p;
  try {
    p.SetOpen(true);
    FAIL() << "opened without a COM number";
  } catch (const comm::ENoPortSelected& e) {
    EXPECT_EQ(e.ErrorCode(), -2011);
    EXPECT_STREQ(e.what(), "The ComNumber property of the TVnkComPort has not been set");
  }
  EXPECT_FALSE(p.Open());
  EXPECT_EQ(p.DispatcherHandle(), 0);
}

TEST(SerialPortOpen, MissingDeviceRaisesBadId) {
  TempDir dir;
  ScopedComPath com(3, dir.File("no-such-tty"));
  TVnkComPort p;
  p.SetComNumber(3);
  EXPECT_THROW(p.SetOpen(true), comm::EBadId);
  EXPECT_FALSE(p.Open());
  EXPECT_FALSE(p.PortOpened());
  EXPECT_EQ(comm::OpenPortCount(), 0);
}

TEST(SerialPortOpen, DeviceHeldByAnotherOpenerRaisesAlreadyOpen) {
  PtyCom com(4);
  const int holder = ::open(com.pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
  TVnkComPort p;
  p.SetComNumber(4);
  try {
    p.SetOpen(true);
    FAIL() << "opened a held device";
  } catch (const comm::EAlreadyOpen& e) {
    EXPECT_STREQ(e.what(), "ie_Open - device already open");
  }
  EXPECT_FALSE(p.Open());
  EXPECT_EQ(comm::OpenPortCount(), 0);
  ::close(holder);
}

TEST(SerialPortOpen, OtherLayerWithoutInstallerRaisesNullApi) {
  TVnkComPort p;
  p.SetComNumber(1);
  p.SetDeviceLayer(comm::TDeviceLayer::dlNone);
  EXPECT_THROW(p.SetOpen(true), comm::ENullApi);
  p.SetDeviceLayer(comm::TDeviceLayer::dlOther);
  p.OtherLayerInstaller = nullptr;
  EXPECT_THROW(p.SetOpen(true), comm::ENullApi);
  EXPECT_FALSE(p.Open());
}

TEST(SerialPortOpen, LoadingOnlyRemembersOpenAndRaisesNothing) {
  TVnkComPort p;
  p.BeginLoading();
  p.SetComNumber(0);
  p.SetOpen(true);
  EXPECT_TRUE(p.Open());
  EXPECT_FALSE(p.PortOpened());
  EXPECT_EQ(p.GetDispatcherHandle(), 0);  // no auto-open while loading
  // Leaving the loading state opens, and the missing COM number is now raised.
  EXPECT_THROW(p.EndLoading(), comm::ENoPortSelected);
  EXPECT_FALSE(p.Open());
}

TEST(SerialPortWrite, TextOf65536CharactersIsRefusedWhole) {
  TVnkComPort p;
  p.SetAutoOpen(false);
  try {
    p.WriteText(std::string(65536, 'x'));
    FAIL() << "a text of 65536 characters was taken";
  } catch (const comm::EOutputBufferTooSmall& e) {
    EXPECT_EQ(e.ErrorCode(), -3006);
  }
  EXPECT_FALSE(p.Open());
}

TEST(SerialPortWrite, ClosedPortWithoutAutoOpenFailsWithBadHandle) {
  TVnkComPort p;
  p.SetAutoOpen(false);
  EXPECT_THROW(p.WriteText("{E}"), comm::EBadHandle);
  EXPECT_THROW(p.ReadChar(), comm::EBadHandle);
  EXPECT_EQ(p.GetLineError(), 0);
  EXPECT_FALSE(p.GetLineBreak());
}

TEST(SerialPortTriggers, ReleaseOnAClosedPortNeitherRaisesNorOpens) {
  TVnkComPort p;
  p.SetComNumber(1);
  EXPECT_NO_THROW(p.ReleaseTrigger(2));
  EXPECT_FALSE(p.Open());
  EXPECT_EQ(comm::OpenPortCount(), 0);
}

TEST(SerialPortEvents, AMessageForNoComponentFiresNothing) {
  TVnkComPort p;
  int calls = 0;
  p.OnTrigger = [&](comm::TVnkCustomComPort&, std::uint16_t, std::uint16_t, std::uint16_t) {
    ++calls;
  };
  for (std::uint32_t handle : {0u, 1u, 100u, 101u, 0xFFFFu}) {
    EXPECT_EQ(comm::TVnkCustomComPort::TriggerWindowProc(nullptr, comm::MsgTriggerAvail, 5,
                                                         handle << 16),
              0);
  }
  EXPECT_EQ(calls, 0);
}

struct Listener {
  int calls = 0;
  void Avail(comm::TVnkCustomComPort&, std::uint16_t) { ++calls; }
  void Other(comm::TVnkCustomComPort&, std::uint16_t) {}
};

TEST(SerialPortEvents, EventsAreSavedComparedAndRestored) {
  TVnkComPort p;
  Listener a, b;
  comm::TTriggerAvailEvent none;
  EXPECT_TRUE(p.OnTriggerAvail == none);

  p.OnTriggerAvail = comm::TTriggerAvailEvent::Method(&a, &Listener::Avail);
  EXPECT_TRUE(p.OnTriggerAvail == comm::TTriggerAvailEvent::Method(&a, &Listener::Avail));
  EXPECT_FALSE(p.OnTriggerAvail == comm::TTriggerAvailEvent::Method(&b, &Listener::Avail));
  EXPECT_FALSE(p.OnTriggerAvail == comm::TTriggerAvailEvent::Method(&a, &Listener::Other));

  const auto saved = p.OnTriggerAvail;  // as the dialer saves the port's event
  int replaced = 0;
  p.OnTriggerAvail = [&](comm::TVnkCustomComPort&, std::uint16_t) { ++replaced; };
  EXPECT_FALSE(p.OnTriggerAvail == saved);
  p.OnTriggerAvail(p, 1);
  EXPECT_EQ(replaced, 1);
  EXPECT_EQ(a.calls, 0);

  p.OnTriggerAvail = saved;
  EXPECT_TRUE(p.OnTriggerAvail == saved);
  p.OnTriggerAvail(p, 1);
  EXPECT_EQ(a.calls, 1);
  EXPECT_EQ(replaced, 1);

  // Two lambdas are never the same handler, even when alike.
  auto f = [](comm::TVnkCustomComPort&, std::uint16_t) {};
  EXPECT_FALSE(comm::TTriggerAvailEvent(f) == comm::TTriggerAvailEvent(f));
}

void UserA(void*, comm::TVnkCustomComPort&, bool) {}
void UserB(void*, comm::TVnkCustomComPort&, bool) {}

TEST(SerialPortUsers, RemovingByCallbackDropsEveryOwnersEntry) {
  TVnkComPort p;
  int o1 = 0, o2 = 0;
  p.AddPortUser(UserA, &o1);
  p.AddPortUser(UserB, &o1);
  p.AddPortUser(UserA, &o2);
  EXPECT_EQ(p.PortUserCount(), 3u);
  p.RemovePortUser(UserA, &o2);
  EXPECT_EQ(p.PortUserCount(), 2u);
  p.AddPortUser(UserA, &o2);
  p.RemovePortUser(UserA);
  EXPECT_EQ(p.PortUserCount(), 1u);
  p.RemovePortUser(UserB);
  EXPECT_EQ(p.PortUserCount(), 0u);
}

TEST(SerialPortAssign, CopiesStoredValuesEventsAndUsersButNotTheOpenState) {
  TVnkComPort source;
  source.SetComNumber(2);
  source.SetBaud(9600);
  source.SetInSize(20000);
  source.SetTraceName("VNK.TRC");
  source.SetTracing(TTraceLogState::tlOn);
  source.SetAutoOpen(false);
  Listener l;
  source.OnTriggerAvail = comm::TTriggerAvailEvent::Method(&l, &Listener::Avail);
  int owner = 0;
  source.AddPortUser(UserA, &owner);

  TVnkComPort copy;
  copy.Assign(source);
  EXPECT_EQ(copy.ComNumber(), 2);
  EXPECT_EQ(copy.Baud(), 9600);
  EXPECT_EQ(copy.InSize(), 20000);
  EXPECT_EQ(copy.TraceName(), "VNK.TRC");
  EXPECT_EQ(copy.Tracing(), TTraceLogState::tlOn);
  EXPECT_TRUE(copy.AutoOpen());  // not among the copied properties
  EXPECT_TRUE(copy.OnTriggerAvail == source.OnTriggerAvail);
  EXPECT_EQ(copy.PortUserCount(), 1u);
  EXPECT_FALSE(copy.Open());
}

}  // namespace
