#pragma once
// The accessible side of a mode label: its name is the field and the mode it currently shows.
#include <QAccessibleWidget>

class ModeCaption;

class ModeCaptionAccessible : public QAccessibleWidget {
public:
    explicit ModeCaptionAccessible(ModeCaption* label);
    QString text(QAccessible::Text t) const override;

    // The factory the accessibility framework asks for every object's interface.
    static QAccessibleInterface* create(const QString& className, QObject* object);

private:
    ModeCaption* label() const;
};
