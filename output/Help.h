#pragma once
// The help window, the service mode it switches, and the main window's web banner.
#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QLabel;
class QTimer;
class QWidget;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;

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

// Opens a web address in the desktop's browser. Tests may put their own opener in place
// (an empty function restores the desktop's).
using UrlOpener = std::function<void(const QString&)>;
void setUrlOpener(UrlOpener opener);
void openWebAddress(const QString& address);

// The texts of the About page's two memos, line by line.
QStringList memo2Lines();
QStringList memo6Lines();

// "Помощь!!!": a new help window, shown modally.
void openHelp(QWidget* mainWindow);

class TFormHelp : public QDialog {
    Q_OBJECT
public:
    explicit TFormHelp(QWidget* parent = nullptr);

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // "О программе..."
    QWidget* TabSheet2 = nullptr; // "Как с нами связаться ?"
    QPlainTextEdit* Memo2 = nullptr;
    QPlainTextEdit* Memo6 = nullptr;
    QPlainTextEdit* Memo1 = nullptr; // the offer of custom work
    QLineEdit* Edit2 = nullptr;      // web address 1
    QLineEdit* Edit14 = nullptr;     // web address 2
    QList<QLineEdit*> mailEdits;     // the six mail addresses
    QLabel* StaticText15 = nullptr;  // "Работа на заказ", blinking
    QLabel* Image1 = nullptr;        // the picture
    QTimer* Timer1 = nullptr;        // 1000 ms, blinks StaticText15

    // A character typed into Memo2, as its Windows-1251 code.
    void Memo2KeyPress(int code);
    void Timer1Timer();
    void Edit2Click();
    void Edit14Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override; // FormShow
};
