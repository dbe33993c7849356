#include "comm/PosixLayer.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <sstream>

#include "comm/CommExcept.h"

namespace comm {
namespace {

// One record per device the layer opened or adopted, keyed by the device
// handle the port uses. An adopted handle is duplicated, so releasing it
// closes only our copy and never the owner's descriptor.
struct DeviceRecord {
  int fd = -1;
  bool adopted = false;
  Dcb shadow;                          // what termios cannot hold (limits, DTR/RTS control)
  serial_icounter_struct counts{};     // line error counters at the last look
  bool haveCounts = false;
  // The device keeps no framing of its own (a pseudo-terminal always runs
  // 8 data bits without parity): data bits and parity read back from the shadow.
  bool framingInShadow = false;
};

std::mutex g_devicesMutex;
std::map<std::int32_t, DeviceRecord> g_devices;

int DeviceFd(std::int32_t device) {
  std::lock_guard lock(g_devicesMutex);
  const auto it = g_devices.find(device);
  return it == g_devices.end() ? -1 : it->second.fd;
}

bool NoTermios(int error) { return error == ENOTTY || error == EINVAL; }

int Fail(int error) {
  SetLastDeviceError(ErrnoToDeviceError(error));
  return -1;
}

// Changes the modem lines; a device without them (a pseudo-terminal) is left
// as it is.
int SetLines(int fd, int lines, bool on) {
  if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &lines) == 0 || NoTermios(errno)) return 0;
  return Fail(errno);
}

struct SpeedRow {
  std::uint32_t baud;
  speed_t speed;
};
constexpr SpeedRow kSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

std::uint32_t SpeedToBaud(speed_t speed) {
  for (const auto& row : kSpeeds)
    if (row.speed == speed) return row.baud;
  return 0;
}

