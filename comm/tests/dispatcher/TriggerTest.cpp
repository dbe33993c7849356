// Triggers over a pseudo-terminal: the deliveries that input chunks give,
// timers under steady input, the trigger registry and its limits.
#include <gtest/gtest.h>

#include <atomic>

#include "DispatchTestSupport.h"
#include "comm/CommExcept.h"

namespace {
using namespace dispatch_test;
using comm::MsgTriggerAvail;
using comm::MsgTriggerData;

struct SequenceCase {
  const char* name;
  std::uint16_t triggerLength;
  std::vector<std::pair<std::string, bool>> triggers;  // text, ignore case
  std::vector<std::string> chunks;                     // separate reads
  std::vector<Delivery> expected;                      // data triggers get handles 2, 3, ...
};

Delivery Avail(std::uint16_t n, std::string read) { return {MsgTriggerAvail, n, 0, std::move(read)}; }
Delivery Data(std::uint16_t trigger, std::uint16_t length) { return {MsgTriggerData, trigger, length, {}}; }

const SequenceCase kSequences[] = {
    {"avail before the match, then the match, then the matched bytes",
     1, {{"OK", false}}, {"xxOK"}, {Avail(2, "xx"), Data(2, 2), Avail(2, "OK")}},
    {"two matches in one read without avail", 0, {{"OK", false}}, {"OKOK"}, {Data(2, 2), Data(2, 2)}},
    {"a match split over two reads", 0, {{"OK", false}}, {"O", "K"}, {Data(2, 2)}},
    {"a split match whose first byte was already taken", 1, {{"OK", false}}, {"O", "K"},
     {Avail(1, "O"), Data(2, 2), Avail(1, "K")}},
    {"earlier avail took part of the match: no negative count", 1, {{"ABCD", false}}, {"AB", "CD"},
     {Avail(2, "AB"), Data(2, 4), Avail(2, "CD")}},
    {"two triggers completing on one byte, in table order", 0, {{"OK", false}, {"K", false}},
     {"OK"}, {Data(2, 2), Data(3, 1)}},
    {"overlapping candidates", 0, {{"AAABB", false}}, {"AAACAAAAABBC"}, {Data(2, 5)}},
    {"ignore case", 0, {{"ok", true}}, {"OK Ok ok oK"}, {Data(2, 2), Data(2, 2), Data(2, 2), Data(2, 2)}},
    {"avail only", 3, {}, {"he", "llo"}, {Avail(5, "hello")}},
};

class DeliverySequence : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(DeliverySequence, InputChunksGiveTheseDeliveries) {
  const SequenceCase& c = GetParam();
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  RecordingWindow window(port);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, c.triggerLength), 0);
  std::int32_t expectHandle = 2;
  for (const auto& [text, ignoreCase] : c.triggers)
    ASSERT_EQ(comm::AddDataTrigger(port, text.c_str(), ignoreCase), expectHandle++);
  for (const auto& chunk : c.chunks) {
    ASSERT_TRUE(pty.Write(chunk));
    PumpFor(150ms);
  }
  PumpUntil([&] { return window.deliveries.size() >= c.expected.size(); });
  PumpFor(100ms);
  EXPECT_EQ(window.deliveries, c.expected) << c.name << ": " << Describe(window.deliveries);
  for (const auto& [messageHigh, lParamHigh] : window.highWords) {
    EXPECT_EQ(messageHigh, port);
    EXPECT_EQ(lParamHigh, port);
  }
  comm::DeregisterTriggerHandler(port, &window, nullptr);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, DeliverySequence, ::testing::ValuesIn(kSequences));

