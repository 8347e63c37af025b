// Replays the fuzzer's seed corpus and every saved regression (fuzz/regressions) through the
// structural check and the real load path. A regression is either a raw file or a small text
// patch over a seed:
//   # comment
//   seed NAME            one of the seeds of fuzz/SeedCorpus.h
//   truncate SIZE        cut the file
//   set OFFSET BYTE      put a byte (decimal or 0x.. numbers)
//   expect refused       (optional) the check must refuse the file

#include "test_damaged_support.h"

#include <QDir>

using namespace damaged;

namespace {

// Rows of FZ_T1 in each seed (-1: the seed has no FZ_T1).
std::int64_t seedRows(const std::string& name)
{
    static const std::map<std::string, std::int64_t> rows = {
        {"persons-0", 0},     {"persons-3", 3},  {"persons-40-messy", 40}, {"persons-300", 300},
        {"five-columns", 12}, {"two-tables", 8}, {"no-fz-t1", -1},         {"traces", 5},
        {"jet3-1252", -1},    {"encoded", 3}};
    auto it = rows.find(name);
    return it == rows.end() ? -2 : it->second;
}

struct Regression {
    Bytes bytes;
    std::int64_t rows = 0;
    bool expectRefused = false;
    std::string error;
};

Regression readRegression(const QString& path)
{
    Regression r;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        r.error = "cannot read";
        return r;
    }
    if (!path.endsWith(".txt")) {
        const QByteArray all = f.readAll();
        r.bytes.assign(all.begin(), all.end());
        r.rows = -2; // unknown: any row count is wrong only if the check accepted it
        return r;
    }
    bool haveSeed = false;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList w = line.split(' ', Qt::SkipEmptyParts);
        bool ok1 = true, ok2 = true;
        if (w[0] == "seed" && w.size() == 2) {
            r.rows = seedRows(w[1].toStdString());
            if (r.rows == -2) {
                r.error = "unknown seed " + w[1].toStdString();
                return r;
            }
            r.bytes = seed(w[1].toStdString());
            haveSeed = true;
        } else if (w[0] == "truncate" && w.size() == 2 && haveSeed) {
            const qulonglong n = w[1].toULongLong(&ok1, 0);
            if (ok1 && n <= r.bytes.size())
                r.bytes.resize(n);
            else
                ok1 = false;
        } else if (w[0] == "set" && w.size() == 3 && haveSeed) {
            const qulonglong at = w[1].toULongLong(&ok1, 0);
            const uint v = w[2].toUInt(&ok2, 0);
            if (ok1 && ok2 && at < r.bytes.size() && v < 256)
                r.bytes[at] = static_cast<std::uint8_t>(v);
            else
                ok1 = false;
        } else if (line == "expect refused") {
            r.expectRefused = true;
        } else {
            ok1 = false;
        }
        if (!ok1 || !ok2) {
            r.error = "bad line: " + line.toStdString();
            return r;
        }
    }
    if (!haveSeed)
        r.error = "no seed line";
    return r;
}

} // namespace

class HostileCorpus : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("FZ_IMPORT_TIMEOUT", "4"); }

    void seedsLoad()
    {
        Tally t;
        for (const auto& [name, write] : fzseeds::seeds()) {
            (void)write;
            const Bytes b = seed(name);
            QCOMPARE(engine::checkMdbBytes(b.data(), b.size()), std::string());
            const Outcome o = loadCount(placeDatabase("seed-" + name, b));
            if (seedRows(name) < 0) {
                QCOMPARE(int(o.kind), int(Kind::NoTable));
            } else {
                QVERIFY2(o.kind == Kind::Ok, o.message.c_str());
                QCOMPARE(o.count, seedRows(name));
            }
        }
    }

    void regressionsReplay()
    {
        const QDir dir(QStringLiteral(FZ_SOURCE_DIR "/fuzz/regressions"));
        const QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::Name);
        Tally t;
        for (const QFileInfo& fi : files) {
            const Regression r = readRegression(fi.absoluteFilePath());
            QVERIFY2(r.error.empty(),
                     qPrintable(fi.fileName() + ": " + QString::fromStdString(r.error)));
            const std::string verdict = engine::checkMdbBytes(r.bytes.data(), r.bytes.size());
            if (r.expectRefused)
                QVERIFY2(!verdict.empty(), qPrintable(fi.fileName()));
            QVERIFY2(loadDamaged("regression-" + fi.completeBaseName().toStdString(), r.bytes,
                                 r.rows, t),
                     qPrintable(fi.fileName()));
        }
        t.print("regressions");
        QVERIFY(t.cases >= 1);
    }
};

QTEST_GUILESS_MAIN(HostileCorpus)
#include "test_hostile_corpus.moc"
