#pragma once
// The POSIX device layer, in the slot of the system's own serial layer:
// a COM number is a tty path, opened non-blocking with an exclusive lock and
// set to raw mode. Written data goes to the owning port's output ring; the
// dispatcher's output thread writes it to the device.
#include <cstdint>
#include <string>

#include "comm/DevLayer.h"

namespace comm {

// The device path of COM n: $LEDSIGN_COM<n> when set and not empty, else
// /dev/ttyS<n-1>. n is 1..50.
std::string ComDevicePath(int comNumber);

// An error of COM n's line, naming the port: "COM<n> (<device>): <what>", or
// "COM<n>: <what>" when `what` names the device already.
std::string ComPortErrorText(int comNumber, const std::string& what);

// The path a layer name stands for: "\\.\COMn", "COMn" (any case) become
// ComDevicePath(n); anything else is taken as a path.
std::string ResolveDeviceName(const std::string& name);

// The layer's table.
const DeviceLayerTable& PosixDeviceLayer();
// Installs it as the table in force (the slot's InstallWin32Layer).
void InstallPosixLayer();
// The name the component's layer activation uses for the system's own layer.
inline void InstallWin32Layer() { InstallPosixLayer(); }

// The layer's open operation: its identity for FindPortRecord.
std::int32_t PosixLayerOpen(const char* name, std::uint16_t inSize, std::uint16_t outSize);

// Baud rate to termios speed; false for a rate termios has no speed for.
bool BaudToSpeed(std::uint32_t baud, unsigned& speed);

}  // namespace comm
