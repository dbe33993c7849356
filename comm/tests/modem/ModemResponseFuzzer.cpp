// The input is all the modem answers to one dial. Each input dials through
// the real engine on a fresh port of the fake device layer, whose far end
// gives the input back as the modem's reply. Whatever the reply, the dial
// has one final result at most: connected, or a failure followed by its one
// reason; nothing is heard after it, the engine is idle afterwards, and a
// reply that holds a whole result line never ends in the dial time-out.
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ModemTestSupport.h"
#include "comm/FakeLayer.h"
#include "comm/ModemEngine.h"
#include "comm/ModemInfo.h"
#include "comm/PortDispatch.h"

namespace {

using namespace comm;
using namespace std::chrono_literals;
using modemtest::Clock;
using modemtest::Recorder;

[[noreturn]] void Fail(const std::string& what, const Recorder& heard) {
  std::fprintf(stderr, "%s; heard: %s\n", what.c_str(), modemtest::Describe(heard.List()).c_str());
  std::abort();
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool Holds(const std::string& upperReply, std::string_view word) {
  return upperReply.find(word) != std::string::npos;
}

// A line ended by CR or LF that is a result word of a dial (any letter case),
// or CONNECT with a speed or tags after it.
bool HoldsResultLine(const std::string& upperReply) {
  static constexpr std::string_view kWords[] = {"BUSY", "VOICE", "NO CARRIER", "NO DIALTONE", "ERROR"};
  std::size_t start = 0;
  for (std::size_t i = 0; i < upperReply.size(); ++i) {
    if (upperReply[i] != '\r' && upperReply[i] != '\n') continue;
    const std::string_view line = std::string_view(upperReply).substr(start, i - start);
    start = i + 1;
    if (line.starts_with("CONNECT")) return true;
    if (std::find(std::begin(kWords), std::end(kWords), line) != std::end(kWords)) return true;
  }
  return false;
}

// The word a failure notice names.
std::string_view WordOf(std::uint32_t reason) {
  switch (reason) {
    case MsgModemBusy: return "BUSY";
    case MsgModemVoice: return "VOICE";
    case MsgModemNoCarrier: return "NO CARRIER";
    case MsgModemNoDialTone: return "NO DIALTONE";
    case MsgModemError: return "ERROR";
    default: return {};
  }
}

bool IsReason(std::uint32_t msg) { return !WordOf(msg).empty() || msg == MsgDialTimedOut; }

void WriteReply(int fd, const std::uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      std::abort();
    }
  }
}

// Waits until the dispatcher has taken every byte from the device and the
// port's buffer is empty, or the time is up.
void WaitTillTaken(std::uint16_t port, int device, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    int queued = 0;
    if (::ioctl(device, FIONREAD, &queued) == 0 && queued == 0 && CharsAvailable(port) <= 0) return;
    std::this_thread::sleep_for(1ms);
  }
}

// Connected, or a failure with its reason (after CONNECT a failure has none).
bool HeardFinal(const std::vector<std::uint32_t>& msgs) {
  bool connect = false;
  for (std::size_t i = 0; i < msgs.size(); ++i) {
    if (msgs[i] == MsgModemConnect) connect = true;
    if (msgs[i] == MsgModemIsConnected) return true;
    if (msgs[i] == MsgConnectFailed) return connect || i + 1 < msgs.size();
  }
  return false;
}

