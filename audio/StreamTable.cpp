#include "StreamTable.h"

#include <limits>

namespace tavix {

StreamRecord* StreamTable::find(StreamHandle h)
{
    auto it = h != 0 ? m_streams.find(h) : m_streams.end();
    return it == m_streams.end() ? nullptr : it->second.get();
}

const StreamRecord* StreamTable::find(StreamHandle h) const
{
    auto it = h != 0 ? m_streams.find(h) : m_streams.end();
    return it == m_streams.end() ? nullptr : it->second.get();
}

StreamHandle StreamTable::freeHandle()
{
    if (m_nextHandle == std::numeric_limits<StreamHandle>::max())
        m_nextHandle = 1;
    while (m_streams.count(m_nextHandle))
        ++m_nextHandle;
    return m_nextHandle;
}

StreamHandle StreamTable::insert(std::unique_ptr<StreamRecord> record)
{
    const StreamHandle h = freeHandle();
    m_streams.emplace(h, std::move(record));
    ++m_nextHandle;
    return h;
}

void StreamTable::retire(StreamHandle h, uint64_t seq)
{
    auto it = m_streams.find(h);
    if (it == m_streams.end())
        return;
    StreamRecord& r = *it->second;
    // The decoder stops and is joined now; the samples and the mixer's part wait until the
    // audio thread has let go of them.
    r.decoder = std::jthread();
    m_retired.emplace_back(seq, std::move(r.engine));
    if (r.stretch)
        m_retiredFeeds.emplace_back(seq, std::move(r.stretch));
    m_streams.erase(it);
}

void StreamTable::retireFeed(uint64_t seq, std::unique_ptr<StretchFeed> feed)
{
    if (feed)
        m_retiredFeeds.emplace_back(seq, std::move(feed));
}

void StreamTable::reclaim(uint64_t applied)
{
    std::erase_if(m_retired, [applied](const auto& entry) { return entry.first <= applied; });
    std::erase_if(m_retiredFeeds, [applied](const auto& entry) { return entry.first <= applied; });
}

void StreamTable::clear()
{
    m_streams.clear();
    m_retired.clear();
    m_retiredFeeds.clear();
}

} // namespace tavix
