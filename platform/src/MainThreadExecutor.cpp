#include "platform/MainThreadExecutor.h"

#include <QCoreApplication>
#include <QEvent>

#include <atomic>

namespace platform {
namespace {

const QEvent::Type kTicketEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

std::mutex g_instanceMutex;

// Qt hands the event over under its own locks, which a thread checker built
// into our code cannot see; taking this mutex on both sides makes the
// hand-over visible to it. It guards nothing else.
std::mutex g_handOver;
MainThreadExecutor* g_instance = nullptr;

// Carries a ticket to the executor's thread. An event Qt drops undelivered
// (executor destroyed, application gone) cancels its ticket, so the waiting
// worker is released at once instead of at its time-out.
class TicketEvent : public QEvent {
 public:
  explicit TicketEvent(std::shared_ptr<DeliveryTicket> ticket)
      : QEvent(kTicketEvent), ticket_(std::move(ticket)) {}
  ~TicketEvent() override {
    { std::lock_guard lock(g_handOver); }
    ticket_->Cancel();
  }
  const std::shared_ptr<DeliveryTicket>& Ticket() const { return ticket_; }

 private:
  std::shared_ptr<DeliveryTicket> ticket_;
};

}  // namespace

bool DeliveryTicket::Cancel() {
  std::lock_guard lock(mutex_);
  if (state_ != State::Pending) return false;
  state_ = State::Cancelled;
  work_ = nullptr;
  changed_.notify_all();
  return true;
}

DeliveryTicket::State DeliveryTicket::CurrentState() const {
  std::lock_guard lock(mutex_);
  return state_;
}

MainThreadExecutor::MainThreadExecutor(QObject* parent)
    : QObject(parent), threadId_(std::this_thread::get_id()) {
  std::lock_guard lock(g_instanceMutex);
  g_instance = this;
}

MainThreadExecutor::~MainThreadExecutor() {
  {
    std::lock_guard lock(g_instanceMutex);
    if (g_instance == this) g_instance = nullptr;
  }
  // Tickets still queued are dropped, and so cancelled, with their events.
  QCoreApplication::removePostedEvents(this, kTicketEvent);
}

MainThreadExecutor* MainThreadExecutor::Instance() {
  std::lock_guard lock(g_instanceMutex);
  return g_instance;
}

bool MainThreadExecutor::OnExecutorThread() const {
  return std::this_thread::get_id() == threadId_;
}

std::shared_ptr<DeliveryTicket> MainThreadExecutor::Post(std::function<void()> work) {
  auto ticket = std::make_shared<DeliveryTicket>(std::move(work));
  std::lock_guard lock(g_handOver);
  QCoreApplication::postEvent(this, new TicketEvent(ticket));
  return ticket;
}

MainThreadExecutor::Outcome MainThreadExecutor::Wait(const std::shared_ptr<DeliveryTicket>& ticket,
                                                     std::chrono::milliseconds startTimeout) {
  std::unique_lock lock(ticket->mutex_);
  using State = DeliveryTicket::State;
  const bool decided = ticket->changed_.wait_for(
      lock, startTimeout, [&] { return ticket->state_ != State::Pending; });
  if (!decided) {
    // Not started in time: it must never run late.
    ticket->state_ = State::Cancelled;
    ticket->work_ = nullptr;
    return Outcome::PassedOver;
  }
  if (ticket->state_ == State::Cancelled) return Outcome::PassedOver;
  // Started: it runs to its end, however long that takes.
  ticket->changed_.wait(lock, [&] { return ticket->state_ == State::Done; });
  return Outcome::Ran;
}

MainThreadExecutor::Outcome MainThreadExecutor::Run(std::function<void()> work,
                                                    std::chrono::milliseconds startTimeout) {
  if (OnExecutorThread()) {
    work();
    return Outcome::Ran;
  }
  return Wait(Post(std::move(work)), startTimeout);
}

bool MainThreadExecutor::event(QEvent* event) {
  { std::lock_guard lock(g_handOver); }
  if (event->type() != kTicketEvent) return QObject::event(event);
  const auto& ticket = static_cast<TicketEvent*>(event)->Ticket();
  std::function<void()> work;
  {
    std::lock_guard lock(ticket->mutex_);
    if (ticket->state_ != DeliveryTicket::State::Pending) return true;  // passed over
    ticket->state_ = DeliveryTicket::State::Started;
    work = std::move(ticket->work_);
    ticket->changed_.notify_all();
  }
  if (work) work();
  {
    std::lock_guard lock(ticket->mutex_);
    ticket->state_ = DeliveryTicket::State::Done;
    ticket->changed_.notify_all();
  }
  return true;
}

}  // namespace platform
