#include "TestPlayJudge.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

double songPerHeard(int ratePercent)
{
    return std::clamp(ratePercent, 1, 100) / 100.0;
}

} // namespace

TestPlayJudge::TestPlayJudge(std::vector<PlayTarget> targets, JudgeWindows windows)
    : m_targets(std::move(targets)), m_judged(m_targets.size(), 0), m_windows(windows)
{
    std::stable_sort(
        m_targets.begin(), m_targets.end(),
        [](const PlayTarget& a, const PlayTarget& b) { return a.musicMs < b.musicMs; });
}

JudgeEvent TestPlayJudge::press(int row, double musicMs, int ratePercent)
{
    const double scale = songPerHeard(ratePercent);
    const double reach = m_windows.badMs * scale;
    const auto from = std::lower_bound(
        m_targets.begin() + std::ptrdiff_t(m_firstOpen), m_targets.end(), musicMs - reach,
        [](const PlayTarget& t, double ms) { return t.musicMs < ms; });
    std::optional<size_t> best;
    double bestDistance = 0.0;
    for (auto it = from; it != m_targets.end() && it->musicMs <= musicMs + reach; ++it) {
        const auto i = size_t(it - m_targets.begin());
        if (it->row != row || m_judged[i])
            continue;
        const double distance = std::abs(musicMs - it->musicMs);
        if (!best || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    JudgeEvent event;
    event.row = row;
    if (!best)
        return event;
    m_judged[*best] = 1;
    event.target = best;
    event.cell = m_targets[*best].cell;
    event.errorMs = (musicMs - m_targets[*best].musicMs) / scale;
    event.judgement = m_windows.of(event.errorMs);
    return event;
}

JudgeEvent TestPlayJudge::miss(size_t i)
{
    m_judged[i] = 1;
    JudgeEvent event;
    event.target = i;
    event.judgement = Judgement::Miss;
    event.row = m_targets[i].row;
    event.cell = m_targets[i].cell;
    return event;
}

std::vector<JudgeEvent> TestPlayJudge::passTo(double musicMs, int ratePercent)
{
    const double closed = musicMs - m_windows.badMs * songPerHeard(ratePercent);
    std::vector<JudgeEvent> misses;
    for (; m_firstOpen < m_targets.size() && m_targets[m_firstOpen].musicMs < closed; ++m_firstOpen)
        if (!m_judged[m_firstOpen])
            misses.push_back(miss(m_firstOpen));
    return misses;
}

std::vector<JudgeEvent> TestPlayJudge::finish()
{
    std::vector<JudgeEvent> misses;
    for (; m_firstOpen < m_targets.size(); ++m_firstOpen)
        if (!m_judged[m_firstOpen])
            misses.push_back(miss(m_firstOpen));
    return misses;
}

void TestPlayJudge::append(const std::vector<PlayTarget>& more)
{
    m_targets.insert(m_targets.end(), more.begin(), more.end());
    m_judged.resize(m_targets.size(), 0);
}

void TestPlayJudge::rearm()
{
    std::fill(m_judged.begin(), m_judged.end(), 0);
    m_firstOpen = 0;
}

} // namespace tavix
