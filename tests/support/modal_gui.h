#pragma once
// Answering a modal window from the test that opens it: the answer waits until the
// window shows, however long a busy machine takes to open it.
#include <QObject>
#include <QWidget>

#include <chrono>
#include <functional>

namespace varnoke::test {

using ModalMatch = std::function<bool(const QWidget&)>;
using ModalAction = std::function<void(QWidget&)>;

// Runs action, from inside the window's own event loop, on the first modal window that
// shows and matches. Polls until bound: a window that never shows fails the test, and
// the modal window open then (another one) is closed so the test ends instead of
// waiting for good. The wait ends with context, so it never reaches a later test.
void whenModalShows(QObject& context, ModalMatch matches, ModalAction action,
                    std::chrono::milliseconds bound = std::chrono::seconds(30));
// The same for whatever modal window shows next.
void whenModalShows(QObject& context, ModalAction action,
                    std::chrono::milliseconds bound = std::chrono::seconds(30));

} // namespace varnoke::test
