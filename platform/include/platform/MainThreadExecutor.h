#pragma once
// Runs work on the GUI thread for a worker thread that waits for it, with a
// start time-out: a ticket the GUI thread has not started in time is
// cancelled and never runs late; a started ticket always runs to completion.
// Unlike a blocking queued call, the wait is bounded and cancellable, so a
// worker never deadlocks against a GUI thread that is busy joining it.
#include <QObject>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class DeliveryTicket {
 public:
  enum class State { Pending, Started, Done, Cancelled };

  explicit DeliveryTicket(std::function<void()> work) : work_(std::move(work)) {}

  // Pending -> Cancelled: true when the work will now never run.
  bool Cancel();
  State CurrentState() const;

 private:
  friend class MainThreadExecutor;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  State state_ = State::Pending;
  std::function<void()> work_;
};

class MainThreadExecutor : public QObject {
 public:
  enum class Outcome { Ran, PassedOver };

  // Lives on the thread that creates it: create it on the GUI thread.
  explicit MainThreadExecutor(QObject* parent = nullptr);
  ~MainThreadExecutor() override;

  // The executor created most recently and not yet destroyed, or nullptr.
  static MainThreadExecutor* Instance();

  // Queues `work` for the executor's thread. The work must not throw.
  std::shared_ptr<DeliveryTicket> Post(std::function<void()> work);
  // Waits for a posted ticket: Ran once it has run to its end; PassedOver when
  // it was not started within `startTimeout` (it is then cancelled) or was
  // cancelled by someone else.
  static Outcome Wait(const std::shared_ptr<DeliveryTicket>& ticket,
                      std::chrono::milliseconds startTimeout);
  // Post and Wait. On the executor's own thread the work runs at once.
  Outcome Run(std::function<void()> work, std::chrono::milliseconds startTimeout);

  bool OnExecutorThread() const;

 protected:
  bool event(QEvent* event) override;

 private:
  std::thread::id threadId_;
};

}  // namespace platform
