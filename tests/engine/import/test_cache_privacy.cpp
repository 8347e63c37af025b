// The stores hold persons' data: the cache folder is 0700 and every store 0600 whatever the
// umask; a folder that is not the user's own is not used, and a store that is not is never
// answered from. (The cases that need a file of another user run as root only.)
#include "ImportTestSupport.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace enginetest;
namespace fs = std::filesystem;

namespace {

constexpr uid_t kOtherUser = 4321;

mode_t modeOf(const std::string& path)
{
    struct stat sb {};
    return ::lstat(path.c_str(), &sb) == 0 ? (sb.st_mode & 07777) : 0;
}

} // namespace

class TestCachePrivacy : public QObject {
    Q_OBJECT

    std::string dir_, mdb_, cache_;

    std::string storePath() const
    {
        return engine::StoreCache::storePathFor(engine::StoreCache::currentKey(mdb_).path);
    }
    std::int64_t countAll() { return storedRows(mdb_); }

private slots:
    void init()
    {
        dir_ = freshDir("db");
        mdb_ = dir_ + "/tabl1.mdb";
        std::vector<jet4::Row> rows;
        for (int i = 0; i < 20; ++i)
            rows.push_back({"person" + std::to_string(i)});
        jet4::writeTable(mdb_, "FZ_T1", textColumns({"FAM"}), rows);
        cache_ = workDir() + "/xdg";
        fs::remove_all(cache_);
        qputenv("XDG_CACHE_HOME", cache_.c_str());
    }

    void privateWhateverTheUmask()
    {
        const mode_t old = ::umask(022);
        QCOMPARE(countAll(), std::int64_t(20));
        QCOMPARE(modeOf(cache_ + "/spravochnik"), mode_t(0700));
        QCOMPARE(modeOf(storePath()), mode_t(0600));
        // a folder and a store that others could read (as an earlier version left them): the
        // folder is tightened, the store is not answered from but made again
        ::chmod((cache_ + "/spravochnik").c_str(), 0755);
        ::chmod(storePath().c_str(), 0644);
        const int imports = engine::StoreCache::importCount();
        QCOMPARE(countAll(), std::int64_t(20));
        QCOMPARE(engine::StoreCache::importCount(), imports + 1);
        QCOMPARE(modeOf(cache_ + "/spravochnik"), mode_t(0700));
        QCOMPARE(modeOf(storePath()), mode_t(0600));
        ::umask(old);
    }

    void foreignFolderNotUsed_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("a link") << "link";
        QTest::newRow("another user's, writable by all") << "owner";
        QTest::newRow("ours, in a folder anyone may change") << "parent";
    }
    void foreignFolderNotUsed()
    {
        QFETCH(QString, how);
        const std::string folder = cache_ + "/spravochnik";
        const std::string target = workDir() + "/elsewhere";
        fs::remove_all(target);
        fs::create_directories(cache_);
        if (how == "link") {
            fs::create_directories(target);
            ::chmod(target.c_str(), 0700);
            fs::create_directory_symlink(target, folder);
        } else {
            if (::geteuid() != 0)
                QSKIP("needs root to make a folder of another user");
            fs::create_directories(folder);
            const std::string& theirs = how == "owner" ? folder : cache_;
            QCOMPARE(::chown(theirs.c_str(), kOtherUser, kOtherUser), 0);
            ::chmod(theirs.c_str(), 0777);
            ::chmod(folder.c_str(), how == "owner" ? 0777 : 0700);
        }
        QCOMPARE(countAll(), std::int64_t(20));
        const std::string used = fs::path(storePath()).parent_path().string();
        QVERIFY2(used.rfind(cache_, 0) != 0, used.c_str());
        QCOMPARE(modeOf(used), mode_t(0700));
        QVERIFY(fs::is_empty(how == "link" ? target : folder));
    }

    void foreignStoreNotOpened_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("a link to a store") << "link";
        QTest::newRow("readable by the group") << "mode";
        QTest::newRow("another user's") << "owner";
    }
    void foreignStoreNotOpened()
    {
        QFETCH(QString, how);
        if (how == "owner" && ::geteuid() != 0)
            QSKIP("needs root to make a file of another user");
        QCOMPARE(countAll(), std::int64_t(20));
        const std::string store = storePath();
        if (how == "link") {
            const std::string moved = workDir() + "/moved.store";
            fs::rename(store, moved);
            fs::create_symlink(moved, store);
        } else if (how == "mode") {
            ::chmod(store.c_str(), 0640);
        } else {
            QCOMPARE(::chown(store.c_str(), kOtherUser, kOtherUser), 0);
        }
        const int imports = engine::StoreCache::importCount();
        QCOMPARE(countAll(), std::int64_t(20));
        QCOMPARE(engine::StoreCache::importCount(), imports + 1);
        struct stat sb {};
        QCOMPARE(::lstat(store.c_str(), &sb), 0);
        QVERIFY(S_ISREG(sb.st_mode));
        QCOMPARE(sb.st_uid, ::geteuid());
        QCOMPARE(sb.st_mode & 07777, mode_t(0600));
    }
};

QTEST_GUILESS_MAIN(TestCachePrivacy)
#include "test_cache_privacy.moc"
