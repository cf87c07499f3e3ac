#pragma once

#include "Judgement.h"
#include "PlayTarget.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tavix {

// What one press, or the passing of a target, came to.
struct JudgeEvent
{
    // The target judged; nothing for a press with no target in reach (an extra press).
    std::optional<size_t> target;
    std::optional<Judgement> judgement; // nothing for an extra press
    double errorMs = 0.0;               // press minus target, in heard ms; 0 for a miss
    int row = 0;
    int32_t cell = -1; // the target's cell, -1 for an extra press
};

// Judges presses against the chart's targets. Times are in music ms (the song's own
// time); errors and windows are in the time the player hears, so at half speed a press
// 10 ms of song early is 20 ms early and the windows stay as wide to the ear.
class TestPlayJudge
{
public:
    TestPlayJudge(std::vector<PlayTarget> targets, JudgeWindows windows);

    // A press of `row` heard at music time `musicMs`, playing at `ratePercent` of the
    // song's speed: the nearest unjudged target of that row within the Bad window takes
    // it (the earlier on a tie), else it is an extra press.
    JudgeEvent press(int row, double musicMs, int ratePercent);
    // Targets whose window has closed by music time `musicMs` are misses.
    std::vector<JudgeEvent> passTo(double musicMs, int ratePercent);
    // The run ends: every target still open is a miss.
    std::vector<JudgeEvent> finish();
    // The targets are all to be played again (a loop starts its next pass).
    void rearm();
    // More targets, none earlier than the last one held (a loop's next pass).
    void append(const std::vector<PlayTarget>& more);

    const std::vector<PlayTarget>& targets() const { return m_targets; }
    const JudgeWindows& windows() const { return m_windows; }
    bool judged(size_t target) const { return m_judged[target] != 0; }

private:
    JudgeEvent miss(size_t i);

    std::vector<PlayTarget> m_targets;
    std::vector<uint8_t> m_judged;
    JudgeWindows m_windows;
    size_t m_firstOpen = 0; // targets before it have all been judged or missed
};

} // namespace tavix
