#pragma once

#include <cassert>
#include <thread>

namespace tavix {

// The thread an object belongs to, checked in debug builds: the engine's caller-side state
// has no lock, so a call from any other thread is a fault to catch where it happens rather
// than as a data race much later. Release builds carry nothing of it.
class OwnerThread
{
public:
    void check() const
    {
#ifndef NDEBUG
        assert(std::this_thread::get_id() == m_owner &&
               "the sound engine is called from a thread other than the one that made it");
#endif
    }

private:
#ifndef NDEBUG
    std::thread::id m_owner = std::this_thread::get_id();
#endif
};

} // namespace tavix
