#pragma once

#include "Judgement.h"
#include "TestPlayJudge.h"

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace tavix {

// The figures of a test play, added up event by event (over every pass of a loop):
// the count of each judgement and of extra presses, the accuracy, the combo, the errors'
// mean, spread and histogram, and where the misses were.
class RunTally
{
public:
    static constexpr double HistogramFromMs = -135.0;
    static constexpr double HistogramBinMs = 10.0;
    static constexpr int HistogramBins = 27; // -135 .. +135 ms
    // Below this many judged presses the mean error says too little to move the offset.
    static constexpr int ShiftMinPresses = 20;
    static constexpr double ShiftMinMeanMs = 5.0;

    void add(const JudgeEvent& event);

    int count(Judgement j) const { return m_counts[size_t(j)]; }
    int extras() const { return m_extras; }
    int targets() const;
    // Judged presses: every target but the misses.
    int presses() const { return m_errors; }
    // Weighted: Perfect 100%, Great 75%, Good 50%, Bad 25%, Miss 0, over the targets
    // judged so far; 0 before any.
    double accuracyPercent() const;
    // A Bad or a Miss breaks the combo; an extra press does not.
    int combo() const { return m_combo; }
    int longestCombo() const { return m_longest; }
    double meanErrorMs() const;
    double errorSpreadMs() const; // the standard deviation
    const std::array<int, HistogramBins>& histogram() const { return m_histogram; }
    // Measures (counted from 1) by their misses, most first, at most `n`.
    std::vector<std::pair<int32_t, int>> mostMissedMeasures(size_t n) const;
    // Whether the mean error is worth moving the offset by.
    bool offersShift() const;

private:
    std::array<int, JudgementCount> m_counts{};
    int m_extras = 0;
    int m_combo = 0;
    int m_longest = 0;
    int m_errors = 0;
    double m_sum = 0.0;
    double m_sumSquares = 0.0;
    std::array<int, HistogramBins> m_histogram{};
    std::map<int32_t, int> m_missesByMeasure;
};

} // namespace tavix
