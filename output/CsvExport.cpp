#include "output/CsvExport.h"

#include "output/CsvRows.h"

#include "engine/core/Messages.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>

#include <array>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <vector>

namespace {

// Rows copied out of the grid at a time.
constexpr int kBatchRows = 4096;

QString failure(const QString& path, const QString& reason)
{
    return QStringLiteral("Не удалось сохранить файл \"%1\": %2").arg(path, reason);
}

// Why writing to out failed. A full disk is named as such: the system's error says so only
// sometimes (a write that stops short carries no error, and the file device then says
// "Unknown error"), so the folder's free space is asked as well, before the partial file
// is removed. `err` is the error number seen at the failure, or 0.
QString writeFailure(const QFileDevice& out, int err, const QString& path)
{
    struct statvfs fs {};
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const bool noRoom = ::statvfs(folder.constData(), &fs) == 0 && fs.f_bavail == 0;
    if (err == ENOSPC || err == EDQUOT || noRoom)
        return QString::fromStdString(engine::msg::diskFull());
    return out.errorString();
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

// Asks the system to start writing bytes [from, from + n) of the file to the disk now, so
// that the sync when the file is put in place has little left to wait for (Linux; a hint
// only: nothing is lost when it is not taken).
void startWriteBack(QFileDevice& out, std::int64_t from, std::size_t n)
{
#if defined(__linux__)
    if (out.handle() >= 0 && out.flush())
        ::sync_file_range(out.handle(), from, std::int64_t(n), SYNC_FILE_RANGE_WRITE);
#else
    (void)out;
    (void)from;
    (void)n;
#endif
}

// Writes every row of the grid to out. The calling thread reads the grid (which belongs
// to it) a batch of rows at a time, while a second thread turns the batch read before into
// lines and writes them. False when a write fails, with the error number seen in `err`.
bool writeLines(const GridCells& grid, QFileDevice& out, int& err)
{
    std::array<CsvRows, 2> batches;
    std::mutex m;
    std::condition_variable changed;
    int filled = 0;      // batches read so far
    int written = 0;     // batches written so far
    bool ended = false;  // every batch is read
    bool failed = false; // a write failed

    std::thread writer([&] {
        std::vector<char> lines;
        std::int64_t at = 0; // bytes written so far
        for (int k = 0;; ++k) {
            {
                std::unique_lock lock(m);
                changed.wait(lock, [&] { return filled > k || ended; });
                if (filled <= k)
                    return;
            }
            bool ok = false;
            try {
                const std::size_t n = batches[std::size_t(k % 2)].encode(lines);
                errno = 0;
                ok = out.write(lines.data(), qint64(n)) == qint64(n);
                if (!ok)
                    err = errno; // read by the caller after the join
                if (ok)
                    startWriteBack(out, at, n);
                at += std::int64_t(n);
            } catch (const std::bad_alloc&) {
                // (no memory for the lines: the export fails as a failed write does)
            }
            std::lock_guard lock(m);
            ++written;
            failed = failed || !ok;
            changed.notify_all();
            if (failed)
                return;
        }
    });
    auto end = [&] {
        {
            std::lock_guard lock(m);
            ended = true;
            changed.notify_all();
        }
        writer.join();
    };
    try {
        const int rows = grid.gridRowCount();
        for (int from = 0, k = 0; from < rows; from += kBatchRows, ++k) {
            {
                // The batch read two before this one must be written first.
                std::unique_lock lock(m);
                changed.wait(lock, [&] { return written >= k - 1 || failed; });
                if (failed)
                    break;
            }
            batches[std::size_t(k % 2)].read(grid, from, std::min(rows, from + kBatchRows));
            if (grid.cellsLost())
                break; // (the batch is not written: see writeGridCsv)
            std::lock_guard lock(m);
            ++filled;
            changed.notify_all();
        }
    } catch (...) {
        end();
        throw;
    }
    end();
    return !failed;
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

    int err = 0;
    errno = 0;
    if (!writeLines(grid, *out, err) || !out->flush() || grid.cellsLost()) {
        // (cells that could not be read are never written out as empty ones)
        const QString why = grid.cellsLost() ? QStringLiteral("данные результата не удалось "
                                                              "прочитать: служебная копия базы "
                                                              "данных повреждена; повторите поиск")
                                             : writeFailure(*out, err ? err : errno, path);
        if (save)
            save->cancelWriting();
        return fail(why);
    }
    if (save) {
        errno = 0;
        if (!save->commit())
            return fail(writeFailure(*save, errno, path));
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
