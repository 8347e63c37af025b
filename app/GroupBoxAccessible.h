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

    // The factory the accessibility framework asks for every object's interface; installed
    // once, by the first call.
    static void install();

private:
    static QAccessibleInterface* create(const QString& className, QObject* object);
    QGroupBox* box() const;
};