std::int32_t BuildDCB(const char* definition, Dcb& dcb) {
  // "4800,E,7,2" or "baud=4800 parity=E data=7 stop=2".
  if (definition == nullptr) return -1;
  std::string text(definition);
  for (char& c : text)
    if (c == ',' || c == ':') c = ' ';
  std::istringstream in(text);
  std::string word;
  int position = 0;
  Dcb result = dcb;
  while (in >> word) {
    std::string key;
    std::string value = word;
    if (const auto eq = word.find('='); eq != std::string::npos) {
      key = word.substr(0, eq);
      value = word.substr(eq + 1);
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else {
      static const char* const kOrder[] = {"baud", "parity", "data", "stop"};
      if (position > 3) return -1;
      key = kOrder[position++];
    }
    if (value.empty()) return -1;
    if (key == "baud") {
      char* end = nullptr;
      const unsigned long baud = std::strtoul(value.c_str(), &end, 10);
      if (*end != '\0' || baud == 0) return -1;
      result.BaudRate = static_cast<std::uint32_t>(baud);
    } else if (key == "parity") {
      switch (std::toupper(static_cast<unsigned char>(value[0]))) {
        case 'N': result.Parity = kNoParity; break;
        case 'O': result.Parity = kOddParity; break;
        case 'E': result.Parity = kEvenParity; break;
        case 'M': result.Parity = kMarkParity; break;
        case 'S': result.Parity = kSpaceParity; break;
        default: return -1;
      }
    } else if (key == "data") {
      if (value.size() != 1 || value[0] < '5' || value[0] > '8') return -1;
      result.ByteSize = static_cast<std::uint8_t>(value[0] - '0');
    } else if (key == "stop") {
      if (value == "1") result.StopBits = kOneStopBit;
      else if (value == "1.5") result.StopBits = kOne5StopBits;
      else if (value == "2") result.StopBits = kTwoStopBits;
      else return -1;
    } else {
      return -1;
    }
  }
  dcb = result;
  return 0;
}

std::int32_t SetBreak(std::int32_t device) {
  const int fd = DeviceFd(device);
  if (fd < 0) return Fail(EBADF);
  return ::ioctl(fd, TIOCSBRK) == 0 || NoTermios(errno) ? 0 : Fail(errno);
}

std::int32_t ClearBreak(std::int32_t device) {
  const int fd = DeviceFd(device);
  if (fd < 0) return Fail(EBADF);
  return ::ioctl(fd, TIOCCBRK) == 0 || NoTermios(errno) ? 0 : Fail(errno);
}

std::int32_t Close(std::int32_t device) {
  int fd = device;
  {
    std::lock_guard lock(g_devicesMutex);
    const auto it = g_devices.find(device);
    if (it != g_devices.end()) {
      fd = it->second.fd;
      g_devices.erase(it);
    }
  }
  return ::close(fd) == 0 ? 0 : Fail(errno);
}

std::int32_t Escape(std::int32_t device, std::int32_t function) {
  const int fd = DeviceFd(device);
  if (fd < 0) return 0;
  switch (function) {
    case kSetDtr: SetLines(fd, TIOCM_DTR, true); break;
    case kClrDtr: SetLines(fd, TIOCM_DTR, false); break;
    case kSetRts: SetLines(fd, TIOCM_RTS, true); break;
    case kClrRts: SetLines(fd, TIOCM_RTS, false); break;
    case kSetBreak: ::ioctl(fd, TIOCSBRK); break;
    case kClrBreak: ::ioctl(fd, TIOCCBRK); break;
    case kSetXoff: ::tcflow(fd, TCOOFF); break;
    case kSetXon: ::tcflow(fd, TCOON); break;
    default: break;
  }
  return 0;  // the result of the escape is not reported
}

std::int32_t Flush(std::int32_t device, std::int32_t input) {
  const int fd = DeviceFd(device);
  if (fd < 0) return static_cast<std::int32_t>(ErrnoToDeviceError(EBADF));
  if (input == 0) {
    // Output: abort what the output thread is sending, empty the ring, then
    // the device's own queue. Without an owning port nothing is purged.
    if (!LayerAbortOutput(device, PosixLayerOpen))
      return static_cast<std::int32_t>(ErrnoToDeviceError(EBADF));
  }
  if (::tcflush(fd, input != 0 ? TCIFLUSH : TCOFLUSH) == 0 || NoTermios(errno)) return 0;
  return static_cast<std::int32_t>(ErrnoToDeviceError(errno));
}

std::int32_t GetError(std::int32_t device, ComStat& status) {
  std::int32_t bits = 0;
  int fd = -1;
  {
    std::lock_guard lock(g_devicesMutex);
    const auto it = g_devices.find(device);
    if (it != g_devices.end()) {
      DeviceRecord& record = it->second;
      fd = record.fd;
      // Line errors from the driver's counters, where the device keeps them.
      serial_icounter_struct now{};
      if (::ioctl(fd, TIOCGICOUNT, &now) == 0) {
        if (record.haveCounts) {
          if (now.buf_overrun != record.counts.buf_overrun) bits |= kCeRxOver;
          if (now.overrun != record.counts.overrun) bits |= kCeOverrun;
          if (now.parity != record.counts.parity) bits |= kCeRxParity;
          if (now.frame != record.counts.frame) bits |= kCeFrame;
          if (now.brk != record.counts.brk) bits |= kCeBreak;
        }
        record.counts = now;
        record.haveCounts = true;
      }
    }
  }
  status = ComStat{};
  int waiting = 0;
  if (fd >= 0 && ::ioctl(fd, FIONREAD, &waiting) == 0 && waiting > 0)
    status.cbInQue = static_cast<std::uint32_t>(waiting);
  if (!LayerOutputQueued(device, PosixLayerOpen, status)) return kErrDeviceNotOpen;
  return bits;
}

std::uint16_t GetEventMask(std::int32_t, std::uint16_t) { return 0; }

std::int32_t GetState(std::int32_t device, Dcb& dcb) {
  std::lock_guard lock(g_devicesMutex);
  const auto it = g_devices.find(device);
  if (it == g_devices.end()) return Fail(EBADF);
  Dcb state = it->second.shadow;
  termios tio{};
  if (::tcgetattr(it->second.fd, &tio) == 0) {
    if (const std::uint32_t baud = SpeedToBaud(cfgetospeed(&tio)); baud != 0) state.BaudRate = baud;
    switch (tio.c_cflag & CSIZE) {
      case CS5: state.ByteSize = 5; break;
      case CS6: state.ByteSize = 6; break;
      case CS7: state.ByteSize = 7; break;
      default: state.ByteSize = 8; break;
    }
    if (!(tio.c_cflag & PARENB)) state.Parity = kNoParity;
    else if (tio.c_cflag & CMSPAR) state.Parity = (tio.c_cflag & PARODD) ? kMarkParity : kSpaceParity;
    else state.Parity = (tio.c_cflag & PARODD) ? kOddParity : kEvenParity;
    if (tio.c_cflag & CSTOPB) state.StopBits = state.ByteSize == 5 ? kOne5StopBits : kTwoStopBits;
    else state.StopBits = kOneStopBit;
    state.Flags &= ~(kDcbOutX | kDcbInX | kDcbOutxCtsFlow);
    if (tio.c_iflag & IXON) state.Flags |= kDcbOutX;
    if (tio.c_iflag & IXOFF) state.Flags |= kDcbInX;
    if (tio.c_cflag & CRTSCTS) state.Flags |= kDcbOutxCtsFlow;
    if ((state.Flags & kDcbRtsControlMask) == kDcbRtsControlHandshake && !(tio.c_cflag & CRTSCTS))
      state.Flags &= ~kDcbRtsControlMask;
    if (it->second.framingInShadow) {
      state.ByteSize = it->second.shadow.ByteSize;
      state.Parity = it->second.shadow.Parity;
      if (state.StopBits != kOneStopBit)
        state.StopBits = state.ByteSize == 5 ? kOne5StopBits : kTwoStopBits;
    }
    state.XonChar = static_cast<char>(tio.c_cc[VSTART]);
    state.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);
  } else if (!NoTermios(errno)) {
    return Fail(errno);
  }
  dcb = state;
  return 0;
}

