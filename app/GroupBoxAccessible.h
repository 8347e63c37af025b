#pragma once
// The accessible side of a group box: named by its own caption, and not labelled by the group
// box around it. (A widget inside a titled group box is otherwise labelled by that box, so a
// screen reader would read an inner group by the outer group's caption.)
#include <QAccessibleWidget>

class QGroupBox;

class GroupBoxAccessible : public QAccessibleWidget {
public:
    explicit GroupBoxAccessible(QGroupBox* box);
    QString text(QAccessible::Text t) const override;
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation match = QAccessible::AllRelations) const override;

private:
    QGroupBox* box() const;
};
