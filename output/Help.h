#pragma once
// The help window, the service mode it switches, and the main window's web banner.
#include <QDialog>
#include <QString>

class QLabel;
class QTimer;
class QWidget;

extern QString KeyTrail;
extern int BannerPhase;

// The main-window parts that the service mode and the banner act on; the main window
// registers them once it has built them.
struct MainWindowParts {
    QWidget* saveButton = nullptr; // BitBtn4 "Сохранить"
    QTimer* bannerTimer = nullptr; // Timer1, 5000 ms at start
    QLabel* banner = nullptr;      // Panel2
};
void registerMainWindowParts(const MainWindowParts& parts);

QString bannerText1();
QString bannerText2();

void My_Visible(const QString& trail);
void bannerTimerStep(); // the main window's Timer1Timer
void bannerClick();     // the main window's Panel2Click

class TFormHelp;
extern TFormHelp* FormHelp;
// "Помощь!!!": a new help window, shown modally.
void openHelp(QWidget* mainWindow);
