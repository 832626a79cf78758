// Values the POSIX layer derives from the process environment in place of Windows' system
// settings: the ANSI code page (QUILLET_ACP) and the user's time format (QUILLET_TIME_*, LC_ALL,
// LC_TIME, LANG). Windows fixes the code page when a process starts, and the environment of a
// running process changes only from inside it, so each value is worked out once and kept; it
// would otherwise cost a walk through the environment on every conversion. Code that changes
// the environment (tests do) calls EnvironmentChanged() to have them worked out again.
#pragma once

#include <optional>

namespace platform::posix {

void EnvironmentChanged();

// Counts the calls of EnvironmentChanged().
unsigned long EnvironmentGeneration();

// A value worked out by `load` from the environment, kept per thread until the environment
// changes.
template <typename Value>
class EnvironmentCached {
public:
    explicit EnvironmentCached(Value (*load)()) : load_(load) {}

    const Value& get() {
        const unsigned long generation = EnvironmentGeneration();
        if (!value_ || generation_ != generation) {
            value_ = load_();
            generation_ = generation;
        }
        return *value_;
    }

private:
    Value (*load_)();
    std::optional<Value> value_;
    unsigned long generation_ = 0;
};

}  // namespace platform::posix
