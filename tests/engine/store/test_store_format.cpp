// The store's blobs read back as written (row bitmaps at their edges, spellings), and a
// written store's tables are exactly what an opened store is checked against.
#include "engine/store/StoreFormat.h"
#include "engine/store/StoreSchema.h"
#include "engine/store/StoreWriter.h"

#include <QtTest>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

class TestStoreFormat : public QObject {
    Q_OBJECT

private slots:
    void bitmapRoundTrip()
    {
        // table sizes about the 64-row words' edges; rows at the first, last and word edges
        for (std::uint32_t n : {1u, 2u, 62u, 63u, 64u, 65u, 127u, 128u, 129u, 1000u}) {
            std::vector<std::vector<std::uint32_t>> sets = {{1}, {n}, {}};
            for (std::uint32_t r = 1; r <= n; ++r) {
                if (r % 64 == 63 || r % 64 == 0 || r % 64 == 1)
                    sets[2].push_back(r);
            }
            std::vector<std::uint32_t> all(n);
            std::iota(all.begin(), all.end(), 1u);
            sets.push_back(all);
            for (const auto& rows : sets) {
                std::string map;
                engine::record::putBitmap(map, rows.data(), rows.data() + rows.size(), n);
                QVERIFY(engine::record::isBitmap(map.size()));
                const auto* bytes = reinterpret_cast<const unsigned char*>(map.data());
                engine::record::BitmapView view;
                QVERIFY(view.open(bytes, map.size(), n));
                QCOMPARE(view.count(), rows.size());
                std::vector<std::uint32_t> back;
                view.forEach([&](std::uint32_t r) { back.push_back(r); });
                QCOMPARE(back, rows);
                for (std::uint32_t r = 0; r <= n + 1; ++r)
                    QCOMPARE(view.has(r), std::binary_search(rows.begin(), rows.end(), r));
            }
        }
    }

    void bitmapDamageRefused()
    {
        const std::uint32_t n = 70;
        const std::uint32_t row = 5;
        std::string map;
        engine::record::putBitmap(map, &row, &row + 1, n);
        engine::record::BitmapView view;
        auto opens = [&](const std::string& m, std::uint32_t rows) {
            return view.open(reinterpret_cast<const unsigned char*>(m.data()), m.size(), rows);
        };
        QVERIFY(opens(map, n));
        std::string zero = map; // no row 0
        zero[1] = static_cast<char>(zero[1] | 1);
        QVERIFY(!opens(zero, n));
        std::string beyond = map; // no row past the table
        beyond[1 + (n + 1) / 8] = static_cast<char>(beyond[1 + (n + 1) / 8] | (1 << ((n + 1) % 8)));
        QVERIFY(!opens(beyond, n));
        std::string unmarked = map;
        unmarked[0] = 'X';
        QVERIFY(!opens(unmarked, n));
        QVERIFY(!opens(map.substr(0, map.size() - 1), n));
        QVERIFY(!opens(map, 200)); // a map of another table's size
    }

    void spellingsRoundTrip()
    {
        const std::vector<std::string> words = {"", "Иванов", std::string(300, 'a'), "b"};
        std::string blob;
        for (const auto& w : words)
            engine::record::putSpelling(blob, w);
        const auto* p = reinterpret_cast<const unsigned char*>(blob.data());
        const auto* end = p + blob.size();
        for (const auto& w : words) {
            std::string_view got;
            QVERIFY(engine::record::getSpelling(p, end, got));
            QCOMPARE(std::string(got), w);
        }
        QCOMPARE(p, end);
        // a spelling cut short is refused
        p = reinterpret_cast<const unsigned char*>(blob.data());
        std::string_view got;
        QVERIFY(engine::record::getSpelling(p, end, got));
        QVERIFY(engine::record::getSpelling(p, end, got));
        QVERIFY(!engine::record::getSpelling(p, end - 3, got));
    }

    // A store with a plain column, a keyed dictionary and a search column passes the check
    // its reader makes; a missing or differently made object, or a plain search column,
    // fails it.
    void writtenStorePassesCheck()
    {
        const std::string path = (std::filesystem::current_path() / "format_check.store").string();
        std::filesystem::remove(path);
        const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        QVERIFY(fd >= 0);
        ::close(fd);
        {
            engine::StoreWriter w(path);
            std::vector<engine::ColumnDef> cols = {{"KOD"}, {"CITY"}, {"FAM"}};
            cols[2].matchModes = true;
            w.beginTable("T", cols);
            const int rows = 2000;
            std::vector<std::string> text;
            auto isNull = std::make_unique<bool[]>(rows * cols.size()); // (all false)
            for (int i = 0; i < rows; ++i) {
                text.push_back("k" + std::to_string(i));
                text.push_back(i % 3 ? "Город" : "Посёлок");
                text.push_back("Фам" + std::to_string(i % 40));
                isNull[static_cast<size_t>(i) * cols.size() + 1] = i % 7 == 0;
            }
            const std::vector<std::string_view> values(text.begin(), text.end());
            std::vector<std::uint32_t> refs(values.size());
            w.assignIds(rows, values.data(), isNull.get(), 0, cols.size(), refs.data());
            w.addRecords(rows, values.data(), isNull.get(), refs.data());
            w.endTable();
            w.finish(engine::SourceKey{});
        }
        engine::sql::Db db(path, SQLITE_OPEN_READONLY);
        engine::schema::Objects objects = engine::schema::objectsOf(db);
        std::vector<engine::schema::TableKinds> kinds = {{0, {{false, false}, {}, {true, true}}}};
        QCOMPARE(engine::schema::check(objects, kinds), std::string());

        auto keyed = kinds;
        keyed[0].columns[0].dictionary = true; // a dictionary the writer did not make
        QCOMPARE(engine::schema::check(objects, keyed), std::string("missing d0_0"));
        auto plainSearch = kinds;
        plainSearch[0].columns[2].dictionary = false;
        QVERIFY(engine::schema::check(objects, plainSearch).starts_with("plain search column"));
        auto changed = objects;
        changed.erase(engine::storeTable::reversedIndex(0, 2));
        QCOMPARE(engine::schema::check(changed, kinds), std::string("missing d0_2_r"));
        changed = objects;
        changed["fz_columns"] += " WITHOUT ROWID";
        QVERIFY(!engine::schema::check(changed, kinds).empty());
    }
};

QTEST_APPLESS_MAIN(TestStoreFormat)
#include "test_store_format.moc"
