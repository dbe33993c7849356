#pragma once
// The Hayes modem engine: sends command strings, waits for the modem's
// response words through the port's data triggers, times commands, dials and
// answers with a timer trigger, reads the line speed after CONNECT, watches
// for error-correction and compression tags, and tells its receivers every
// outcome as a notice.
//
// The handler runs on the port's dispatch thread; the operations may be
// called from any thread. Notices are sent from the thread that met the
// outcome (the dispatch thread), with no lock held.
#include <cstdint>
#include <string>

#include "comm/ModemInfo.h"

namespace comm {

// Engine states.
inline constexpr std::int32_t kModemIdle = 0, kModemCommand = 1, kModemDialing = 2,
                              kModemConnected = 3, kModemReadingSpeed = 4, kModemAnswering = 5,
                              kModemRingWait = 6, kModemTagWait = 7;

// Notices.
inline constexpr std::uint32_t MsgModemOk = 0x7E28;
inline constexpr std::uint32_t MsgModemConnect = 0x7E29;
inline constexpr std::uint32_t MsgModemBusy = 0x7E2A;
inline constexpr std::uint32_t MsgModemVoice = 0x7E2B;
inline constexpr std::uint32_t MsgModemNoCarrier = 0x7E2C;
inline constexpr std::uint32_t MsgModemNoDialTone = 0x7E2D;
inline constexpr std::uint32_t MsgModemError = 0x7E2E;
inline constexpr std::uint32_t MsgGotLineSpeed = 0x7E2F;
inline constexpr std::uint32_t MsgGotErrCorrection = 0x7E30;
inline constexpr std::uint32_t MsgGotDataCompression = 0x7E31;
inline constexpr std::uint32_t MsgCmdTimedOut = 0x7E32;
inline constexpr std::uint32_t MsgDialTimedOut = 0x7E33;
inline constexpr std::uint32_t MsgAnswerTimedOut = 0x7E34;
inline constexpr std::uint32_t MsgDialCount = 0x7E35;
inline constexpr std::uint32_t MsgAnswerCount = 0x7E36;
inline constexpr std::uint32_t MsgModemRing = 0x7E37;
inline constexpr std::uint32_t MsgModemIsConnected = 0x7E38;
inline constexpr std::uint32_t MsgConnectFailed = 0x7E39;
inline constexpr std::uint32_t MsgCommandProcessed = 0x7E3A;

// First value of MsgCommandProcessed.
inline constexpr std::int32_t kCmdOk = 1, kCmdError = 2, kCmdTimedOut = 3;

// Registers the engine's handler on the record's port (every received byte
// announced): 0, -4002 when registered already, or the dispatcher's code.
std::int32_t RegisterModemHandler(TModemRecord& rec, bool passOn);
// Cancels a dial or an unfinished command and removes the handler.
std::int32_t DeregisterModemHandler(TModemRecord& rec);
// Puts a receiver of notices at the head of the list: a window (its
// WindowProc gets Msg, First, Second on its executor's thread) or a procedure.
std::int32_t AddModemUserProc(TModemRecord& rec, TriggerWindow* window, TModemUserProc proc);
// Marks the receivers with that window (non-null) as deleted; the next notice
// unlinks them.
std::int32_t RemoveModemUserWindow(TModemRecord& rec, TriggerWindow* window);

// Sends a command string: "^" and a character whose upper-case code minus 64
// is 0..31 send that control code; "~" pauses TildeDelay ticks; CharDelay
// ticks after each character but the last.
std::int32_t SendModemCommand(TModemRecord& rec, const std::string& text);
// Sends a command and waits for OK or ERROR (CmdTimeout ticks).
std::int32_t ModemPutCommand(TModemRecord& rec, const std::string& cmd);
std::int32_t ModemDial(TModemRecord& rec, const std::string& number);
std::int32_t ModemAnswer(TModemRecord& rec);
// Waits for `rings` rings (RingWaitTimeout ticks at most between two), then
// answers.
std::int32_t ModemWaitForRings(TModemRecord& rec, std::int32_t rings);
std::int32_t ModemCancelDial(TModemRecord& rec);
std::int32_t ModemHangUp(TModemRecord& rec);
bool ModemIsDialing(const TModemRecord& rec);
std::int32_t ModemLineSpeed(const TModemRecord& rec);
// The state, and whether an operation is running (State not 0, or an
// operation is sending or pausing).
std::int32_t ModemState(const TModemRecord& rec);
bool ModemBusy(const TModemRecord& rec);

// The handler the dispatcher calls (a procedure handler).
std::int32_t ModemHandler(std::intptr_t window, std::uint32_t message, std::uint32_t wParam,
                          std::uint32_t lParam);

// Sends a notice to the receivers at once (as the handler does after it let
// the record's lock go).
void ModemNotify(TModemRecord& rec, std::uint32_t msg, std::int32_t first, std::int32_t second);

}  // namespace comm
