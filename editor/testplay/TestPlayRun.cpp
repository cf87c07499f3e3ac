#include "TestPlayRun.h"

#include "KeP.h"

namespace tavix {

TestPlayRun::TestPlayRun(const KeP& kep, const CellTiming& timing, int32_t fromCell,
                         JudgeWindows windows)
    : m_judge(playTargets(kep, timing, fromCell, kep.TotalBeats), windows), m_fromCell(fromCell)
{
}

void TestPlayRun::take(const JudgeEvent& event)
{
    m_tally.add(event);
    m_events.push_back(event);
    if (onJudged)
        onJudged(event);
}

void TestPlayRun::pressed(int row, double musicMs, int ratePercent)
{
    if (!m_over)
        take(m_judge.press(row, musicMs, ratePercent));
}

void TestPlayRun::heardThrough(double musicMs, int ratePercent)
{
    if (m_over)
        return;
    m_heard = musicMs;
    m_rate = ratePercent;
    for (const JudgeEvent& miss : m_judge.passTo(musicMs, ratePercent))
        take(miss);
}

void TestPlayRun::ended()
{
    if (m_over)
        return;
    // Targets the music reached unpressed are misses, even with their window still open;
    // a stop halfway leaves the rest of the chart unplayed, not failed.
    if (m_heard)
        for (const JudgeEvent& miss :
             m_judge.passTo(*m_heard + m_judge.windows().badMs * m_rate / 100.0, m_rate))
            take(miss);
    m_over = true;
    if (onEnded)
        onEnded();
}

} // namespace tavix
