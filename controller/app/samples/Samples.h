#pragma once
// Sample message files and settings for a new user's try-out and for the
// tests: message files in the form the editor saves beside its frame files
// (a "{F,NAME}" record and one "{T,...}" record per frame), written with the
// command-record writer.
#include <string>
#include <vector>

namespace ctlsamples {

struct SampleMessage {
  std::string fileName;             // "Welcome.MSG"
  std::vector<std::string> frames;  // the "{T,...}" texts
};

const std::vector<SampleMessage>& SampleMessages();
// Writes one message file: "{F,<name>}" (the upper-cased file name without
// extension, first 8 characters), then the frames. Returns its path.
std::string WriteSampleMessage(const std::string& directory, const SampleMessage& message);
// Writes every sample into `directory` that is not there yet.
std::vector<std::string> WriteSampleMessages(const std::string& directory);
// Makes sure the settings file in `programDir` names the simulated sign as
// entry 1 ("Simulated sign", 127.0.0.1); the link settings are left alone
// (a fresh file has TCP/IP and COM1).
void EnsureTryoutSettings(const std::string& programDir);

}  // namespace ctlsamples
