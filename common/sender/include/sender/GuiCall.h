#pragma once
// A synchronous call from a worker thread into the thread of a QObject (the
// GUI thread): the call is queued there and the worker waits until it has
// run. A stop request withdraws a call that has not started yet, so a worker
// being stopped never waits on a GUI thread that is itself waiting for it;
// a call that has started runs to completion.
#include <functional>

#include <QObject>

#include "sender/StopFlag.h"

namespace sender {

// Runs `fn` on `context`'s thread and waits for it; true when it ran, false
// when the stop withdrew it (or `context` went away first). An exception of
// `fn` is raised again on the caller. Runs `fn` at once
// when called on that thread already or when `context` is null.
bool CallOnThread(QObject* context, std::function<void()> fn, StopFlag& stop);

// Queues `fn` to `context`'s thread without waiting for it.
void PostToThread(QObject* context, std::function<void()> fn);

}  // namespace sender
