#include "TestPlayRun.h"

#include "KeP.h"

namespace tavix {

TestPlayRun::TestPlayRun(const KeP& kep, const CellTiming& timing, int32_t fromCell,
                         JudgeWindows windows)
    : m_kep(kep), m_timing(timing),
      m_judge(playTargets(kep, timing, fromCell, kep.TotalBeats), windows), m_fromCell(fromCell)
{
}

void TestPlayRun::take(const JudgeEvent& event)
{
    m_tally.add(event);
    m_events.push_back(event);
    if (onJudged)
        onJudged(event);
}

void TestPlayRun::looping(int32_t fromCell, int32_t toCell, const LoopSpan& span)
{
    // The range alone, pass after pass; the judge holds the passes heard and the next.
    m_loop = span;
    m_passTargets = playTargets(m_kep, m_timing, fromCell, toCell);
    m_judge = TestPlayJudge(m_passTargets, m_judge.windows());
    m_passesHeld = 1;
    addPassesThrough(span.fromMs);
}

void TestPlayRun::addPassesThrough(double musicMs)
{
    if (!m_loop || !(m_loop->lengthMs > 0.0))
        return;
    // Targets of the pass after the one heard, so a press early for its first target finds it.
    while (double(m_passesHeld - 1) * m_loop->lengthMs + m_loop->fromMs <=
           musicMs + m_judge.windows().badMs) {
        std::vector<PlayTarget> pass = m_passTargets;
        for (PlayTarget& t : pass)
            t.musicMs += double(m_passesHeld) * m_loop->lengthMs;
        m_judge.append(pass);
        ++m_passesHeld;
    }
}

void TestPlayRun::pressed(int row, double musicMs, int ratePercent)
{
    if (m_over)
        return;
    addPassesThrough(musicMs);
    take(m_judge.press(row, musicMs, ratePercent));
}

void TestPlayRun::heardThrough(double musicMs, int ratePercent)
{
    if (m_over)
        return;
    m_heard = musicMs;
    m_rate = ratePercent;
    addPassesThrough(musicMs);
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
