#include "app/GroupBoxAccessible.h"

#include <QGroupBox>

GroupBoxAccessible::GroupBoxAccessible(QGroupBox* box)
    : QAccessibleWidget(box, QAccessible::Grouping)
{
}

QGroupBox* GroupBoxAccessible::box() const
{
    return static_cast<QGroupBox*>(widget());
}

QString GroupBoxAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && box()->accessibleName().isEmpty())
        return box()->title();
    return QAccessibleWidget::text(t);
}

QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
GroupBoxAccessible::relations(QAccessible::Relation match) const
{
    auto rels = QAccessibleWidget::relations(match);
    QWidget* outer = box()->parentWidget();
    rels.removeIf([outer](const QPair<QAccessibleInterface*, QAccessible::Relation>& r) {
        return r.second == QAccessible::Label && qobject_cast<QGroupBox*>(outer) &&
               r.first->object() == outer;
    });
    return rels;
}
