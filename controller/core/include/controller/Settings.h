#pragma once
// The controller's settings in "SML_WIN.INI": the table of 50 signs and the
// link settings. The file is shared with the editor and the drawing program:
// a save sets only the controller's keys that it changed, so theirs
// ("System", "Sign ID") and the keys both write stay as the editor left them.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/LinkSettings.h"
#include "platform/ProfileFile.h"

class QComboBox;

namespace controller {

struct TSettings {
  int crcCheck = 0;           // 0 off, otherwise on
  int crcWaitMs = 1000;
  std::uint8_t linkKind = 1;  // 0 RS-232, otherwise TCP/IP
  int portIndex = 0;          // 0..3 = COM1..COM4
  int speedIndex = 6;         // 0..10 into BaudTable
  std::uint8_t timeFormat = 1;  // 0 = 12H, 1 = 24H
  bool IsTcp() const { return linkKind != 0; }
  bool operator==(const TSettings&) const = default;
};

struct TSignRecord {
  std::string name;
  std::string ip;
  std::string tel;
  bool operator==(const TSignRecord&) const = default;
};

constexpr int kSignEntries = 50;
// Entry number k (1..50) is element k - 1.
using SignTable = std::array<TSignRecord, kSignEntries>;

// Entry `number` of the table; null outside 1..50.
const TSignRecord* SignEntry(const SignTable& table, int number);

using settings::BaudOf;
using settings::BaudTable;
using settings::kSettingsFileName;
using settings::ParseSetting;
using settings::SerialSetup;
using settings::SettingsPath;

// The longest CRC wait taken from the file or the dialog (ten minutes).
constexpr int kMaxCrcWaitMs = 600000;

// Every key the controller keeps, with the text it would write for it, in
// the order of a save: "Name", "IP", "TEL" of "SIGN 1" to "SIGN 50", then
// "PORT", "SPEED", "IS TCP", "Time Format", "CRC Check", "CRC Wait MSec".
std::vector<platform::ProfileEntry> SettingsKeys(const TSettings& settings, const SignTable& table);

// Reads the whole file; a value that is not a number or out of its range
// takes that key's default. `read` (where given) takes the keys as read, for
// the saves to come. When the file was missing, writes every key, each only
// where the file (made meanwhile by another program) holds none.
// A file that is there but cannot be read is said in a warning, naming it and
// the reason; every value then takes its default, and no save of this run
// writes over the file.
void LoadSettings(const std::string& programDir, TSettings& settings, SignTable& table,
                  platform::ProfileKeysRead* read = nullptr);
// Writes the keys whose values changed since `read` took them, in one
// replacement of the file; every other key stays as the file holds it, and
// with no change nothing is written. A failure is shown once, naming the
// file and the reason, and gives false (the old file stays whole).
bool SaveSettings(const std::string& programDir, const TSettings& settings, const SignTable& table,
                  platform::ProfileKeysRead& read);

// The names the sign list shows: entries 1, 2, ... up to the first nameless one.
std::vector<std::string> SignNames(const SignTable& table);
// Fills the sign list with SignNames and selects the first.
void FillSignCombo(QComboBox& combo, const SignTable& table);

// ComNumber, Baud, Open, modem started, in this order. Any exception is shown
// as "Serial Port setup error!"; false then.
bool ApplySerialSettings(SerialSetup& serial, const TSettings& settings);

}  // namespace controller
