// The dispatcher's data triggers against a plain matcher, over a
// pseudo-terminal: the same triggers complete on the same bytes whatever the
// trigger length and however the stream arrives, and with a trigger length
// every byte is offered once, in order.
#include <gtest/gtest.h>

#include "MatcherHarness.h"

namespace {

using matcher_test::MatcherPort;
using matcher_test::ReferenceMatches;
using matcher_test::TriggerText;

struct MatchCase {
  const char* name;
  std::vector<TriggerText> triggers;
  std::string stream;
};

const MatchCase kCases[] = {
    {"a byte offered again after an early offer completes nothing new",
     {{"xy"}, {"yy"}}, "axy"},
    {"the same with three triggers ending on the rewound byte",
     {{"ab"}, {"bb"}, {"b"}}, "zabbb"},
    {"a match, then one that starts on its last byte", {{"aba"}}, "xababa"},
    {"overlapping candidates of one trigger", {{"AAABB"}}, "AAACAAAAABBC"},
    {"two triggers on one byte, in table order", {{"OK"}, {"K"}}, "xOK"},
    {"ignore case", {{"ok", true}, {"KO", false}}, "xOkoKOk"},
    {"a long trigger under a short one", {{"abcdefghijklmnopqrstu"}, {"u"}},
     "-abcdefghijklmnopqrstu-u"},
    {"nothing matches", {{"qq"}}, "abcabc"},
};

class Matcher : public ::testing::TestWithParam<MatchCase> {};

TEST_P(Matcher, DeliversWhatThePlainMatcherFinds) {
  const MatchCase& c = GetParam();
  const std::vector<int> expected = ReferenceMatches(c.triggers, c.stream);
  MatcherPort port;
  ASSERT_TRUE(port.Opened());
  for (std::uint16_t triggerLength : {0, 1}) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{1000}}) {
      SCOPED_TRACE(std::string(c.name) + ", trigger length " + std::to_string(triggerLength) +
                   ", pieces of " + std::to_string(chunk));
      const auto outcome = port.Run(c.triggers, c.stream, triggerLength, chunk);
      ASSERT_TRUE(outcome.finished);
      EXPECT_EQ(outcome.fired, expected);
      if (triggerLength != 0) {
        EXPECT_EQ(outcome.read, c.stream);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Table, Matcher, ::testing::ValuesIn(kCases));

// The plain matcher itself, on cases worked out by hand.
TEST(ReferenceMatcher, FindsNonOverlappingMatchesPerTrigger) {
  EXPECT_EQ(ReferenceMatches({{"xy"}, {"yy"}}, "axy"), (std::vector<int>{0}));
  EXPECT_EQ(ReferenceMatches({{"aa"}}, "aaaaa"), (std::vector<int>{0, 0}));
  EXPECT_EQ(ReferenceMatches({{"OK"}, {"K"}}, "OK"), (std::vector<int>{0, 1}));
  EXPECT_EQ(ReferenceMatches({{"ok", true}}, "OK oK"), (std::vector<int>{0, 0}));
}

}  // namespace
