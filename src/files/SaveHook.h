#pragma once

#include <functional>
#include <utility>

// Named points between the writes and syncs of a save and of the pending-readings journal.
// Whoever opens a table or its journal hands one in: the crash tests one that stops the process
// at a chosen point, the program none.
class SaveHook {
public:
    using Function = std::function<void(const char* point)>;

    SaveHook() = default;
    explicit SaveHook(Function function) : m_function(std::move(function)) {}

    void at(const char* point) const {
        if (m_function)
            m_function(point);
    }

private:
    Function m_function;
};
