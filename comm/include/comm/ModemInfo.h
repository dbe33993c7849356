#pragma once
// The modem information record (what the application says about its Hayes
// modem), its NUL-terminated form, and the engine's working record built from
// it: private copies of the strings, the triggers the engine holds on the
// port, the tick timings and the run-time state of the engine.
#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace comm {

class TriggerWindow;
class TVnkCustomModem;

// Longest texts of the string types.
inline constexpr std::size_t kModemNameMax = 31;
inline constexpr std::size_t kCmdStringMax = 41;
inline constexpr std::size_t kConfigStringMax = 255;
inline constexpr std::size_t kRspStringMax = 21;
inline constexpr std::size_t kTagStringMax = 21;
inline constexpr int kMaxModemTags = 5;

struct TModemInfo {
  std::string ModemName;  // at most 31
  std::string InitCmd, DialCmd, DialTerm, DialCancel, HangupCmd;  // at most 41 each
  std::string ConfigCmd;                                           // at most 255
  std::string AnswerCmd;                                           // at most 41
  std::string OkMsg, ConnectMsg, BusyMsg, VoiceMsg, NoCarrierMsg, NoDialToneMsg, ErrorMsg,
      RingMsg;  // at most 21 each
  std::uint16_t ErrorTagCount = 0;  // 0..5
  std::array<std::string, kMaxModemTags> ErrorTags;
  std::uint16_t CompressTagCount = 0;  // 0..5
  std::array<std::string, kMaxModemTags> CompressTags;
  bool LockDTE = true;
  std::int32_t DefBaud = 19200;
};

// The information every modem starts with.
TModemInfo DefaultModemInfo();

struct TModemInfoZ {
  char ModemName[kModemNameMax + 1];
  char InitCmd[kCmdStringMax + 1];
  char DialCmd[kCmdStringMax + 1];
  char DialTerm[kCmdStringMax + 1];
  char DialCancel[kCmdStringMax + 1];
  char HangupCmd[kCmdStringMax + 1];
  char ConfigCmd[kConfigStringMax + 1];
  char AnswerCmd[kCmdStringMax + 1];
  char OkMsg[kRspStringMax + 1];
  char ConnectMsg[kRspStringMax + 1];
  char BusyMsg[kRspStringMax + 1];
  char VoiceMsg[kRspStringMax + 1];
  char NoCarrierMsg[kRspStringMax + 1];
  char NoDialToneMsg[kRspStringMax + 1];
  char ErrorMsg[kRspStringMax + 1];
  char RingMsg[kRspStringMax + 1];
  std::int32_t ErrorTagCount;
  char ErrorTags[kMaxModemTags][kTagStringMax + 1];
  std::int32_t CompressTagCount;
  char CompressTags[kMaxModemTags][kTagStringMax + 1];
  std::int32_t LockDTE;  // True is all bits set
  std::int32_t DefBaud;
};

// Zeroes Z, then copies every field (strings cut to their type's length,
// tag counts bounded by 0..5).
void ConvertModemInfo(const TModemInfo& info, TModemInfoZ& z);

// ---------------------------------------------------------------------------
// The engine's record.

// Response slots 1..8.
inline constexpr int kRspOk = 1, kRspConnect = 2, kRspBusy = 3, kRspVoice = 4, kRspNoCarrier = 5,
                     kRspNoDialTone = 6, kRspError = 7, kRspRing = 8;

struct TModemSlot {
  std::string Text;
  std::int32_t Trigger = 0;
  bool Added = false;
};

// A notice as its receivers get it: the values of the moment it was sent.
struct TModemNotice {
  std::uint32_t Msg = 0;
  std::int32_t First = 0;
  std::int32_t Second = 0;
  std::int32_t LineSpeed = 0;          // the record's line speed when sent
  struct TModemRecord* Record = nullptr;  // the record itself when PassRecord is set
};

using TModemUserProc = std::function<void(const TModemNotice&)>;

struct TModemUserNode {
  TriggerWindow* Window = nullptr;  // gets (Msg, First, Second) on its own thread
  TModemUserProc Proc;
  bool Deleted = false;
};

// Timing defaults, in ticks unless stated.
inline constexpr std::uint32_t kDefDialTimeout = 60;    // seconds
inline constexpr std::uint32_t kDefAnswerTimeout = 60;  // seconds
inline constexpr std::uint32_t kDefDelayFactor = 2;
inline constexpr std::uint32_t kDefCmdTimeout = 182;
inline constexpr std::uint32_t kDefDTRDropHold = 8;
inline constexpr std::uint32_t kDefCharDelay = 0;
inline constexpr std::uint32_t kDefTildeDelay = 9;
inline constexpr std::uint32_t kDefRingWaitTimeout = 182;
inline constexpr std::uint32_t kDefTagWaitTicks = 9;
inline constexpr std::uint32_t kDefSpeedWaitTicks = 36;

