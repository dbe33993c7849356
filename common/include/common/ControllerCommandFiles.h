#pragma once
// The small command files the controller writes just before each send: the
// wake-up, the end, the sequence, schedule and interrupt runs, and the single
// control commands. Each writer returns the path it wrote (the file the next
// send sends) and raises platform::InOutError when the file cannot be written;
// the previous copy then stays whole.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace cmdfile {

// What every controller command file depends on.
struct ControllerContext {
  std::string systemDirectory;  // where the command files go
  std::string signId = "00";    // "00".."99", chosen in the main window
  int timeFormat = 1;           // 0 = 12H, 1 = 24H
  bool crcCheck = false;
  const platform::Clock* clock = &platform::DefaultClock();
};

// The wake-up command without its at-signs:
// "{N<id>,M=AML,D=<tf> <month> <day> <weekday> <hour> <minute>}" plus ",S"
// before the brace when CRC checking is on and the ID is not "00".
std::string WakeUpCommand(const ControllerContext& context);
constexpr int kWakeUpAtSigns = 22;

struct ScheduleRow {
  std::string file;  // full path
  std::string date;  // "MM/DD", a day word, or blank
  std::string time;  // "HH:MM"
};

// The control commands of "Marvanex.MSG".
enum class ControlCode : int {
  ResetSign = 0,
  ClearAll = 1,
  RunAll = 2,
  RunOldMode = 3,
  AutoDimming = 11,
  DayDimming = 12,
  NightDimming = 13,
};
// The command text of a code ("{Z}" ...).
std::string ControlCommand(ControlCode code);

// The run records name each file as signname::ShortName does (the interrupt
// by its whole file name, case kept); a name its record cannot carry
// (signname::NameRefusal, for the interrupt signname::InterruptNameRefusal)
// raises signname::NameRefused, and the writers below then leave their file alone.
std::string SequenceCommand(const std::vector<std::string>& paths);
std::string ScheduleCommand(const std::vector<ScheduleRow>& rows);
std::string InterruptCommand(const std::string& entry, int playingTimes);

std::string WriteWakeUpFile(const ControllerContext& context);
std::string WriteOverFile(const ControllerContext& context);
std::string WriteSequenceFile(const ControllerContext& context, const std::vector<std::string>& paths);
std::string WriteScheduleFile(const ControllerContext& context, const std::vector<ScheduleRow>& rows);
std::string WriteInterruptFile(const ControllerContext& context, const std::string& entry, int playingTimes);
std::string WriteCommandFile(const ControllerContext& context, ControlCode code);

}  // namespace cmdfile
