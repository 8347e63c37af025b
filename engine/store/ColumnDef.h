#pragma once

#include <string>

namespace engine {

struct ColumnDef {
    std::string name;
    std::string type = "Text"; // as the source names it; informational
    // Searched with the four match modes (from the start, from the end, anywhere): the
    // column gets reversed text and a substring index besides its dictionary.
    bool matchModes = false;
};

} // namespace engine
