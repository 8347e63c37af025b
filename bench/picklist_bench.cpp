// picklist_bench: how long the pick list takes to open over a big value list, and how long
// the CSV export takes to write a big result grid.
//
//   picklist_bench [--entries N] [--rows R] [--reps K]
//
// Defaults: 50,000 pick-list entries, 500,000 grid rows of 17 cells, 5 runs; each time
// printed is the median. Runs offscreen when no display is set.

#include "output/CsvExport.h"
#include "search/PickList.h"
#include "search/Street.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Street-like names with surrounding spaces, in random order.
QStringList streetValues(int n)
{
    static const QStringList stems = {"Ленина", "Мира", "ёлочная", "Садовая", "Заречная", "Набережная",
                                      "Школьная", "Берёзовая", "Лесная", "Полевая", "Октябрьская"};
    QRandomGenerator rng(1);
    QStringList values;
    values.reserve(n);
    for (int i = 0; i < n; ++i)
        values << QStringLiteral(" %1 %2-я ").arg(stems[rng.bounded(stems.size())]).arg(rng.bounded(100000));
    return values;
}

// Cells made on demand, as the result grid hands them out.
class GeneratedGrid : public GridCells {
public:
    explicit GeneratedGrid(int rows) : rows_(rows) {}
    int gridRowCount() const override { return rows_ + 1; }
    int gridColumnCount() const override { return 17; }
    QString cell(int c, int r) const override
    {
        return r == 0 ? QStringLiteral("Столбец%1").arg(c) : texts_[(r * 7 + c) % 8];
    }

private:
    int rows_;
    const QString texts_[8] = {"Иванов", "Пётр", "Сергеевич", "Ленина", "12", "01.02.1970",
                               "4951234567", "Ведрогорск, Центральный р-н"};
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int entries = 50000, rows = 500000, reps = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const int v = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--entries"))
            entries = v;
        else if (!std::strcmp(argv[i], "--rows"))
            rows = v;
        else if (!std::strcmp(argv[i], "--reps"))
            reps = v;
    }
    reps = std::max(reps, 1);

    const QStringList values = streetValues(entries);
    std::vector<double> open, typeAhead;
    for (int k = 0; k < reps; ++k) {
        QElapsedTimer t;
        t.start();
        TFormStreet dlg(nullptr);
        dlg.LoadListBox(values, int(values.size()) - 1);
        dlg.show();
        QCoreApplication::processEvents();
        open.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        typeAheadIndex(dlg.items, QStringLiteral("Ш"));
        typeAhead.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("pick list, %d entries: opened (trim, sort, fill, show) in %.1f ms; "
                "one type-ahead look-up %.2f ms\n",
                entries, median(open), median(typeAhead));

    QTemporaryDir tmp;
    const GeneratedGrid grid(rows);
    std::vector<double> exportMs;
    qint64 bytes = 0;
    for (int k = 0; k < std::min(reps, 3); ++k) {
        QElapsedTimer t;
        t.start();
        QString err;
        if (!writeGridCsv(grid, tmp.filePath("out.csv"), &err)) {
            std::fprintf(stderr, "picklist_bench: %s\n", qPrintable(err));
            return 1;
        }
        exportMs.push_back(double(t.nsecsElapsed()) / 1e6);
        bytes = QFileInfo(tmp.filePath("out.csv")).size();
    }
    std::printf("CSV export, %d rows x 17 cells (%.1f MB): %.1f ms\n", rows, double(bytes) / 1e6,
                median(exportMs));
    return 0;
}
