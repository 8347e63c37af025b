#pragma once
// The main window's web banner, and the service mode that trades it for the "Сохранить"
// button.
#include <QPointer>
#include <QString>

class QLabel;
class QTimer;
class QWidget;

class WebBanner {
public:
    // label: the banner (Panel2); timer: what steps it (Timer1, 5000 ms at start);
    // saveButton: "Сохранить" (BitBtn4), shown only in the service mode.
    WebBanner(QLabel* label, QTimer* timer, QWidget* saveButton);

    // One timer step (the main window's Timer1Timer): the banner shows or hides, alternating
    // its two texts (bannerStep).
    void step();
    // Opens the web address the banner shows (Panel2Click).
    void click();
    // The main window is shown: the next appearance carries text 2.
    void windowShown() { BannerPhase = 2; }
    // Which text the next appearance takes: 1 or 2; 0 before the first step.
    int phase() const { return BannerPhase; }

    // The trail typed into the help window: the service code shows the button and stops
    // and hides the banner; any other trail hides the button and keeps the banner running.
    void My_Visible(const QString& trail);

private:
    QPointer<QLabel> label_;       ///< the banner
    QPointer<QTimer> timer_;       ///< steps the banner
    QPointer<QWidget> saveButton_; ///< shown in the service mode only
    int BannerPhase = 0;                ///< the text of the next appearance
};
