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

QAccessibleInterface* ModeCaptionAccessible::create(const QString& className, QObject* object)
{
    if (className == QLatin1String("ModeCaption"))
        if (auto* l = qobject_cast<ModeCaption*>(object))
            return new ModeCaptionAccessible(l);
    return nullptr;
}
