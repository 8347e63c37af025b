#include "output/CsvExport.h"

#include "output/CsvLine.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>

#include <memory>
#include <sys/stat.h>

namespace {

constexpr qsizetype kFlushAt = 1 << 20;

QString failure(const QString& path, const QString& reason)
{
    return QStringLiteral("Не удалось сохранить файл \"%1\": %2").arg(path, reason);
}

} // namespace

bool writeGridCsv(const GridCells& grid, const QString& path, QString* error)
{
    auto fail = [&](const QString& reason) {
        if (error)
            *error = failure(path, reason);
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("не указано имя файла"));

    const QFileInfo info(path);
    if (info.isDir())
        return fail(QStringLiteral("это папка"));

    // A regular file (new or old) is written beside itself and put in place only when
    // complete, so a failure leaves the old file as it was. A device already under the name
    // is written directly (it cannot be replaced); a pipe or socket is refused, as opening
    // one could wait for a reader forever.
    std::unique_ptr<QFileDevice> out;
    QSaveFile* save = nullptr;
    struct stat st {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode))
        return fail(QStringLiteral("это не обычный файл"));
    if (exists && S_ISCHR(st.st_mode)) {
        out = std::make_unique<QFile>(path);
        if (!out->open(QIODevice::WriteOnly))
            return fail(out->errorString());
    } else {
        auto s = std::make_unique<QSaveFile>(path);
        s->setDirectWriteFallback(false);
        if (!s->open(QIODevice::WriteOnly))
            return fail(s->errorString());
        save = s.get();
        out = std::move(s);
    }

    QByteArray buf;
    buf.reserve(kFlushAt + 4096);
    auto flush = [&] {
        if (buf.isEmpty())
            return true;
        const bool ok = out->write(buf) == buf.size();
        buf.resize(0); // keeps the allocation
        return ok;
    };

    const int rows = grid.gridRowCount();
    const int cols = grid.gridColumnCount();
    std::string_view utf8;
    bool capitalize = false;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            if (c > 0)
                buf.append(',');
            // Cells that come from a search result go from their UTF-8 bytes straight to
            // the code page; any other cell (or malformed bytes) through its text.
            if (!(grid.cellUtf8(c, r, utf8, capitalize) &&
                  appendCsvFieldUtf8(buf, utf8, capitalize)))
                appendCsvField(buf, grid.cell(c, r));
        }
        buf.append("\r\n", 2);
        if (buf.size() >= kFlushAt && !flush()) {
            const QString why = out->errorString();
            if (save)
                save->cancelWriting();
            return fail(why);
        }
    }
    if (!flush() || !out->flush()) {
        const QString why = out->errorString();
        if (save)
            save->cancelWriting();
        return fail(why);
    }
    if (save) {
        if (!save->commit())
            return fail(save->errorString());
    } else {
        QFile* f = static_cast<QFile*>(out.get());
        f->close();
        if (f->error() != QFileDevice::NoError)
            return fail(f->errorString());
    }
    return true;
}

void exportGridWithDialog(QWidget* parent, const GridCells& grid)
{
    QFileDialog dlg(parent, QStringLiteral("Сохранить как"), QString(),
                    QStringLiteral("Файл результата поиска (*.csv)"));
    dlg.setObjectName(QStringLiteral("SaveDialog1"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(QStringLiteral("csv"));
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dlg.exec() != QDialog::Accepted)
        return;
    const QStringList files = dlg.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return;
    QString error;
    if (!writeGridCsv(grid, files.first(), &error))
        QMessageBox::critical(parent, QStringLiteral("Ошибка"), error);
}
