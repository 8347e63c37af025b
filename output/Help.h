#pragma once
// The help window "Помощь!!!", and the web addresses it shares with the main window's banner.
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

// The banner's two texts: a web address, 33 spaces, the first mail address.
QString bannerText1();
QString bannerText2();

// Opens a web address in the desktop's browser. Tests may put their own opener in place
// (an empty function restores the desktop's).
using UrlOpener = std::function<void(const QString&)>;
void setUrlOpener(UrlOpener opener);
void openWebAddress(const QString& address);

// The texts of the About page's two memos, line by line.
QStringList memo2Lines();
QStringList memo6Lines();

// Switches the service mode from the key trail typed into the About text (see keyTrailStep).
using ServiceSwitch = std::function<void(const QString& trail)>;

// "Помощь!!!": a new help window over mainWindow, shown modally.
void openHelp(QWidget* mainWindow, ServiceSwitch switchServiceMode);

class TFormHelp : public QDialog {
    Q_OBJECT
public:
    TFormHelp(ServiceSwitch switchServiceMode, QWidget* parent = nullptr);

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
    // The codes typed into the About text since the window was last shown, as decimal digits.
    const QString& keyTrail() const { return KeyTrail; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override; // FormShow

private:
    void buildAboutPage(const QString& caption); // TabSheet1
    void buildContactPage();                     // TabSheet2

    ServiceSwitch switchServiceMode_; ///< told the trail when Enter is typed into the About text
    QString KeyTrail;                ///< see keyTrail()
};
