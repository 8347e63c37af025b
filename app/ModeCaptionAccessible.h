#pragma once
// The accessible side of a mode label: its name is the field and the mode it currently shows;
// its press (and show-menu) action opens the field's chooser, as a click on the label does.
#include <QAccessibleWidget>

class ModeCaption;

class ModeCaptionAccessible : public QAccessibleWidget {
public:
    explicit ModeCaptionAccessible(ModeCaption* label);
    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    ModeCaption* label() const;
};
