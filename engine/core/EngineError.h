#pragma once

#include <stdexcept>

namespace engine {

// Every failure of the engine: the message is UTF-8 Russian text meant for a message box.
class EngineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace engine
