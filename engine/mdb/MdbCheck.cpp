#include "engine/mdb/MdbCheck.h"

#include "engine/mdb/MdbChecker.h"
#include "engine/mdb/MdbHeader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace engine {

namespace mdbcheck {

void Checker::run()
{
    checkHeader();
    if (pages_.count() < 3)
        reject("file has only " + num(pages_.count()) + " pages");

    Table catalog = readTable(2, "catalog table definition (page 2)");
    catalogCols_ = findCatalogColumns(catalog);
    checkTable(catalog, true);
    checked_.insert(2);

    // Every table the catalog names is read by the importer: check each one once.
    std::vector<u32> tables = catalogTables_;
    for (u32 tdef : tables) {
        if (!checked_.insert(tdef).second)
            continue;
        Table t = readTable(tdef, "table definition");
        checkTable(t, false);
    }
}

void Checker::checkHeader()
{
    unsigned char h[kMdbHeaderBytes] = {};
    if (pages_.size() < sizeof h || !pages_.readRaw(0, h, sizeof h))
        reject("file is too short for a database header (" + num(pages_.size()) + " bytes)");
    const MdbHeader header = readMdbHeader(h, sizeof h);
    if (header.format == MdbHeader::Format::NotDatabase)
        reject("no database signature or an unknown version in the header");
    if (header.encrypted)
        reject("pages are encrypted under a password");
    pages_.setFormat(header.format == MdbHeader::Format::Jet3 ? kJet3 : kJet4, header.pageKey);
    const Format& f = pages_.fmt();
    if (pages_.size() % f.pageSize != 0)
        reject("file size " + num(pages_.size()) + " is not a whole number of " + num(f.pageSize) +
               "-byte pages (truncated?)");
    if (pages_.size() / f.pageSize > 0xFFFFFF)
        reject("file is larger than the format allows");
}

} // namespace mdbcheck

namespace {

using namespace mdbcheck;

std::string runCheck(Pages& pages)
{
    try {
        Checker c(pages);
        c.run();
        return {};
    } catch (const Reject& r) {
        return r.why;
    } catch (const std::bad_alloc&) {
        return "out of memory while checking the file";
    }
}

} // namespace

std::string checkMdbFile(const std::string& path)
{
    // O_NONBLOCK: a FIFO or device must not block the check; only regular files pass.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return "cannot open the file: " + std::string(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return "not a regular file";
    }
    Pages pages(fd, static_cast<u64>(st.st_size));
    std::string r = runCheck(pages);
    ::close(fd);
    return r;
}

std::string checkMdbBytes(const void* data, std::size_t size)
{
    if (!data)
        size = 0;
    Pages pages(static_cast<const u8*>(data), size);
    return runCheck(pages);
}

} // namespace engine
