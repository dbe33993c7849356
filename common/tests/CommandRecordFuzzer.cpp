// Feeds arbitrary bytes to the command-record reader. What it accepts must be
// exactly its records: each record encoded again, by the encoder and by the
// file writer, gives back the input byte for byte. What it refuses must be
// refused at a record boundary, with the records before it intact.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/CommandRecord.h"
#include "platform/BinaryFile.h"

namespace {

std::string Concat(const std::vector<cmdfile::CommandRecord>& records) {
  std::string out;
  for (const auto& r : records) out += cmdfile::EncodeRecord(r.text, r.crc);
  return out;
}

// The writer's bytes for the records, through a real file.
std::vector<std::uint8_t> WrittenBytes(const std::vector<cmdfile::CommandRecord>& records) {
  static const std::string path = "/tmp/command_record_fuzzer." + std::to_string(::getpid()) + ".msg";
  {
    platform::AtomicFileWriter file(path);
    for (const auto& r : records) cmdfile::WriteRecord(file, r.text, r.crc);
    file.Commit();
  }
  std::vector<std::uint8_t> bytes = platform::ReadWholeFile(path);
  ::unlink(path.c_str());
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  const std::string input(data, data + size);

  // Record by record: each accepted record covers exactly the bytes it came from.
  cmdfile::CommandFileReader reader(bytes);
  std::vector<cmdfile::CommandRecord> prefix;
  bool refused = false;
  try {
    while (true) {
      const std::size_t start = reader.Offset();
      auto r = reader.Next();
      if (!r) break;
      if (r->text.size() > cmdfile::kMaxRecordText) std::abort();
      const std::string encoded = cmdfile::EncodeRecord(r->text, r->crc);
      if (reader.Offset() != start + encoded.size()) std::abort();
      if (input.compare(start, encoded.size(), encoded) != 0) std::abort();
      // The link gets everything after the length word.
      if (r->Payload() != input.substr(start + 2, encoded.size() - 2)) std::abort();
      prefix.push_back(std::move(*r));
    }
  } catch (const cmdfile::BadCommandFile& e) {
    refused = true;
    // Refused where the bad record starts, after every good one.
    if (e.offset() != Concat(prefix).size()) std::abort();
    if (e.offset() >= size) std::abort();
  }
  if (!refused && reader.Offset() != size) std::abort();

  // The whole-file reader agrees with the walk.
  try {
    const auto records = cmdfile::ReadCommandRecords(bytes);
    if (refused) std::abort();
    if (Concat(records) != input) std::abort();
    if (WrittenBytes(records) != bytes) std::abort();
  } catch (const cmdfile::BadCommandFile&) {
    if (!refused) std::abort();
  }
  return 0;
}
