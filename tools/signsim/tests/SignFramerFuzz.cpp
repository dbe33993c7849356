// Arbitrary bytes, cut into chunks at arbitrary times, must never break the
// sign's framing: every logged record is consistent with its own bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "signsim/SignCore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace signsim;
  if (size < 2) return 0;
  SignOptions o;
  o.framing = (data[0] & 1) ? Framing::Silence : Framing::Braces;
  o.silence = milliseconds{1 + (data[1] & 63)};
  SignCore core(o);
  core.Open(1, "fuzz", data[0] >> 4);
  try {
    core.SetScript(std::string(reinterpret_cast<const char*>(data + 2), std::min<std::size_t>(size - 2, 8)));
  } catch (const std::invalid_argument&) {
  }
  // 0xFF starts a new chunk; the byte after it is the pause in milliseconds.
  auto now = SteadyClock::time_point{} + std::chrono::hours{1};
  std::string chunk;
  for (std::size_t i = 2; i < size; ++i) {
    if (data[i] == 0xFF && i + 1 < size) {
      core.Feed(1, chunk, now);
      chunk.clear();
      now += milliseconds{data[++i]};
      core.Tick(now);
      core.TakeDue(now);
    } else {
      chunk += static_cast<char>(data[i]);
    }
  }
  core.Feed(1, chunk, now);
  core.Tick(now + std::chrono::seconds{1});
  core.TakeDue(now + std::chrono::hours{1});
  for (const auto& e : core.Log()) {
    if (e.kind != SignEntry::Kind::Record) continue;
    if (e.crcComputed != CommandCrc(e.text)) std::abort();
    if (e.crcOk && e.crcReceived != e.crcComputed) std::abort();
    if (e.raw.find(e.text) == std::string::npos) std::abort();
    if (e.raw.size() < e.text.size() + static_cast<std::size_t>(e.wakeAts)) std::abort();
  }
  return 0;
}
