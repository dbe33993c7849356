// The pieces of the sender that need no peer: the echo wait, the progress
// text, the answer texts, the reply buffer and the synchronous GUI call.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "SenderTestSupport.h"
#include "sender/GuiCall.h"
#include "sender/ReplyBuffer.h"
#include "sender/SendThrd.h"

namespace {

using namespace std::chrono;
using sendertest::App;

TEST(EchoWait, TicksRoundUp) {
  const std::pair<int, int> cases[] = {{1000, 18}, {100, 2}, {0, 0}, {-5, 0}, {1, 1}, {56, 2}, {55, 1}, {2000, 36}};
  for (auto [ms, ticks] : cases) EXPECT_EQ(sender::EchoWaitTicks(ms), ticks) << ms;
}

TEST(Progress, FourDigitsWiderInFull) {
  EXPECT_EQ(sender::ProgressText(57, 57), "[0057/0057]");
  EXPECT_EQ(sender::ProgressText(0, 7), "[0000/0007]");
  EXPECT_EQ(sender::ProgressText(12345, 123456), "[12345/123456]");
}

TEST(Answers, EditorTexts) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "no respond"}, {"0", ""}, {"1", "CRC error"}, {"2x", "unknown command"},
      {"3", "illegal value in parameter"}, {"4", "command format error"}, {"5", "insufficient memory"},
      // A code the sign does not define is named too, so a failure box never reads "()".
      {"7", "unknown answer"}, {"x", "unknown answer"}};
  for (auto [reply, text] : cases) EXPECT_EQ(sender::AnswerText(reply), text) << reply;
}

TEST(ReplyBuffer, WaitEndsWhenTextArrives) {
  sender::ReplyBuffer buffer;
  sender::StopFlag stop;
  auto start = steady_clock::now();
  std::thread writer([&] {
    std::this_thread::sleep_for(milliseconds(50));
    buffer.Append("0");
    buffer.Append("K");
  });
  std::string got = buffer.WaitForText(start + seconds(5), stop);
  writer.join();
  EXPECT_FALSE(got.empty());
  EXPECT_EQ(got[0], '0');
  EXPECT_LT(steady_clock::now() - start, seconds(2));
  EXPECT_EQ(buffer.Copy(), "0K");
  buffer.Clear();
  EXPECT_EQ(buffer.Copy(), "");
}

TEST(ReplyBuffer, WaitEndsAtDeadlineEmpty) {
  sender::ReplyBuffer buffer;
  sender::StopFlag stop;
  auto start = steady_clock::now();
  EXPECT_EQ(buffer.WaitForText(start + milliseconds(120), stop), "");
  EXPECT_GE(steady_clock::now() - start, milliseconds(120));
}

TEST(ReplyBuffer, StopEndsTheWaitAtOnce) {
  sender::ReplyBuffer buffer;
  sender::StopFlag stop;
  auto start = steady_clock::now();
  std::thread stopper([&] {
    std::this_thread::sleep_for(milliseconds(50));
    stop.Request();
  });
  EXPECT_EQ(buffer.WaitForText(start + seconds(10), stop), "");
  stopper.join();
  EXPECT_LT(steady_clock::now() - start, seconds(2));
}

TEST(StopFlag, SleepEndsOnRequest) {
  sender::StopFlag stop;
  EXPECT_TRUE(stop.SleepFor(milliseconds(10)));
  auto start = steady_clock::now();
  std::thread stopper([&] {
    std::this_thread::sleep_for(milliseconds(30));
    stop.Request();
  });
  EXPECT_FALSE(stop.SleepFor(seconds(10)));
  stopper.join();
  EXPECT_LT(steady_clock::now() - start, seconds(2));
  EXPECT_FALSE(stop.SleepFor(seconds(10)));  // stays stopped
}

TEST(GuiCall, RunsOnTheContextThreadAndWaits) {
  App();
  QObject context;
  sender::StopFlag stop;
  std::atomic<bool> ran{false};
  std::thread::id where;
  bool result = false;
  std::thread worker([&] {
    result = sender::CallOnThread(&context, [&] {
      where = std::this_thread::get_id();
      ran = true;
    }, stop);
  });
  while (!ran) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(where, std::this_thread::get_id());
}

TEST(GuiCall, StopWithdrawsACallNotYetStarted) {
  App();
  QObject context;
  sender::StopFlag stop;
  std::atomic<bool> ran{false};
  std::atomic<bool> returned{false};
  bool result = true;
  std::thread worker([&] {
    result = sender::CallOnThread(&context, [&] { ran = true; }, stop);
    returned = true;
  });
  // This thread does not turn its event loop: only the stop can free the worker.
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_FALSE(returned);
  stop.Request();
  worker.join();
  EXPECT_FALSE(result);
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran) << "a withdrawn call must never run late";
}

TEST(GuiCall, ExceptionComesBackToTheWorker) {
  App();
  QObject context;
  sender::StopFlag stop;
  std::atomic<bool> done{false};
  std::string caught;
  std::thread worker([&] {
    try {
      sender::CallOnThread(&context, [] { throw std::runtime_error("boom"); }, stop);
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  worker.join();
  EXPECT_EQ(caught, "boom");
}

}  // namespace
