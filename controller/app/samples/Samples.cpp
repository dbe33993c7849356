#include "Samples.h"

#include "common/CommandRecord.h"
#include "common/SignName.h"
#include "common/Util.h"
#include "controller/Settings.h"
#include "platform/BinaryFile.h"

namespace ctlsamples {

const std::vector<SampleMessage>& SampleMessages() {
  static const std::vector<SampleMessage> samples = {
      {"Welcome.MSG", {"{T,~m~A,^FL^GH^T7Welcome!}", "{T,~m~B,^FL^YH^T7Come in, we are open}"}},
      {"Offer.MSG", {"{T,~f~C,^FL^RH^TB^BDToday: 2 for 1}"}},
      {"Closing.MSG", {"{T,~s,^FL^OR^T7We close at 18:00}", "{T,~s,^FL^GL^T7See you tomorrow}"}},
  };
  return samples;
}

std::string WriteSampleMessage(const std::string& directory, const SampleMessage& message) {
  const std::string path = util::JoinPath(directory, message.fileName);
  platform::AtomicFileWriter file(path);
  const std::string name = "{F," + signname::ShortName(path) + "}";
  cmdfile::WriteRecord(file, name, cmdfile::CalcCRC(name));
  for (const std::string& frame : message.frames) cmdfile::WriteRecord(file, frame, cmdfile::CalcCRC(frame));
  file.Commit();
  return path;
}

std::vector<std::string> WriteSampleMessages(const std::string& directory) {
  std::vector<std::string> written;
  for (const SampleMessage& m : SampleMessages()) {
    if (platform::FileExists(util::JoinPath(directory, m.fileName))) continue;
    written.push_back(WriteSampleMessage(directory, m));
  }
  return written;
}

void EnsureTryoutSettings(const std::string& programDir) {
  controller::TSettings settings;
  controller::SignTable table;
  platform::ProfileKeysRead read;
  controller::LoadSettings(programDir, settings, table, &read);
  if (!util::TrimBlanks(table[0].name).empty()) return;
  table[0].name = "Simulated sign";
  table[0].ip = "127.0.0.1";
  controller::SaveSettings(programDir, settings, table, read);
}

}  // namespace ctlsamples
