// The main-thread executor: work posted by a worker runs on the GUI thread;
// work the GUI thread does not start in time is passed over for good.
#include <gtest/gtest.h>

#include <atomic>

#include "DispatchTestSupport.h"

namespace {
using namespace dispatch_test;
using Outcome = platform::MainThreadExecutor::Outcome;

TEST(MainThreadExecutor, RunsWorkOnTheGuiThreadAndWaitsForIt) {
  auto& executor = GuiExecutor();
  const auto gui = std::this_thread::get_id();
  std::thread::id ranOn;
  std::atomic<bool> finished{false};
  Outcome outcome = Outcome::PassedOver;
  std::thread worker([&] {
    outcome = executor.Run([&] { ranOn = std::this_thread::get_id(); }, 1000ms);
    finished = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return finished.load(); }));
  worker.join();
  EXPECT_EQ(outcome, Outcome::Ran);
  EXPECT_EQ(ranOn, gui);
}

TEST(MainThreadExecutor, WorkNotStartedInTimeNeverRunsLate) {
  auto& executor = GuiExecutor();
  std::atomic<int> runs{0};
  Outcome outcome = Outcome::Ran;
  std::thread worker([&] { outcome = executor.Run([&] { ++runs; }, 100ms); });
  worker.join();  // the GUI thread is busy (here: joining) past the time-out
  EXPECT_EQ(outcome, Outcome::PassedOver);
  PumpFor(100ms);  // the queued ticket is now seen, and skipped
  EXPECT_EQ(runs.load(), 0);
}

TEST(MainThreadExecutor, StartedWorkRunsToCompletionPastTheTimeout) {
  auto& executor = GuiExecutor();
  std::atomic<bool> finished{false};
  bool completed = false;
  Outcome outcome = Outcome::PassedOver;
  std::thread worker([&] {
    outcome = executor.Run(
        [&] {
          std::this_thread::sleep_for(300ms);
          completed = true;
        },
        100ms);
    finished = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return finished.load(); }));
  worker.join();
  EXPECT_EQ(outcome, Outcome::Ran);
  EXPECT_TRUE(completed);
}

TEST(MainThreadExecutor, CancelledTicketReleasesItsWaiterAtOnce) {
  auto& executor = GuiExecutor();
  bool ran = false;
  auto ticket = executor.Post([&] { ran = true; });
  EXPECT_TRUE(ticket->Cancel());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::MainThreadExecutor::Wait(ticket, 1000ms), Outcome::PassedOver);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
  PumpFor(50ms);
  EXPECT_FALSE(ran);
}

}  // namespace
