#pragma once
// Shared by the main-window tests: databases written with the project's own writer, and
// helpers that act on modal dialogs as they appear.
#include "app/LoadData.h"
#include "app/Unit1.h"
#include "tools/fzgen/Population.h"
#include "tools/jet4/Jet4Writer.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

namespace apptest {

using jet4::Row;

// A person row in table order; unset cells are null.
inline Row person(std::initializer_list<std::pair<int, const char*>> cells)
{
    Row r(19);
    for (const auto& [pos, text] : cells)
        r[std::size_t(pos)] = text ? std::optional<std::string>(text) : std::nullopt;
    return r;
}

inline void writeDatabase(const QString& dir, const std::vector<Row>& rows,
                          std::vector<jet4::Column> columns = fzgen::personColumns())
{
    QDir().mkpath(dir);
    jet4::writeTable((dir + "/tabl1.mdb").toStdString(), "FZ_T1", columns, rows);
}

// Runs action on the first modal widget that matches, polling until it shows up; each
// call has its own timer so that actions may open further modal dialogs.
inline QPointer<QTimer> onModal(std::function<bool(QWidget*)> matches,
                                std::function<void(QWidget*)> action, int timeoutMs = 20000)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* w = QApplication::activeModalWidget();
        const bool found = w && matches(w);
        if (!found && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (found)
            action(w);
        else if (w) // give up: never leave a test waiting on a dialog
            static_cast<QDialog*>(w)->reject();
    });
    QObject::connect(timer, &QObject::destroyed, [clock] { delete clock; });
    timer->start();
    return timer;
}

inline bool isLoadDialog(QWidget* w) { return qobject_cast<TFormLoadData*>(w) != nullptr; }
inline bool isMessageBox(QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; }

// Answers the next message box with OK and keeps its text.
inline QPointer<QTimer> captureMessage(QString* text)
{
    return onModal(isMessageBox, [text](QWidget* w) {
        *text = static_cast<QMessageBox*>(w)->text();
        static_cast<QMessageBox*>(w)->accept();
    });
}

// Presses Enter in the loading dialog. A failed load would leave the dialog open: its
// message is reported and the dialog closed.
inline void confirmLoad(QWidget* loadDialog)
{
    QString failure;
    QPointer<QTimer> watch = captureMessage(&failure);
    QTest::keyClick(loadDialog, Qt::Key_Return);
    delete watch.data();
    if (!failure.isEmpty()) {
        qWarning("load failed: %s", qPrintable(failure));
        loadDialog->close();
    }
}

// Creates the main window and confirms the loading dialog with Enter.
inline std::unique_ptr<TForm1> startLoaded()
{
    onModal(isLoadDialog, confirmLoad);
    auto form = std::make_unique<TForm1>();
    if (form->dataLoaded())
        form->show();
    return form;
}

// Types text into a field character by character (keyClicks cannot send Cyrillic).
inline void typeText(QWidget* w, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

// A scratch folder of this test program, made the current directory.
inline QString enterFolder(const QString& name)
{
    const QString base = qEnvironmentVariableIsSet("FZ_TEST_WORK")
                             ? qEnvironmentVariable("FZ_TEST_WORK")
                             : QDir::currentPath();
    static const QString root = base;
    const QString dir = root + "/" + name;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QDir::setCurrent(dir);
    return dir;
}

} // namespace apptest