std::int32_t SetState(std::int32_t device, const Dcb& dcb) {
  std::lock_guard lock(g_devicesMutex);
  const auto it = g_devices.find(device);
  if (it == g_devices.end()) return Fail(EBADF);
  const int fd = it->second.fd;
  termios tio{};
  if (::tcgetattr(fd, &tio) == 0) {
    speed_t speed = 0;
    bool found = false;
    for (const auto& row : kSpeeds)
      if (row.baud == dcb.BaudRate) speed = row.speed, found = true;
    if (!found) return Fail(EINVAL);
    tcflag_t size;
    switch (dcb.ByteSize) {
      case 5: size = CS5; break;
      case 6: size = CS6; break;
      case 7: size = CS7; break;
      case 8: size = CS8; break;
      default: return Fail(EINVAL);
    }
    if (dcb.Parity > kSpaceParity || dcb.StopBits > kTwoStopBits) return Fail(EINVAL);
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tio.c_cflag = (tio.c_cflag & ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS)) | size;
    switch (dcb.Parity) {
      case kOddParity: tio.c_cflag |= PARENB | PARODD; break;
      case kEvenParity: tio.c_cflag |= PARENB; break;
      case kMarkParity: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
      case kSpaceParity: tio.c_cflag |= PARENB | CMSPAR; break;
      default: break;
    }
    if (dcb.StopBits != kOneStopBit) tio.c_cflag |= CSTOPB;
    // termios has one hardware handshake for both directions.
    if ((dcb.Flags & kDcbOutxCtsFlow) || (dcb.Flags & kDcbRtsControlMask) == kDcbRtsControlHandshake)
      tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (dcb.Flags & kDcbOutX) tio.c_iflag |= IXON;
    if (dcb.Flags & kDcbInX) tio.c_iflag |= IXOFF;
    tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) return Fail(errno);
    termios applied{};
    it->second.framingInShadow =
        ::tcgetattr(fd, &applied) == 0 &&
        (applied.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR)) != (tio.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR));
  } else if (!NoTermios(errno)) {
    return Fail(errno);
  }
  // DTR and RTS follow their control fields: disabled lowers the line.
  SetLines(fd, TIOCM_DTR, (dcb.Flags & kDcbDtrControlMask) != 0);
  if ((dcb.Flags & kDcbRtsControlMask) != kDcbRtsControlHandshake)
    SetLines(fd, TIOCM_RTS, (dcb.Flags & kDcbRtsControlMask) != 0);
  it->second.shadow = dcb;
  return 0;
}

