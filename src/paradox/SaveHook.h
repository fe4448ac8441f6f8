#pragma once

// Named points between the writes and syncs of a save and of the pending-readings journal. The
// crash tests put a function here that stops the process at a chosen point; the program never
// sets one.
namespace SaveHook {

using Function = void (*)(const char* point);

inline Function& function() {
    static Function hook = nullptr;
    return hook;
}

inline void at(const char* point) {
    if (function())
        function()(point);
}

} // namespace SaveHook
