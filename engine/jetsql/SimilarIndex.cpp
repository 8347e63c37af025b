#include "engine/jetsql/SimilarIndex.h"

namespace engine {

SimilarIndex::SimilarIndex(std::vector<std::string> values)
    : values_(std::move(values))
{
    heard_.reserve(values_.size());
    for (const std::string& v : values_)
        heard_.push_back(similar::hear(v));
}

std::vector<std::vector<std::string>> SimilarIndex::find(std::string_view typedFolded) const
{
    const similar::Heard typed = similar::hear(typedFolded);
    std::vector<std::vector<std::string>> out(similar::kClosenessClasses);
    for (size_t i = 0; i < heard_.size(); ++i)
        if (similar::matches(typed, heard_[i]))
            out[static_cast<size_t>(similar::closeness(typedFolded, typed, values_[i], heard_[i]))]
                .push_back(values_[i]);
    return out;
}

} // namespace engine
