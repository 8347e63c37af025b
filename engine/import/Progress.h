#pragma once

#include <cstdint>
#include <functional>

namespace engine {

// Called while a database is imported: rows done of rows total (total may be 0 when not
// yet known). Runs on the caller's thread, between reads of the importer's reports.
using ProgressFn = std::function<void(std::int64_t done, std::int64_t total)>;

} // namespace engine