bool WaitForFinal(const Recorder& heard, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (!HeardFinal(heard.Msgs())) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// The notices of one dial, held against the reply.
void CheckNotices(const Recorder& heard, const std::string& upperReply, bool resultLine, bool cancelled) {
  const std::vector<std::uint32_t> msgs = heard.Msgs();
  bool connect = false, speed = false;
  std::size_t finals = 0;
  for (std::size_t i = 0; i < msgs.size(); ++i) {
    const std::uint32_t m = msgs[i];
    if (finals > 0 && !(IsReason(m) && msgs[i - 1] == MsgConnectFailed)) Fail("a notice after the final one", heard);
    switch (m) {
      case MsgDialCount:
      case MsgGotErrCorrection:
      case MsgGotDataCompression:
        break;
      case MsgModemConnect:
        if (connect || !Holds(upperReply, "CONNECT")) Fail("CONNECT heard twice or without the word", heard);
        connect = true;
        break;
      case MsgGotLineSpeed:
        if (!connect || speed) Fail("a line speed without CONNECT or twice", heard);
        speed = true;
        break;
      case MsgModemIsConnected:
        if (!connect) Fail("connected without CONNECT", heard);
        ++finals;
        break;
      case MsgConnectFailed:
        ++finals;
        // A failure of the dial itself names its reason next; after CONNECT none follows.
        if (connect != (i + 1 == msgs.size() || !IsReason(msgs[i + 1]))) Fail("a failure without its one reason", heard);
        break;
      default:
        if (!IsReason(m) || i == 0 || msgs[i - 1] != MsgConnectFailed) Fail("a notice a dial never sends", heard);
        if (m == MsgDialTimedOut ? resultLine : !Holds(upperReply, WordOf(m))) Fail("a reason the reply does not give", heard);
    }
  }
  if (finals > 1) Fail("more than one final result", heard);
  if (finals == 0 && !cancelled) Fail("the dial ended without a result", heard);
  if (resultLine && finals == 0) Fail("a whole result line did not end the dial", heard);
}

struct Port {
  std::uint16_t handle = 0;
  int device = -1;
  Port() {
    fake::InstallFakeLayer();
    if (OpenPortRecord(handle, "COM1", 4096, 4096, 19200, 0, 8, 1) != 0) std::abort();
    ClearDispatchOption(handle, kOptDirectReads);
    RegisterTriggerWindow(handle, nullptr, modemtest::ReadAllHandler, true);
    device = PortDevice(handle);
  }
  ~Port() { ClosePortRecord(handle); }
};

TModemInfoZ InfoWithTags() {
  TModemInfo info = DefaultModemInfo();
  info.ErrorTagCount = 2;
  info.ErrorTags = {"ARQ", "LAPM", "", "", ""};
  info.CompressTagCount = 1;
  info.CompressTags = {"V42BIS", "", "", "", ""};
  TModemInfoZ z;
  ConvertModemInfo(info, z);
  return z;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  modemtest::App();
  const std::string upperReply = Upper(std::string_view(reinterpret_cast<const char*>(data), size));
  const bool resultLine = HoldsResultLine(upperReply);
  // A reply with no result is cancelled after a short wait; one in sixteen
  // (chosen by its bytes, so a run repeats) waits for the dial time-out.
  unsigned sum = 0;
  for (std::size_t i = 0; i < size; ++i) sum += data[i];
  const bool awaitTimeOut = !resultLine && sum % 16 == 0;

  Port port;
  ModemRecordRef rec;
  Recorder heard;
  if (BuildComponentModemRecord(rec, port.handle, InfoWithTags()) != 0) std::abort();
  // Short waits keep one dial well under a second; a reply with a result
  // line gets time enough that only a fault makes it time out.
  SetModemDialTimeout(*rec, resultLine ? 5 : 1);
  // The pauses of a failure (the line may deliver more meanwhile) for one
  // reply in four; none for the rest.
  SetModemDelayFactor(*rec, sum % 4 == 1 ? 1 : 0);
  rec->SpeedWaitTicks = 2;
  rec->TagWaitTicks = 1;
  AddModemUserProc(*rec, nullptr, heard.Proc());
  if (RegisterModemHandler(*rec, true) != 0 || ModemDial(*rec, "1") != 0) std::abort();

  WriteReply(fake::PeerFd(port.device), data, size);
  WaitTillTaken(port.handle, port.device, 3000ms);
  bool cancelled = false;
  if (!WaitForFinal(heard, 20ms) && ModemState(*rec) == kModemDialing && !resultLine && !awaitTimeOut) {
    cancelled = ModemCancelDial(*rec) == 0;
  }
  if (!cancelled) WaitForFinal(heard, 6000ms);
  std::this_thread::sleep_for(10ms);  // anything late would come now

  CheckNotices(heard, upperReply, resultLine, cancelled);
  if (ModemIsDialing(*rec) || ModemState(*rec) != kModemIdle) Fail("the engine is not idle after the dial", heard);
  FreeModemRecord(rec);
  return 0;
}