// Always held by a ModemRecordRef: an engine operation takes its own
// reference, so a record freed meanwhile (the port closed in a pause) stays
// valid until the operation has noticed and returned.
struct TModemRecord : std::enable_shared_from_this<TModemRecord> {
  TModemRecord();
  ~TModemRecord();
  TModemRecord(const TModemRecord&) = delete;
  TModemRecord& operator=(const TModemRecord&) = delete;

  std::string InitCmd, DialCmd, DialTerm, DialCancel, HangupCmd, ConfigCmd, AnswerCmd;
  std::array<TModemSlot, 9> Responses;  // 1..8
  std::int32_t ErrorTagCount = 0;
  std::array<TModemSlot, kMaxModemTags> ErrorTags;
  std::int32_t CompressTagCount = 0;
  std::array<TModemSlot, kMaxModemTags> CompressTags;
  std::uint32_t LastMessage = 0;
  std::uint32_t DialTimeout = 0, AnswerTimeout = 0, DelayFactor = 0, CmdTimeout = 0,
                DTRDropHold = 0, CharDelay = 0, TildeDelay = 0, RingWaitTimeout = 0;
  std::uint32_t TagWaitTicks = 0;
  std::uint32_t SpeedWaitTicks = 0;
  std::uint16_t PortHandle = 0;
  bool PassOn = false;
  bool LockDTE = false;
  std::vector<std::shared_ptr<TModemUserNode>> UserProcs;  // newest first
  bool Registered = false;
  std::int32_t State = 0;
  std::int32_t TimerTrigger = 0;
  std::int32_t SpeedLen = 0;
  bool GotErrCorrection = false, GotDataCompression = false;
  std::array<char, 16> SpeedText{};
  std::int32_t LineSpeed = 0;
  std::int32_t CountDown = 0;
  std::int32_t RingsToAnswer = 0, RingsLeft = 0;
  TVnkCustomModem* Owner = nullptr;
  bool PassRecord = false;
  std::array<char, 256> ResponseLine{};
  std::int32_t ResponseLen = 0;
  bool LineEnded = false;

  // Guards every field above between the port's dispatch thread (the
  // engine's handler) and the application's calls. Never held across a
  // pause, a send of a command string or a notice.
  mutable std::mutex Lock;
  // An operation is between its start and its end with the lock let go (it
  // is sending or pausing): other operations are refused as busy, and the
  // handler treats the record as idle, as the state says.
  bool InFlight = false;
  // Counts deregistrations: an operation that let the lock go finds out on
  // its return whether the engine was stopped meanwhile.
  std::uint32_t Generation = 0;
  bool Freed = false;
  // Receivers being called right now, and the thread calling them: freeing
  // waits for them, so a receiver never runs after its owner stopped the engine.
  int Delivering = 0;
  std::thread::id DeliveryThread;
  std::condition_variable DeliveryDone;
  // The number that user word 4 of the port holds for this record.
  std::int32_t RegistryId = 0;
};

using ModemRecordRef = std::shared_ptr<TModemRecord>;

// Builds the engine's record for an open port: 0, -1001 (bad port handle) or
// -8. On -8 from a string copy, or a failure to store the record on the port,
// Rec holds the partly built record, which FreeModemRecord frees.
std::int32_t BuildModemRecord(ModemRecordRef& rec, std::uint16_t portHandle, const TModemInfoZ& z);
// BuildModemRecord, then PassRecord True.
std::int32_t BuildComponentModemRecord(ModemRecordRef& rec, std::uint16_t portHandle,
                                       const TModemInfoZ& z);
// Releases the engine from the port (cancelling a dial or a command), frees
// the record and everything it owns, and clears the reference. Never raises.
void FreeModemRecord(ModemRecordRef& rec);

// The record a port's user word 4 names, or nullptr.
ModemRecordRef FindModemRecord(std::int32_t registryId);

// The timing setters: each stores its value unchanged.
void SetModemDialTimeout(TModemRecord& rec, std::uint32_t value);
void SetModemAnswerTimeout(TModemRecord& rec, std::uint32_t value);
void SetModemDelayFactor(TModemRecord& rec, std::uint32_t value);
void SetModemCmdTimeout(TModemRecord& rec, std::uint32_t value);
void SetModemDTRDropHold(TModemRecord& rec, std::uint32_t value);
void SetModemCharDelay(TModemRecord& rec, std::uint32_t value);
void SetModemTildeDelay(TModemRecord& rec, std::uint32_t value);
void SetModemRingWaitTimeout(TModemRecord& rec, std::uint32_t value);

}  // namespace comm
