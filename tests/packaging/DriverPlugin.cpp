// A Qt generic plugin that plays the operator for the installed program, which a test starts
// with QT_QPA_GENERIC_PLUGINS=fzdriver (nothing of this is built into the program). It
// confirms the loading dialog with Enter, reports what the program shows and ends it:
//   message: TEXT      a message box (answered with OK; the loading dialog is closed then)
//   status: TEXT       the status bar of the main window once it is shown
//   cwd: PATH          the program's current directory at that moment
// and "timeout" when nothing of the kind happens within a minute.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QGenericPlugin>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

void say(const char* what, const QString& text)
{
    std::printf("%s: %s\n", what, text.toUtf8().constData());
    std::fflush(stdout);
}

class Operator : public QObject {
public:
    Operator()
    {
        clock_.start();
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, &Operator::look);
        timer_.start();
    }

private:
    void look()
    {
        if (busy_)
            return; // the load lets events through while it runs
        busy_ = true;
        step();
        busy_ = false;
    }

    void step()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            say("message", box->text());
            failed_ = true;
            box->accept();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal);
                   dialog && qstrcmp(dialog->metaObject()->className(), "TFormLoadData") == 0) {
            if (failed_) {
                dialog->close(); // as the operator would after a failed load
            } else if (!pressed_) {
                pressed_ = true;
                // Posted: the load and its message boxes run from the dialog's own loop.
                QCoreApplication::postEvent(dialog,
                                            new QKeyEvent(QEvent::KeyPress, Qt::Key_Return,
                                                          Qt::NoModifier, QStringLiteral("\r")));
            }
        } else if (!modal) {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* main = qobject_cast<QMainWindow*>(w);
                if (!main || !main->isVisible())
                    continue;
                const auto* status = main->findChild<QLabel*>(QStringLiteral("StatusBar1Text"));
                say("status", status ? status->text() : QString());
                say("cwd", QDir::currentPath());
                timer_.stop();
                main->close();
                return;
            }
        }
        if (clock_.elapsed() > 60000) {
            say("timeout", QString());
            std::_Exit(3);
        }
    }

    QTimer timer_;         // polls for what the program shows
    QElapsedTimer clock_;  // since the program started
    bool busy_ = false;    // inside a step (the load runs nested event loops)
    bool pressed_ = false; // Enter sent to the loading dialog
    bool failed_ = false;  // a message box was shown
};

} // namespace

class DriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "driver.json")
public:
    QObject* create(const QString& key, const QString&) override
    {
        return key == QLatin1String("fzdriver") ? new Operator : nullptr;
    }
};

#include "DriverPlugin.moc"