TEST(Triggers, TimerFiresOnTimeWhileBytesStreamIn) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  RecordingWindow window(port);
  std::chrono::steady_clock::time_point firedAt{};
  window.onDelivery = [&](const Delivery& d) {
    if (d.message == comm::MsgTriggerTimer) firedAt = std::chrono::steady_clock::now();
  };
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, 1), 0);
  const std::int32_t timer = comm::CreateTimerTrigger(port);
  ASSERT_GE(timer, 2);
  std::atomic<bool> stop{false};
  std::thread stream([&] {
    while (!stop) {
      pty.Write("x");
      std::this_thread::sleep_for(2ms);
    }
  });
  std::this_thread::sleep_for(100ms);
  const auto armedAt = std::chrono::steady_clock::now();
  ASSERT_EQ(comm::ArmTimerTrigger(port, static_cast<std::uint16_t>(timer), 4, true), 0);
  PumpUntil([&] { return firedAt != std::chrono::steady_clock::time_point{}; }, 2s);
  stop = true;
  stream.join();
  ASSERT_NE(firedAt, std::chrono::steady_clock::time_point{});
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(firedAt - armedAt);
  EXPECT_GE(elapsed.count(), 4 * 55 - 55);  // the first tick may be partly gone
  EXPECT_LE(elapsed.count(), 5 * 55 + 50 + 100);
  comm::DeregisterTriggerHandler(port, &window, nullptr);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(Triggers, RegistryLimitsAndRangeChecks) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(comm::CreateTimerTrigger(port), 2 + i);
  EXPECT_EQ(comm::CreateTimerTrigger(port), comm::kErrNoMoreTriggers);
  EXPECT_EQ(comm::AddDataTrigger(port, "0123456789012345678901", false), comm::kErrTriggerTooLong);
  const std::int32_t data = comm::AddDataTrigger(port, "012345678901234567890", false);
  EXPECT_EQ(data, 12);
  EXPECT_EQ(comm::ArmTimerTrigger(port, static_cast<std::uint16_t>(data), 1, true),
            comm::kErrBadTriggerHandle);
  EXPECT_EQ(comm::ArmTimerTrigger(port, 0, 1, true), comm::kErrBadTriggerHandle);
  EXPECT_EQ(comm::ArmTimerTrigger(port, 1, 1, true), comm::kErrBadTriggerHandle);
  EXPECT_EQ(comm::ArmTimerTrigger(port, 60000, 1, true), comm::kErrBadTriggerHandle);
  EXPECT_EQ(comm::ReleaseTrigger(port, 60000), 0);
  EXPECT_EQ(comm::StatusTriggerKind(port, 60000), 0);
  std::uint8_t byte = 0;
  EXPECT_EQ(comm::PeekChar(port, byte, 0), comm::kErrBufferIsEmpty);
  EXPECT_EQ(comm::PeekCharEx(port, byte, 0), comm::kErrBufferIsEmpty);
  // Re-arming with 0 ticks keeps the last duration.
  ASSERT_EQ(comm::ArmTimerTrigger(port, 2, 40, true), 0);
  ASSERT_EQ(comm::ArmTimerTrigger(port, 2, 0, true), 0);
  comm::TriggerBlock block;
  ASSERT_EQ(comm::SaveTriggers(port, block), 0);
  EXPECT_EQ(block.timers[1].duration, 40u);
  EXPECT_TRUE(block.timers[1].active);
  ASSERT_EQ(comm::ArmTimerTrigger(port, 2, 0, false), 0);
  ASSERT_EQ(comm::SaveTriggers(port, block), 0);
  EXPECT_FALSE(block.timers[1].active);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
  EXPECT_EQ(comm::CreateTimerTrigger(port), comm::kErrBadHandle);
}

