#include "app/WebBanner.h"

#include "output/Help.h"
#include "output/ServiceMode.h"
#include "util/ExtractField.h"

#include <QLabel>
#include <QTimer>

WebBanner::WebBanner(QLabel* label, QTimer* timer, QWidget* saveButton)
    : label_(label)
    , timer_(timer)
    , saveButton_(saveButton)
{
}

void WebBanner::step()
{
    BannerState s;
    s.interval = timer_ ? timer_->interval() : 1000;
    s.visible = label_ && !label_->isHidden();
    s.caption = label_ ? label_->text() : QString();
    s.phase = BannerPhase;
    bannerStep(s, bannerText1(), bannerText2());
    BannerPhase = s.phase;
    if (timer_ && timer_->interval() != s.interval)
        timer_->setInterval(s.interval);
    if (label_) {
        if (label_->text() != s.caption)
            label_->setText(s.caption);
        label_->setVisible(s.visible);
    }
}

void WebBanner::click()
{
    if (label_)
        openWebAddress(ExtractField(label_->text(), 1, QLatin1Char(' ')));
}

void WebBanner::My_Visible(const QString& trail)
{
    if (isServiceCode(trail)) {
        if (saveButton_)
            saveButton_->setVisible(true);
        if (timer_)
            timer_->stop();
        if (label_)
            label_->setVisible(false);
    } else {
        if (saveButton_)
            saveButton_->setVisible(false);
        if (timer_ && !timer_->isActive())
            timer_->start();
    }
}
