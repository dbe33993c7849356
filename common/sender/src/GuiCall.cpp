#include "sender/GuiCall.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

#include <QMetaObject>
#include <QThread>

namespace sender {
namespace {

struct CallState {
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false;
  bool done = false;
  bool withdrawn = false;
  bool dropped = false;  // the queued call was destroyed without running
  std::exception_ptr error;
  std::function<void()> fn;

  void Mark(bool CallState::*flag) {
    {
      std::lock_guard lock(mutex);
      this->*flag = true;
    }
    changed.notify_all();
  }
};

// Owned by the queued call alone: when Qt destroys the call unrun (its
// context deleted), the worker learns it here instead of waiting for ever.
struct Ticket {
  std::shared_ptr<CallState> state;
  ~Ticket() { state->Mark(&CallState::dropped); }
};

// Qt's event queue hands the posted call over with locks the race detector
// cannot see; taking this mutex on both sides makes the hand-over visible.
std::mutex& HandOff() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

void PostToThread(QObject* context, std::function<void()> fn) {
  std::lock_guard post(HandOff());
  QMetaObject::invokeMethod(
      context,
      [fn = std::move(fn)] {
        { std::lock_guard take(HandOff()); }
        fn();
      },
      Qt::QueuedConnection);
}

bool CallOnThread(QObject* context, std::function<void()> fn, StopFlag& stop) {
  if (context == nullptr || context->thread() == QThread::currentThread()) {
    fn();
    return true;
  }
  auto state = std::make_shared<CallState>();
  state->fn = std::move(fn);
  ScopedWaker waker(stop, [state] {
    std::lock_guard lock(state->mutex);
    state->changed.notify_all();
  });
  std::shared_ptr<Ticket> ticket(new Ticket{state});
  std::unique_lock post(HandOff());
  QMetaObject::invokeMethod(
      context,
      [ticket] {
        { std::lock_guard take(HandOff()); }
        CallState& s = *ticket->state;
        {
          std::lock_guard lock(s.mutex);
          if (s.withdrawn) return;
          s.started = true;
        }
        // Whatever `fn` does, the worker must hear that it is over.
        struct Done {
          CallState& s;
          ~Done() { s.Mark(&CallState::done); }
        } done{s};
        // No exception crosses the event loop: it is handed to the worker.
        try {
          s.fn();
        } catch (...) {
          std::lock_guard lock(s.mutex);
          s.error = std::current_exception();
        }
      },
      Qt::QueuedConnection);
  ticket.reset();
  post.unlock();
  std::unique_lock lock(state->mutex);
  state->changed.wait(lock, [&] { return state->done || (!state->started && (state->dropped || stop.Requested())); });
  if (state->done) {
    // Taken out of the shared state, so only this thread holds it from now on.
    std::exception_ptr error = std::move(state->error);
    state->error = nullptr;
    lock.unlock();
    if (error) std::rethrow_exception(error);
    return true;
  }
  state->withdrawn = true;
  return false;
}

}  // namespace sender
