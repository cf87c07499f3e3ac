#pragma once

#include "SoundEngine.h"
#include "StreamRecord.h"

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tavix {

// The caller's open streams by handle, and the memory of closed ones the audio thread may
// still be reading: a stream's part for the mixer, and a stretch feed it was switched from,
// wait here, tagged with the command that let go of them, until the audio thread has
// carried that command out. The audio thread thus never frees anything.
class StreamTable
{
public:
    StreamRecord* find(StreamHandle h);
    const StreamRecord* find(StreamHandle h) const;

    // The handle the next insert gets: a free one, counting up and wrapping round.
    StreamHandle freeHandle();
    StreamHandle insert(std::unique_ptr<StreamRecord> record);
    // Drops the record of `h` (its decoder stops and is joined now); what the audio thread
    // may still read waits for command `seq`.
    void retire(StreamHandle h, uint64_t seq);
    void retireFeed(uint64_t seq, std::unique_ptr<StretchFeed> feed);
    // Frees what waits for commands up to `applied`.
    void reclaim(uint64_t applied);
    bool awaitsRelease() const { return !m_retired.empty() || !m_retiredFeeds.empty(); }
    size_t streamsAwaitingRelease() const { return m_retired.size(); }
    // Everything at once, once no render call runs any more.
    void clear();

private:
    std::unordered_map<StreamHandle, std::unique_ptr<StreamRecord>> m_streams;
    std::vector<std::pair<uint64_t, std::unique_ptr<EngineStream>>> m_retired;
    std::vector<std::pair<uint64_t, std::unique_ptr<StretchFeed>>> m_retiredFeeds;
    StreamHandle m_nextHandle = 1;
};

} // namespace tavix
