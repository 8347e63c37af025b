// The main window under an X server with a window manager (Xvfb and openbox, started here):
// maximising stretches page, panels and grid while the buttons keep their places, restoring
// gives back 825 x 614, the title is the window's own, and a dialog cannot be maximised.
// Skipped (exit code 77) when Xvfb or openbox is not installed.
#include "AppTestSupport.h"

#include "app/OwnLook.h"
#include "search/VabFinde.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace apptest;

namespace {

// A window property as xprop prints it, or "" without xprop.
QString windowProperty(QWidget* w, const char* name)
{
    QProcess p;
    p.start(QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(w->winId()), QString::fromLatin1(name)});
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

pid_t spawn(const std::vector<std::string>& args, int keepFd = -1)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (int fd = 3; fd < 256; ++fd)
            if (fd != keepFd)
                close(fd);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

} // namespace

class TestWindowManager : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { applyOwnLook(); }

    void maximiseStretchesAndRestoreGivesBackTheSize()
    {
        writeDatabase(enterFolder("maximise"),
                      {person({{0, "1"}, {2, "петров"}, {9, "Ведрогорск"}, {11, "Ленина"}})});
        auto form = startLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTRY_COMPARE(form->size(), QSize(825, 614));
        const QString title = windowProperty(form.get(), "_NET_WM_NAME");
        if (!title.isEmpty())
            QVERIFY2(title.contains("= \"" + form->windowTitle() + "\""), qPrintable(title));
        const QRect buttons[] = {form->BitBtn1->geometry(), form->BitBtn2->geometry(),
                                 form->BitBtn3->geometry()};
        const QRect grid = form->StringGrid1->geometry();

        form->showMaximized();
        QTRY_VERIFY_WITH_TIMEOUT(form->width() > 1200 && form->height() > 900, 5000);
        QTRY_COMPARE(form->StringGrid1->width(), form->TabSheet1->width());
        QCOMPARE(form->Panel1->width(), form->TabSheet1->width());
        QCOMPARE(form->Panel3->width(), form->TabSheet1->width());
        QVERIFY(form->StringGrid1->height() > grid.height() + 250);
        QCOMPARE(form->BitBtn1->geometry(), buttons[0]);
        QCOMPARE(form->BitBtn2->geometry(), buttons[1]);
        QCOMPARE(form->BitBtn3->geometry(), buttons[2]);

        form->showNormal();
        QTRY_COMPARE_WITH_TIMEOUT(form->size(), QSize(825, 614), 5000);
        QTRY_COMPARE(form->StringGrid1->geometry(), grid);
    }

    void dialogsOfferNoMaximising()
    {
        QWidget owner;
        QLabel label(QStringLiteral("точное"), &owner);
        owner.show();
        TFormFinde chooser(&label, false, &owner);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        const QString actions = windowProperty(&chooser, "_NET_WM_ALLOWED_ACTIONS");
        if (actions.isEmpty())
            QSKIP("xprop (package x11-utils) is not installed");
        QVERIFY2(actions.contains("_NET_WM_ACTION_CLOSE"), qPrintable(actions));
        // (openbox still draws its minimise and maximise boxes on every frame.)
        QVERIFY2(!actions.contains("MAXIMIZE"), qPrintable(actions));
    }
};

int main(int argc, char** argv)
{
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty()) {
        std::fprintf(stderr, "Xvfb or openbox is not installed: skipped\n");
        return 77;
    }
    // A display of our own: Xvfb picks a free number and writes it to the pipe.
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return 1;
    const pid_t server = spawn({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                                "1280x1024x24", "-nolisten", "tcp"},
                               pipeFds[1]);
    close(pipeFds[1]);
    std::string display;
    char c = 0;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n')
        display += c;
    close(pipeFds[0]);
    if (display.empty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        kill(server, SIGTERM);
        return 1;
    }
    setenv("DISPLAY", (":" + display).c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // openbox runs the start-up command once it manages the screen.
    const char* work = std::getenv("FZ_TEST_WORK");
    const std::string ready = std::string(work ? work : ".") + "/openbox-ready";
    unlink(ready.c_str());
    const pid_t wm = spawn({"openbox", "--startup", "touch " + ready});
    for (int i = 0; i < 100 && access(ready.c_str(), F_OK) != 0; ++i)
        usleep(50000);
    unlink(ready.c_str());

    int rc = 0;
    {
        QApplication app(argc, argv);
        TestWindowManager test;
        rc = QTest::qExec(&test, argc, argv);
    }
    kill(wm, SIGTERM);
    kill(server, SIGTERM);
    waitpid(wm, nullptr, 0);
    waitpid(server, nullptr, 0);
    return rc;
}

#include "test_window_manager.moc"
