#include "app/teardown.h"

#include <QApplication>
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace orv::app {

void CloseWhenQuitting(QWidget& window) {
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &window, [&window] { window.close(); });
}

void EndWidgetsBeforeApplication() {
    QList<QPointer<QWidget>> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!w->parent()) windows << w;
    for (const QPointer<QWidget>& w : windows) delete w.data();  // null once a parent took it
    // An animation's end posts a stop for its timer, whose delivery posts the next stop: a few
    // rounds deliver the whole chain.
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::sendPostedEvents();
    }
}

}  // namespace orv::app
