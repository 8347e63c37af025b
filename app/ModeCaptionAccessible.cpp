#include "app/ModeCaptionAccessible.h"

#include "app/ModeCaption.h"

ModeCaptionAccessible::ModeCaptionAccessible(ModeCaption* label)
    : QAccessibleWidget(label, QAccessible::StaticText)
{
}

ModeCaption* ModeCaptionAccessible::label() const
{
    return static_cast<ModeCaption*>(widget());
}

QString ModeCaptionAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name)
        return label()->spokenName();
    return QAccessibleWidget::text(t);
}

QStringList ModeCaptionAccessible::actionNames() const
{
    return {pressAction(), showMenuAction()};
}

void ModeCaptionAccessible::doAction(const QString& actionName)
{
    if (actionName == pressAction() || actionName == showMenuAction())
        label()->requestChooserLater();
}

QStringList ModeCaptionAccessible::keyBindingsForAction(const QString& actionName) const
{
    // The key is the field's, not the label's: F4 in the field opens the same chooser.
    Q_UNUSED(actionName);
    return {};
}
