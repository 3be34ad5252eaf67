#pragma once
// Named points between the steps of every write sequence that must survive a kill (the update
// merge, a commit of several files, the group files). A test installs a hook that stops the
// process at the N-th point it passes, then checks what the files say; the program itself
// installs nothing and a point costs one load of a pointer.

#include <atomic>

namespace kestrelan {

using FaultHook = void (*)(const char* point);

inline std::atomic<FaultHook>& faultHook()
{
    static std::atomic<FaultHook> hook{nullptr};
    return hook;
}

inline void faultPoint(const char* point)
{
    if (const FaultHook hook = faultHook().load(std::memory_order_relaxed))
        hook(point);
}

} // namespace kestrelan
