#pragma once
// Acting on a modal dialog from a test: a poll finds it once it is up and runs the action;
// a safety net later closes it if it is still open, so that a failing case cannot hang.
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace modaltest {

template <class T>
void whenModal(std::function<void(T*)> act, int safetyMs = 10000)
{
    struct Found {
        bool seen = false;
        QPointer<QWidget> window;
    };
    auto found = std::make_shared<Found>();
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act, found] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            found->seen = true;
            found->window = w;
            act(w);
        }
    });
    poll->start();
    QTimer::singleShot(safetyMs, [found, guard = QPointer<QTimer>(poll)] {
        delete guard.data(); // a poll that never found its window stops here
        QWidget* w = found->seen ? found->window.data() : QApplication::activeModalWidget();
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) {
            qWarning("closing a dialog left open: %s", qPrintable(d->objectName()));
            d->done(QDialog::Rejected);
        }
    });
}

// Types text one character at a time (QTest::keyClicks cannot send Cyrillic).
inline void typeText(QWidget* w, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

} // namespace modaltest
