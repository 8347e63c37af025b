// The main window's web banner and the service mode, over stand-in widgets.
#include "app/WebBanner.h"
#include "output/Help.h"
#include "output/ServiceMode.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestBanner : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> mainWindow;
    QPushButton* save = nullptr; // BitBtn4
    QTimer* timer = nullptr;     // Timer1
    QLabel* label = nullptr;     // Panel2
    std::unique_ptr<WebBanner> banner;
    QStringList opened;

private slots:
    void init()
    {
        mainWindow = std::make_unique<QWidget>();
        save = new QPushButton(QStringLiteral("Сохранить"), mainWindow.get());
        save->hide();
        timer = new QTimer(mainWindow.get());
        timer->setInterval(5000);
        timer->start();
        label = new QLabel(bannerText1(), mainWindow.get());
        label->hide();
        banner = std::make_unique<WebBanner>(label, timer, save);
        mainWindow->show();
        opened.clear();
        setUrlOpener([this](const QString& a) { opened << a; });
    }
    void cleanup()
    {
        setUrlOpener({});
        banner.reset();
        mainWindow.reset();
    }

    void stepsAndClick()
    {
        banner->step(); // before the window shows
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(!label->isHidden());
        QCOMPARE(label->text(), bannerText1());
        QCOMPARE(banner->phase(), 1);
        banner->windowShown();
        banner->step();
        QVERIFY(label->isHidden());
        banner->step();
        QVERIFY(!label->isHidden());
        QCOMPARE(label->text(), bannerText2());
        QCOMPARE(banner->phase(), 1);

        banner->click();
        QCOMPARE(opened, QStringList({bannerText2().section(' ', 0, 0)}));
        QVERIFY(!opened.first().contains('@'));
    }

    void serviceModeSwitches()
    {
        label->show(); // even a showing banner is hidden
        banner->My_Visible(kServiceCode);
        QVERIFY(!save->isHidden());
        QVERIFY(!timer->isActive());
        QVERIFY(label->isHidden());
        banner->My_Visible(QStringLiteral("6153"));
        QVERIFY(save->isHidden());
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 5000);
        banner->My_Visible(QString());
        QVERIFY(save->isHidden());
        QVERIFY(timer->isActive());
    }
};

QTEST_MAIN(TestBanner)
#include "test_banner.moc"