std::int32_t TransmitChar(std::int32_t device, char c) {
  const int fd = DeviceFd(device);
  if (fd < 0) return Fail(EBADF);
  return ::write(fd, &c, 1) == 1 ? 0 : Fail(errno);
}

std::int32_t UngetChar(std::int32_t, char) { return kErrNotSupported; }

std::int32_t Read(std::int32_t device, std::uint8_t* buffer, std::int32_t count) {
  const int fd = DeviceFd(device);
  if (fd < 0) return kErrDeviceNotOpen;
  if (count <= 0) return 0;
  const ssize_t got = ::read(fd, buffer, static_cast<std::size_t>(count));
  if (got >= 0) return static_cast<std::int32_t>(got);
  if (errno != EAGAIN && errno != EINTR) SetLastDeviceError(ErrnoToDeviceError(errno));
  return 0;
}

std::int32_t SetEventMask(std::int32_t, std::uint16_t) { return 0; }

std::int32_t Write(std::int32_t device, const std::uint8_t* buffer, std::int32_t count) {
  return LayerWriteToOutputRing(device, PosixLayerOpen, buffer, count);
}

void OptionNotify(std::int32_t, bool) {}

// A fresh record: the shadow starts from the device's own state.
DeviceRecord NewRecord(int fd, bool adopted) {
  DeviceRecord record;
  record.fd = fd;
  record.adopted = adopted;
  record.shadow.Flags = kDcbBinary | kDcbDtrControlEnable | kDcbRtsControlEnable;
  record.shadow.BaudRate = 9600;
  serial_icounter_struct counts{};
  if (::ioctl(fd, TIOCGICOUNT, &counts) == 0) {
    record.counts = counts;
    record.haveCounts = true;
  }
  return record;
}

void AdoptHandle(std::int32_t device, bool adopt) {
  if (adopt) {
    const int copy = ::fcntl(device, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return;  // silently: no record
    std::lock_guard lock(g_devicesMutex);
    if (!g_devices.emplace(device, NewRecord(copy, true)).second) ::close(copy);
    return;
  }
  int copy = -1;
  {
    std::lock_guard lock(g_devicesMutex);
    const auto it = g_devices.find(device);
    if (it == g_devices.end() || !it->second.adopted) return;
    copy = it->second.fd;
    g_devices.erase(it);
  }
  ::close(copy);
}

bool SetupQueues(std::int32_t device, std::uint16_t, std::uint16_t) {
  // The kernel sizes its own queues; only a known, valid device is asked for.
  const int fd = DeviceFd(device);
  if (fd < 0 || ::fcntl(fd, F_GETFD) < 0) {
    SetLastDeviceError(ErrnoToDeviceError(EBADF));
    return false;
  }
  return true;
}

std::int32_t OutQueue(std::int32_t device) {
  const int fd = DeviceFd(device);
  if (fd < 0) return kErrDeviceNotOpen;
  // What the driver still holds to send. A pseudo-terminal hands its bytes
  // on at once and answers 0; a hung-up tty answers EIO.
  int queued = 0;
  if (::ioctl(fd, TIOCOUTQ, &queued) == 0) return queued > 0 ? queued : 0;
  if (NoTermios(errno)) return 0;  // no queue of its own
  return Fail(errno);
}

// The pseudo-terminal multiplexer (/dev/ptmx, /dev/pts/ptmx): each open of it
// makes a new pseudo-terminal and hands back its master, no line to a sign.
bool IsPtyMultiplexer(dev_t device) { return major(device) == 5 && minor(device) == 2; }

std::int32_t NotASerialDevice(const std::string& path) {
  SetLastDeviceErrorText(path + " is not a serial device");
  return Fail(ENODEV);  // no such port
}

const DeviceLayerTable kPosixLayer = {
    BuildDCB, ClearBreak, Close,   Escape,    Flush,      GetError,     GetEventMask,
    GetState, PosixLayerOpen, Read, SetBreak,  SetEventMask, SetState,  TransmitChar,
    UngetChar, Write,     OptionNotify, AdoptHandle, SetupQueues, OutQueue,
};

}  // namespace