TEST(Triggers, SavedTriggersComeBackAfterReopening) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, 0), 0);
  ASSERT_EQ(comm::AddDataTrigger(port, "END", false), 2);
  comm::TriggerBlock block;
  ASSERT_EQ(comm::SaveTriggers(port, block), 0);
  ASSERT_EQ(comm::ClosePortRecord(port), 0);
  ASSERT_EQ(OpenPty(pty, port), 0);
  ASSERT_EQ(comm::RestoreTriggers(port, block), 0);
  RecordingWindow window(port);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
  ASSERT_TRUE(pty.Write("the END"));
  ASSERT_TRUE(PumpUntil([&] { return !window.deliveries.empty(); }));
  EXPECT_EQ(window.deliveries.front(), Data(2, 3));
  comm::DeregisterTriggerHandler(port, &window, nullptr);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(Triggers, ReleasingTheAvailTriggerStopsAvailDeliveries) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  RecordingWindow window(port);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, 1), 0);
  ASSERT_EQ(comm::ReleaseTrigger(port, 1), 0);
  ASSERT_TRUE(pty.Write("abc"));
  PumpFor(200ms);
  EXPECT_TRUE(window.deliveries.empty());
  ASSERT_EQ(comm::SetTriggerLength(port, 1), 0);
  ASSERT_TRUE(pty.Write("d"));
  ASSERT_TRUE(PumpUntil([&] { return !window.deliveries.empty(); }));
  EXPECT_EQ(window.deliveries.front(), Avail(4, "abcd"));
  comm::DeregisterTriggerHandler(port, &window, nullptr);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(Triggers, AHandleHandedOutAnewStopsItsMessageForOlderHandlers) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  RecordingWindow older(port), newer(port);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &older, nullptr, true), 0);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &newer, nullptr, true), 0);
  ASSERT_EQ(comm::SetTriggerLength(port, 0), 0);
  ASSERT_EQ(comm::AddDataTrigger(port, "GO", false), 2);
  std::int32_t reissued = 0;
  newer.onDelivery = [&](const Delivery& d) {
    if (d.message != MsgTriggerData || reissued != 0) return;
    comm::ReleaseTrigger(port, d.wParam);
    reissued = comm::AddDataTrigger(port, "GO", false);
  };
  ASSERT_TRUE(pty.Write("GO"));
  ASSERT_TRUE(PumpUntil([&] { return !newer.deliveries.empty(); }));
  PumpFor(150ms);
  EXPECT_EQ(reissued, 2);
  EXPECT_TRUE(older.deliveries.empty()) << Describe(older.deliveries);
  // The next match goes to both again.
  ASSERT_TRUE(pty.Write("GO"));
  ASSERT_TRUE(PumpUntil([&] { return !older.deliveries.empty(); }));
  EXPECT_EQ(older.deliveries.front(), Data(2, 2));
  comm::DeregisterTriggerHandler(port, &older, nullptr);
  comm::DeregisterTriggerHandler(port, &newer, nullptr);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

TEST(Triggers, OutputSentStatusTriggerFiresOnceAWriteWasQueued) {
  Pty pty;
  std::uint16_t port = 0;
  ASSERT_EQ(OpenPty(pty, port), 0);
  RecordingWindow window(port);
  ASSERT_EQ(comm::RegisterTriggerWindow(port, &window, nullptr, true), 0);
  const std::int32_t trigger = comm::AddStatusTrigger(port, comm::kStatusOutSent, 0);
  ASSERT_GE(trigger, 2);
  EXPECT_EQ(comm::StatusTriggerKind(port, static_cast<std::uint16_t>(trigger)), comm::kStatusOutSent);
  PumpFor(120ms);
  EXPECT_TRUE(window.deliveries.empty());
  ASSERT_EQ(comm::WriteChar(port, 'z'), 0);
  ASSERT_TRUE(PumpUntil([&] { return !window.deliveries.empty(); }));
  EXPECT_EQ(window.deliveries.front(),
            (Delivery{comm::MsgTriggerStatus, static_cast<std::uint16_t>(trigger), 0, {}}));
  ASSERT_EQ(comm::WriteChar(port, 'z'), 0);
  PumpFor(150ms);
  EXPECT_EQ(window.deliveries.size(), 1u);  // disarmed once fired
  comm::DeregisterTriggerHandler(port, &window, nullptr);
  EXPECT_EQ(comm::ClosePortRecord(port), 0);
}

}  // namespace
