#pragma once

#include "PressSink.h"
#include "RunTally.h"
#include "TestPlayJudge.h"

#include <functional>
#include <optional>

namespace tavix {

class KeP;

// One test play: the chart's targets from the start cell on, judged as the session hands
// over the presses and the time heard, and the figures added up. It reads the chart and
// never changes it.
class TestPlayRun final : public PressSink
{
public:
    TestPlayRun(const KeP& kep, const CellTiming& timing, int32_t fromCell, JudgeWindows windows);

    // Told of every judgement and extra press, and once when the run is over.
    std::function<void(const JudgeEvent&)> onJudged;
    std::function<void()> onEnded;

    void pressed(int row, double musicMs, int ratePercent) override;
    void heardThrough(double musicMs, int ratePercent) override;
    void ended() override;
    void looping(int32_t fromCell, int32_t toCell, const LoopSpan& span) override;

    const RunTally& tally() const { return m_tally; }
    // Every judgement and extra press so far, in the order they came.
    const std::vector<JudgeEvent>& events() const { return m_events; }
    const TestPlayJudge& judge() const { return m_judge; }
    int32_t fromCell() const { return m_fromCell; }
    bool over() const { return m_over; }

private:
    void take(const JudgeEvent& event);

    void addPassesThrough(double musicMs);

    const KeP& m_kep;
    CellTiming m_timing;
    TestPlayJudge m_judge;
    // In a loop: the targets of one pass, and how many passes the judge holds.
    std::vector<PlayTarget> m_passTargets;
    std::optional<LoopSpan> m_loop;
    int64_t m_passesHeld = 0;
    RunTally m_tally;
    std::vector<JudgeEvent> m_events;
    int32_t m_fromCell = 0;
    bool m_over = false;
    std::optional<double> m_heard;
    int m_rate = 100;
};

} // namespace tavix
