#pragma once
// A column's distinct values prepared for the "похожее" match (Similar.h): each value's
// plain spelling, sound key and ending, made once, so that a search compares the typed
// word with every distinct value and never touches the rows.

#include "engine/jetsql/Similar.h"

#include <string>
#include <string_view>
#include <vector>

namespace engine {

class SimilarIndex {
public:
    // Values are folded texts, each given once.
    explicit SimilarIndex(std::vector<std::string> values);

    // The values that match the folded typed text, by their closeness to it (Similar.h):
    // element c holds those of closeness c.
    std::vector<std::vector<std::string>> find(std::string_view typedFolded) const;

    size_t size() const { return values_.size(); }

private:
    std::vector<std::string> values_;   // the folded values, as given
    std::vector<similar::Heard> heard_; // each value prepared, in the same order
};

} // namespace engine
