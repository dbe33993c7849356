#include "common/ControllerCommandFiles.h"

#include <cstdio>
#include <stdexcept>

#include "common/CommandRecord.h"
#include "common/SignName.h"
#include "common/Util.h"

namespace cmdfile {
namespace {

void WriteCommand(platform::AtomicFileWriter& file, const std::string& text) {
  WriteRecord(file, text, CalcCRC(text));
}

// The wake-up record: the at-sign run in front, the CRC of the command alone.
void WriteWakeUp(platform::AtomicFileWriter& file, const ControllerContext& context) {
  const std::string command = WakeUpCommand(context);
  WriteRecord(file, std::string(kWakeUpAtSigns, '@') + command, CalcCRC(command));
}

template <typename Body>
std::string WriteFile(const ControllerContext& context, const char* name, Body body) {
  const std::string path = util::JoinPath(context.systemDirectory, name);
  platform::AtomicFileWriter file(path);
  body(file);
  file.Commit();
  return path;
}

// The name of a listed file as a sequence or schedule names it, refused
// when the sign cannot take it.
std::string ListedName(const std::string& path) {
  signname::CheckName(path);
  return signname::ShortName(path);
}

}  // namespace

std::string WakeUpCommand(const ControllerContext& context) {
  platform::LocalTime t = context.clock->Now();
  const bool answered = context.crcCheck && context.signId != "00";
  char buf[96];
  std::snprintf(buf, sizeof buf, "{N%s,M=AML,D=%.2d %.2d %.2d %.2d %.2d %.2d%s}", context.signId.c_str(),
                context.timeFormat * 12 + 12, t.month, t.day, t.weekday, t.hour, t.minute, answered ? ",S" : "");
  return buf;
}

std::string ControlCommand(ControlCode code) {
  switch (code) {
    case ControlCode::ResetSign: return "{Z}";
    case ControlCode::ClearAll: return "{CA}";
    case ControlCode::RunAll: return "{RA}";
    case ControlCode::RunOldMode: return "{RZ}";
    case ControlCode::AutoDimming: return "{S,DM=S}";
    case ControlCode::DayDimming: return "{S,DM=F}";
    case ControlCode::NightDimming: return "{S,DM=D}";
  }
  throw std::invalid_argument("unknown control code");
}

std::string SequenceCommand(const std::vector<std::string>& paths) {
  std::string names;
  for (const std::string& p : paths) names.append(" ").append(ListedName(p));
  return "{RX," + util::TrimBlanks(names) + "}";
}

std::string ScheduleCommand(const std::vector<ScheduleRow>& rows) {
  std::string text;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (!util::TrimBlanks(rows[r].date).empty()) {
      if (r != 0) text.append(";");
      text.append(" ").append(rows[r].date).append(" ").append(rows[r].time);
    }
    text.append(" ").append(ListedName(rows[r].file));
  }
  return "{RJ," + util::TrimBlanks(text) + "}";
}

std::string InterruptCommand(const std::string& entry, int playingTimes) {
  char times[8];
  std::snprintf(times, sizeof times, "%.2d", playingTimes);
  signname::CheckInterruptName(entry);
  std::string command = "{RI,";
  command.append(util::TrimBlanks(signname::FileStem(entry))).append(",").append(times).append("}");
  return command;
}

std::string WriteWakeUpFile(const ControllerContext& context) {
  return WriteFile(context, "WAKEUP.MSG", [&](auto& f) { WriteWakeUp(f, context); });
}

std::string WriteOverFile(const ControllerContext& context) {
  return WriteFile(context, "OVER.MSG", [](auto& f) { WriteCommand(f, "{E}"); });
}

std::string WriteSequenceFile(const ControllerContext& context, const std::vector<std::string>& paths) {
  return WriteFile(context, "SEQ.MSG", [&](auto& f) { WriteCommand(f, SequenceCommand(paths)); });
}

std::string WriteScheduleFile(const ControllerContext& context, const std::vector<ScheduleRow>& rows) {
  return WriteFile(context, "SCH.MSG", [&](auto& f) { WriteCommand(f, ScheduleCommand(rows)); });
}

std::string WriteInterruptFile(const ControllerContext& context, const std::string& entry, int playingTimes) {
  return WriteFile(context, "INT.MSG", [&](auto& f) { WriteCommand(f, InterruptCommand(entry, playingTimes)); });
}

std::string WriteCommandFile(const ControllerContext& context, ControlCode code) {
  const std::string command = ControlCommand(code);
  return WriteFile(context, "Marvanex.MSG", [&](auto& f) {
    WriteWakeUp(f, context);
    WriteCommand(f, command);
    WriteCommand(f, "{E}");
  });
}

}  // namespace cmdfile
