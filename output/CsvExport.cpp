#include "output/CsvExport.h"

#include "output/CsvLine.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>

#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr qsizetype kFlushAt = 1 << 20;

QString failure(const QString& path, const QString& reason)
{
    return QStringLiteral("Не удалось сохранить файл \"%1\": %2").arg(path, reason);
}

// Opens what the lines go to. A regular file (new or old) is written beside itself and put
// in place only when complete (save is then set), so a failure leaves the old file as it was.
// A device already under the name is written directly (it cannot be replaced); a pipe or
// socket is refused, as opening one could wait for a reader forever. False with the reason in
// why when it cannot be opened.
bool openTarget(const QString& path, std::unique_ptr<QFileDevice>& out, QSaveFile*& save,
                QString& why)
{
    struct stat st {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode)) {
        why = QStringLiteral("это не обычный файл");
        return false;
    }
    if (exists && S_ISCHR(st.st_mode)) {
        out = std::make_unique<QFile>(path);
        if (!out->open(QIODevice::WriteOnly)) {
            why = out->errorString();
            return false;
        }
        return true;
    }
    auto s = std::make_unique<QSaveFile>(path);
    s->setDirectWriteFallback(false);
    if (!s->open(QIODevice::WriteOnly)) {
        why = s->errorString();
        return false;
    }
    save = s.get();
    out = std::move(s);
    return true;
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

    std::unique_ptr<QFileDevice> out;
    QSaveFile* save = nullptr;
    if (QString why; !openTarget(path, out, save, why))
        return fail(why);

    // The lines are written into buf up to `used`; room is made before each field, so that
    // a field goes straight to its place.
    std::vector<char> buf(std::size_t(kFlushAt) + 4096);
    std::size_t used = 0;
    auto flush = [&] {
        const bool ok = used == 0 || out->write(buf.data(), qint64(used)) == qint64(used);
        used = 0;
        return ok;
    };
    bool writeOk = true;
    auto room = [&](std::size_t bytes) {
        if (buf.size() - used < bytes) {
            writeOk = flush() && writeOk;
            if (buf.size() < bytes)
                buf.resize(bytes);
        }
        return buf.data() + used;
    };
    QByteArray text;

    const int rows = grid.gridRowCount();
    const int cols = grid.gridColumnCount();
    std::string_view utf8;
    bool capitalize = false;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            // Cells that come from a search result go from their UTF-8 bytes straight to
            // the code page; any other cell (or malformed bytes) through its text.
            if (grid.cellUtf8(c, r, utf8, capitalize)) {
                char* at = room(csvFieldUtf8Room(utf8.size()) + 1);
                if (c > 0)
                    *at++ = ',';
                if (char* end = putCsvFieldUtf8(at, utf8, capitalize)) {
                    used = std::size_t(end - buf.data());
                    continue;
                }
            }
            text.resize(0);
            if (c > 0)
                text.append(',');
            appendCsvField(text, grid.cell(c, r));
            std::copy(text.cbegin(), text.cend(), room(std::size_t(text.size())));
            used += std::size_t(text.size());
        }
        char* at = room(2);
        at[0] = '\r';
        at[1] = '\n';
        used += 2;
        if ((used >= std::size_t(kFlushAt) && !flush()) || !writeOk) {
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
