#include "support/modal_gui.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <gtest/gtest.h>

namespace varnoke::test {

void whenModalShows(QObject& context, ModalMatch matches, ModalAction action,
                    std::chrono::milliseconds bound) {
    auto* poll = new QTimer(&context); // owned by context; deletes itself once done
    poll->setInterval(10);
    const QDeadlineTimer deadline(bound);
    QObject::connect(
        poll, &QTimer::timeout, poll,
        [poll, matches = std::move(matches), action = std::move(action), deadline, bound] {
            QWidget* modal = QApplication::activeModalWidget();
            const bool shown = modal && modal->isVisible() && matches(*modal);
            if (!shown && !deadline.hasExpired()) return;
            poll->stop();
            poll->deleteLater();
            if (shown) {
                action(*modal);
                return;
            }
            ADD_FAILURE() << "the modal window did not show within " << bound.count() << " ms";
            if (modal) modal->close();
        });
    poll->start();
}

void whenModalShows(QObject& context, ModalAction action, std::chrono::milliseconds bound) {
    whenModalShows(
        context, [](const QWidget&) { return true; }, std::move(action), bound);
}

} // namespace varnoke::test
