#include "search/GridActions.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>

namespace search {

namespace {

// Ctrl+C pressed in the view is the copy action's, even where the shortcut would not fire
// (the window not the active one): the view's own Ctrl+C copies the current cell alone.
class CopyKey final : public QObject {
public:
    CopyKey(QAction* copy, QObject* parent)
        : QObject(parent)
        , copy_(copy)
    {
    }
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(e)->matches(QKeySequence::Copy)) {
            copy_->trigger();
            return true;
        }
        return QObject::eventFilter(watched, e);
    }

private:
    QAction* copy_;
};

} // namespace

std::vector<GridRange> selectedRanges(const QTableView& view)
{
    std::vector<GridRange> out;
    if (!view.selectionModel())
        return out;
    // (the model's rows are the grid's data rows, counted from 1 there)
    for (const QItemSelectionRange& r : view.selectionModel()->selection())
        out.push_back({r.top() + 1, r.left(), r.bottom() + 1, r.right()});
    if (out.empty() && view.currentIndex().isValid()) {
        const QModelIndex i = view.currentIndex();
        out.push_back({i.row() + 1, i.column(), i.row() + 1, i.column()});
    }
    return out;
}

void attachGridActions(QTableView& view, StringGrid& grid)
{
    auto* copy = new QAction(QStringLiteral("Копировать"), &view);
    copy->setObjectName(QStringLiteral("copyCells"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(copy, &QAction::triggered, &view, [&view, &grid] {
        const QString text = copiedText(grid, selectedRanges(view));
        if (!text.isEmpty())
            QGuiApplication::clipboard()->setText(text);
    });
    view.addAction(copy);
    view.installEventFilter(new CopyKey(copy, &view));
    view.setContextMenuPolicy(Qt::ActionsContextMenu);

    // The view asks the grid to sort on a title's click; the grid starts unsorted, and a
    // new search (a reset) takes the arrow away.
    QHeaderView* header = view.horizontalHeader();
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setSortIndicatorShown(true);
    view.setSortingEnabled(true);
    QObject::connect(&grid, &QAbstractItemModel::modelReset, header, [header, &grid] {
        header->setSortIndicator(grid.sortColumn(), grid.sortOrder());
    });
}

} // namespace search
