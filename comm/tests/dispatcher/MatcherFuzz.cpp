// Arbitrary triggers and streams: the dispatcher's data-trigger deliveries
// equal the plain matcher's at trigger lengths 0 and 1, and with a trigger
// length every byte is offered once, in order. Bytes are folded into a small
// alphabet so that triggers do match.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "MatcherHarness.h"

namespace {

char Letter(std::uint8_t byte) { return "abAB"[byte & 3]; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace matcher_test;
  if (size < 2) return 0;
  static MatcherPort* port = new MatcherPort;  // one port for the whole run
  if (!port->Opened()) std::abort();
  const std::uint16_t triggerLength = data[0] & 1;
  const std::size_t chunk = (data[0] & 2) ? 1 + (data[0] >> 4) : 4096;
  const int count = 1 + (data[1] & 3);
  std::size_t at = 2;
  std::vector<TriggerText> triggers;
  for (int t = 0; t < count && at < size; ++t) {
    const std::size_t length = 1 + (data[at] & 3);
    const bool ignoreCase = (data[at] & 4) != 0;
    ++at;
    std::string text;
    for (; text.size() < length && at < size; ++at) text.push_back(Letter(data[at]));
    if (text.empty()) break;
    triggers.push_back({text, ignoreCase});
  }
  if (triggers.empty()) return 0;
  std::string stream;
  for (; at < size && stream.size() < 256; ++at) stream.push_back(Letter(data[at]));
  const auto outcome = port->Run(triggers, stream, triggerLength, chunk);
  if (!outcome.finished) std::abort();
  if (outcome.fired != ReferenceMatches(triggers, stream)) std::abort();
  if (triggerLength != 0 && outcome.read != stream) std::abort();
  return 0;
}