std::string ComDevicePath(int comNumber) {
  const std::string variable = "LEDSIGN_COM" + std::to_string(comNumber);
  if (const char* value = std::getenv(variable.c_str()); value != nullptr && *value != '\0')
    return value;
  return "/dev/ttyS" + std::to_string(comNumber - 1);
}

std::string ComPortErrorText(int comNumber, const std::string& what) {
  const std::string com = "COM" + std::to_string(comNumber);
  const std::string device = ComDevicePath(comNumber);
  if (what.find(device) != std::string::npos) return com + ": " + what;
  return com + " (" + device + "): " + what;
}

std::string ResolveDeviceName(const std::string& name) {
  std::string rest = name;
  if (rest.rfind("\\\\.\\", 0) == 0) rest = rest.substr(4);
  if (rest.size() > 3 && std::toupper(static_cast<unsigned char>(rest[0])) == 'C' &&
      std::toupper(static_cast<unsigned char>(rest[1])) == 'O' &&
      std::toupper(static_cast<unsigned char>(rest[2])) == 'M' && rest.size() <= 5) {
    int number = 0;
    bool digits = true;
    for (std::size_t i = 3; i < rest.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(rest[i]))) digits = false;
      else number = number * 10 + (rest[i] - '0');
    }
    if (digits && number >= 1 && number <= kMaxPorts) return ComDevicePath(number);
  }
  return rest;
}

bool BaudToSpeed(std::uint32_t baud, unsigned& speed) {
  for (const auto& row : kSpeeds)
    if (row.baud == baud) {
      speed = row.speed;
      return true;
    }
  return false;
}

std::int32_t PosixLayerOpen(const char* name, std::uint16_t, std::uint16_t) {
  if (name == nullptr) return Fail(ENOENT);
  const std::string path = ResolveDeviceName(name);
  // A folder, a socket, a FIFO or a file is refused before any open; a
  // missing path is left to the open, which names it.
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && (!S_ISCHR(status.st_mode) || IsPtyMultiplexer(status.st_rdev)))
    return NotASerialDevice(path);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == EACCES || error == EPERM) {
      // Denied, as a device in use is: the text tells the two apart.
      SetLastDeviceErrorText("No permission to open " + path +
                             ": the user needs access to the device (on Debian, membership of "
                             "the dialout group)");
      return Fail(error);
    }
    // A pulled USB adapter leaves no node: say so, so the user looks at the
    // cable rather than at the sign.
    if (error == ENOENT) SetLastDeviceErrorText(path + " does not exist (is the device plugged in?)");
    // A serial node without hardware behind it answers EIO: no such port.
    return Fail(error == EIO ? ENODEV : error);
  }
  // Anything but a terminal (/dev/null, a regular file) reads as always
  // ready with nothing to read, and the port's threads would spin on it.
  if (!::isatty(fd)) {
    ::close(fd);
    return NotASerialDevice(path);
  }
  // One opener at a time, across processes as within this one.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    return Fail(error);
  }
  termios tio{};
  if (::tcgetattr(fd, &tio) == 0) {
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0 && !NoTermios(errno)) {
      const int error = errno;
      ::close(fd);
      return Fail(error);
    }
  } else if (!NoTermios(errno)) {
    const int error = errno;
    ::close(fd);
    return Fail(error);
  }
  try {
    std::lock_guard lock(g_devicesMutex);
    g_devices[fd] = NewRecord(fd, false);
  } catch (const std::bad_alloc&) {
    ::close(fd);
    return kErrOutOfMemory;
  }
  return fd;
}

const DeviceLayerTable& PosixDeviceLayer() { return kPosixLayer; }

void InstallPosixLayer() { InstallDeviceLayer(kPosixLayer); }

}  // namespace comm
